// The global-parameter store of a system over arbitrary files: which files
// exist (XML, line files, supercomponent file) comes from the first byte,
// their text from the rest; hidden parameters drawn from the input are
// entered enciphered (some payloads damaged), then everything is evaluated,
// substituted and changed.  No message may show a hidden value: each holds
// a marker that no message may quote.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "params/kiv_globalparams.h"
#include "runtime/system.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

using kiv::fuzz::Bytes;

constexpr const char kMarker[] = "zqmarkzq";

// The run's directory starts empty: only the files the input names exist.
void place(bool present, const std::string &dir, const char *name, const std::string &text) {
  const auto *bytes = reinterpret_cast<const uint8_t *>(text.data());
  if (present) kiv::fuzz::writeFile(dir + "/" + name, bytes, text.size());
}

struct Heap {
  char *p = nullptr;
  ~Heap() { std::free(p); }
};

// Hidden parameters from lines "@<type><name> <value>" of the text.
void addHidden(KIVSystem *sys, Bytes &damage, const std::string &text) {
  int k = 0;
  for (const std::string &line : kiv::fuzz::split(text, "\n")) {
    if (line.size() < 3 || line[0] != '@' || k >= 8) continue;
    const int type = (line[1] - '0' + 3) % 3 + 1;
    const size_t blank = line.find(' ');
    const std::string name = line.substr(2, blank == std::string::npos ? std::string::npos : blank - 2);
    const std::string raw = blank == std::string::npos ? "" : line.substr(blank + 1);
    const std::string value = type == 3 ? raw + kMarker : "(" + raw + ")*" + kMarker;
    Heap payload;
    payload.p = KivEncipherGlobalParam(name.c_str(), value.c_str());
    if (!payload.p) continue;
    const int flip = damage.byte();
    if (flip % 4 == 0 && payload.p[0]) payload.p[flip % std::strlen(payload.p)] ^= 1;
    char msg[128];
    KivAddGlobalParam(sys, ("zz__HIDDEN_" + std::to_string(k++)).c_str(), payload.p, type, msg, sizeof msg);
  }
}

void exercise(KIVSystem *sys, Bytes &r, const std::string &text) {
  char msg[512];
  KivAddGlobalParam(sys, kMarker, "1", 1, msg, sizeof msg);
  addHidden(sys, r, text);
  KivReadGPFile(sys);
  KivEvalGlobalParamList(sys, 1, msg, sizeof msg);
  int n = 0;
  for (const std::string &line : kiv::fuzz::split(text, "\n")) {
    if (++n > 16) break;
    const std::string t = line.substr(0, 256);
    double v = 0;
    GetRealExpressionValue(t.c_str(), &v);
    Heap s;
    s.p = GetTextGlobalParam(t.c_str());
    getGlobalParamValueByName(t.c_str(), &v);
    char *shown = nullptr;
    getTextGlobalParamValueByName(t.c_str(), &shown);
    if (n % 3 == 0) ChangeOrAddRealGlobalParamValue(t.c_str(), v, 1);
    if (n % 3 == 1) ChangeOrAddTextGlobalParamValue(t.c_str(), t.c_str(), 1);
  }
  KivEvalGlobalParamList(sys, 0, msg, sizeof msg);
  KivEvalGlobalParamList(sys, 1, msg, sizeof msg);
  // The message buffer is a message too.
  kivfprintf(stderr, "%s", msg);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > 8192) return 0;
  const int files = data[0];
  const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  const kiv::fuzz::Scratch dir(kiv::fuzz::scratchDir("gpstore"));
  place(files & 1, dir.path(), "m_.kivgp", text);
  place(files & 2, dir.path(), "m_.gp", text);
  place(files & 4, dir.path(), "m_.gp2", text);
  KIVSystem *sys = kiv::fuzz::quietSystem();
  std::string printed;
  KivInstallPrintHook(
      sys, [](FILE *, const char *t, void *u) { static_cast<std::string *>(u)->append(t); }, &printed);
  KivInstallDisplayHook(
      sys, [](const char *t, void *u) { static_cast<std::string *>(u)->append(t); }, &printed);
  KivSetFileNames(dir.path().c_str(), "m_", nullptr);
  Bytes r{data, size};
  kiv::guarded(sys, [&] {
    exercise(sys, r, text);
    return 0;
  });
  KivReleaseSystem(sys);
  // Where the input names the marker itself, messages may quote it; the
  // expression checker echoes a text without its blanks, and the line files'
  // conversion from UTF-8 drops stray continuation bytes, so "zq markzq" and
  // "zqma\x90rkzq" name it too.
  std::string squeezed;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80) squeezed.push_back(c);
  if (squeezed.find(kMarker) == std::string::npos && printed.find(kMarker) != std::string::npos) std::abort();
  return 0;
}

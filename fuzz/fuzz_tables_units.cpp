// The units-file reader and unit analysis on a units file made of the
// input's lines.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/system.hpp"
#include "tables/kiv_tablefiles.h"
#include "tables/kiv_units.h"
#include "fuzz/fuzz_support.hpp"

namespace {


std::vector<std::string> split(const std::string &text, const char *separators) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i <= text.size()) {
    size_t e = text.find_first_of(separators, i);
    if (e == std::string::npos) e = text.size();
    if (e > i) out.push_back(text.substr(i, e - i));
    i = e + 1;
  }
  return out;
}

int exercise(const std::string &text) {
  const std::vector<std::string> lines = split(text, "\n");
  std::vector<const char *> p;
  for (const auto &l : lines) p.push_back(l.c_str());
  // The units file is taken from the store when no file of that name opens.
  rtable_multi_line_add("./KIV.units", p.data(), static_cast<int>(p.size()));
  InitUnitsManager("/nonexistent-kiv-root");
  std::vector<std::string> words;
  for (const auto &l : lines) {
    const auto fields = split(l, " \t");
    for (const auto &f : fields)
      if (words.size() < 12) words.push_back(f.substr(0, 80));
  }
  double f = 0, o = 0;
  int e[KIV_UNIT_DIMENSIONS];
  for (size_t i = 0; i < words.size(); ++i) {
    ExtractConvFact(words[i].c_str(), &f, &o);
    GetConvFactAndBase(words[i].c_str(), &f, &o, e);
    const KIVUnit *u = nullptr;
    GetConvFactForToken(words[i].c_str(), &f, &u);
    if (i + 1 < words.size()) {
      GetConvFactFromU1toU2(words[i].c_str(), words[i + 1].c_str(), &f, &o);
      AreUnitsHomogeneous(words[i].c_str(), words[i + 1].c_str());
    }
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 8192) return 0;
  KIVSystem *sys = kiv::fuzz::quietSystem();
  const std::string text(reinterpret_cast<const char *>(data), size);
  kiv::guarded(sys, [&] { return exercise(text); });
  KivReleaseSystem(sys);
  return 0;
}

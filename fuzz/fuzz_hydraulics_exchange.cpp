// The fluid exchange file: the input is read by a slave; when it is
// accepted, the fluids are written as a master writes them, read by a second
// slave and written again.  A file the master wrote must be accepted, and
// the second writing must equal the first to the byte.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "hydraulics/kiv_hydraulics.h"
#include "runtime/system.hpp"
#include "tables/kiv_tablefiles.h"
#include "fuzz/fuzz_support.hpp"

namespace {

std::string circuit(const char *which) { return kiv::fuzz::scratchPath("exchange", which); }

std::string contents(const std::string &path) {
  std::stringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

// A new slave reads from's file and, when it is accepted, writes its fluids
// as to's file; false when the file was refused.
bool readThenWrite(const std::string &from, const std::string &to) {
  KIVSystem *sys = kiv::fuzz::quietSystem();
  KIVRunFlags flags{};
  const int r = kiv::guarded(sys, [&] {
    KivSetRunFlags(&flags);
    slavereadhydp(from.c_str(), 0, nullptr);
    KivSetFileNames("", to.c_str(), nullptr);
    std::remove((to + ".hydp").c_str());
    masterwritehydp();
    return 0;
  });
  KivReleaseSystem(sys);
  return r == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 16384) return 0;
  static int noCache = [] {
    int off = 0;  // data files named by the input are read afresh
    return rtableStoreToCache_(&off);
  }();
  (void)noCache;
  const std::string a = circuit("a"), b = circuit("b"), c = circuit("c");
  using kiv::fuzz::Scratch;
  const Scratch files[] = {Scratch(a + ".hydp"), Scratch(b + ".hydp"), Scratch(c + ".hydp")};
  if (!kiv::fuzz::writeFile(a + ".hydp", data, size)) return 0;
  if (!readThenWrite(a, b)) return 0;
  if (!readThenWrite(b, c)) std::abort();  // the master's own file refused
  if (contents(b + ".hydp") != contents(c + ".hydp")) std::abort();
  return 0;
}

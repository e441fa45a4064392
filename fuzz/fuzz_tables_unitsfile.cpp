// The units file read from disk: the input is written as the KIV.units file
// of a directory of its own, the units manager reads it there, and the
// words of the input are analysed and converted as units.
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/system.hpp"
#include "tables/kiv_tablefiles.h"
#include "tables/kiv_units.h"
#include "fuzz/fuzz_units.hpp"

namespace {

int exercise(const std::string &dir, const std::string &text) {
  InitUnitsManager(dir.c_str());
  kiv::fuzz::analyseUnits(text);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > 16384) return 0;
  static int noCache = [] {
    int off = 0;  // the file is read afresh for every input
    return rtableStoreToCache_(&off);
  }();
  (void)noCache;
  const kiv::fuzz::Scratch dir(kiv::fuzz::scratchDir("unitsfile"));
  if (!kiv::fuzz::writeFile(dir.path() + "/KIV.units", data, size)) return 0;
  KIVSystem *sys = kiv::fuzz::quietSystem();
  const std::string text(reinterpret_cast<const char *>(data), size);
  kiv::guarded(sys, [&] { return exercise(dir.path(), text); });
  KivReleaseSystem(sys);
  return 0;
}

// The units-file reader and unit analysis on a units file made of the
// input's lines.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/system.hpp"
#include "tables/kiv_tablefiles.h"
#include "tables/kiv_units.h"
#include "fuzz/fuzz_units.hpp"

namespace {

using kiv::fuzz::split;

int exercise(const std::string &text) {
  const std::vector<std::string> lines = split(text, "\n");
  std::vector<const char *> p;
  for (const auto &l : lines) p.push_back(l.c_str());
  // The units file is taken from the store when no file of that name opens.
  rtable_multi_line_add("./KIV.units", p.data(), static_cast<int>(p.size()));
  InitUnitsManager("/nonexistent-kiv-root");
  kiv::fuzz::analyseUnits(text);
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

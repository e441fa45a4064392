// Survey of the booleans against the exact reference (the cells against
// their own), family by family:
//   boolean_survey [--pairs N] [--seed S] [--family NAME] [--dump K]
// prints per family and operation, as drawn and turned, the wrong or empty
// results with status OK, the count of each failing status and the median
// time per operation of the library and of the reference; --dump prints the
// first K failing pairs of each family with 17 digits.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/geometry_exact/differential.hpp"

namespace {

using namespace kiv::geomexact;

void silent(FILE *, const char *, void *) {}

// The families against the exact reference, then the cells.
std::vector<Family> surveyed() {
  std::vector<Family> all(std::begin(kFamilies), std::end(kFamilies));
  all.push_back(Family::Cells);
  return all;
}

int usage(const char *why) {
  std::fprintf(stderr, "%s\nusage: boolean_survey [--pairs N] [--seed S] [--family NAME] [--dump K]\nfamilies:", why);
  for (Family f : surveyed()) std::fprintf(stderr, " %s", familyName(f));
  std::fprintf(stderr, "\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  long pairs = 8000, dump = 0;
  unsigned long long seed = 12345;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    if (i + 1 >= argc) return usage(("missing value of " + opt).c_str());
    const char *value = argv[++i];
    char *end = nullptr;
    if (opt == "--family") {
      only = value;
      continue;
    }
    const unsigned long long v = std::strtoull(value, &end, 10);
    if (!*value || *end) return usage(("not a number: " + std::string(value)).c_str());
    if (opt == "--pairs")
      pairs = static_cast<long>(v);
    else if (opt == "--seed")
      seed = v;
    else if (opt == "--dump")
      dump = static_cast<long>(v);
    else
      return usage(("unknown option " + opt).c_str());
  }
  bool known = only.empty();
  for (Family f : surveyed()) known = known || only == familyName(f);
  if (!known) return usage(("unknown family " + only).c_str());

  KIVSystem *sys = KivCreateSystem();
  KivMakeCurrent(sys);
  KivInstallPrintHook(sys, &silent, nullptr);
  std::printf(
      "seed %llu, %ld pairs per family; wrong: status OK and area off the exact one by more than 1e-9 of "
      "the larger operand's\n",
      seed, pairs);
  long total = 0;
  for (Family f : surveyed()) {
    if (!only.empty() && only != familyName(f)) continue;
    // Each family its own stream, so that one family can be rerun alone.
    const Tally t =
        runFamily(f, seed + 1000003ULL * static_cast<unsigned long long>(f), pairs, static_cast<size_t>(dump));
    std::printf("# %s (%ld draws rejected)\n%s", familyTitle(f), t.rejected, tallyText(t).c_str());
    for (const std::string &s : t.failures) std::printf("%s", s.c_str());
    std::fflush(stdout);
    total += t.failed();
  }
  std::printf("failures in all: %ld\n", total);
  KivReleaseSystem(sys);
  return 0;
}

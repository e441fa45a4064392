// The line and value readers on arbitrary bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/system.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  KIVSystem *sys = kiv::fuzz::quietSystem();
  std::vector<char> bytes(data, data + size);
  for (int skip = 0; skip < 2; ++skip) {
    FILE *fp = fmemopen(bytes.data(), bytes.size(), "r");
    if (!fp) break;
    char *buf = nullptr;
    int cap = 0;
    size_t total = 0;
    while (const char *line = kivfgetsclean(fp, &buf, &cap, skip)) {
      const size_t n = std::strlen(line);
      if (n && (line[0] == ' ' || line[0] == '\t')) std::abort();  // leading blanks are removed
      total += n;
    }
    if (total > size) std::abort();
    std::free(buf);
    std::fclose(fp);
  }
  FILE *fp = fmemopen(bytes.data(), bytes.size(), "r");
  if (fp) {
    IgnoreComment(fp);
    double v[4];
    int k[3];
    kiv::guarded(sys, [&] { return GetValues(fp, v, 4, k, 3, "bad values"); });
    std::fclose(fp);
  }
  KivReleaseSystem(sys);
  return 0;
}

// The line-list reader (with its cache) and the state-space readers on a
// file written from the input; whatever its line ends, the list is that of
// its LF twin.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/system.hpp"
#include "tables/kiv_tablefiles.h"
#include "fuzz/fuzz_support.hpp"

namespace {


const std::string &path() {
  static const std::string p = kiv::fuzz::scratchPath("tables_lines", ".txt");
  return p;
}

const std::string &twinPath() {
  static const std::string p = kiv::fuzz::scratchPath("tables_lines_lf", ".txt");
  return p;
}

// The text with each CRLF and each CR alone made LF.
std::string lfTwin(const uint8_t *data, size_t size) {
  std::string t;
  for (size_t i = 0; i < size; ++i)
    if (data[i] != '\r')
      t += static_cast<char>(data[i]);
    else if (i + 1 == size || data[i + 1] != '\n')
      t += '\n';
  return t;
}

std::vector<std::string> take(char **lines, int n) {
  std::vector<std::string> v;
  for (int i = 0; i < n; ++i) {
    v.emplace_back(lines[i]);
    std::free(lines[i]);
  }
  std::free(lines);
  return v;
}

int exercise(int firstSkip) {
  int n = 0, skip = firstSkip;
  char **l = rtableml_quiet(path().c_str(), &n, &skip, 1);
  const std::vector<std::string> first = take(l, l ? n : 0);
  // A second read comes from the cache, with the other filter.
  skip = 1 - firstSkip;
  l = rtableml_quiet(path().c_str(), &n, &skip, 1);
  const std::vector<std::string> second = take(l, l ? n : 0);
  const auto &all = firstSkip ? second : first;
  const auto &kept = firstSkip ? first : second;
  std::vector<std::string> filtered;
  for (const auto &s : all) {
    if (s.empty() || s[0] == ' ' || s[0] == '\t' || s.find('\n') != std::string::npos) std::abort();
    if (s[0] != '#') filtered.push_back(s);
  }
  if (filtered != kept) std::abort();
  int m = 0;
  skip = 0;
  l = rtableml_quiet(twinPath().c_str(), &m, &skip, 1);
  if (take(l, l ? m : 0) != all) std::abort();

  int sn = 0, sm = 0, sp = 0;
  double *A = nullptr, *B = nullptr, *C = nullptr, *D = nullptr, *x0 = nullptr;
  for (auto reader : {&kivreadjac_, &kivreadssp_}) {
    if (reader(path().c_str(), &sn, &sm, &sp, &A, &B, &C, &D, &x0)) {
      if (sn < 1 || sm < 1 || sp < 1 || !A || !B || !C || !D) std::abort();
      for (double *q : {A, B, C, D, x0}) std::free(q);
    } else if (A || x0) {
      std::abort();
    }
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const std::string twin = lfTwin(data + 1, size - 1);
  const kiv::fuzz::Scratch lf(twinPath());
  if (!kiv::fuzz::writeFile(twinPath(), reinterpret_cast<const uint8_t *>(twin.data()), twin.size())) return 0;
  return kiv::fuzz::onScratchFile(path(), data + 1, size - 1, [&] { return exercise(data[0] & 1); });
}

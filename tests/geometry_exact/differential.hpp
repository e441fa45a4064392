// The library's union, intersection and removal of a pair against the exact
// reference, and the tally of a family.  A result is wrong when its status
// is OK and its area departs from the reference's by more than 1e-9 of the
// larger operand's area (an empty result included), contours below 0.001
// counted or not.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/geometry_exact/families.hpp"

namespace kiv::geomexact {

inline constexpr double kRelativeTolerance = 1e-9;
inline constexpr int kStatuses = 6;  // KIV_BOOL_OK .. KIV_BOOL_NOT_FINITE

struct OpOutcome {
  int status = -1;
  double area = 0, want = 0;
  bool wrong = false;
  double libraryMicros = 0, referenceMicros = 0;
};

inline shape *libraryOp(Op op, const shape *a, const shape *b, int *status) {
  switch (op) {
    case Op::Union:
      return union_shape_status_(a, b, status);
    case Op::Intersection:
      return intersection_shape_status_(a, b, status);
    case Op::Removal:
      return remove_shape_status_(a, b, status);
  }
  return nullptr;
}

inline double tolerance(const Ring &a, const Ring &b) {
  return kRelativeTolerance * std::max(std::fabs(exactArea(a)), std::fabs(exactArea(b)));
}

// One operation on the pair.  `want` NaN: the reference decides.
inline OpOutcome evaluate(const Ring &a, const Ring &b, Op op, double want = std::nan("")) {
  using Clock = std::chrono::steady_clock;
  OpOutcome o;
  const geomtest::Shape A = libraryShape(a), B = libraryShape(b);
  const auto t0 = Clock::now();
  const geomtest::Shape result(libraryOp(op, A.get(), B.get(), &o.status));
  const auto t1 = Clock::now();
  const Expected e = std::isnan(want) ? reference(a, b, op) : Expected{want, want, want};
  const auto t2 = Clock::now();
  o.want = e.kept;
  o.area = area2D_(result.get());
  o.wrong = o.status == KIV_BOOL_OK && !e.accepts(o.area, tolerance(a, b));
  o.libraryMicros = std::chrono::duration<double, std::micro>(t1 - t0).count();
  o.referenceMicros = std::chrono::duration<double, std::micro>(t2 - t1).count();
  return o;
}

struct Tally {
  Family family = Family::General;
  long pairs = 0, rejected = 0;
  std::array<long, 3> wrong{};
  std::array<std::array<long, kStatuses>, 3> status{};
  std::array<std::vector<double>, 3> libraryMicros, referenceMicros;
  std::vector<std::string> failures;  // the first few, as text

  long failed() const {
    long n = 0;
    for (int k = 0; k < 3; ++k) {
      n += wrong[size_t(k)];
      for (int s = 1; s < kStatuses; ++s) n += status[size_t(k)][size_t(s)];
    }
    return n;
  }
};

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
  return v[v.size() / 2];
}

inline std::string failureText(Family f, long index, const Ring &a, const Ring &b, Op op, const OpOutcome &o) {
  char head[256];
  std::snprintf(head, sizeof head, "%s pair %ld, %s: status %d, area %.17g, reference %.17g\n", familyName(f), index,
                opName(op), o.status, o.area, o.want);
  return head + ("  A = " + ringText(a) + "\n  B = " + ringText(b) + "\n");
}

// `pairs` pairs of the family drawn from the seed, each under the three
// operations; the first `keep` failures are kept as text.
inline Tally runFamily(Family f, uint64_t seed, long pairs, size_t keep = 3) {
  Tally t;
  t.family = f;
  Rng rng(seed);
  for (long i = 0; i < pairs; ++i) {
    const Pair p = drawPair(f, rng, &t.rejected);
    ++t.pairs;
    for (int k = 0; k < 3; ++k) {
      const OpOutcome o = evaluate(p.a, p.b, kOps[k]);
      const size_t ks = size_t(k);
      if (o.status >= 0 && o.status < kStatuses) ++t.status[ks][size_t(o.status)];
      t.wrong[ks] += o.wrong;
      t.libraryMicros[ks].push_back(o.libraryMicros);
      t.referenceMicros[ks].push_back(o.referenceMicros);
      if ((o.wrong || o.status != KIV_BOOL_OK) && t.failures.size() < keep)
        t.failures.push_back(failureText(f, i, p.a, p.b, kOps[k], o));
    }
  }
  return t;
}

// One line per operation: wrong results with status OK, each failing
// status, median microseconds of the library and of the reference.
inline std::string tallyText(const Tally &t) {
  std::string s;
  char line[256];
  for (int k = 0; k < 3; ++k) {
    const size_t ks = size_t(k);
    std::snprintf(line, sizeof line,
                  "%-10s %-12s pairs %6ld  wrong/empty OK %5ld  status 1:%ld 2:%ld 3:%ld 4:%ld 5:%ld  "
                  "median us library %.2f reference %.1f\n",
                  familyName(t.family), opName(kOps[k]), t.pairs, t.wrong[ks], t.status[ks][1], t.status[ks][2],
                  t.status[ks][3], t.status[ks][4], t.status[ks][5], median(t.libraryMicros[ks]),
                  median(t.referenceMicros[ks]));
    s += line;
  }
  return s;
}

}  // namespace kiv::geomexact

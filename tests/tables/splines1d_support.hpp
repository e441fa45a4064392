// Helpers of the 1-D, multi-1-D and 2-D spline tests: creation from vectors,
// evaluation by value, and the runtime's evaluation modes.
#pragma once

#include <ostream>
#include <vector>

#include "support/kiv_test.hpp"
#include "tables/spline_support.hpp"
#include "tables/kiv_splines.h"

namespace kiv::test {

inline int linear(const std::vector<double> &x, const std::vector<double> &y, int left,
                  int right) {
  const int n = static_cast<int>(x.size());
  return lsplinit_(&n, x.data(), y.data(), &left, &right);
}

inline double lval(int id, double x, int disc = 0) { return getlspl_(&id, &x, &disc); }
inline double lslope(int id, double x, int disc = 0) { return getlspd_(&id, &x, &disc); }
inline double lint(int id, double x, int disc = 0) { return getlspi_(&id, &x, &disc); }

// Evaluations made while it lives run in the given mode (2: locating a
// discontinuity); the first call of the run is over.
struct Mode {
  explicit Mode(int flag) {
    KivSetFirstCall(0);
    KivBeginEvaluation(flag);
  }
  ~Mode() { KivBeginEvaluation(KIV_EVAL_ORDINARY); }
};

// A value computed while the runtime locates a discontinuity, and the answer
// word after it: 2 nothing reported, 4 a crossing reported.
struct Located {
  double value;
  int answer;
  bool operator==(const Located &) const = default;
};
inline std::ostream &operator<<(std::ostream &o, const Located &l) {
  return o << "{" << l.value << ", answer " << l.answer << "}";
}
template <class F>
Located locating(F &&f) {
  Mode m(KIV_EVAL_LOCATE);
  const double v = f();
  return {v, KivGetAnswerWord()};
}

inline void ordinary() {
  KivSetFirstCall(0);
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
}

}  // namespace kiv::test

// Fixture of the hydraulic-law tests: one simple fluid (exponential density
// rho0 exp(p / B), constant bulk modulus and viscosity above its saturation
// pressure) selected as the current fluid, and ordinary printing run flags.
#pragma once

#include <cmath>
#include <numbers>

#include "fluid_test.hpp"
#include "hydraulics/kiv_hydlaws.h"

namespace kiv::test {

class LawsTest : public FluidTest {
 public:
  static constexpr double kRho0 = 850.0, kBulk = 1.6e9, kMu = 0.03;

  void SetUp() override {
    FluidTest::SetUp();
    SimpleFluid s;
    s.index = 1;
    s.rho = kRho0;
    s.bulk = kBulk;
    s.mu = kMu;
    s.p_sat = -50000.0;
    ASSERT_EQ(guarded([&] { define(s); return 0; }), 0);
    select(1);
    KIVRunFlags flags{};
    flags.printing = 1;
    KivSetRunFlags(&flags);
    KivSetFirstCall(0);
    KivBeginEvaluation(KIV_EVAL_ORDINARY);
  }

  // The fluid's closed forms, for p above the saturation pressure.
  static double rho(double p) { return kRho0 * std::exp(p / kBulk); }
  static double nu(double p) { return kMu / rho(p); }

  // Evaluates f as the integrator does while locating a discontinuity and
  // gives the answer word: 2 nothing reported, 3 or 4 a crossing.
  template <class F>
  static int locate(F &&f) {
    KivBeginEvaluation(KIV_EVAL_LOCATE);
    f();
    const int word = KivGetAnswerWord();
    KivBeginEvaluation(KIV_EVAL_ORDINARY);
    return word;
  }
};

inline double circleArea(double d) { return std::numbers::pi * d * d / 4.0; }

}  // namespace kiv::test

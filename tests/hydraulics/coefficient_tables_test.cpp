// Coefficient tables against the orifice equation q = Cq A sqrt(2 dp / rho)
// with Re = v dh / nu, the annular leakage against the concentric-annulus
// closed forms, and the orifice whose flow has inertia at rest and in its
// steady state.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "fluid_test.hpp"
#include "hydraulics/kiv_hydraulics.h"
#include "hydraulics/kiv_hydtables.h"
#include "params/kiv_expr.h"
#include "tables/kiv_tablefiles.h"

namespace kiv::test {
namespace {

using CoefficientTables = LawsTest;

constexpr double kDh = 1e-3, kRho = 850.0, kNu = 4e-5, kA = 2e-6;
const std::vector<double> kRe{20.0, 100.0, 1000.0, 1e4}, kCq{0.3, 0.55, 0.68, 0.7};

struct Zeta {
  double q, re, v, zeta;
};
Zeta orifZeta(int index, double dp) {
  double dh = kDh, A = kA, rho = kRho, nu = kNu;
  Zeta z{};
  orif_zeta_(&dp, &dh, &A, &z.re, &z.v, &z.q, &z.zeta, &rho, &nu, &index);
  return z;
}
double cqAt(int index, double key) {
  double cq = -1.0;
  get_cq_from_table_(&key, &cq, &index);
  return cq;
}

TEST_F(CoefficientTables, OrificeEquationAtTheKnots) {
  std::vector<double> re = kRe, cq = kCq, zeta;
  for (double c : kCq) zeta.push_back(1.0 / (c * c));
  double dh = kDh;
  int n = 4;
  for (int interpolation : {1, 2}) {
    const int tables[] = {SetUpCqTable_(&dh, cq.data(), re.data(), &interpolation, &n),
                          SetUpZetaTable_(&dh, zeta.data(), re.data(), &interpolation, &n),
                          SetUpZetaTable2_(&dh, zeta.data(), re.data(), &interpolation, &n)};
    for (int index : tables) {
      ASSERT_GE(index, 0);
      for (size_t i = 0; i < kRe.size(); ++i) {
        // The pressure drop at which the orifice runs at (Re_i, Cq_i).
        const double X = kRe[i] * kRe[i] / (2.0 * kDh * kDh * kCq[i] * kCq[i]);
        for (double sign : {1.0, -1.0}) {
          const double dp = sign * X * kRho * kNu * kNu;
          const Zeta z = orifZeta(index, dp);
          EXPECT_NEAR(z.q, sign * kCq[i] * kA * std::sqrt(2.0 * X) * kNu, 1e-9 * std::fabs(z.q));
          EXPECT_NEAR(z.re, kRe[i], 1e-9 * kRe[i]) << index;
          EXPECT_NEAR(z.zeta, zeta[i], 1e-9 * zeta[i]);
        }
      }
      // Below the first point: a loss coefficient gives laminar flow (q
      // proportional to dp), a flow coefficient rises linearly in X.
      const double X0 = kRe[0] * kRe[0] / (2.0 * kDh * kDh * kCq[0] * kCq[0]);
      EXPECT_NEAR(cqAt(index, X0 / 4.0), kCq[0] / (index == tables[1] ? 2.0 : 4.0), 1e-12);
    }
  }
  EXPECT_EQ(orifZeta(0, 0.0).q, 0.0);
  // A table that closes (Cq below 0 at its end) gives a finite flow there.
  double closing[] = {0.5, 0.6, -0.1};
  int three = 3, linear2 = 2;
  const int shut = createSplineCqDpScaled_(&dh, closing, re.data(), &linear2, &three);
  const double Xs = 1e6 / (2.0 * kDh * kDh * 0.01);
  EXPECT_NEAR(orifZeta(shut, Xs * kRho * kNu * kNu).q, -0.1 * kA * std::sqrt(2.0 * Xs) * kNu, 1e-15);
  // Cq against Re itself starts at the origin.
  int linear = 2;
  const int byRe = SetUpCqReTable_(cq.data(), re.data(), &linear, &n);
  EXPECT_EQ(cqAt(byRe, 0.0), 0.0);
  EXPECT_NEAR(cqAt(byRe, 10.0), 0.15, 1e-15);
  EXPECT_NEAR(cqAt(byRe, 550.0), 0.615, 1e-15);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(CoefficientTables, CubicFlowCoefficientsNeverTurnNegative) {
  // A realistic rise from a laminar start: no coefficient below zero
  // anywhere between the points.
  double re[] = {1.0, 10.0, 100.0, 1000.0, 1e4}, cq[] = {0.05, 0.3, 0.6, 0.7, 0.72}, dh = kDh;
  int cubic = 1, n = 5;
  const int byX = SetUpCqTable_(&dh, cq, re, &cubic, &n), byRe = SetUpCqReTable_(cq, re, &cubic, &n);
  const double X0 = 1.0 / (2.0 * kDh * kDh * cq[0] * cq[0]);
  for (double f = 1.0; f < 1e6; f *= 1.05) {
    EXPECT_GE(cqAt(byX, X0 * f), 0.0) << f;
    EXPECT_GE(cqAt(byRe, f * 1e-2), 0.0) << f;
  }
}

TEST_F(CoefficientTables, LayersOfZetaTables) {
  // Layer 2 holds larger losses; each runs the orifice equation at its points.
  int layers = 2, npts[] = {3, 3};
  double re[] = {20.0, 100.0, 1000.0, 20.0, 100.0, 1000.0}, layer[] = {2.0, 1.0}, dh = kDh;
  double zeta[] = {12.0, 4.0, 2.5, 11.0, 3.3, 2.2};
  int index = setUpZetaTableM1D_(&layers, npts, &dh, re, layer, zeta);
  ASSERT_GE(index, 0);
  for (int k = 0; k < 6; ++k) {
    double y = layer[k / 3], A = kA, rho = kRho, nu = kNu, z, out_re, v;
    const double X = re[k] * re[k] * zeta[k] / (2.0 * kDh * kDh);
    double dp = -X * kRho * kNu * kNu;
    const double q = orif_zeta_M1D_(&index, &dh, &A, &dp, &y, &rho, &nu, &z, &out_re, &v);
    EXPECT_NEAR(out_re, re[k], 1e-9 * re[k]) << k;
    EXPECT_NEAR(q, -kA * std::sqrt(2.0 * X) * kNu / std::sqrt(zeta[k]), 1e-9 * std::fabs(q));
    EXPECT_NEAR(z, zeta[k], 1e-9 * zeta[k]);
  }
}

TEST_F(CoefficientTables, ValidationTexts) {
  struct Case {
    std::vector<double> re, zeta;
    std::string err;
  } cases[] = {
      {{10.0, 50.0}, {1.0, 0.01},
       "\nThe input table contains a point with invalid Reynolds / zeta evolution."
       "\nYou must ensure that (Re[i]*sqrt(zeta[i])) < ( Re[i+1]*sqrt(zeta[i+1]))."
       "\nPlease check points 0 and 1:"
       "\nwhere Re[0]= 10.000000, zeta[0]= 1.000000, Re[0]/Cq[0]= 10.000000"
       "\nand Re[1]= 50.000000, zeta[1]= 0.010000, Re[1]/Cq[1]= 5.000000"},
      {{10.0, 50.0}, {1.0, -1.0},
       "\nThe input table contains a point with negative pressure drop coefficient (-1.000000)."
       "\nCheck point # 2"},
  };
  double dh = kDh;
  int interpolation = 2, n = 2;
  for (Case &c : cases) {
    EXPECT_EQ(SetUpZetaTable_(&dh, c.zeta.data(), c.re.data(), &interpolation, &n), -1);
    EXPECT_EQ(takeErr(), c.err + "\nError detected in SetUpZetaTable utility.");
  }
}

TEST_F(CoefficientTables, GeneralTablesAreOddInX) {
  const double lambda[] = {10.0, 100.0, 1000.0}, cq[] = {0.2, 0.6, 0.7};
  const int size = 3;
  ASSERT_EQ(rtablend_add("ct_lambda", 1, &size, lambda, cq, nullptr), 1);
  char name[] = "ct_lambda";
  for (int type : {1, 2}) {
    for (int interpolation : {2}) {
      int cqn = 1, flown = 1, sign = -1, disc = 0, level = -1;
      double dh = kDh;
      int index = SetUpCqTable_disc_(name, &cqn, &flown, &type, &sign, &dh, &interpolation,
                                           &disc, &level);
      ASSERT_GE(index, 0);
      EXPECT_EQ(level, 1);  // the zero point is added
      for (int i = 0; i < 3; ++i) {
        double X = lambda[i] * lambda[i] / (2.0 * kDh * kDh), minus = -X, out = 0.0;
        get_cq_from_table_disc2(&minus, &dh, &cqn, &index, &out);
        EXPECT_NEAR(out, -cq[i], 1e-12) << type;
        if (type == 1) {
          get_cq_from_table_disc2(&X, &dh, &cqn, &index, &out);
          EXPECT_NEAR(out, cq[i], 1e-12);
        }
      }
    }
  }
  takeErr();
  // Expressions of lambda: Cq directly, or zeta turned into Cq.
  char lam[] = "lambda";
  char *names[] = {lam};
  struct Case {
    const char *text;
    int dp_number, level;
    double (*cq)(double);
  } cases[] = {
      {"lambda/(lambda+100)", 1, 0, [](double l) { return l / (l + 100.0); }},
      {"1+100/lambda", 2, 1, [](double l) { return 1.0 / std::sqrt(1.0 + 100.0 / l); }},
      {"0.1+lambda*0", 1, 2, [](double) { return 0.1; }},
  };
  for (const Case &c : cases) {
    int dpn = c.dp_number, flown = 1, type = 1, sign = 1, nn = 1, interpolation = 2, disc = 0,
        level = -1;
    double dh = kDh;
    int index = SetUpCqTable_disc2_(const_cast<char *>(c.text), &dpn, &flown, &type, &sign, &dh,
                                    names, &nn, &interpolation, &disc, &level);
    ASSERT_GE(index, 0) << c.text;
    EXPECT_EQ(level, c.level) << c.text;
    for (double l : {5.0, 80.0, 3000.0}) {
      double X = -l * l / (2.0 * kDh * kDh), out = 0.0;
      get_cq_from_table_disc2(&X, &dh, &dpn, &index, &out);
      EXPECT_NEAR(out, -c.cq(l), 1e-14) << c.text;
    }
  }
  EXPECT_NE(takeErr().find("\nCq(0) must be equal to 0.\n"), std::string::npos);
}

TEST_F(CoefficientTables, LoadersFromFilesAndExpressions) {
  const double re[] = {20.0, 100.0, 1000.0}, zeta[] = {1 / 0.09, 1 / 0.3025, 1 / 0.4624};
  ASSERT_EQ(rtable1d_add("ct_zeta", 3, re, zeta), 1);
  char file[] = "ct_zeta";
  double dh = kDh;
  int interpolation = 1, index = -5;
  EXPECT_EQ(getZetaDpSplineFromZetaReTable1D_(file, &dh, &interpolation, 0, &index), 0);
  // The caller's 1 (linear) comes back as the array set-up's linear code.
  EXPECT_EQ(interpolation, 2);
  // Caller code 1 is linear: halfway between two points in log(1 + X).
  auto u = [&](int i) { return std::log1p(re[i] * re[i] * zeta[i] / (2.0 * kDh * kDh)); };
  const double um = 0.5 * (u(0) + u(1));
  EXPECT_NEAR(cqAt(index, std::expm1(um)), 0.5 * (0.3 + 0.55), 1e-12);
  // Caller code 2 is cubic and comes back as 1: the same curve as the
  // array set-up given the same points and code 1.
  int cubic_caller = 2, cubic = 1, three = 3;
  EXPECT_EQ(getZetaDpSplineFromZetaReTable1D_(file, &dh, &cubic_caller, 0, &index), 0);
  EXPECT_EQ(cubic_caller, 1);
  double re_copy[] = {re[0], re[1], re[2]}, zeta_copy[] = {zeta[0], zeta[1], zeta[2]};
  const int reference = SetUpZetaTable2_(&dh, zeta_copy, re_copy, &cubic, &three);
  ASSERT_GE(reference, 0);
  for (double f : {0.1, 0.5, 0.9, 1.5}) {
    const double X = std::expm1(u(0) + f * (u(2) - u(0)));
    EXPECT_EQ(cqAt(index, X), cqAt(reference, X)) << f;
  }
  EXPECT_GT(std::fabs(cqAt(index, std::expm1(um)) - 0.5 * (0.3 + 0.55)), 1e-4);
  // A file that cannot be read leaves the caller's code alone.
  char missing[] = "ct_no_such_table";
  int untouched = 2;
  EXPECT_EQ(getZetaDpSplineFromZetaReTable1D_(missing, &dh, &untouched, 0, &index), 2);
  EXPECT_EQ(untouched, 2);
  EXPECT_EQ(index, -1);
  takeErr();
  // A generated grid: Re = 100 is one of its points.
  char r[] = "Re";
  char *names[] = {r};
  int expression = CheckExpression("64/Re+0.5", 1, names);
  ASSERT_GE(expression, 0);
  EXPECT_EQ(getZetaDpSplineFromZetaReExpression_(&expression, &dh, &interpolation, 0, &index), 0);
  const double X = 100.0 * 100.0 * 1.14 / (2.0 * kDh * kDh);
  const Zeta z = orifZeta(index, X * kRho * kNu * kNu);
  EXPECT_NEAR(z.re, 100.0, 1e-9);
  EXPECT_NEAR(z.zeta, 1.14, 1e-12);
}

bool has(const std::string &text, const char *part) { return text.find(part) != std::string::npos; }

TEST_F(CoefficientTables, NonFiniteValuesAreRefusedFirst) {
  // A NaN passes every sign test; it must be named for what it is, not as a
  // leak at zero, a negative coefficient or a disorder of the points.
  // A file's contents may be cached by name: every table has its own.
  int files = 0;
  auto file = [&](const std::string &rows) {
    const std::string path = tempPath("ct_nonfinite" + std::to_string(++files) + ".txt");
    std::ofstream(path) << "# Table format: 1D\n" << rows;
    return path;
  };
  struct Case {
    const char *rows;
    int dp_number, flow_number;
    double dh;
  } cases[] = {
      {"0 nan\n10 0.3\n100 0.6\n", 1, 1, kDh},  // NaN at zero lambda
      {"10 0.3\n100 inf\n", 1, 1, kDh},
      {"10 0.3\nnan 0.6\n", 1, 2, kDh},
      {"10 -inf\n100 0.6\n", 2, 1, kDh},
      {"10 0.3\n1e200 0.6\n", 1, 1, kDh},  // finite, but X overflows
      {"0 0\n10 0.3\n", 1, 1, 0.0},        // no diameter: 0 / 0 at zero
  };
  for (const Case &c : cases) {
    std::string text = file(c.rows);
    int dpn = c.dp_number, flown = c.flow_number, type = 1, sign = 1, interpolation = 2, disc = 0,
        level = -1;
    double dh = c.dh;
    EXPECT_EQ(SetUpCqTable_disc_(text.data(), &dpn, &flown, &type, &sign, &dh, &interpolation,
                                 &disc, &level),
              -1)
        << c.rows;
    EXPECT_EQ(level, 2) << c.rows;
    const std::string err = takeErr();
    EXPECT_TRUE(has(err, "non-finite")) << err;
    EXPECT_FALSE(has(err, "non-zero") || has(err, "negative")) << err;
  }
  // The same screen in the array set-ups and the (Re, zeta) file loader.
  const double nan = std::numeric_limits<double>::quiet_NaN(),
               inf = std::numeric_limits<double>::infinity();
  double dh = kDh;
  int linear = 2, n = 3;
  double re[] = {20.0, 100.0, 1000.0}, bad_coef[] = {0.3, nan, 0.7}, bad_re[] = {20.0, inf, 1e3};
  double good[] = {0.3, 0.55, 0.7};
  const std::function<int()> set_ups[] = {
      [&] { return SetUpZetaTable_(&dh, bad_coef, re, &linear, &n); },
      [&] { return SetUpZetaTable2_(&dh, good, bad_re, &linear, &n); },
      [&] { return SetUpCqTable_(&dh, bad_coef, re, &linear, &n); },
      [&] { return SetUpCqReTable_(good, bad_re, &linear, &n); },
  };
  for (const auto &set_up : set_ups) {
    EXPECT_EQ(set_up(), -1);
    const std::string err = takeErr();
    EXPECT_TRUE(has(err, "non-finite") && has(err, "\nCheck point # 2")) << err;
    EXPECT_FALSE(has(err, "negative") || has(err, "evolution")) << err;
  }
  int layers = 1, npts[] = {3};
  double layer[] = {1.0};
  EXPECT_EQ(setUpZetaTableM1D_(&layers, npts, &dh, re, layer, bad_coef), -1);
  EXPECT_TRUE(has(takeErr(), "non-finite"));
  std::string zeta_file = file("20 4\ninf 2\n");
  int cubic = 2, index = 5;
  EXPECT_EQ(getZetaDpSplineFromZetaReTable1D_(zeta_file.data(), &dh, &cubic, 0, &index), 2);
  EXPECT_EQ(index, -1);
  const std::string err = takeErr();
  EXPECT_TRUE(has(err, "non-finite")) << err;
  EXPECT_FALSE(has(err, "increasing")) << err;
  // A finite table of the same layout is still taken.
  std::string finite = file("0 0\n10 0.3\n100 0.6\n");
  int dpn = 1, flown = 1, type = 2, sign = 1, disc = 0, level = -1;
  EXPECT_GE(SetUpCqTable_disc_(finite.data(), &dpn, &flown, &type, &sign, &dh, &linear, &disc,
                               &level),
            0);
  EXPECT_EQ(level, 0);
  EXPECT_EQ(takeErr(), "");
  for (int k = 1; k <= files; ++k)
    std::remove(tempPath("ct_nonfinite" + std::to_string(k) + ".txt").c_str());
}

TEST_F(CoefficientTables, AnnularLeakageClosedForms) {
  const double pi = std::numbers::pi, mu = 0.03, dp = 50e5, D = 0.02, L = 0.015;
  for (double c : {10e-6, 30e-6}) {
    const double h = c / 2, R2 = D / 2, R1 = R2 - h;
    // Exact Poiseuille flow of a concentric annulus; the narrow-gap law
    // agrees with it to about h / D.
    const double exact = pi * dp / (8 * mu * L) *
                         (std::pow(R2, 4) - std::pow(R1, 4) -
                          std::pow(R2 * R2 - R1 * R1, 2) / std::log(R2 / R1));
    double re = -1.0;
    const double q = fluAnnularLeakageFlow(mu, kRho0, dp, D, c, L, 0.0, 0, 3.0, &re);
    EXPECT_NEAR(q, exact, 2 * h / D * exact) << c;
    // Hydraulic diameter 2 h: Re = rho (q / area) 2 h / mu.
    EXPECT_NEAR(re, kRho0 * q / (pi * (R1 + R2) * h) * 2 * h / mu, 1e-12 * re);
    EXPECT_NEAR(fluAnnularLeakageFlow(mu, kRho0, dp, D, c, L, h, 0, 3.0, &re), 2.5 * q, 1e-12 * q);
    // Couette: the gap moves at half the piston speed on average.
    const double v = 0.4;
    EXPECT_NEAR(fluAnnularLeakageFlow(mu, kRho0, dp, D, c, L, 0.0, 1, v, &re) - q,
                v / 2 * pi * D * h, 1e-12 * q);
    EXPECT_EQ(fluAnnularLeakageFlow(mu, kRho0, dp, D, c, L, 0.0, 2, v, &re), q);
    // Wall shear: the pressure gradient dp / L over half the gap, and mu v / h.
    double bore = 0.0, piston = 0.0;
    double len = L;
    fluAnnularLeakageViscousForces(D, c, mu, dp, v, &len, 1, &bore, &piston);
    EXPECT_NEAR(piston, (dp / L * h / 2 + mu * v / h) * pi * (D - c) * L, 1e-12 * piston);
    EXPECT_NEAR(bore, (dp / L * h / 2 - mu * v / h) * pi * D * L, 1e-12 * std::fabs(bore));
  }
}

TEST_F(CoefficientTables, InertiaAtRestAndInSteadyFlow) {
  // Cq = 0.7 once Re passes 10.
  double re[] = {10.0, 1e7}, cq[] = {0.7, 0.7};
  int linear = 2, n = 2;
  int index = SetUpCqReTable_(cq, re, &linear, &n);
  ASSERT_GE(index, 0);
  const double p1 = 20e5, p2 = 80e5, L = 0.05;
  for (double A : {1e-9, 1e-5}) {
    double a = p1, b = p2, q = 0.0, area = A, dh = 2 * std::sqrt(A / std::numbers::pi),
           len = L, dqdt, out_re, v, out_cq;
    orifinertia_(&a, &b, &q, &area, &dh, &len, &index, &dqdt, &out_re, &v, &out_cq);
    EXPECT_NEAR(dqdt, A * (p2 - p1) / (kRho0 * L), 1e-12 * dqdt);
    EXPECT_EQ(v, 0.0);
    EXPECT_EQ(out_re, 0.0);
    // Steady: the orifice equation at the mean density, with the flow
    // referred to 0 bar.
    const double rm = 0.5 * (rho(p1) + rho(p2));
    q = 0.7 * A * std::sqrt(2 * (p2 - p1) / rm);
    orifinertia_(&a, &b, &q, &area, &dh, &len, &index, &dqdt, &out_re, &v, &out_cq);
    EXPECT_NEAR(out_cq, 0.7, 1e-15);
    EXPECT_NEAR(dqdt, 0.0, 1e-9 * A * (p2 - p1) / (kRho0 * L)) << A;
    EXPECT_NEAR(v, 0.5 * (q * kRho0 / rho(p1) + q * kRho0 / rho(p2)) / A, 1e-12 * v);
  }
  if (allocationCount() < 0) return;
  double a = p1, b = p2, q = 1e-6, area = 1e-6, dh = 1e-3, len = L, out[4], X = 1e9;
  const long before = allocationCount();
  orifinertia_(&a, &b, &q, &area, &dh, &len, &index, &out[0], &out[1], &out[2], &out[3]);
  get_cq_from_table_(&X, &out[0], &index);
  EXPECT_EQ(allocationCount() - before, 0);
}

}  // namespace
}  // namespace kiv::test

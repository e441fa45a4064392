// The fluid-properties submodel: its checks with their exact messages and
// verdicts, the conversion of its parameters to SI, the fluid each property
// type defines, and its evaluation.
#include <algorithm>
#include <cstdio>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

using Fp04 = FluidTest;

const std::string kTemperature = "\nThe temperature must be greater than -273.15 degC.\n";
const std::string kFatal = "\nFatal error in FP04 instance 1.\nTerminating the program.\n";
const std::string kWarning = "\nWarning in FP04 instance 1.\n";

Fp04Params with(int type, int index, std::initializer_list<std::pair<int, double>> reals) {
  Fp04Params f;
  f.type(type).index(index);
  for (const auto &[k, v] : reals) f.real[k] = v;
  return f;
}

TEST_F(Fp04, AirWarningsAndParametersBecomeSiInPlace) {
  ASSERT_EQ(with(2, 7, {{6, 0.0}}).setUpIn(*this), 0);
  EXPECT_EQ(takeErr(),
            "\nThe air/gas content equal to 0 per cent can cause numerical problems.\n" + kWarning);
  ASSERT_EQ(with(2, 8, {{6, 12.0}}).setUpIn(*this), 0);
  EXPECT_EQ(takeErr(), "\nThe air/gas content greater than 10 per cent is very high.\n" + kWarning);

  // Every unit converted once, in the caller's array.
  Fp04Params g = with(3, 2, {{2, 8.0}});
  const Fp04Params before = g;
  ASSERT_EQ(g.setUpIn(*this), 0);
  EXPECT_EQ(takeErr(), "");
  double expected[20];
  std::copy(std::begin(before.real), std::end(before.real), expected);
  for (const auto &[pos, factor] : {std::pair{1, 1e5}, {3, 1e-3}, {4, 1e-3}, {5, 1e5}, {9, 1e-6},
                                    {11, 1e-6}, {14, 1e5}, {15, 1e5}, {16, 1e-3}, {19, 1e5}})
    expected[pos] = before.real[pos] * factor;
  for (int k = 0; k < 20; ++k) EXPECT_EQ(g.real[k], expected[k]) << "position " << k;
  int i = 2;
  EXPECT_EQ(retfprop_(&i)->bulk_slope, 0.08);  // divided on the way to the definer only
}

TEST_F(Fp04, RangeChecksAndTheirVerdict) {
  Fp04Params f{.integer = {2, 1, 45, 3, 0}};
  EXPECT_EQ(f.setUpIn(*this), -2);
  EXPECT_EQ(takeErr(), "\nbulk modulus type must be in range [1..2].\n" + kFatal);
  EXPECT_EQ(exitCode(), 1);
  EXPECT_EQ(f.real[1], 17000.0);  // nothing converted, nothing defined
  int i = 0;
  EXPECT_EQ(checkhdind2_(&i), 0);
  // Every integer is range-tested whatever the type, in a fixed order.
  EXPECT_EQ((Fp04Params{.integer = {0, 13, 50, 0, -1}}.setUpIn(*this)), -2);
  EXPECT_EQ(takeErr(), "\ntype of fluid properties must be in range [1..7].\n"
                       "\nfuel type must be in range [1..12].\n"
                       "\nfluid property file must be in range [1..49].\n"
                       "\nbulk modulus type must be in range [1..2].\n"
                       "\nindex of hydraulic fluid must be in range [0..100].\n" + kFatal);
}

TEST_F(Fp04, EveryTypeChecksItsOwnParameters) {
  const std::string highVsSat = "\nIllegal value of high saturated vapor pressure.\n";
  const std::string coefficient =
      "\nAccording to the literature the coefficient for temperature viscosity characteristic "
      "should be set to 0.7 or 0.8.\n";
  const std::string viscosity = "\nThe absolute viscosity must be strictly positive.\n";
  const std::string saturation = "\nThe saturation pressure must be strictly greater than -1.013 bar.\n";
  const std::string polytropic = "\nThe polytropic index for air/gas/vapor content must be positive.\n";
  const std::string molar = "\nThe effective molecular mass of vapor must be greater than 1.\n";
  const std::string positive = "\nThe density must be strictly positive.\n"
                               "\nThe bulk modulus must be strictly positive.\n";
  const struct {
    Fp04Params f;
    std::string message;
  } cases[] = {
      // The table type: air/gas viscosity, saturation, temperature, polytropic
      // index, the vapour band, vapour viscosity and mass, air/gas density.
      {with(4, 0, {{4, 0.0}, {5, -2.0}, {7, -300.0}, {13, -1.0}, {14, -2.0}, {15, -1.5}, {16, 0.0},
                {17, 0.5}, {18, 0.0}}),
       kTemperature + "\nThe absolute viscosity of air/gas must be strictly positive.\n" +
           saturation + kTemperature + polytropic +
           "\nIllegal value of high saturation pressure.\nValue is -2.\n"
           "\nIllegal value of low saturation pressure.\nValue is -1.5.\n" +
           highVsSat +
           "High saturated vapor pressure (-2) must be less than saturation pressure (-2).\n"
           "\nIllegal values of saturation pressures.\n"
           "Low value (-1.5) must be less than high value (-2).\n"
           "\nThe absolute viscosity of vapor must be strictly positive.\n" +
           molar + "\nThe air/gas density at atmospheric pressure 0 degC must be strictly positive.\n"},
      // Two-point types: a falling bulk modulus is refused as for type 3.
      {with(7, 0, {{0, 0.0}, {1, -5.0}, {2, -1.0}, {8, -280.0}, {10, -275.0}, {9, 0.1}, {11, 0.2},
                {14, 0.5}}),
       positive + "\nThe slope of bulk modulus must be positive.\n" + highVsSat +
           "High saturated vapor pressure (0.5) must be less than saturation pressure (0).\n"
           "\nThe temperature must be greater than -272.0 degC.\n"
           "\nThe temperature must be greater than -270.0 degC.\n"
           "\nThe kinematic viscosity at T1 must be greater than 0.3 cSt.\n"
           "\nThe kinematic viscosity at T2 must be greater than 0.3 cSt.\n"},
      {with(6, 0, {{8, -280.0}, {10, -290.0}, {12, 0.5}, {11, 100.0}}),
       coefficient +
           "\nUsually nu2 is greater that nu1\n"
           "\nThe temperature T1 must be greater than -272.0 degC.\n"
           "\nThe temperature T2 must be greater than -270.0 degC.\n"
           "\nT2 must be greater than T1.\n"},
      // nu + c at or below 1 has no double logarithm: no viscosity.
      {with(6, 0, {{9, 0.3}, {12, 0.6}}), coefficient + viscosity},
      // Simple type: below absolute zero is refused, the temperature twice.
      {with(1, 0, {{0, -1.0}, {1, 0.0}, {3, 0.0}, {19, -1.0131}, {7, -273.16}, {13, -0.1}}),
       kTemperature + positive + viscosity + saturation + kTemperature + polytropic},
      {with(5, 0, {{7, 400.0}, {14, -0.95}, {15, -0.95}, {17, 0.0}, {6, 100.0}}),
       "\nThe air/gas content greater than 10 per cent is very high.\n"
       "\nThe fuel properties are based on measurements in the temperature range -30 to 360 "
       "degC.\n"
       "\nThe specified temperature (400.00 degC) is beyond the recommended values: the fluid "
       "properties will be at the extreme value.\n"
       "\nThe air/gas content must between 0 and 100 per cent.\n"
       "\nIllegal values of saturation pressures.\n"
       "Low value (-0.95) must be less than high value (-0.95).\n" +
           molar},
      {with(2, 0, {{3, -51.0}, {5, -1.1}}), viscosity + saturation},
  };
  for (const auto &c : cases) {
    Fp04Params f = c.f;
    EXPECT_EQ(f.setUpIn(*this), -2) << c.message;
    EXPECT_EQ(takeErr(), c.message + kFatal);
    EXPECT_EQ(takeOut(), "");
    int i = 0;
    EXPECT_EQ(checkhdind2_(&i), 0);
  }
}

TEST_F(Fp04, SaturationAtOrBelowTheDefaultVapourPressureWarns) {
  // Types 2 and 6 take -0.9 bar as their high vapour pressure.
  for (int type : {6}) {
    ASSERT_EQ(with(type, type, {{5, -0.9}}).setUpIn(*this), 0);
    EXPECT_EQ(takeErr(),
              "\nIllegal value of high saturated vapor pressure.\n"
              "High saturated vapor pressure (-0.9) must be less than saturation pressure "
              "(-0.9).\n" + kWarning);
    int i = type;
    EXPECT_DOUBLE_EQ(retfprop_(&i)->p_sat, -90000.0);
  }
  ASSERT_EQ(with(2, 0, {{5, -0.89}}).setUpIn(*this), 0);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Fp04, TwoPointViscosity) {
  // At T1 the given nu1; the absolute viscosity given as a parameter plays no part.
  ASSERT_EQ(with(6, 4, {{7, 20.0}}).setUpIn(*this), 0);
  const std::string rule = "\n ___________________________________ \n";
  EXPECT_EQ(takeOut(), rule + "\nFP04 instance 1:\n"
                       "\nthe calculated kinematic viscosity at 20 degC is set to 100 [cSt].\n"
                       "\nthe calculated absolute viscosity at 20 degC is set to 85 [cP].\n" + rule);
  int i = 4;
  EXPECT_NEAR(retfprop_(&i)->viscosity, 0.085, 1e-15);

  ASSERT_EQ(with(7, 5, {{7, 50.0}, {12, 0.8}}).setUpIn(*this), 0);
  const double nu = walther(20.0, 100.0, 80.0, 10.0, 0.8, 50.0);
  char expected[512];
  std::snprintf(expected, sizeof expected,
                "\nFP04 instance 1:\n\nThe calculated kinematic viscosity at 50 degC is %g [cSt].\n"
                "\nThe calculated absolute viscosity at 50 degC is %g [cP].\n",
                nu, nu * 0.85);
  EXPECT_EQ(takeOut(), rule + expected + rule);
  i = 5;
  EXPECT_NEAR(retfprop_(&i)->viscosity / (1e-6 * nu * 850.0), 1.0, 1e-13);
}

TEST_F(Fp04, SimpleAndFuelTypes) {
  ASSERT_EQ(with(1, 11, {}).setUpIn(*this), 0);
  Fp04Params u = with(5, 12, {{7, -35.0}});
  u.integer[1] = 9;
  ASSERT_EQ(u.setUpIn(*this), 0);
  EXPECT_EQ(takeErr(),
            "\nThe fuel properties are based on measurements in the temperature range -30 to 360 "
            "degC.\n"
            "\nThe specified temperature (-35.00 degC) is beyond the recommended values: the fluid "
            "properties will be at the extreme value.\n" + kWarning);
  // A second submodel on the same index ends the run.
  EXPECT_EQ(with(1, 12, {}).setUpIn(*this), -2);
  EXPECT_EQ(takeErr(), "Hydraulic property index 12\nis already defined.\n");
}

TEST_F(Fp04, EvaluationSelectsAndClearsTheTotals) {
  Fp04Params a = with(2, 1, {}), b = with(2, 2, {{0, 1000.0}});
  ASSERT_EQ(guarded([&] { a.setUp(); b.setUp(); return 0; }), 0);
  double volume = 3.0, mass = 4.0;
  int instance = 1;
  KivSetFirstCall(1);
  fp04_(&instance, &volume, &mass, a.real, a.integer);
  EXPECT_EQ(volume + mass, 0.0);
  EXPECT_EQ(gethdind_(), 1);
  fp04_(&instance, &volume, &mass, b.real, b.integer);
  EXPECT_EQ(gethdind_(), 2);
}

}  // namespace
}  // namespace kiv::test

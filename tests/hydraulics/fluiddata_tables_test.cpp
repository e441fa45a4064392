// Fluids defined from data files: density, bulk modulus and viscosity by
// pressure against the laws the tables describe, blending between table
// temperatures, the temperature and pressure warnings, the temperature
// change, and every refusal of the reader, which leaves nothing behind.
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "fluid_test.hpp"
#include "tables/kiv_splines.h"

namespace kiv::test {
namespace {

class TableFluids : public FluidTest {
 public:
  // Defines a fluid from a file and selects it; the definition must succeed.
  void load(const std::string &file, TableFluidArgs a = {}) {
    int result = 0;
    ASSERT_EQ(guarded([&] { result = defineTable(file, a); return 0; }), 0) << takeErr();
    ASSERT_EQ(result, 1) << takeErr();
    select(a.index);
  }
  static std::string data(const std::string &name) { return dataDir() + "/hydraulics/" + name; }
  const std::string two = data("two_temperatures.data");
};

// Bulk-modulus file of one temperature with the given pairs and reference.
std::string bulkFile(const std::string &pairs, int n, const std::string &reference = "850 0") {
  return "1\n1\n" + reference + "\n40\n" + std::to_string(n) + "\n" + pairs + "1\n1\n40\n1\n0 50\n";
}
std::string densityFile(const std::string &pairs, int n) {
  return "2\n1\n40\n" + std::to_string(n) + "\n" + pairs + "1\n1\n40\n1\n0 50\n";
}

TEST_F(TableFluids, BulkModulusTables) {
  load(writeTemp("constant", bulkFile("0 17000\n1000 17000\n", 2)));
  EXPECT_EQ(takeErr(), "");
  for (double p : {0.0, 5e7, 1e8}) {
    EXPECT_NEAR(at(rhoatp_, p) / (850.0 * std::exp(p / 1.7e9)), 1.0, 1e-14) << p;
    EXPECT_NEAR(at(bmatp_, p), 1.7e9, 1e-6) << p;
    EXPECT_NEAR(at(muatp_, p), 0.05, 1e-17) << p;  // 50 cP
  }

  // Density grows from the reference density at its own pressure.
  load(writeTemp("reference", bulkFile("0 17000\n1000 17000\n", 2, "860 100")), {.index = 1});
  EXPECT_EQ(at(rhoatp_, 1e7), 860.0);
  EXPECT_NEAR(at(rhoatp_, 0.0) / (860.0 * std::exp(-1e7 / 1.7e9)), 1.0, 1e-14);

  // B = B0 + K p, tabulated every 10 bar: rho = rho0 (1 + K p / B0)^(1/K).
  std::string pairs;
  for (int p = 0; p <= 1000; p += 10) pairs += std::to_string(p) + " " + std::to_string(16000 + 11 * p) + "\n";
  load(writeTemp("murnaghan", bulkFile(pairs, 101)), {.index = 2});
  // Bounds of linear interpolation of 1/B with steps h = 1e6 Pa: h^2 K^2 /
  // (4 B^2) on B, and the trapezoidal rule's h^2 / 12 K (1/B0^2 - 1/B^2) on
  // ln(rho), at most 1.2e-5 and 2.3e-7 here.
  for (double bar : {0.0, 55.0, 300.0, 777.0, 1000.0}) {
    const double p = bar * 1e5;
    EXPECT_NEAR(at(rhoatp_, p) / (850.0 * std::pow(1.0 + 11.0 * p / 1.6e9, 1.0 / 11.0)), 1.0, 2.4e-7)
        << bar;
    EXPECT_NEAR(at(bmatp_, p) / (1.6e9 + 11.0 * p), 1.0, 1.2e-5) << bar;
  }
  EXPECT_NEAR(at(bmatp_, 3e7) / (1.6e9 + 11.0 * 3e7), 1.0, 1e-14);  // a knot
}

TEST_F(TableFluids, DensityTables) {
  // Densities of a liquid of constant bulk modulus B.
  const double B = 1.5e9;
  const auto rho = [&](double bar) { return 850.0 * std::exp(bar * 1e5 / B); };
  const auto pairs = [&](std::initializer_list<int> bars) {
    std::string s;
    for (int bar : bars) s += std::to_string(bar) + " " + std::to_string(rho(bar)) + "\n";
    return densityFile(s, int(bars.size()));
  };
  load(writeTemp("density", pairs({0, 100, 200, 300, 400})));
  EXPECT_NEAR(at(rhoatp_, 0.0), 850.0, 1e-12);
  for (double bar : {50.0, 150.0, 250.0, 390.0}) {
    EXPECT_NEAR(at(rhoatp_, bar * 1e5) / rho(bar), 1.0, 1e-6) << bar;
    EXPECT_NEAR(at(bmatp_, bar * 1e5) / B, 1.0, 1e-4) << bar;
  }
  EXPECT_NEAR(at(rhoatp_, 0.0) / rho(0), 1.0, 1e-6);

  // Two pairs: one compressibility at each end.
  load(writeTemp("density_two", densityFile("0 850\n400 874\n", 2)), {.index = 2});
  const double slope = 24.0 / 4e7;
  EXPECT_NEAR(at(bmatp_, 0.0), 850.0 / slope, 1e-3);
  EXPECT_NEAR(at(bmatp_, 4e7), 874.0 / slope, 1e-3);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(TableFluids, SpeedOfSound) {
  // d(rho)/dp = 1/c^2: rho = rho0 + p / c^2 and B = rho c^2.
  load(data("sound.data"));
  const double c2 = 1400.0 * 1400.0;
  EXPECT_NEAR(at(bmatp_, 0.0) / (850.0 * c2), 1.0, 1e-14);
  for (double p : {1e7, 2.5e7, 4e7}) {
    EXPECT_NEAR(at(rhoatp_, p) / (850.0 + p / c2), 1.0, 1e-6) << p;
    // 1/(c^2 rho) interpolated linearly between knots 1e7 Pa apart.
    EXPECT_NEAR(at(bmatp_, p) / ((850.0 + p / c2) * c2), 1.0, 1e-5) << p;
  }
  // Kinematic viscosity: the absolute viscosity is 46 cSt times the density.
  for (double p : {0.0, 4e7}) EXPECT_NEAR(at(muatp_, p) / at(rhoatp_, p) / 46e-6, 1.0, 1e-13) << p;
  EXPECT_EQ(takeErr(), "");
}

TEST_F(TableFluids, FaultyTables) {
  load(writeTemp("flat", densityFile("0 850\n400 850\n", 2)));
  EXPECT_EQ(takeErr(),
            "\nWarning in Hydraulic fluid index 0."
            "\nPlease check your data file defining the density in function of pressure at 40 "
            "degC.\n"
            "\nIn your data file, you have indicated two identical densities for successive values "
            "of pressure.\n"
            "\nBulk modulus may become infinite in your simulation, leading to infinite values or "
            "numerical problems.\n");
  EXPECT_EQ(at(rhoatp_, 1e7), 850.0);

  const std::string high = writeTemp("high_reference", bulkFile("0 17000\n400 17000\n", 2, "860 500"));
  load(high, {.index = 1});
  EXPECT_EQ(takeErr(), "\nWarning in hydraulic fluid index 1: in file '" + high +
                           "' for bulk modulus,\npressure for reference density at 40 degC (500 "
                           "bar) is greater than maximum pressure at this temperature (400 "
                           "bar).\n");

  const std::string one = writeTemp("density_one", densityFile("0 850\n", 1));
  EXPECT_EQ(guarded([&] { return defineTable(one, {.index = 2}); }), -2);
  EXPECT_EQ(takeErr(),
            "\nUnable to initialize density tables at 40 degC. Two values of density are needed at "
            "least.\nError in Hydraulic fluid index 2.\nTerminating program.\n");

  // Pressures that are not monotonic: the spline's complaint, then this.
  const std::string zigzag = writeTemp("zigzag", bulkFile("0 17000\n200 17000\n100 17000\n", 3));
  EXPECT_EQ(guarded([&] { return defineTable(zigzag, {.index = 3}); }), -2);
  const std::string err = takeErr(),
                    tail = "\nUnable to initialize bulk modulus tables at 40 degC.\nError in "
                           "Hydraulic fluid index 3.\nTerminating program.\n";
  EXPECT_TRUE(err.size() > tail.size() && err.ends_with(tail)) << err;
}

TEST_F(TableFluids, BlendBetweenTwoTemperaturesAndTheirChange) {
  load(two);
  EXPECT_EQ(takeErr(), "");
  int i = 0;
  const HydFluidRecord *r = retfprop_(&i);
  for (double p : {0.0, 1e7, 3e7}) {
    const double r20 = 860.0 * std::exp(p / 1.6e9), r60 = 840.0 * std::exp(p / 1.4e9);
    EXPECT_NEAR(at(rhoatp_, p) / (0.5 * r20 + 0.5 * r60), 1.0, 1e-14) << p;
    // Volumes add: the compressibilities weighted by the densities.
    EXPECT_NEAR(at(bmatp_, p) / ((r20 + r60) / (r20 / 1.6e9 + r60 / 1.4e9)), 1.0, 1e-14) << p;
    EXPECT_NEAR(at(muatp_, p), 0.5 * (0.1 + 0.1 * p / 4e7) + 0.5 * (0.03 + 0.03 * p / 4e7), 1e-15)
        << p;
  }

  // At a table temperature that table alone answers.
  double t = 20.0;
  changeT_(&i, &t);
  select(0);  // reloads the constants at the new temperature
  EXPECT_NEAR(at(rhoatp_, 2e7) / (860.0 * std::exp(2e7 / 1.6e9)), 1.0, 1e-14);
  EXPECT_NEAR(at(muatp_, 2e7), 0.15, 1e-15);
  EXPECT_EQ(at(q0top_, 1e7), at(rhoatp_, 0.0) / at(rhoatp_, 1e7));

  t = 100.0;  // outside: held at the last table
  changeT_(&i, &t);
  select(0);
  EXPECT_NEAR(at(rhoatp_, 0.0), 840.0, 1e-12);
  takeErr();

  // Temperatures no fluid can have are refused; the fluid stays at 100 degC.
  for (double bad : {-273.2, std::nan(""), HUGE_VAL}) {
    changeT_(&i, &bad);
    EXPECT_TRUE(r->temperature == 100.0 + kT0 && r->bm_bracket == 1 && !takeErr().empty()) << bad;
  }
}

// Density and bulk modulus of a bulk-modulus table fluid straight from the
// flat spline exports: per table the reference density times the exponential
// of the integrated 1/B since the reference pressure (capped at 100), and
// 1/B itself; blended by the record's weights, the bulk moduli by volume.
struct LawValues {
  double rho, bulk;
};
LawValues fromSplines(int index, double p) {
  const HydFluidRecord &r = *retfprop_(&index);
  const HydTableSlot &s = kiv::hyd::currentBlock()->tables[static_cast<size_t>(index)];
  const auto table = [&](int k) {
    int id = s.bm_spline[static_cast<size_t>(k)], off = 0;
    const double I = std::min(getlspi_(&id, &p, &off), 100.0);
    return LawValues{s.ref_density[static_cast<size_t>(k)] *
                         std::exp(I - s.ref_integral[static_cast<size_t>(k)]),
                     1.0 / getlspl_(&id, &p, &off)};
  };
  const LawValues lo = table(r.bm_bracket);
  if (r.bm_weight_up == 0.0) return lo;
  const LawValues up = table(r.bm_bracket + 1);
  const double wl = r.bm_weight_lo, wu = r.bm_weight_up;
  return {wl * lo.rho + wu * up.rho,
          (wl * lo.rho + wu * up.rho) / (wu * up.rho / up.bulk + wl * lo.rho / lo.bulk)};
}

TEST_F(TableFluids, PropertiesAreTheSplineLawsBitForBit) {
  // Without air the current fluid answers with the table laws themselves
  // above 0 bar gauge, whatever order density and bulk modulus are asked in
  // and whichever fluid or temperature was read at the same pressure before.
  load(two, {.index = 1, .t_celsius = 30.0});
  load(two);
  const std::vector<double> pressures = {0.0, -0.0, 1e7, 1e7, 1.5e7, 0.25e5, 4e7, 4e7, 3.3e7, 1e7};
  const auto check = [&](int index, const std::string &when) {
    select(index);
    for (size_t j = 0; j < pressures.size(); ++j) {
      const double p = pressures[j];
      const LawValues law = fromSplines(index, p);
      const bool bulk_first = j % 3 == 1;
      const double b0 = bulk_first ? at(bmatp_, p) : 0.0;
      EXPECT_EQ(at(rhoatp_, p), law.rho) << when << " " << p;
      EXPECT_EQ(at(bmatp_, p), law.bulk) << when << " " << p;
      if (bulk_first) {
        EXPECT_EQ(b0, law.bulk) << when << " " << p;
      }
    }
  };
  check(0, "40 degC");
  check(1, "30 degC");
  check(0, "40 degC again");
  // Beyond both ends of the tables the laws themselves, bulk modulus first.
  const kiv::hyd::TableFluid f = kiv::hyd::tableFluid(1);
  for (double p : {-0.5e5, 6e7}) {
    const LawValues law = fromSplines(1, p);
    EXPECT_EQ(kiv::hyd::tableBulk(f, 30.0, p), law.bulk) << p;
    EXPECT_EQ(kiv::hyd::tableDensity(f, 30.0, p), law.rho) << p;
  }
  EXPECT_NE(takeErr().find("index 1 concerning bulk modulus"), std::string::npos);
  int i = 0;
  for (double t : {20.0, 60.0, 45.0}) {
    changeT_(&i, &t);
    check(0, std::to_string(t) + " degC");
  }
  EXPECT_EQ(takeErr(), "");

  // The pressure warning follows the temperature the fluid was moved to.
  at(rhoatp_, 5e7);
  EXPECT_NE(takeErr().find("at current temperature (45 degC)"), std::string::npos);
  load(two, {.index = 2});
  at(bmatp_, 1e7);
  i = 2;
  double t = 60.0;
  changeT_(&i, &t);
  select(2);
  at(bmatp_, 5e7);
  EXPECT_NE(takeErr().find("at maximum temperature (60 degC)"), std::string::npos);
}

// Two tables over different pressures, blended halfway: whichever
// interval one table was read in, the other answers at its own, along a
// sweep, at random and at the knots of either table.
TEST_F(TableFluids, BlendOfTablesOverDifferentPressures) {
  load(writeTemp("uneven", "1\n2\n860 0\n20\n4\n0 16000\n100 17500\n250 18500\n400 21000\n"
                           "840 0\n60\n5\n0 14000\n50 14300\n180 16500\n300 17000\n400 "
                           "19500\n1\n1\n40\n1\n0 50\n"));
  ASSERT_EQ(retfprop_(std::array{0}.data())->bm_weight_up, 0.5);
  std::vector<double> pressures;
  for (int k = 0; k <= 40; ++k) pressures.push_back(1e6 * k);  // 0..400 bar by 10
  for (double bar : {100.0, 250.0, 50.0, 180.0, 300.0, 0.0, 400.0, 420.0, 5.0})
    pressures.push_back(bar * 1e5);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> any(0.0, 4.2e7);
  for (int k = 0; k < 200; ++k) pressures.push_back(any(rng));
  for (const double p : pressures) {
    const LawValues law = fromSplines(0, p);
    EXPECT_EQ(at(rhoatp_, p), law.rho) << p;
    EXPECT_EQ(at(bmatp_, p), law.bulk) << p;
  }
  takeErr();  // above 400 bar on a print step: the pressure warning
}

TEST_F(TableFluids, TemperaturesOutsideTheTables) {
  load(two, {.t_celsius = 10.0});
  const auto warning = [&](const std::string &what) {
    return "\nWarning in hydraulic fluid index 0: current temperature (10 degC) is lower than "
           "minimum temperature (20 degC) for\n" + what + " in file '" + two + "'. The " + what +
           " will be saturated to extreme values\noccurring in the file.\n";
  };
  EXPECT_EQ(takeErr(), warning("bulk modulus") + warning("absolute viscosity"));
  EXPECT_NEAR(at(rhoatp_, 1e7) / (860.0 * std::exp(1e7 / 1.6e9)), 1.0, 1e-14);
  EXPECT_NEAR(at(muatp_, 0.0), 0.1, 1e-16);

  load(two, {.index = 1, .t_celsius = 70.0});
  EXPECT_NE(takeErr().find("current temperature (70 degC) is greater than maximum temperature (60 "
                           "degC) for\nbulk modulus"),
            std::string::npos);
  EXPECT_NEAR(at(rhoatp_, 1e7) / (840.0 * std::exp(1e7 / 1.4e9)), 1.0, 1e-14);
  EXPECT_NEAR(at(muatp_, 0.0), 0.03, 1e-16);
}

TEST_F(TableFluids, ImpossibleTemperaturesDefineNothing) {
  const struct {
    double t;
    const char *shown;
  } cases[] = {{std::nan(""), "nan"}, {-INFINITY, "-inf"}, {INFINITY, "inf"}, {-273.16, "-273.16"}, {-1e4, "-10000"}};
  for (const auto &c : cases) {
    int result = -1;
    ASSERT_EQ(guarded([&] { result = defineTable(two, {.t_celsius = c.t}); return 0; }), 0) << c.shown;
    EXPECT_EQ(result, 0) << c.shown;
    const std::string err = takeErr();
    EXPECT_NE(err.find(std::string("temperature (") + c.shown + " degC)"), std::string::npos) << err;
  }
  // Index 0 is still free, and absolute zero itself is a temperature.
  load(two, {.t_celsius = -273.15});
  EXPECT_NEAR(at(muatp_, 0.0), 0.1, 1e-16);  // held at the 20 degC table
}

TEST_F(TableFluids, TemperatureChangeBeyondTheTablesWarnsAsTheDefinitionDoes) {
  load(two);
  EXPECT_EQ(takeErr(), "");
  // Both families of the file have tables at 20 and 60 degC only.
  const auto warning = [&](int index, const std::string &t, const std::string &side,
                           const std::string &limit) {
    std::string out;
    for (const std::string what : {"bulk modulus", "absolute viscosity"})
      out += "\nWarning in hydraulic fluid index " + std::to_string(index) +
             ": current temperature (" + t + " degC) is " + side + " temperature (" + limit +
             " degC) for\n" + what + " in file '" + two + "'. The " + what +
             " will be saturated to extreme values\noccurring in the file.\n";
    return out;
  };
  int i = 0;
  const auto move = [&](double t) {
    changeT_(&i, &t);
    select(0);
    return takeErr();
  };
  EXPECT_EQ(move(75.0), warning(0, "75", "greater than maximum", "60"));
  EXPECT_NEAR(at(muatp_, 0.0), 0.03, 1e-16);  // held at the 60 degC table
  EXPECT_EQ(move(75.0), "");                  // the same temperature: nothing new
  EXPECT_EQ(move(90.5), warning(0, "90.5", "greater than maximum", "60"));
  EXPECT_EQ(move(60.0), "");  // the last table temperature is inside
  EXPECT_EQ(move(20.0), "");
  EXPECT_EQ(move(-5.0), warning(0, "-5", "lower than minimum", "20"));
  EXPECT_NEAR(at(muatp_, 0.0), 0.1, 1e-16);  // held at the 20 degC table
  // A definition at that temperature says the same.
  load(two, {.index = 1, .t_celsius = -5.0});
  EXPECT_EQ(takeErr(), warning(1, "-5", "lower than minimum", "20"));
}

TEST_F(TableFluids, PressureAboveTheTablesWarnsOncePerFamily) {
  load(two);
  const double held = at(rhoatp_, 4e7);
  EXPECT_EQ(takeErr(), "");
  at(bmatp_, 5e7);
  const auto warning = [&](const std::string &what, const std::string &What, int t) {
    const std::string T = std::to_string(t);
    return "\nWarning in hydraulic fluid index 0 concerning " + what + " defined in file '" + two +
           "': current\npressure (500 bar) is greater than maximum pressure (400 bar) at current "
           "temperature (" + T + " degC). " + What + "\nwill be saturated to its value at " + T +
           " degC and 400 bar.\n";
  };
  EXPECT_EQ(takeErr(), warning("bulk modulus", "Bulk modulus", 40));
  EXPECT_GT(at(rhoatp_, 6e7), held);  // density still integrates the held value
  at(muatp_, 5e7);
  EXPECT_EQ(takeErr(), warning("absolute viscosity", "Absolute viscosity", 40));
  EXPECT_EQ(at(muatp_, 5e7), at(muatp_, 4e7));
  at(muatp_, 9e7);
  at(rhoatp_, 9e7);
  EXPECT_EQ(takeErr(), "");

}

TEST_F(TableFluids, FluidPropertiesSubmodelReadsItsFile) {
  Fp04Params f{.integer = {4, 1, 1, 1, 3}, .file = two};  // file 1: the user's
  ASSERT_EQ(f.setUpIn(*this), 0);
  EXPECT_EQ(takeErr(), "");
  int i = 3;
  EXPECT_EQ(std::string(retfprop_(&i)->file_name), two);

  const std::string shipped = kivRoot();
  setenv("KIV", tempPath("no_fluid_data").c_str(), 1);  // a root without the shipped files
  EXPECT_EQ((Fp04Params{.integer = {4, 1, 7, 1, 4}}.setUpIn(*this)), -2);
  setenv("KIV", shipped.c_str(), 1);
  EXPECT_EQ(takeErr(), "\nImpossible to open file '$KIV/libhydr/data/hyd_water_Bs.data'.\n"
                       "Check file format for '$KIV/libhydr/data/hyd_water_Bs.data'"
                       "\nFatal error in FP04 instance 1.\nTerminating the program.\n");
  i = 4;
  EXPECT_EQ(checkhdind2_(&i), 0);
}

using FluidFileReader = FluidTest;

// A valid file in parts: bulk-modulus part, then viscosity part.
const std::string kBulkPart =
    "1          # bulk modulus [bar]\n"
    "1\n"
    "850 0      # reference density and its pressure\n"
    "40\n"
    "2\n"
    "0 17000\n"
    "100 18000  # comment after a pair\n";
const std::string kViscosityPart = "2\n1\n40\n1\n0 46\n";
const std::string kDensityHead = "2\n1\n40\n2\n0 870\n";

std::string instead(const std::string &line) {
  return "(instead of string '" + line + "').\nRead FP04 documentation for more information.\n";
}
const std::string kEnd = "End of file has been reached.\n";
const std::string kBulkName = "bulk modulus";

struct Case {
  const char *what;
  std::string content;
  std::string message;
};

std::vector<Case> cases() {
  const std::string mode =
      "\nError when reading definition mode for bulk and density.\nA positive integer equal to "
      "1, 2, or 3 must be provided in the file.\n";
  const auto temps = [](const std::string &name) {
    return "\nError when reading the number of different temperatures for " + name +
           " definition.\nA valid positive integer must be provided in the file.\n";
  };
  const auto temperature = [](int k, const std::string &name, const std::string &bound) {
    return "\nError when reading temperature value number " + std::to_string(k) + " for " + name +
           " definition.\nA temperature greater than " + bound + " degC must be provided.\n";
  };
  const std::string reference =
      "\nError: no reference density number 1 and corresponding pressure provided.\nA strictly "
      "positive density value and a pressure greater than gauge pressure -1.013000 bar must be "
      "provided.\n";
  const auto pairs = [](const std::string &name) {
    return "\nError when reading number of data pairs for " + name +
           " at 40 degC.\nA valid positive integer must be provided in the file.\n";
  };
  const auto missing = [](int j, const std::string &name) {
    return "\nError: no data pair number " + std::to_string(j) + " provided for " + name +
           " at 40 degC.\n";
  };
  const auto bad = [](int j, const std::string &name) {
    return "\nError when reading data pair number " + std::to_string(j) + " for " + name +
           " at 40 degC.\nA pressure value greater than gauge pressure -1.013000 bar and a "
           "strictly positive value of " +
           name + " must be provided.\n";
  };
  const std::string viscosityMode =
      "\nError when reading viscosity definition mode.\nA positive integer equal to 1 or 2 must "
      "be provided in the file.\n";
  const std::string v = "viscosity";
  // The viscosity family shares the density family's reader: only its own
  // names are checked here.
  return {
      {"mode out of range", "4\n", mode + instead("4")},
      {"zero temperatures", "3\n0\n", temps("speed of sound") + instead("0")},
      {"no reference line", "1\n1\n", reference + kEnd},
      {"reference density", "1\n1\n0 0\n",
       "\nReference density number 1 must be strictly positive (string '0 0').\n"},
      {"temperature below absolute zero", "2\n1\n-300\n",
       temperature(1, "density", "-273.15") + instead("-300")},
      {"temperatures not increasing", kDensityHead.substr(0, 2) + "2\n40\n2\n0 870\n100 872\n40\n",
       temperature(2, "density", "40.00") + instead("40")},
      {"zero pairs", "2\n1\n40\n0\n", pairs("density") + instead("0")},
      {"pair missing at the end", kDensityHead, missing(2, "density") + kEnd},
      {"pair value zero", kDensityHead + "100 0\n", bad(2, "density") + instead("100 0")},
      {"bulk pair", "1\n1\n850 0\n40\n1\nx 17000\n", missing(1, kBulkName)},
      {"viscosity mode", kBulkPart + "3\n", viscosityMode + instead("3")},
      {"viscosity pair", kBulkPart + "1\n1\n40\n1\n0 -46\n", bad(1, v) + instead("0 -46")},
      {"lines left over", kBulkPart + kViscosityPart + "7\n8 9\n",
       "Some lines of the file have not been read.\nThe remaining lines are:\n| 7\n| 8 9\n"},
  };
}

TEST_F(FluidFileReader, EveryRefusalHasItsMessage) {
  const auto refused = [&](const char *what, const std::string &path, const std::string &message) {
    int result = -1;
    ASSERT_EQ(guarded([&] { result = defineTable(path); return 0; }), 0) << what;
    EXPECT_EQ(result, 0) << what;
    EXPECT_EQ(takeErr(), message + "Check file format for '" + path + "'") << what;
    // Nothing of the refused file stays: the index is free and its tables empty.
    int i = 0;
    EXPECT_EQ(checkhdind2_(&i), 0) << what;
    const HydTableSlot &slot = kiv::hyd::currentBlock()->tables[0];
    EXPECT_TRUE(slot.bm_mode == 0 && slot.bm_temperature.empty() && slot.bm_pressure.empty() &&
                slot.ref_density.empty() && slot.mu_value.empty())
        << what;
    EXPECT_EQ(gethdind_(), -1) << what;
  };
  for (const Case &c : cases()) refused(c.what, writeTemp("refused", c.content), c.message);
  const std::string missing = tempPath("no_such_fluid.data");
  refused("missing", missing, "\nImpossible to open file '" + missing + "'.\n");
  const std::string comments = writeTemp("comments", "# only\n#comments\n");
  refused("comments only", comments, "\nThe file '" + comments + "' is empty.\n");
}

}  // namespace
}  // namespace kiv::test

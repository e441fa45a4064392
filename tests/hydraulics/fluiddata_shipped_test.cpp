// The fluid data files shipped under the KIV root, read as the
// fluid-properties submodel reads them, against the published values they
// were made from.
#include <cmath>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

class ShippedFluids : public FluidTest {
 public:
  void SetUp() override {
    FluidTest::SetUp();
    // The files are named through KIV, as the submodel names them; outside
    // ctest it points at the source tree's root.
    setenv("KIV", kivRoot().c_str(), 0);
  }

  // Fluid `index` of shipped file `file` at t_celsius, without air, selected.
  void define(int index, int file, int bulkType, double t_celsius) {
    Fp04Params f{.integer = {4, 1, file, bulkType, index}};
    f.real[6] = 0.0;
    f.real[7] = t_celsius;
    ASSERT_EQ(f.setUpIn(*this), 0) << takeErr();
    // Only the note on the air content: the temperature is inside the tables.
    EXPECT_EQ(takeErr(),
              "\nThe air/gas content equal to 0 per cent can cause numerical problems.\n"
              "\nWarning in FP04 instance 1.\n");
  }

  static double cSt(double p) { return at(muatp_, p) / at(rhoatp_, p) * 1e6; }
};

struct Oil {
  int file;
  double rho15, nu40, nu100;
};

TEST_F(ShippedFluids, PublishedValuesAtTheirReferenceTemperatures) {
  int index = 0;
  for (const Oil &oil : {Oil{45, 870.0, 46.0, 6.8}, Oil{44, 865.0, 32.0, 5.4}}) {
    for (int bulkType : {1, 2}) {
      define(index, oil.file, bulkType, 15.0);
      EXPECT_NEAR(at(rhoatp_, 0.0), oil.rho15, 1e-9) << oil.file << " " << bulkType;
      define(index + 1, oil.file, bulkType, 40.0);
      EXPECT_NEAR(cSt(0.0), oil.nu40, 1e-9) << oil.file << " " << bulkType;
      // Lighter at 40 degC than at 15 by a cubic expansion of 6.4e-4 to 7e-4 1/K.
      const double expansion = std::log(oil.rho15 / at(rhoatp_, 0.0)) / 25.0;
      EXPECT_GT(expansion, 6.4e-4);
      EXPECT_LT(expansion, 7e-4);
      define(index + 2, oil.file, bulkType, 100.0);
      EXPECT_NEAR(cSt(0.0), oil.nu100, 1e-9) << oil.file << " " << bulkType;
      index += 3;
    }
  }
}

TEST_F(ShippedFluids, BulkModulusAndPressure) {
  define(0, 45, 1, 40.0);
  const double isentropic = at(bmatp_, 0.0);
  EXPECT_NEAR(isentropic, 1.7e9, 1e-3);
  // Stiffer with pressure by dB/dp = 11; viscosity up by the Barus law,
  // about twofold over 300 bar.
  EXPECT_NEAR(at(bmatp_, 2e7), 1.7e9 + 11.0 * 2e7, 1e-3);
  const double mu0 = at(muatp_, 0.0), mu300 = at(muatp_, 3e7);
  EXPECT_GT(mu300 / mu0, 1.7);
  EXPECT_LT(mu300 / mu0, 2.3);
  // Density: rho0 (1 + K p / B0)^(1/K), less the trapezoidal rule's error
  // on 1/B over the file's steps of 25, 50 and 100 bar: sum of
  // h^2 / 12 K (1/B(a)^2 - 1/B(b)^2) = 4.2e-6 up to 400 bar.
  const double rho0 = at(rhoatp_, 0.0);
  EXPECT_NEAR(at(rhoatp_, 4e7) / (rho0 * std::pow(1.0 + 11.0 * 4e7 / 1.7e9, 1.0 / 11.0)), 1.0,
              4.5e-6);
  // The speed of sound of mineral oil at 40 degC: about 1400 m/s.
  const double c = std::sqrt(isentropic / rho0);
  EXPECT_GT(c, 1350.0);
  EXPECT_LT(c, 1500.0);

  // The isothermal modulus is smaller by cp/cv = 1.15; hotter oil is softer.
  define(1, 45, 2, 40.0);
  EXPECT_NEAR(isentropic / at(bmatp_, 0.0), 1.15, 1e-9);  // ten digits in the file
  define(2, 45, 1, 80.0);
  EXPECT_LT(at(bmatp_, 0.0), 0.85 * isentropic);
}

// Between the file's temperatures the viscosity follows the Walther line
// through the grade's two published points closely, not a straight chord;
// the grades keep their order.
TEST_F(ShippedFluids, ViscosityBetweenTabulatedTemperaturesAndGrades) {
  int index = 0;
  for (double t : {33.75, 51.25, 60.0, 66.25, 93.75}) {
    define(index++, 45, 1, t);
    const double nu = walther(40.0, 46.0, 100.0, 6.8, 0.7, t);
    EXPECT_NEAR(cSt(0.0) / nu, 1.0, t == 60.0 ? 6e-8 : 0.003) << t << " degC";
  }
  const double nu60 = walther(40.0, 46.0, 100.0, 6.8, 0.7, 60.0);
  define(index++, 44, 1, 60.0);
  EXPECT_LT(cSt(0.0), nu60);
  define(index++, 47, 1, 60.0);
  EXPECT_GT(cSt(0.0), nu60);
}

// Every file number the submodel can name, the user's file included, sets
// up from the shipped data at the default 40 degC, inside every file's
// temperatures; properties stay physical wherever the fluid is moved.
TEST_F(ShippedFluids, EveryFileSetsUpWithPhysicalPropertiesOverItsTables) {
  for (int file = 1; file <= 49; ++file) {
    for (int bulkType : {1, 2}) {
      int index = 2 * (file - 1) + bulkType - 1;
      Fp04Params f{.integer = {4, 1, file, bulkType, index}};
      f.file = kivRoot() + "/libhydr/data/hyd_water_Bs.data";
      f.real[6] = 0.0;
      ASSERT_EQ(f.setUpIn(*this), 0) << file << " " << bulkType << takeErr();
      EXPECT_EQ(takeErr(),
                "\nThe air/gas content equal to 0 per cent can cause numerical problems.\n"
                "\nWarning in FP04 instance 1.\n");
      for (double t = -60.0; t <= 210.0; t += 10.0) {
        changeT_(&index, &t);
        select(index);
        for (double p = 0.0; p <= 1.2e8; p += 5e6) {
          const double rho = at(rhoatp_, p), mu = at(muatp_, p), bulk = at(bmatp_, p);
          ASSERT_TRUE(rho > 0.0 && mu > 0.0 && bulk > 0.0 && std::isfinite(bulk + rho + mu))
              << file << " " << bulkType << " " << t << " degC " << p << " Pa";
        }
      }
      takeErr();  // the warnings on pressures above the tables
    }
  }
}

enum Quantity { kRho, kNu, kMu };  // kg/m3, cSt, cP at 0 bar

struct Published {
  int file;
  double t_celsius;
  Quantity what;
  double lo, hi;
};

// One published figure per fluid: the grade or standard limit, the
// handbook value or the formulation's value; "class" marks a fluid without
// published figures, held to the range of its class.
TEST_F(ShippedFluids, PublishedFiguresOfEveryFluid) {
  const double kAny = 1e9;
  const Published rows[] = {
      {2, 100, kNu, 9.3, 12.5}, {3, 100, kNu, 9.3, 12.5},  // SAE J300: 30, 40, cranking
      {4, 100, kNu, 9.3, 12.5}, {48, 100, kNu, 9.3, 12.5}, {5, 100, kNu, 12.5, 16.3},
      {2, -35, kMu, 0, 6200}, {3, -30, kMu, 0, 6600}, {48, -25, kMu, 0, 7000},
      {44, 40, kNu, 28.8, 35.2},                             // ISO VG 32, 46, 68
      {45, 40, kNu, 41.4, 50.6}, {46, 40, kNu, 41.4, 50.6}, {16, 40, kNu, 41.4, 50.6},
      {7, 20, kRho, 998.15, 998.26}, {7, 40, kMu, 0.652, 0.6535},  // water
      {6, 75, kMu, 3.27, 3.41}, {15, 75, kMu, 3.27, 3.41},        // ethylene glycol
      {9, 20, kRho, 1023, 1027}, {10, 20, kRho, 1049, 1053}, {49, 20, kRho, 1062, 1066},
      {13, 20, kMu, 0.298, 0.322}, {14, 20, kMu, 0.394, 0.426},  // alkanes, alcohols
      {19, -40, kNu, 0, 600}, {19, 40, kNu, 13.2, kAny}, {19, 100, kNu, 4.9, kAny},  // MIL
      {22, -40, kNu, 0, 2200}, {22, 40, kNu, 14.0, kAny}, {22, 100, kNu, 3.45, kAny},
      {20, 15, kRho, 900, 1000}, {21, 15, kRho, 840, 900}, {34, 15, kRho, 775, 840},  // class
      {35, 15, kRho, 680, 740}, {41, 15, kRho, 750, 800},                            // class
      {28, 15, kRho, 751, 802}, {29, 15, kRho, 751, 802}, {33, 15, kRho, 935, 943},
      {18, 25, kRho, 990, 1000}, {18, 38, kNu, 10, 11},  // class: low-density phosphate ester
      {18, 99, kNu, 3.5, 4}, {18, -54, kNu, 1000, 2000},
  };
  int index = 0;
  for (const Published &r : rows) {
    for (int bulkType : {1, 2}) {
      define(index, r.file, bulkType, r.t_celsius);
      const double v = r.what == kRho ? at(rhoatp_, 0.0)
                       : r.what == kNu ? cSt(0.0)
                                       : at(muatp_, 0.0) * 1e3;
      EXPECT_TRUE(v >= r.lo && v <= r.hi) << r.file << " at " << r.t_celsius << " degC: " << v;
      if (++index == 100) {  // the table slots are full: a fresh system
        TearDown();
        SetUp();
        index = 0;
      }
    }
  }
}

}  // namespace
}  // namespace kiv::test

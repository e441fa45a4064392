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

}  // namespace
}  // namespace kiv::test

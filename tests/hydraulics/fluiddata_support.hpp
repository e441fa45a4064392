// Helpers of the fluid-definition tests: the fluid-properties submodel's
// parameters in user units, data files written on the fly, and table fluids
// defined with ordinary vapour data.
#pragma once

#include <fstream>
#include <string>

#include "fluid_test.hpp"
#include "hydraulics/kiv_fp04.h"

namespace kiv::test {

// Parameters of the fluid-properties submodel, valid for every type.
struct Fp04Params {
  double real[20] = {
      850.0,    // density [kg/m3]
      17000.0,  // bulk modulus [bar]
      0.0,      // slope of bulk modulus
      51.0,     // absolute viscosity [cP]
      0.02,     // air/gas viscosity [cP]
      0.0,      // saturation pressure [bar]
      1.0,      // air/gas [%]
      40.0,     // temperature [degC]
      20.0,     // T1 [degC]
      100.0,    // nu1 [cSt]
      80.0,     // T2 [degC]
      10.0,     // nu2 [cSt]
      0.7,      // coefficient c [cSt]
      1.4,      // polytropic index
      -0.9,     // high saturation pressure [bar]
      -0.95,    // low saturation pressure [bar]
      0.02,     // vapour viscosity [cP]
      200.0,    // vapour molecular mass
      1.2,      // air/gas density [kg/m3]
      -0.5,     // saturation pressure of the simple type [bar]
  };
  int integer[5] = {2, 1, 45, 1, 0};  // type, fuel, file, bulk modulus type, index
  std::string file;                   // the user's data file (file 1)
  int instance = 1;

  Fp04Params &type(int t) {
    integer[0] = t;
    return *this;
  }
  Fp04Params &index(int i) {
    integer[4] = i;
    return *this;
  }
  void setUp() {
    std::string first = "FP04";
    char *text[2] = {first.data(), file.data()};
    fp04in_(&instance, real, integer, text);
  }
  // The set-up at the test system's recovery point: 0, or -2 after an exit.
  int setUpIn(SystemTest &test) {
    return test.guarded([&] {
      setUp();
      return 0;
    });
  }
};

// A file with the given content in the test's temporary directory; names
// are unique within the process, so the table-file cache never answers for
// another test's file.
inline std::string writeTemp(const std::string &stem, const std::string &content) {
  static int serial = 0;
  const std::string path =
      tempPath(stem + "_" + std::to_string(++serial) + ".data");
  std::ofstream(path) << content;
  return path;
}

// A table fluid read from a file, with ordinary vapour data.
struct TableFluidArgs {
  int index = 0;
  double p_sat = 0.0, air_percent = 0.0, t_celsius = 40.0, polytropic = 1.4;
  double mu_air = 2e-5, high = -90000.0, low = -95000.0, mu_vapour = 2e-5;
  double molar_mass = 200.0, air_density = 1.2;
};

inline int defineTable(const std::string &file, TableFluidArgs a = {}) {
  return fptables_(&a.index, &a.p_sat, &a.air_percent, &a.t_celsius, &a.polytropic, file.c_str(),
                   &a.mu_air, &a.high, &a.low, &a.mu_vapour, &a.molar_mass, &a.air_density);
}

}  // namespace kiv::test

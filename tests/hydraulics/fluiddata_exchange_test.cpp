// The fluid exchange file: what a master writes, what a slave rebuilds from
// it, the refusals of the reader, and the file name read from a text line.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "fluiddata_support.hpp"

namespace kiv::test {
namespace {

class Exchange : public FluidTest {
 public:
  void SetUp() override {
    FluidTest::SetUp();
    static int serial = 0;
    circuit_ = tempPath("exchange_" + std::to_string(++serial));
    std::remove(file().c_str());  // left by an earlier run of the tests
    std::remove((file() + ".run7").c_str());
    KivSetFileNames(::testing::TempDir().c_str(), circuit_.c_str(), nullptr);
    KIVRunFlags flags{};
    KivSetRunFlags(&flags);
  }

  static std::string read(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string file() const { return circuit_ + ".hydp"; }

  // The slave's side: a new run of the same system reads the file.
  int readAsSlave(const char *extension = nullptr) {
    KivEndRun(0);
    return guarded([&] {
      slavereadhydp(circuit_.c_str(), extension ? 1 : 0, extension);
      return 0;
    });
  }

  std::string circuit_;
};

void defineConstant(int index, double slope) {
  double rho = 850.0, bulk = 1.7e9, mu = 0.051, p_sat = 0.0, air = 1.0, t = 40.0, n = 1.4;
  double mu_air = 2e-5, high = -90000.0, low = -95000.0, mu_v = 2e-5, molar = 200.0, den = 1.2;
  fpconbmu2_(&index, &rho, &bulk, &slope, &mu, &p_sat, &air, &t, &n, &mu_air, &high, &low, &mu_v,
             &molar, &den);
}

void defineFuel(int index) {
  int type = 3;
  double high = -20000.0, low = -60000.0, molar = 120.0, mu_air = 1.8e-5, mu_v = 1e-5;
  double air = 0.5, t = 35.0, n = 1.3;
  fprprop_(&type, &index, &high, &low, &molar, &mu_air, &mu_v, &air, &t, &n);
}

void defineSimple(int index) {
  double rho = 1000.0, bulk = 2.2e9, mu = 1e-3, p_sat = -30000.0, air = 2.0, t = 15.5, n = 1.2;
  double extra = 0.25;
  fpspind_(&index, &rho, &bulk, &mu, &p_sat, &air, &t, &n, &extra);
}

double userDensity(double *, double *p) { return 900.0 + *p * 1e-6; }

TEST_F(Exchange, OneConstantFluidAndItsFile) {
  ASSERT_EQ(guarded([&] { defineConstant(0, 0.3); masterwritehydp(); return 0; }), 0);
  EXPECT_EQ(read(file()),
            "# Number of general properties.\n"
            "1\n"
            "# The following lines define general property 1.\n"
            "0\n"
            "0\n"
            "     8.50000000000000e+02\n"
            "     1.70000000000000e+09\n"
            "     5.10000000000000e-02\n"
            "     0.00000000000000e+00\n"
            "     1.00000000000000e+00\n"
            "     4.00000000000000e+01\n"
            "     1.40000000000000e+00\n"
            "     2.00000000000000e-05\n"
            "    -9.00000000000000e+04\n"
            "    -9.50000000000000e+04\n"
            "     2.00000000000000e-05\n"
            "     2.00000000000000e+02\n"
            "     1.20000000000000e+00\n"
            "# Number of fuel properties.\n"
            "0\n"
            "# Number of simple properties.\n"
            "0\n");
  EXPECT_EQ(takeErr(), "");

  // The slave has the same fluid, except for the slope the format leaves out.
  ASSERT_EQ(readAsSlave(), 0);
  EXPECT_EQ(takeErr(), "");
  int i = 0;
  const HydFluidRecord *r = retfprop_(&i);
  EXPECT_EQ(r->kind, 0);
  EXPECT_EQ(r->density, 850.0);
  EXPECT_EQ(r->bulk_modulus, 1.7e9);
  EXPECT_EQ(r->bulk_slope, 0.0);
  EXPECT_EQ(r->viscosity, 0.051);
  EXPECT_EQ(r->air, 0.01);
  EXPECT_EQ(r->temperature, 40.0 + 273.15);
  EXPECT_EQ(r->p_sat_high, -90000.0);
  EXPECT_EQ(r->air_density, 1.2);
}

TEST_F(Exchange, SlaveRebuildsEveryFamilyWithIdenticalProperties) {
  ASSERT_EQ(guarded([&] {
              defineConstant(0, 0.0);
              defineFuel(5);
              defineSimple(100);  // the top index travels too
              masterwritehydp();
              return 0;
            }),
            0);
  const double pressures[] = {-99000.0, -92000.0, -50000.0, 0.0, 1e5, 2e7};
  struct Values {
    std::vector<double> rho, bulk, mu, voidf;
  };
  const auto sample = [&](int index) {
    select(index);
    Values v;
    for (double p : pressures) {
      v.rho.push_back(at(rhoatp_, p));
      v.bulk.push_back(at(bmatp_, p));
      v.mu.push_back(at(muatp_, p));
      v.voidf.push_back(at(fvoid_, p));
    }
    return v;
  };
  const Values master[] = {sample(0), sample(5), sample(100)};
  takeErr();  // the fuel model's notes on pressures without liquid
  ASSERT_EQ(readAsSlave(), 0);
  EXPECT_EQ(takeErr(), "");
  int i5 = 5, i100 = 100;
  EXPECT_EQ(getftype_(&i5), 2);
  EXPECT_EQ(getftype_(&i100), 3);
  EXPECT_EQ(retrprop_(&i5)->fuel_type, 3);
  EXPECT_EQ(getspind_(&i100)->extra, 0.25);
  EXPECT_EQ(kiv::hyd::switches().gFuelProp[5], 1);
  EXPECT_EQ(kiv::hyd::switches().gSimplestProp[100], 1);
  int k = 0;
  for (int index : {0, 5, 100}) {
    const Values slave = sample(index);
    for (size_t j = 0; j < std::size(pressures); ++j) {
      EXPECT_DOUBLE_EQ(slave.rho[j], master[k].rho[j]) << index << " at " << pressures[j];
      EXPECT_DOUBLE_EQ(slave.bulk[j], master[k].bulk[j]) << index << " at " << pressures[j];
      EXPECT_DOUBLE_EQ(slave.mu[j], master[k].mu[j]) << index << " at " << pressures[j];
      EXPECT_DOUBLE_EQ(slave.voidf[j], master[k].voidf[j]) << index << " at " << pressures[j];
    }
    ++k;
  }
}

TEST_F(Exchange, UserFunctionsStayBehindAndTheFileIsWrittenOnce) {
  ASSERT_EQ(guarded([&] {
              defineConstant(0, 0.0);
              int one = 1;
              fpuserd_(&one, &userDensity, nullptr, nullptr);
              defineConstant(2, 0.0);
              masterwritehydp();
              return 0;
            }),
            0);
  EXPECT_EQ(takeErr(),
            "The fluid property 1 uses user defined functions.\n"
            "This property CANNOT be transferred to a slave automatically.\n"
            "If you want to use this property, copy/paste it from\n"
            "the master to the slave.\n");
  const std::string written = read(file());
  EXPECT_EQ(written.rfind("# Number of general properties.\n2\n", 0), 0u);
  EXPECT_NE(written.find("# The following lines define general property 1.\n0\n"),
            std::string::npos);
  EXPECT_NE(written.find("# The following lines define general property 3.\n2\n"),
            std::string::npos);
  EXPECT_EQ(written.find("general property 2."), std::string::npos);

  // Once per run: a later fluid does not make the file grow.
  ASSERT_EQ(guarded([&] { defineSimple(9); masterwritehydp(); return 0; }), 0);
  EXPECT_EQ(read(file()), written);
  EXPECT_EQ(takeErr(), "");

  ASSERT_EQ(readAsSlave(), 0);
  int i0 = 0, i1 = 1, i2 = 2;
  EXPECT_EQ(checkhdind2_(&i0), 1);
  EXPECT_EQ(checkhdind2_(&i1), 0);
  EXPECT_EQ(checkhdind2_(&i2), 1);
}

TEST_F(Exchange, BatchRunsNameTheirFile) {
  KivSetFileNames(::testing::TempDir().c_str(), circuit_.c_str(), "run7");
  ASSERT_EQ(guarded([&] { defineSimple(4); masterwritehydp(); return 0; }), 0);
  EXPECT_NE(read(circuit_ + ".hydp.run7"), "");
  EXPECT_NE(access(file().c_str(), F_OK), 0);
  ASSERT_EQ(readAsSlave("run7"), 0);
  int i = 4;
  EXPECT_EQ(getftype_(&i), 3);
}

TEST_F(Exchange, SlaveRefusals) {
  // No file: no fluids, two notes on the output stream.
  ASSERT_EQ(guarded([&] { slavereadhydp(circuit_.c_str(), 0, nullptr); return 0; }), 0);
  EXPECT_EQ(takeOut(), "File " + file() +
                           " does not exist.\nAssuming there are no hydraulic fluid properties.\n");
  EXPECT_EQ(takeErr(), "");

  std::ofstream(file()) << "";
  EXPECT_EQ(guarded([&] { slavereadhydp(circuit_.c_str(), 0, nullptr); return 0; }), -2);
  EXPECT_EQ(takeErr(), "\nFile " + file() + " is empty.\n");

  // The bounds are those of the fluid-properties submodel.
  const auto refused = [&](const std::string &simple) {
    std::ofstream(file()) << "# Number of general properties.\n0\n# fuel\n0\n# simple\n1\n"
                          << "# The following lines define simple property 1.\n"
                          << simple;
    EXPECT_EQ(guarded([&] { slavereadhydp(circuit_.c_str(), 0, nullptr); return 0; }), -2)
        << simple;
    EXPECT_EQ(takeErr(), "Invalid data in file " + file() + ".\n") << simple;
  };
  refused("101\n1000\n2e9\n1e-3\n0\n1\n20\n1.4\n0\n");       // index above 100
  refused("1\n1000\n2e9\n1e-3\n-101300\n1\n20\n1.4\n0\n");   // vacuum saturation
  refused("1\n0\n2e9\n1e-3\n0\n1\n20\n1.4\n0\n");            // no density
  refused("1\n1000\n2e9\n1e-3\n0\n100\n20\n1.4\n0\n");       // all air
  refused("1\n1000\n2e9\n1e-3\n0\n1\n-274\n1.4\n0\n");       // below absolute zero
  refused("1\n1000\n2e9\nabc\n0\n1\n20\n1.4\n0\n");          // not a number
  refused("1\n1000\n2e9\n1e-3\n0\n1\n20\n1.4\n");            // too short
  std::ofstream(file()) << "0\n1\n# fuel\n5\n0\n-20000\n-60000\n120\n1e-5\n1e-5\n0\n20\n1.4\n0\n";
  EXPECT_EQ(guarded([&] { slavereadhydp(circuit_.c_str(), 0, nullptr); return 0; }), -2);
  EXPECT_EQ(takeErr(), "Invalid data in file " + file() + ".\n");  // fuel type 0

  // A slave that already has a fluid is too late.
  KivEndRun(0);
  std::ofstream(file()) << "0\n0\n0\n";
  ASSERT_EQ(guarded([&] { defineSimple(1); return 0; }), 0);
  EXPECT_EQ(guarded([&] { slavereadhydp(circuit_.c_str(), 0, nullptr); return 0; }), -2);
  const char *late = "Slave is trying to install hydraulic\nfluid properties too late.\n";
  EXPECT_EQ(takeErr(), late);
  EXPECT_EQ(takeOut(), late);
}

TEST_F(Exchange, MasterThatCannotWrite) {
  KivSetFileNames("", (::testing::TempDir() + "no/such/dir/c").c_str(), nullptr);
  EXPECT_EQ(guarded([&] { masterwritehydp(); return 0; }), -2);
  EXPECT_EQ(takeErr(),
            "Unable to open file " + ::testing::TempDir() + "no/such/dir/c.hydp for writing.\n");
}

// The name on the next line of a stream, as the exchange reader takes it.
std::string nameFrom(const std::string &content) {
  FILE *fp = std::tmpfile();
  std::fputs(content.c_str(), fp);
  std::rewind(fp);
  char *name = GetFileNameFromText(fp, nullptr);
  std::string out = name;
  std::free(name);
  std::fclose(fp);
  return out;
}

TEST_F(Exchange, FileNameFromATextLine) {
  EXPECT_EQ(nameFrom("plain_name.data\nnext line\n"), "plain_name.data");
  EXPECT_EQ(nameFrom("no_newline.data"), "no_newline.data");
  EXPECT_EQ(nameFrom(""), "");
  EXPECT_EQ(nameFrom("/no/such/absolute.data\n"), "/no/such/absolute.data");
  setenv("KIV_TEST_FLUID_DIR", "/opt/fluids", 1);
  EXPECT_EQ(nameFrom("$KIV_TEST_FLUID_DIR/oil.data\n"), "/opt/fluids/oil.data");

  // A relative name found only one directory up.
  const std::string top = ::testing::TempDir() + "kiv_names_" + std::to_string(getpid());
  const std::string below = top + "/below";
  ASSERT_EQ(system(("mkdir -p '" + below + "'").c_str()), 0);
  std::ofstream(top + "/up_only.data") << "x";
  std::ofstream(below + "/here.data") << "x";
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(below.c_str()), 0);
  const std::string up = nameFrom("up_only.data\n");
  const std::string here = nameFrom("here.data\n");
  const std::string nowhere = nameFrom("nowhere.data\n");
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(up, "../up_only.data");
  EXPECT_EQ(here, "here.data");
  EXPECT_EQ(nowhere, "nowhere.data");
}

}  // namespace
}  // namespace kiv::test

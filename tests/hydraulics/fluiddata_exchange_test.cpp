// The fluid exchange file: what a master writes, what a slave rebuilds from
// it, the refusals of the reader, and the file name read from a text line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "fluid_test.hpp"

namespace kiv::test {
namespace {

class Exchange : public FluidTest {
 public:
  void SetUp() override {
    FluidTest::SetUp();
    static int serial = 0;
    circuit_ = tempPath("exchange_" + std::to_string(++serial));
    KivSetFileNames(scratchDir().c_str(), circuit_.c_str(), nullptr);
    KIVRunFlags flags{};
    KivSetRunFlags(&flags);
  }

  static std::string read(const std::string &path) {
    std::stringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
  }
  std::string file() const { return circuit_ + ".hydp"; }
  int write() {
    return guarded([] {
      masterwritehydp();
      return 0;
    });
  }
  int slaveRead(const char *extension = nullptr) {
    return guarded([&] {
      slavereadhydp(circuit_.c_str(), extension ? 1 : 0, extension);
      return 0;
    });
  }
  // The slave's side: a new run of the same system reads the file.
  int readAsSlave(const char *extension = nullptr) {
    KivEndRun(0);
    return slaveRead(extension);
  }

  std::string circuit_;
};

TEST_F(Exchange, OneConstantFluidAndItsFile) {
  // 0.1 + 0.2 needs 17 digits; an air density of 0 stands for the ideal gas.
  const double mu = 0.1 + 0.2;
  ASSERT_EQ(add(ConstantFluid{.slope = 0.3, .mu = mu, .air_density = 0.0}), 0);
  ASSERT_EQ(write(), 0);
  std::istringstream in(read(file()));
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[0] + lines[1] + lines[2] + lines[3] + lines[4] + lines[18] + lines[19] + lines[20] + lines[21],
            "# Number of general properties.1# The following lines define general property 1.00"
            "# Number of fuel properties.0# Number of simple properties.0");
  const double want[] = {850, 1.7e9, mu, 0, 1, 40, 1.4, 2e-5, -9e4, -9.5e4, 2e-5, 200, 0};
  for (size_t k = 0; k < 13; ++k)
    EXPECT_TRUE(lines[5 + k].size() == 25 && std::strtod(lines[5 + k].c_str(), nullptr) == want[k]) << lines[5 + k];
  EXPECT_EQ(takeErr(), "");

  // The slave reads the file back.
  ASSERT_EQ(readAsSlave(), 0);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Exchange, SlaveRebuildsEveryFamilyWithIdenticalProperties) {
  const std::string table = dataDir() + "/hydraulics/two_temperatures.data";
  int result = 0;
  ASSERT_EQ(guarded([&] {
              define(ConstantFluid{});
              define(FuelFluid{.index = 5, .fuel = 3, .high = -20000.0, .low = -60000.0,
                               .molar_mass = 120.0, .mu_air = 1.8e-5, .mu_vapour = 1e-5,
                               .air_percent = 0.5, .t_celsius = 35.0, .polytropic = 1.3});
              define(SimpleFluid{.index = 9, .rho = 1000.0, .bulk = 2.2e9, .mu = 1e-3,
                                 .p_sat = -30000.0, .air_percent = 2.0, .t_celsius = 15.5,
                                 .polytropic = 1.2, .extra = 0.25});
              // The top index travels too.
              result = defineTable(table, {.index = 100, .p_sat = 1e5, .air_percent = 0.5});
              masterwritehydp();
              return 0;
            }),
            0);
  ASSERT_EQ(result, 1);
  const int indexes[] = {0, 5, 9, 100};
  const auto sample = [&] {
    std::vector<double> v;
    for (int index : indexes) {
      select(index);
      for (double p : {-99000.0, -92000.0, -50000.0, 0.0, 5e4, 2e6, 3e7})
        for (auto f : {rhoatp_, bmatp_, muatp_, fvoid_}) v.push_back(at(f, p));
    }
    return v;
  };
  const std::vector<double> master = sample();
  takeErr();  // the fuel model's notes on pressures without liquid
  ASSERT_EQ(readAsSlave(), 0);
  EXPECT_EQ(takeErr(), "");
  const std::vector<double> slave = sample();
  ASSERT_EQ(slave.size(), master.size());
  for (size_t k = 0; k < master.size(); ++k)
    EXPECT_DOUBLE_EQ(slave[k], master[k]) << "fluid " << indexes[k / 28] << " value " << k % 28;
}

double userDensity(double *, double *p) { return 900.0 + *p * 1e-6; }

TEST_F(Exchange, UserFunctionsStayBehindAndTheFileIsWrittenOnce) {
  int one = 1;
  ASSERT_EQ(guarded([&] {
              define(ConstantFluid{});
              fpuserd_(&one, &userDensity, nullptr, nullptr);
              define(ConstantFluid{.index = 2});
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
  EXPECT_NE(written.find("# The following lines define general property 1.\n0\n"), std::string::npos);
  // Numbered by record, the user's fluid among them.
  EXPECT_NE(written.find("# The following lines define general property 3.\n2\n"), std::string::npos);
  EXPECT_EQ(written.find("general property 2."), std::string::npos);

  // Once per run: a later fluid does not make the file grow.
  ASSERT_EQ(add(SimpleFluid{.index = 9}), 0);
  ASSERT_EQ(write(), 0);
  EXPECT_EQ(read(file()), written);
  EXPECT_EQ(takeErr(), "");

}

TEST_F(Exchange, BatchRunsNameTheirFile) {
  KivSetFileNames(scratchDir().c_str(), circuit_.c_str(), "run7");
  ASSERT_EQ(add(SimpleFluid{.index = 4}), 0);
  ASSERT_EQ(write(), 0);
  EXPECT_NE(read(circuit_ + ".hydp.run7"), "");
  EXPECT_NE(access(file().c_str(), F_OK), 0);
  ASSERT_EQ(readAsSlave("run7"), 0);
  int i = 4;
  EXPECT_EQ(getftype_(&i), 3);
}

TEST_F(Exchange, Refusals) {
  // No file: no fluids, two notes on the output stream.
  ASSERT_EQ(slaveRead(), 0);
  EXPECT_EQ(takeOut(), "File " + file() +
                           " does not exist.\nAssuming there are no hydraulic fluid properties.\n");
  EXPECT_EQ(takeErr(), "");

  std::ofstream(file()) << "";
  EXPECT_EQ(slaveRead(), -2);
  EXPECT_EQ(takeErr(), "\nFile " + file() + " is empty.\n");

  // The slave takes every finite number and leaves the judgement to the
  // definers: what they accept passes, what they refuse ends the run.
  const std::string simple = "# Number of general properties.\n0\n# fuel\n0\n# simple\n1\n"
                             "# The following lines define simple property 1.\n";
  const std::string invalid = "Invalid data in file " + file() + ".\n";
  for (const auto &[content, err] : std::vector<std::pair<std::string, std::string>>{
           {simple + "101\n1000\n2e9\n1e-3\n0\n1\n20\n1.4\n0\n", invalid},      // index above 100
           {"0\n1\n# fuel\n5\n0\n-20000\n-60000\n120\n1e-5\n1e-5\n0\n20\n1.4\n0\n", invalid},  // fuel 0
           {simple + "1\n0\n2e9\n1e-3\n0\n1\n20\n1.4\n0\n", "index 1: the density (0)"},  // a key phrase
           {simple + "1\n1000\n2e9\n1e-3\n-101300\n1\n20\n1.4\n0\n", ""},  // vacuum saturation
       }) {
    std::ofstream(file()) << content;
    EXPECT_EQ(readAsSlave(), err.empty() ? 0 : -2) << content;
    const std::string got = takeErr();
    EXPECT_TRUE(got == err || (!err.empty() && err.back() != '\n' && got.find(err) != std::string::npos)) << got;
  }

  // A slave that already has a fluid is too late.
  KivEndRun(0);
  std::ofstream(file()) << "0\n0\n0\n";
  ASSERT_EQ(add(SimpleFluid{.index = 1}), 0);
  EXPECT_EQ(slaveRead(), -2);
  const char *late = "Slave is trying to install hydraulic\nfluid properties too late.\n";
  EXPECT_EQ(takeErr(), late);
  EXPECT_EQ(takeOut(), late);

  // A master that cannot write.
  const std::string nowhere = tempPath("no/such/dir/c");
  KivSetFileNames("", nowhere.c_str(), nullptr);
  EXPECT_EQ(write(), -2);
  EXPECT_EQ(takeErr(),
            "Unable to open file " + nowhere + ".hydp for writing.\n");
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
  const std::string longName = "/no/" + std::string(3000, 'n');
  EXPECT_EQ(nameFrom(longName + "\nnext\n"), longName);  // never cut
  EXPECT_EQ(nameFrom(""), "../");  // names the directory above, which exists
  setenv("KIV_TEST_FLUID_DIR", "/opt/fluids", 1);
  EXPECT_EQ(nameFrom("$KIV_TEST_FLUID_DIR/oil.data\n"), "/opt/fluids/oil.data");

  // A relative name found only one directory up.
  const std::string top = tempPath("names");
  const std::string below = top + "/below";
  ASSERT_EQ(system(("mkdir -p '" + below + "'").c_str()), 0);
  std::ofstream(top + "/up_only.data") << "x";
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(below.c_str()), 0);
  const std::string up = nameFrom("up_only.data\n");
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(up, "../up_only.data");
}

}  // namespace
}  // namespace kiv::test

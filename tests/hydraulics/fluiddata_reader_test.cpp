// The reader of fluid data files: every refusal with its exact messages, and
// a refused file leaves nothing behind.
#include "fluid_test.hpp"

namespace kiv::test {
namespace {

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
  return {
      {"mode out of range", "4\n", mode + instead("4")},
      {"mode followed by text", "1 x\n", mode + instead("1 x")},
      {"mode not an integer", "1.5\n", mode + instead("1.5")},
      {"no temperature count", "2\n", temps("density") + kEnd},
      {"zero temperatures", "3\n0\n", temps("speed of sound") + instead("0")},
      {"reference line with one number", "1\n1\n40\n", reference + instead("40")},
      {"no reference line", "1\n1\n", reference + kEnd},
      {"reference density", "1\n1\n0 0\n",
       "\nReference density number 1 must be strictly positive (string '0 0').\n"},
      {"reference pressure", "3\n1\n850 -2\n",
       "\nReference pressure number 1 must be greater or equal to gauge pressure -1.013000 bar "
       "(string '850 -2').\n"},
      {"temperature below absolute zero", "2\n1\n-300\n",
       temperature(1, "density", "-273.15") + instead("-300")},
      {"temperatures not increasing", kDensityHead.substr(0, 2) + "2\n40\n2\n0 870\n100 872\n40\n",
       temperature(2, "density", "40.00") + instead("40")},
      {"no pair count", "2\n1\n40\n", pairs("density") + kEnd},
      {"zero pairs", "2\n1\n40\n0\n", pairs("density") + instead("0")},
      {"pair missing at the end", kDensityHead, missing(2, "density") + kEnd},
      {"pair with one number", kDensityHead + "100\n", missing(2, "density")},
      {"pair followed by text", kDensityHead + "100 872 5\n",
       bad(2, "density") + instead("100 872 5")},
      {"pair value zero", kDensityHead + "100 0\n", bad(2, "density") + instead("100 0")},
      {"pair pressure below vacuum", kDensityHead + "-1.02 871\n",
       bad(2, "density") + instead("-1.02 871")},
      {"pair value infinite", kDensityHead + "100 inf\n", bad(2, "density") + instead("100 inf")},
      {"pair pressure beyond doubles in Pa", kDensityHead + "1e305 872\n",
       bad(2, "density") + instead("1e305 872")},
      {"bulk pair", "1\n1\n850 0\n40\n1\nx 17000\n", missing(1, kBulkName)},
      {"viscosity mode", kBulkPart + "3\n", viscosityMode + instead("3")},
      {"no viscosity mode", kBulkPart, viscosityMode + kEnd},
      {"no viscosity temperature count", kBulkPart + "1\n", temps(v) + kEnd},
      {"viscosity temperature", kBulkPart + "1\n1\nabc\n",
       temperature(1, v, "-273.15") + instead("abc")},
      {"viscosity temperatures not increasing", kBulkPart + "1\n2\n40\n1\n0 40\n39.5\n",
       temperature(2, v, "40.00") + instead("39.5")},
      {"viscosity pair count", kBulkPart + "1\n1\n40\n-1\n", pairs(v) + instead("-1")},
      {"viscosity pair missing", kBulkPart + "1\n1\n40\n1\n", missing(1, v) + kEnd},
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

TEST_F(FluidFileReader, IndexChecksComeFirst) {
  ASSERT_EQ(add(ConstantFluid{.index = 3}), 0);
  EXPECT_EQ(guarded([&] { return defineTable("never read", {.index = 3}); }), -2);
  EXPECT_EQ(takeErr(), "Hydraulic property index 3\nis already defined.\n");
  EXPECT_EQ(guarded([&] { return defineTable("never read", {.index = 101}); }), -2);
  EXPECT_EQ(takeErr(), "Invalid fluid index: maximum is 100 and minimum is 0.\n");
}

}  // namespace
}  // namespace kiv::test

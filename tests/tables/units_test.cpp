// The units manager: the shipped units file, prefixes and products, unit
// expressions, links between domains and the units-file format.
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "tablefile_support.hpp"

namespace {

using kiv::test::TableTest;

class Units : public TableTest {
 public:
  // factor and offset of u1 -> u2, or NaN when refused.
  std::pair<double, double> conv(const char *u1, const char *u2) {
    double f = 0, o = 0;
    if (!GetConvFactFromU1toU2(u1, u2, &f, &o)) return {NAN, NAN};
    return {f, o};
  }
  double factor(const char *u1, const char *u2) { return conv(u1, u2).first; }
  // A refused conversion and its message.
  void refused(const char *u1, const char *u2, const std::string &msg) {
    EXPECT_TRUE(std::isnan(factor(u1, u2))) << u1 << " -> " << u2;
    EXPECT_EQ(takeErr(), msg);
  }
};

void expectRel(double got, double want) { EXPECT_NEAR(got, want, 1e-14 * std::fabs(want)) << want; }

constexpr double kPi = std::numbers::pi;

// Listed units, prefixed words, products and expressions, and the one-way
// link from frequency to angular velocity (1 Hz is 2 pi rad/s).
TEST_F(Units, ShippedFileFactors) {
  struct Case {
    const char *from, *to;
    double factor;
  };
  for (const Case &c : {Case{"bar", "Pa", 1e5}, {"Pa", "bar", 1e-5}, {"L/min", "m3/s", 1.0 / 60000.0},
                        {"rev/min", "rad/s", kPi / 30.0}, {"rpm", "rev/min", 1.0}, {"degree", "rad", kPi / 180.0},
                        {"mm", "m", 1e-3}, {"mm2", "m2", 1e-6}, {"mm3", "m3", 1e-9}, {"L", "m3", 1e-3},
                        {"cSt", "m2/s", 1e-6}, {"cP", "Pa.s", 1e-3}, {"kg/m3", "g/cm3", 1e-3}, {"N.m", "Nm", 1.0},
                        {"kN", "N", 1e3}, {"cm3/rev", "m3/rev", 1e-6}, {"psi", "bar", 0.06894757293168361},
                        {"degK", "K", 1.0}, {"GN", "N", 1e9}, {"hm", "m", 100.0}, {"dam", "m", 10.0},
                        {"kN/m**2", "Pa", 1e3}, {"N/mm**2", "MPa", 1.0}, {"kg*m/s**2", "N", 1.0},
                        {"mN*m", "N.m", 1e-3}, {"Hz", "rad/s", 2 * kPi}, {"kHz", "rev/min", 1e3 * 60.0}})
    expectRel(factor(c.from, c.to), c.factor);
  EXPECT_EQ(conv("degC", "K"), std::make_pair(1.0, 273.15));
  EXPECT_EQ(conv("K", "degC"), std::make_pair(1.0, -273.15));
  const auto f = conv("degC", "degF");
  expectRel(f.first, 1.8);
  EXPECT_NEAR(f.second, 32.0, 1e-12);
  EXPECT_EQ(takeErr(), "");

  int e[KIV_UNIT_DIMENSIONS];
  double fa = 0, of = 0, tf = 0;
  ASSERT_EQ(GetConvFactAndBase("kN/m**2", &fa, &of, e), 1);
  EXPECT_EQ(std::vector<int>(e, e + 7), (std::vector<int>{-1, 1, -2, 0, 0, 0, 0}));
  const KIVUnit *u = nullptr;
  ASSERT_EQ(GetConvFactForToken("mm", &tf, &u), 1);
  EXPECT_STREQ(GetUnitName(u), "mm");  // listed: no prefix needed
}

// "E", "d" and "D" exponents are read as numbers are; a factor that cannot
// be evaluated fails instead of passing as 1.
TEST_F(Units, ConversionTexts) {
  for (auto [text, factor, offset] : {std::tuple{"*1.8+32", 1.8, 32.0}, {" / 60", 1.0 / 60, 0.0}, {"*1E-5", 1e-5, 0.0},
                                      {"*2.5d-3", 2.5e-3, 0.0}}) {
    double f = 0, o = 0;
    EXPECT_EQ(ExtractConvFact(text, &f, &o), 1) << text;
    expectRel(f, factor);
    EXPECT_EQ(o, offset) << text;
  }
  double f = 7, o = 0;
  EXPECT_EQ(ExtractConvFact("*1", &f, &o), 0);
  EXPECT_EQ(takeErr(), "");
  for (auto [text, msg] : {std::pair{"+32*1.8", "'+32*1.8' is not a valid unit convertion factor. Check your units file."},
                           {"2*3", "'2*3' is not a valid unit convertion factor. Check your units file."},
                           {"*(2)", "Sorry, parenthesis are not supported in unit conversion expression."}}) {
    EXPECT_EQ(ExtractConvFact(text, &f, &o), -1) << text;
    EXPECT_EQ(takeErr(), msg);
  }
  EXPECT_EQ(ExtractConvFact(nullptr, &f, &o), -1);
  EXPECT_EQ(takeErr(), "Cannot extract conversion factor and offset, bad arguments.");
  f = 7;
  for (const char *bad : {"*1/0", "*foo"}) {
    EXPECT_EQ(ExtractConvFact(bad, &f, &o), -1);
    EXPECT_EQ(f, 7);
    EXPECT_NE(takeErr().find(std::string("\nUnable to evaluate expression '") + (bad + 1) + "'"), std::string::npos);
  }
  const std::string longText = "*" + std::string(2047, '1');
  EXPECT_EQ(ExtractConvFact(longText.c_str(), &f, &o), -1);
  // The quote is cut to a readable length.
  EXPECT_EQ(takeErr(), "\nNot enough space to evaluate expression '" + std::string(77, '1') + "...'");
}

TEST_F(Units, PrefixAndProductRulesOnASmallFile) {
  useUnits({"#Length [1,0,0,0,0,0,0]", "m", "#Time [0,0,1,0,0,0,0]", "s", "h -> s *3600",
            "#Force [1,1,-2,0,0,0,0]", "N", "#Energy [2,1,-2,0,0,0,0]", "J", "#Odd [0,0,0,0,0,0,1]", "r",
            "x -> r *7", "z -> r *1e300", "#Temperature [0,0,0,0,1,0,0]", "K"});
  expectRel(factor("mm", "m"), 1e-3);
  expectRel(factor("dam", "m"), 10);
  // "hr" is never hecto-r: it is h times r.
  double f = 0;
  const KIVUnit *u = nullptr;
  ASSERT_EQ(GetConvFactForToken("hr", &f, &u), 1);
  EXPECT_EQ(f, 3600);
  EXPECT_STREQ(GetUnitName(u), "r");
  ASSERT_EQ(GetConvFactForToken("hx", &f, &u), 1);
  expectRel(f, 700);  // hecto-x
  // A product carries the dimensions of both parts.
  expectRel(factor("Nm", "J"), 1.0);
  expectRel(factor("kNm", "J"), 1e3);
  refused("Nm", "m", "\nUnits 'Nm' and 'm' seem to be incompatible. Conversion impossible.\n");
  // m2 is not a word of letters.
  refused("m2", "m", "\nToken 'm2' is invalid in expression: 'm2'\nUnable to convert from unit 'm2' to unit 'm'\n");
  // Without degC in the file the conversion fails instead of passing as K.
  refused("degC", "K", "\nUnable to find conversion factor for token 'degC'\nUnable to convert from unit 'degC' to unit 'K'\n");
  // A unit expression that cannot be evaluated fails.
  EXPECT_TRUE(std::isnan(factor("z*z", "r")));
  EXPECT_NE(takeErr().find("\nUnable to evaluate expression 'z*z'\nUnable to convert from unit 'z*z' to unit 'r'\n"),
            std::string::npos);
  // A garbled word of many unit letters is refused without exponential work.
  const std::string garbled = std::string(60, 'm') + "q";
  EXPECT_EQ(GetConvFactForToken(garbled.c_str(), &f, &u), 0);
  EXPECT_EQ(GetConvFactForToken("mNshmNshmNshmNshmNshmNshmNshmNshmNshmNshmNshq", &f, &u), 0);
  ASSERT_EQ(GetConvFactForToken("mNshmNsh", &f, &u), 1);
  expectRel(f, 1e-3 * 3600 * 3600);  // milli-(N s h m N s h)
}

TEST_F(Units, FileFormatAndItsMessages) {
  useUnits({"#Length [1,0,0,0,0,0,0]",
            "m  =>  mm",  // three fields: preferred unit
            "mm  ->   m *1e-3 ",
            "<km> -> m *1e3",
            "cm",  // one field: equal to the base unit
            "mm -> m *5",  // already known: not added
            "yd -> m *0.9144 => ft",
            "ft -> m *0.3048",
            "bad -x> m *2",
            "badder xyz m *2",
            "worse -> m *2 xyz ft",
            "a b c d e f g",
            "<> -> m *2",
            "weird -> m 12",
            "#Length [1,0,0,0,0,0,0]", "m2", "zz -> m2 *4",  // a second section of a known domain
            "#Broken [1,0]", "u", "#Pressure [-1,1,-2,0,0,0,0]", "Pa -> m *2 => mm"});
  EXPECT_EQ(takeErr(),
            "Warning in ExtractUnitsFieldsError.\nError in units file line is: bad -x> m *2"
            "Warning in ExtractUnitsFieldsError.\nError in units file line is: badder xyz m *2"
            "Warning in ExtractUnitsFields.\nError in units file line is: worse -> m *2 xyz ft"
            "Warning in ExtractUnitsFields.\nError in units file line is: 'a b c d e f g'"
            "Warning in ExtractUnitsFields.\nError in units file line is: '<> -> m *2'"
            "'12' is not a valid unit convertion factor. Check your units file."
            "Unit base not decoded for domain 'Broken'.\n");
  const UnitsManager *m = InitUnitsManager(nullptr);
  const KIVUnit *mm = GetUnit(m, "mm");
  ASSERT_NE(mm, nullptr);
  double f = 0, o = 0;
  GetUnitFactorAndOffset(mm, &f, &o);
  EXPECT_EQ(f, 1e-3);  // runs of blanks are one separator
  EXPECT_EQ(GetPreferredUnit(GetUnit(m, "m")), mm);
  EXPECT_EQ(GetPreferredUnit(mm), mm);
  EXPECT_EQ(GetPreferredUnit(GetUnit(m, "yd")), GetUnit(m, "ft"));
  EXPECT_EQ(GetPreferredUnit(GetUnit(m, "cm")), nullptr);
  expectRel(factor("km", "m"), 1e3);
  EXPECT_EQ(factor("cm", "m"), 1.0);
  for (const char *absent : {"bad", "badder", "worse", "a", "weird", "m2", "zz"})
    EXPECT_EQ(GetUnit(m, absent), nullptr) << absent;
  EXPECT_STREQ(GetUnitDomainName(GetUnit(m, "u")), "Broken [1,0]");
  // A link names a unit of another domain; the preferred unit is looked up there too.
  const KIVUnit *pa = GetUnit(m, "Pa");
  ASSERT_NE(pa, nullptr);
  EXPECT_EQ(GetPreferredUnit(pa), mm);
  expectRel(factor("Pa", "mm"), 2e3);
}

TEST_F(Units, FactorsOfZeroOrBeyondADoubleLeaveTheirUnitOut) {
  // A factor that underflows to 0 would turn every value of the unit into 0.
  useUnits({"#Length [1,0,0,0,0,0,0]", "m", "z -> m *0", "tiny -> m *1e-400", "huge -> m *1e400", "ok -> m *1e-300",
            "#Odd [0,0,0,0,0,0,1]", "r -> m *0 => r", "#Time [0,0,1,0,0,0,0]", "s"});
  const std::string err = takeErr();
  for (const char *unit : {"z", "tiny", "r"})
    EXPECT_NE(err.find("unit '" + std::string(unit) + "' in the units file is 0"), std::string::npos) << unit << err;
  EXPECT_NE(err.find("unit 'huge' in the units file is beyond the range of a double"), std::string::npos) << err;
  const UnitsManager *m = InitUnitsManager(nullptr);
  for (const char *left : {"z", "tiny", "huge", "r"}) EXPECT_EQ(GetUnit(m, left), nullptr) << left;
  expectRel(factor("ok", "m"), 1e-300);  // small is not zero
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Units, UnitLineBeforeAnyDomain) {
  useUnits({"m", "#Length [1,0,0,0,0,0,0]", "m"});
  EXPECT_EQ(takeErr(), "Can't read file './KIV.units'");
  EXPECT_EQ(GetUnit(InitUnitsManager(nullptr), "m"), nullptr);
}

TEST_F(Units, MissingAndShippedFiles) {
  FreeAllUnitStuff();
  InitUnitsManager("/nonexistent-kiv-root");
  EXPECT_EQ(takeErr(), "\nImpossible to open file '/nonexistent-kiv-root/KIV.units'.\n");
  EXPECT_TRUE(std::isnan(factor("bar", "Pa")));
  takeErr();
  // A run's end frees the manager; the next use reads the shipped file, cleanly.
  KivEndRun(0);
  expectRel(factor("bar", "Pa"), 1e5);
  EXPECT_EQ(takeErr(), "");
}

}  // namespace

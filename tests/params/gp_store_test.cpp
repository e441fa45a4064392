// The global-parameter store: reading, evaluation order, substitution,
// setters, reloads and hidden values.
#include <cstring>

#include "params/gp_support.hpp"
#include "params/kiv_expr.h"

namespace kiv::test {
namespace {

class GpStore : public SystemTest {
 protected:
  std::string data = dataDir() + "/params";
  char msg[256] = "untouched";

  double num(const char *name) {
    double v = -999;
    EXPECT_EQ(getGlobalParamValueByName(name, &v), 1) << name;
    return v;
  }
  std::string txt(const char *name) {
    char *v = nullptr;
    EXPECT_EQ(getTextGlobalParamValueByName(name, &v), 1) << name;
    return text(v);
  }
  static std::string subst(const char *t) {
    char *r = GetTextGlobalParam(t);
    const std::string s = text(r);
    std::free(r);
    return s;
  }
  int eval(int keep) { return KivEvalGlobalParamList(sys_, keep, msg, sizeof msg); }
  int add(const char *name, const char *value, int type) { return KivAddGlobalParam(sys_, name, value, type, msg, sizeof msg); }
  int readFrom(const std::string &dir, const char *name, const char *ext = "") {
    KivSetFileNames(dir.c_str(), name, ext);
    return KivReadGPFile(sys_);
  }
  std::string readFailure(const std::string &dir, const char *name) {
    return "####### ReadGlobalParamFile: Failed to read global parameters for '" + dir + "' / '" + name +
           "' ('')\nError in function KivReadGPFile\n\n";
  }
};

TEST_F(GpStore, ReadsTheXmlFileAndEvaluatesInListOrder) {
  ASSERT_EQ(readFrom(data, "pump_"), 0);
  EXPECT_EQ(GetNumberOfIntAndRealTokensInGlobalParameters(), 6);
  int n = 0;
  char **texts = GetTextGlobalParamTokens(&n);
  ASSERT_EQ(n, 4);  // the second "speed" and the untyped record are not entered
  EXPECT_STREQ(texts[3], "pending");
  double v = 0;
  EXPECT_EQ(getGlobalParamValueByName("speed", nullptr), 0);
  EXPECT_EQ(getGlobalParamValueByName("speed", &v), 0);  // not evaluated yet

  EXPECT_EQ(eval(1), -200);
  takeErr();  // the parser's own diagnostics of the failed expressions
  EXPECT_STREQ(msg, "Unable to evaluate expression 'early*2'\n");
  EXPECT_EQ(num("frequency"), 1500.0 / 60 * 12);
  EXPECT_EQ(num("late"), 2);
  EXPECT_EQ(num("chained"), 0.0);  // failed entries answer with a defined value
  for (auto [index, valid] : {std::pair{3, 0}, {4, 1}, {-1, 0}, {6, 0}}) EXPECT_EQ(IsGlobalParamValid(index), valid);

  // Texts are Latin-1 in the store; earlier texts only, names without case.
  EXPECT_EQ(txt("fluid"), "caf\xE9 oil");
  EXPECT_EQ(txt("file"), "data/caf\xE9 oil_${pending}.txt");
  EXPECT_EQ(txt("alias"), "caf\xE9 oil");
  EXPECT_EQ(subst("${file}"), "data/caf\xE9 oil_v2.txt");

  // A second pass sees the parameters after each one.
  EXPECT_EQ(eval(1), 0);
  EXPECT_STREQ(msg, "");
  EXPECT_EQ(num("chained"), 6);
}

TEST_F(GpStore, ExpressionsSeeNumericParameters) {
  add("k", "3", 2);
  eval(1);
  double r = 0;
  EXPECT_EQ(GetRealExpressionValue("k*2+0.5", &r), 0);
  EXPECT_EQ(r, 6.5);
  EXPECT_EQ(GetRealExpressionValue("1/0", &r), -100);  // evaluation failure
  takeErr();
  EXPECT_EQ(GetRealExpressionValue("k*", &r), -100);
  EXPECT_NE(takeErr().find("\nUnable to interpret the value for expression 'k*'.\n"), std::string::npos);
  EXPECT_EQ(CheckExpression("1", 0, nullptr), 0);  // each call released its expression

  // A parameter is a constant, taken when the text is parsed, unless it is a variable.
  char x[] = "x", k[] = "k";
  char *one[] = {x}, *two[] = {k, x};
  double at[] = {2, 5};
  const int a = CheckExpression("k*x", 1, one);
  EXPECT_EQ(EvaluateExpression(a, at), 6);
  EXPECT_EQ(EvaluateExpression(CheckExpression("k*x", 2, two), at), 10);
  ChangeOrAddRealGlobalParamValue("k", 4, 1);
  EXPECT_EQ(EvaluateExpression(a, at), 6);
  add("later", "1", 1);  // entered, not evaluated: not a constant yet
  EXPECT_EQ(CheckExpression("later+1", 0, nullptr), -1);
  takeErr();
}

TEST_F(GpStore, SelfReferenceAndDependenciesFail) {
  add("x", "x+1", 1);
  add("y", "x*2", 1);
  add("z", "4", 1);
  EXPECT_EQ(eval(0), -200);
  EXPECT_STREQ(msg, "Unable to evaluate expression 'x*2'\n");
  EXPECT_EQ(num("z"), 4);
  EXPECT_EQ(eval(0), -200);  // still: x never sees itself
  EXPECT_EQ(IsGlobalParamValid(0), 0);
  takeErr();
}

TEST_F(GpStore, DirectlySetValuesSurviveAKeepingEvaluation) {
  add("p", "1", 1);
  add("q", "p*2", 1);
  ASSERT_EQ(eval(1), 0);
  ASSERT_EQ(ChangeOrAddRealGlobalParamValue("p", 2.5, 0), 0);
  ASSERT_EQ(eval(1), 0);
  EXPECT_EQ(num("q"), 5);
  ASSERT_EQ(eval(0), 0);
  EXPECT_EQ(num("q"), 2);
  // An added parameter has no expression: it fails once evaluated afresh.
  ASSERT_EQ(ChangeOrAddIntGlobalParamValue("n", 7, 1), 0);
  EXPECT_EQ(num("n"), 7);
  EXPECT_EQ(eval(1), 0);
  EXPECT_EQ(eval(0), -200);
  EXPECT_EQ(num("n"), 7);  // failed, its value kept
  takeErr();
  EXPECT_STREQ(msg, "Unable to evaluate expression ''\n");
}

TEST_F(GpStore, SettersNeverTouchAnotherEntry) {
  add("r", "1", 1);
  add("t", "abc", 3);
  eval(1);
  EXPECT_EQ(ChangeOrAddRealGlobalParamValue("absent", 1, 0), -200);
  EXPECT_EQ(ChangeOrAddTextGlobalParamValue("absent", "x", 0), -200);
  // A name that is text cannot become numeric, and the other way round.
  EXPECT_EQ(ChangeOrAddRealGlobalParamValue("t", 9, 1), -200);
  EXPECT_EQ(ChangeOrAddTextGlobalParamValue("r", "zz", 1), -200);
  const std::string refusals = takeErr();
  for (const char *part : {"'t': it is a text", "'r': it is a numeric"}) EXPECT_NE(refusals.find(part), std::string::npos);
  EXPECT_EQ(txt("t"), "abc");
  ASSERT_EQ(ChangeOrAddTextGlobalParamValue("t", "new", 0), 0);
  ASSERT_EQ(ChangeOrAddTextGlobalParamValue("u", "${t}!", 1), 0);
  EXPECT_EQ(txt("u"), "${t}!");  // set values are not substituted
  EXPECT_EQ(subst("[${U}]"), "[new!]");
  eval(1);
  EXPECT_EQ(txt("t"), "new");  // set directly: survives a keeping evaluation
  eval(0);
  takeErr();
  EXPECT_EQ(txt("t"), "abc");
}

TEST_F(GpStore, FirstRecordOfANameWins) {
  for (auto [value, type] : {std::pair{"1", 1}, {"2", 2}, {"x", 3}}) EXPECT_EQ(add("a", value, type), 0);
  EXPECT_EQ(add("b", "x", 7), 0);  // no such type
  EXPECT_STREQ(msg, "");
  int n = 0;
  GetGlobalParamTokens(&n);
  EXPECT_EQ(n, 1);
  GetTextGlobalParamTokens(&n);
  EXPECT_EQ(n, 0);
  // Well past the lists' first growth.
  for (int i = 0; i < 25; ++i) add(("v" + std::to_string(i)).c_str(), std::to_string(i).c_str(), 1);
  ASSERT_EQ(eval(1), 0);
  EXPECT_EQ(num("v24"), 24);
}

TEST_F(GpStore, SubstitutionNestedCaseVaryingAndBounded) {
  add("T0", "abc", 3);
  add("T1", "x${t0}y", 3);
  add("T2", "T0", 3);
  add("T3", "${T1}-${T2}-${T9}", 3);
  eval(1);
  EXPECT_EQ(txt("T3"), "xabcy-abc-${T9}");
  EXPECT_EQ(subst("t1"), "xabcy");  // a bare name takes the value
  EXPECT_EQ(subst(nullptr), "<absent>");
  // A value that quotes itself, in any case, is left alone.
  ChangeOrAddTextGlobalParamValue("self", "${SELF}x", 1);
  EXPECT_EQ(subst("<${self}>"), "<${self}>");
  EXPECT_EQ(takeErr(), "");
  // Circular references stop with a warning, the rest left as it stands.
  ChangeOrAddTextGlobalParamValue("A", "${B}", 1);
  ChangeOrAddTextGlobalParamValue("B", "${A}", 1);
  const std::string cyc = subst("${A}");
  EXPECT_TRUE(cyc == "${A}" || cyc == "${B}") << cyc;
  EXPECT_NE(takeErr().find("stopped after"), std::string::npos);
  // Runaway growth too.
  ChangeOrAddTextGlobalParamValue("A", "${B}${B}", 1);
  EXPECT_LE(subst("${A}").size(), size_t{2} << 20);
  EXPECT_NE(takeErr().find("stopped after"), std::string::npos);
}

TEST_F(GpStore, ReplaceTokenNamesOnePassAtATime) {
  const char *nameList[] = {"a", "b"}, *valueList[] = {"${b}1", "2"};
  auto n = const_cast<char *const *>(nameList), v = const_cast<char *const *>(valueList);
  auto take = [](char *r) {
    const std::string s = text(r);
    std::free(r);
    return s;
  };
  EXPECT_EQ(take(ReplaceTokenNamesByValues("${A}${B}", n, v, 2)), "212");
  EXPECT_EQ(take(ReplaceTokenNamesByValues("${a}", n, v, 0)), "${a}");
  // A reference far into a long text is replaced as well.
  EXPECT_EQ(take(ReplaceTokenNamesByValues((std::string(5000, '.') + "${b}").c_str(), n, v, 2)),
            std::string(5000, '.') + "2");
  EXPECT_EQ(take(EvaluateText("B", n, v, 2, 1)), "B");  // depth 1: no indirection
}

TEST_F(GpStore, ReadsOnceUntilClearedAndEmptiesAtTheEndOfTheRun) {
  ASSERT_EQ(readFrom(data, "pump_"), 0);
  ASSERT_EQ(ChangeOrAddTextGlobalParamValue("extra", "x", 1), 0);
  ASSERT_EQ(KivReadGPFile(sys_), 0);
  EXPECT_EQ(sys_->global_params->text_count, 5);
  ClearGPs();
  ASSERT_EQ(KivReadGPFile(sys_), 0);
  EXPECT_EQ(sys_->global_params->text_count, 4);
  SetGlobalParamReadFile(0);
  ASSERT_EQ(KivReadGPFile(sys_), 0);  // read again: nothing new enters
  EXPECT_EQ(sys_->global_params->text_count, 4);
  KivEndRun(0);
  EXPECT_EQ(GetNumberOfIntAndRealTokensInGlobalParameters(), 0);
}

TEST_F(GpStore, ReloadReadsTheReloadCopy) {
  KivSetReloadPending(1);
  ASSERT_EQ(readFrom(data, "pump_"), 0);
  eval(1);
  EXPECT_EQ(num("speed"), 3000);
  EXPECT_EQ(GetNumberOfIntAndRealTokensInGlobalParameters(), 1);
  // With a run extension the copy is "%s.kivgp.%s" of extension and suffix.
  ScratchDir dir;
  writeFile(dir / "m_.kivgp.run1.rld",
            "<GLOBAL_PARAMS_LIST><PARAMETER><TYPE>1</TYPE><VARNAME>s</VARNAME><VALUE>7</VALUE>"
            "</PARAMETER></GLOBAL_PARAMS_LIST>");
  ClearGPs();
  ASSERT_EQ(readFrom(dir.str(), "m_", "run1"), 0);
  eval(1);
  EXPECT_EQ(num("s"), 7);
  // A slave reads the file without extension.
  ClearGPs();
  KivSetSlaveSystem(sys_, 1);
  EXPECT_EQ(KivReadGPFile(sys_), -102);
  EXPECT_EQ(takeErr(), readFailure(dir.str(), "m"));
}

TEST_F(GpStore, MissingFileFailsOnce) {
  EXPECT_EQ(readFrom("", "m_"), -102);
  EXPECT_EQ(takeErr(), readFailure(".", "m"));
  EXPECT_EQ(KivReadGPFile(sys_), 0);  // the read flag is set all the same
}

TEST_F(GpStore, MasterParametersComeFirst) {
  ScratchDir master, model;
  writeFile(master / "top_.gp.x", "# integer parameters\n# real parameters\nshared S 1 0 9 1 m  \n# text parameters\n");
  writeFile(model / "sub_.kivgp",
            "<GLOBAL_PARAMS_LIST><PARAMETER><TYPE>1</TYPE><VARNAME>shared</VARNAME><VALUE>2</VALUE>"
            "</PARAMETER><PARAMETER><TYPE>1</TYPE><VARNAME>own</VARNAME><VALUE>shared+1</VALUE>"
            "</PARAMETER></GLOBAL_PARAMS_LIST>");
  DeclareMasterGPsToBeRead((master.str() + "\\top_").c_str(), "x");
  ASSERT_EQ(readFrom(model.str(), "sub_"), 0);
  ASSERT_EQ(eval(1), 0);
  EXPECT_EQ(num("shared"), 1);
  EXPECT_EQ(num("own"), 2);
  // A master that cannot be read stops the read.
  ClearGPs();
  DeclareMasterGPsToBeRead((master.str() + "/none_").c_str(), nullptr);
  EXPECT_EQ(KivReadGPFile(sys_), -102);
  EXPECT_EQ(takeErr(), readFailure(master.str(), "none"));
  EXPECT_EQ(GetNumberOfIntAndRealTokensInGlobalParameters(), 0);
}

TEST_F(GpStore, HiddenValuesRoundTripAndTamperingIsRefused) {
  char *payload = KivEncipherGlobalParam("secret", "2*pi"), *again = KivEncipherGlobalParam("secret", "2*pi");
  ASSERT_NE(payload, nullptr);
  // One word without the value in clear, fresh at every call.
  EXPECT_EQ(std::string(payload).find("2*pi"), std::string::npos);
  EXPECT_EQ(std::string(payload).find_first_of(" _\t"), std::string::npos);
  EXPECT_STRNE(payload, again);
  std::free(again);
  EXPECT_EQ(KivEncipherGlobalParam("two words", "v"), nullptr);
  // In a line file the payload is the title.
  std::string tampered = payload;
  tampered[10] = tampered[10] == 'A' ? 'B' : 'A';
  char *label = KivEncipherGlobalParam("label", "caf\xE9 au lait");
  ScratchDir dir;
  writeFile(dir / "m_.gp", std::string("# integer parameters\n# real parameters\n") + "zz__HIDDEN_1 " + payload +
                               " 0 0 0 0 -  \nzz__HIDDEN_2 " + tampered +
                               " 0 0 0 0 -  \nzz__HIDDEN_3 notapayload 0 0 0 0 -  \n"
                               "# text parameters\nzz__HIDDEN_4 " + label + " - -  \n");
  std::free(payload);
  std::free(label);
  ASSERT_EQ(readFrom(dir.str(), "m_"), 0);
  EXPECT_EQ(takeErr(),
            "\nUnable to decipher the value of global parameter 'zz__HIDDEN_2'\n\n"
            "\nUnable to decipher the value of global parameter 'zz__HIDDEN_3'\n\n");
  ASSERT_EQ(eval(1), 0);
  EXPECT_DOUBLE_EQ(num("secret"), 2 * 3.141592653589793);
  EXPECT_EQ(txt("label"), "caf\xE9 au lait");
  EXPECT_EQ(add("zz__HIDDEN_5", "kgp1:AAAA", 1), -200);
  EXPECT_STREQ(msg, "Unable to decipher the value of global parameter 'zz__HIDDEN_5'\n");
}

TEST_F(GpStore, HiddenValuesAppearInNoMessage) {
  auto hidden = [&](const char *name, const char *value, int type) {
    char *payload = KivEncipherGlobalParam(name, value);
    EXPECT_EQ(add((std::string("zz__HIDDEN_") + name).c_str(), payload, type), 0);
    std::free(payload);
  };
  ChangeOrAddTextGlobalParamValue("A", "${B}", 1);
  ChangeOrAddTextGlobalParamValue("B", "${A}", 1);
  hidden("h2", "-8642.25", 1);
  add("p", "sqrt(h2)", 1);             // the evaluator would print the argument
  hidden("h1", "3*)q7531", 1);         // does not parse; the last failure
  hidden("h3", "${A}q9753", 3);        // circular through A and B
  EXPECT_EQ(eval(1), -200);
  const std::string all = takeErr() + takeOut() + msg;
  for (const char *plain : {"7531", "8642", "9753"}) EXPECT_EQ(all.find(plain), std::string::npos) << all;
  for (const char *named : {"'h1'", "'h3'"}) EXPECT_NE(all.find(named), std::string::npos) << all;
}

TEST_F(GpStore, MessagesFitTheCallersBuffer) {
  add("big", (std::string(1000, '(') + "1").c_str(), 1);  // unbalanced: fails
  char small[16];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(KivEvalGlobalParamList(sys_, 1, small, sizeof small), -200);
  EXPECT_EQ(std::string(small), "Unable to evalu");
  EXPECT_EQ(KivEvalGlobalParamList(sys_, 1, nullptr, 0), -200);
  takeErr();
}

TEST_F(GpStore, SeparateSystemsKeepSeparateStores) {
  KIVSystem *other = KivCreateSystem();
  KivMakeCurrent(other);
  ChangeOrAddRealGlobalParamValue("only_other", 1, 1);
  KivMakeCurrent(sys_);
  add("mine", "only_other+4", 1);
  ASSERT_EQ(KivEvalGlobalParamList(other, 1, msg, sizeof msg), 0);
  EXPECT_EQ(QOR_XB_GlobalSystem, sys_);  // the caller's system stays current
  EXPECT_EQ(eval(1), -200);  // the other system's parameter is not seen here
  takeErr();
  KivReleaseSystem(other);
  KivMakeCurrent(sys_);
  ChangeOrAddRealGlobalParamValue("only_other", 1, 1);
  ASSERT_EQ(eval(1), 0);
  EXPECT_EQ(num("mine"), 5);
}

}  // namespace
}  // namespace kiv::test

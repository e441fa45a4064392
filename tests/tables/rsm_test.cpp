// Response surfaces of both files against polynomials evaluated directly
// and against finite differences, and the readers' refusals.
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tables/kiv_interpret.h"
#include "tables/tablefile_support.hpp"

namespace {

using Rsm = kiv::test::TableTest;
using Seq = std::vector<int>;

// Every non-decreasing index sequence of length q over 0..n, in
// lexicographic order, by brute force over all (n+1)^q sequences.
std::vector<Seq> monomials(int n, int q) {
  std::vector<Seq> out;
  Seq s(static_cast<size_t>(q), 0);
  for (;;) {
    bool sorted = true;
    for (size_t i = 1; i < s.size(); ++i) sorted = sorted && s[i - 1] <= s[i];
    if (sorted) out.push_back(s);
    size_t j = s.size();
    while (j > 0 && s[j - 1] == n) s[--j] = 0;
    if (j == 0) return out;
    ++s[j - 1];
  }
}

double direct(const std::vector<Seq> &m, const std::vector<double> &c, const double *x) {
  double sum = 0.0;
  for (size_t k = 0; k < m.size(); ++k) {
    double v = c[k];
    for (int i : m[k]) v *= i ? x[i - 1] : 1.0;
    sum += v;
  }
  return sum;
}

std::string oldFile(int n, const std::string &type, const std::vector<std::string> &blocks,
                    size_t responses = 0) {
  if (responses == 0) responses = blocks.size();
  std::string f = "Type of RSM: " + type + "\n" + std::to_string(n) + " factor(s):\n";
  for (int i = 1; i <= n; ++i) f += " x" + std::to_string(i) + "  \n";
  f += std::to_string(responses) + " response variable(s):\n";
  for (size_t r = 0; r < responses; ++r) f += "y" + std::to_string(r) + "\n";
  for (const std::string &b : blocks) f += "START\n" + b;
  return f;
}

int create(const std::string &path) {
  int n = 0, nr = 0, type = 0;
  double ***coef = nullptr;
  char **names = nullptr;
  if (!rsmread_(path.c_str(), &n, &nr, &names, nullptr, &coef, nullptr, nullptr, &type)) return -1;
  for (int i = 0; i < n; ++i) std::free(names[i]);
  std::free(names);
  const int id = rsminit_(&type, &n, &nr, coef, nullptr, nullptr);
  rsmfreelist_(&type, &n, &nr, coef);
  return id;
}

TEST_F(Rsm, OrderPSurfacesMatchTheirPolynomialsAndSlopes) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n = 1; n <= 4; ++n)
    for (int p = 3; p <= 5; ++p) {
      const auto m = monomials(n, p);
      ASSERT_EQ(rsmGetNewInputDim(n, p) + 1, static_cast<int>(m.size()));
      std::vector<double> c;
      std::string block;
      for (size_t k = 0; k < m.size(); ++k) {
        c.push_back(u(gen));
        block += std::to_string(c.back()) + "\n";
        c.back() = std::stod(std::to_string(c.back()));
      }
      int id = create(write("p.txt", oldFile(n, "order : " + std::to_string(p), {block})));
      ASSERT_GE(id, 0) << takeErr();
      std::vector<double> x;
      for (int i = 0; i < n; ++i) x.push_back(u(gen));
      int all = -1, one = 1;
      double y = 0;
      ASSERT_EQ(rsmeval_(&id, &one, x.data(), &y), 1);
      EXPECT_NEAR(y, direct(m, c, x.data()), 1e-12);
      const double h = 1e-4;
      auto at = [&](int a, double da, int b, double db) {
        std::vector<double> z = x;
        z[static_cast<size_t>(a)] += da;
        z[static_cast<size_t>(b)] += db;
        return direct(m, c, z.data());
      };
      for (int a = 1; a <= n; ++a) {
        ASSERT_EQ(rsmevald_(&id, &all, &a, x.data(), &y), 1);
        EXPECT_NEAR(y, (at(a - 1, h, 0, 0) - at(a - 1, -h, 0, 0)) / (2 * h), 1e-6) << n << p << a;
        for (int b = 1; b <= n; ++b) {
          int ab[2] = {a, b};
          ASSERT_EQ(rsmevald2_(&id, &one, ab, x.data(), &y), 1);
          const double fd = (at(a - 1, h, b - 1, h) - at(a - 1, h, b - 1, -h) -
                             at(a - 1, -h, b - 1, h) + at(a - 1, -h, b - 1, -h)) / (4 * h * h);
          EXPECT_NEAR(y, fd, 1e-5) << n << p << a << b;
        }
      }
      rsmfree_(&id);
    }
  takeOut();
}

TEST_F(Rsm, QuadraticFormAndItsHessian) {
  // M = [[1 2 0 0][4 5 6 0][0 8 0 1][0 0 3 2]] over z = (1, x1, x2, x3).
  int id = create(write("q.txt", oldFile(3, "Second Order Response Surface",
                                               {"1;2;0;0;\n4;5;6;0;\n0;8;0;1;\n0;0;3;2\n"})));
  ASSERT_EQ(id, 0);
  double x[3] = {0.5, -1.0, 2.0}, y = 0, g[3], hess[6];
  int all = -1, bad = 0, one = 1;
  auto r = [](double a, double b, double c) {
    return 1 + 6 * a + 5 * a * a + 14 * a * b + 4 * b * c + 2 * c * c;
  };
  ASSERT_EQ(rsmeval_(&id, &all, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, r(0.5, -1.0, 2.0));
  ASSERT_EQ(rsmevalalld_(&id, &one, x, g), 1);
  EXPECT_EQ(std::vector<double>(g, g + 3), (std::vector<double>{6 + 10 * 0.5 + 14 * -1.0, 14 * 0.5 + 4 * 2.0, 4}));
  ASSERT_EQ(rsmevalalld2_(&id, &all, x, hess), 1);
  EXPECT_EQ(std::vector<double>(hess, hess + 6), (std::vector<double>{10, 14, 0, 0, 4, 4}));
  EXPECT_EQ(rsmeval_(&id, &bad, x, &y), 0);
  int axis = 4;
  EXPECT_EQ(rsmevald_(&id, &all, &axis, x, &y), 0);
  EXPECT_EQ(takeErr(), "\n\nCall to rsmeval with invalid response index 0\n"
                       "\n\nCall to rsmevald with invalid axis direction 4\n");
  // A freed slot is handed out again.
  rsmfree_(&id);
  EXPECT_EQ(create(write("q2.txt", oldFile(1, "First Order Response Surface", {"1;2\n3;4\n"}))), 0);
}

std::string titled(const std::string &body) {
  return "# Table format: RSM\n# 2 inputs\n# 1 outputs\n# input1_title = pressure\n" + body;
}

TEST_F(Rsm, TitledTermsOffsetsAndDerivatives) {
  const std::string terms = "# output1\n# RSM\n1 0 3.0\n0 2 0.5\n";
  int id = kivRsmInit_(write("t.txt", titled(terms)).c_str(), 2, 0);
  int off = kivRsmInit_(write("o.txt", titled("# output1\n# offset\n1 0\n# RSM\n1 0 3.0\n0 2 0.5\n")).c_str(), 0, 0);
  ASSERT_TRUE(id == 0 && off == 1);
  EXPECT_EQ(takeOut(), "Data read from file '" + dir_ + "/t.txt': 2 factor(s) and 1 response(s).\n"
                       "Data read from file '" + dir_ + "/o.txt': 2 factor(s) and 1 response(s).\n");
  double x[2] = {2.0, -3.0}, y = 0;
  ASSERT_EQ(kivRsmEval_(&id, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 6.0 + 4.5);
  ASSERT_EQ(kivRsmEval_(&off, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 3.0 + 4.5);
  struct D {
    std::vector<int> axes;
    double want;
  };
  for (const D &d : {D{{2}, -3.0}, D{{2, 2}, 1.0}, D{{1, 2}, 0.0}, D{{1}, 3.0}, D{{2, 2, 2}, 0.0}}) {
    int count = static_cast<int>(d.axes.size());
    ASSERT_EQ(kivRsmEvalDeriv_(&id, const_cast<int *>(d.axes.data()), &count, x, &y), 1);
    EXPECT_DOUBLE_EQ(y, d.want) << d.axes.size();
  }
  int axes[2] = {1, 3}, two = 2;
  EXPECT_EQ(kivRsmEvalDeriv_(&id, axes, &two, x, &y), 0);
  EXPECT_EQ(takeErr(), "Derivation index 2 must be in range [1,2] and is 3.\n");
  // Freed, then refused; the slot goes to the next model.
  EXPECT_EQ(kivRsmFree_(&id), 1);
  EXPECT_EQ(kivRsmGetNumInputs_(&id), -1);
  EXPECT_EQ(takeErr(), "Call to kivRsmGetNumInputs with invalid index (0).\n");
  EXPECT_EQ(kivRsmInit_(write("t2.txt", titled(terms)).c_str(), 2, 0), 0);
}

TEST_F(Rsm, TitledTermListsGoOnPastNotesAndEndAtKeys) {
  // Between the terms 1 0 3.0 and 0 2 0.5: at (2, -3), 10.5 with both, 6
  // when the line ends the list.
  for (auto [line, want] : {std::pair{"# the x2 term", 10.5}, {"#", 10.5}, {"# inputs: p and n", 10.5},
                            {"# RSM model", 10.5}, {"# offset", 6.0}, {"# minmax", 6.0}, {"# output2", 6.0},
                            {"# RSM", 6.0}, {"# 3 inputs", 6.0}, {"# input2_unit = bar", 6.0}, {"# output1_title = q", 6.0}}) {
    int id = kivRsmInit_(write(std::string(line) + ".txt", titled("# output1\n# RSM\n1 0 3.0\n" + std::string(line) + "\n0 2 0.5\n")).c_str(), 2, 0);
    double x[2] = {2.0, -3.0}, y = 0;
    ASSERT_EQ(kivRsmEval_(&id, x, &y), 1) << line << takeErr();
    EXPECT_EQ(y, want) << line;
    kivRsmFree_(&id);
  }
  takeOut();
}

TEST_F(Rsm, TitledOffsetsComeAfterTheNotesThatFollowTheirKey) {
  // 3 (x1 - 1) + 0.5 x2^2 - 2 (x1 - 1) x2 at (2, -3): 13.5 with the offsets
  // (1, 0), 22.5 without them.
  const std::string terms = "# RSM\n1 0 3.0\n0 2 0.5\n1 1 -2.0\n";
  for (const char *notes : {"", "# x1 is measured from 1\n", "# one note\n#\n   # and one more 2 3\n", "# x1 in bar\n\n"}) {
    const std::string f = write("o.txt", titled("# output1\n# offset\n" + std::string(notes) + "1 0\n" + terms));
    int id = kivRsmInit_(f.c_str(), 2, 0);
    double x[2] = {2.0, -3.0}, y = 0;
    ASSERT_EQ(kivRsmEval_(&id, x, &y), 1) << notes << takeErr();
    EXPECT_EQ(y, 13.5) << notes;
    kivRsmFree_(&id);
    KivEndRun(0);  // the same name is read afresh
  }
  // A key right after "# offset" is taken for its values, which it lacks:
  // the offsets are 0 and the line after it is passed over, as ever.
  for (const char *key : {"# RSM\n", "# 1 inputs\n1 0\n", "# output1_unit = bar\n1 0\n"}) {
    int id = kivRsmInit_(write("k.txt", titled("# output1\n# offset\n" + std::string(key) + terms)).c_str(), 2, 0);
    double x[2] = {2.0, -3.0}, y = 0;
    ASSERT_EQ(kivRsmEval_(&id, x, &y), 1) << key << takeErr();
    EXPECT_EQ(y, 22.5) << key;
    kivRsmFree_(&id);
    KivEndRun(0);
  }
  takeOut();
}

TEST_F(Rsm, TitledRefusalNamesTheLineOfTheFileAtEveryRead) {
  // Blank lines count: the coefficient stands on line 9, read from the
  // file and again from the readers' cache.
  const std::string f = write("b.txt", titled("# output1\n\n# RSM\n   \n1 0 1e400 # huge\n"));
  for (int read = 0; read < 2; ++read) {
    EXPECT_EQ(kivRsmInit_(f.c_str(), 2, 0), -1);
    EXPECT_EQ(takeErr(), "\nLine 9 of file '" + f + "' holds a number beyond the range of a double ('1e400').\n"
                         "Unable to read RSM response 1.\n");
  }
}

TEST_F(Rsm, TitledLimitsReportOrClamp) {
  // Inputs within [0, 1] x [0, 10]; the output within [-100, 100].
  const std::string f = write("l.txt", titled("# minmax\n0 0 -100\n1 10 100\n# output1\n# RSM\n1 0 3.0\n0 2 0.5\n"));
  int report = kivRsmInit_(f.c_str(), 1, 0), clamp = kivRsmInit_(f.c_str(), 2, 0);
  takeOut();
  double x[2] = {4.0, 2.0}, y = 0;
  EXPECT_EQ(kivRsmEval_(&report, x, &y), -1);
  EXPECT_DOUBLE_EQ(y, 12.0 + 2.0);
  EXPECT_EQ(takeErr(), "RSM input 1 greater than authorized max 1.\n");
  EXPECT_EQ(kivRsmEval_(&report, x, &y), 1);
  EXPECT_EQ(takeErr(), "");
  EXPECT_EQ(kivRsmEval_(&clamp, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 3.0 + 2.0);
  x[1] = 30.0;  // clamped to 10: 3 + 50
  EXPECT_EQ(kivRsmEval_(&clamp, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 53.0);
  EXPECT_EQ(takeErr(), "");
}

TEST_F(Rsm, OlderFileRefusesLateTypesAndBadCoefficients) {
  auto read = [](const std::string &f) {
    int n = -7, nr = -7, type = -7;
    double ***coef = nullptr;
    const int r = rsmread_(f.c_str(), &n, &nr, nullptr, nullptr, &coef, nullptr, nullptr, &type);
    EXPECT_EQ(coef, nullptr);
    if (r) rsmfreelist_(&type, &n, &nr, coef);
    return r;
  };
  // An order-3 block of one factor has 4 rows; a later order 4 would ask
  // for 5 rows of every block read before it.
  const std::string late = "Type of RSM: order : 3\n1 factor(s):\nx\n1 response variable(s):\nr\n"
                           "START\n1\n0\n0\n2\nType of RSM: order : 4\n";
  ASSERT_EQ(late.size(), 101u);
  const std::string quad = "Type of RSM: Second Order Response Surface\n1 factor(s):\nx\n1 response variable(s):\nr\nSTART\n";
  refusals(read, {{late, 0, "\nRead error. Type of RSM given after coefficients in line 'Type of RSM: order : 4'\n"},
                  {quad + "1;nan\n0;1\n", 0, "\nRead error. Incomplete or non-finite coefficient in line '1;nan'\n"},
                  {quad + "1;2\n1e400;1\n", 0, "\nRead error. Incomplete or non-finite coefficient in line '1e400;1'\n"},
                  {quad + "1;2\n0;1e\n", 0, "\nRead error. Incomplete or non-finite coefficient in line '0;1e'\n"},
                  {late.substr(0, late.rfind("2\nType")) + "2e+\n", 0,
                   "\nRead error. Incomplete or non-finite coefficient in line '2e+'\n"}});
  // Before the first block a later type line still wins: order 3 has 4
  // rows for one factor, so the file reads, and r(x) = 1 + 2x^3.
  const std::string early = "Type of RSM: order : 4\n" + late.substr(0, late.rfind("Type")) + "\n";
  const std::string fixed = early.substr(0, early.rfind("0\n2")) + "0\n2\n";
  int id = create(write("early.txt", fixed));
  ASSERT_GE(id, 0) << takeErr();
  double x = 2.0, y = 0.0;
  int all = -1;
  ASSERT_EQ(rsmeval_(&id, &all, &x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 17.0);
  takeOut();
}

TEST_F(Rsm, TitledFileRefusesBadNumbersNamingTheLine) {
  auto read = [](const std::string &f) { return kivRsmInit_(f.c_str(), 2, 0); };
  const std::string one = "Unable to read RSM response 1.\n";
  auto huge = [](int line, const std::string &text) {
    return "\nLine " + std::to_string(line) + " of file '%s' holds a number beyond the range of a double ('" + text +
           "').\n";
  };
  refusals(read, {{titled("# output1\n# RSM\n1 0 nan\n"), -1, "Bad RSM term line '1 0 nan'.\n" + one},
                  {titled("# output1\n# RSM\n1 0 1e400\n"), -1, huge(7, "1e400") + one},
                  {titled("# output1\n# RSM\n1 0 3e\n"), -1, "Bad RSM term line '1 0 3e'.\n" + one},
                  {titled("# output1\n# RSM\n1.5 0 3\n"), -1, "Bad RSM term line '1.5 0 3'.\n" + one},
                  {titled("# output1\n# offset\n1e- 0\n# RSM\n1 0 3\n"), -1, "Bad RSM offset line '1e- 0'.\n" + one},
                  {titled("# output1\n# offset\n0 inf\n# RSM\n1 0 3\n"), -1, "Bad RSM offset line '0 inf'.\n" + one},
                  {titled("# minmax\n0 nan -1\n1 1 1\n# output1\n# RSM\n1 0 3\n"), -1,
                   "Bad RSM min max line '0 nan -1'.\nUnable to read RSM min max.\n"},
                  {titled("# minmax\n-inf 0 -1e400\n1 1 inf\n# output1\n# RSM\n1 0 3\n"), -1,
                   huge(6, "-1e400") + "Unable to read RSM min max.\n"},
                  {titled("# output1\n# offset\n1e400 0\n# RSM\n1 0 3\n"), -1, huge(7, "1e400") + one}});
  // An infinite limit bounds nothing; a short offset line leaves 0.
  int id = read(write("inf.txt", titled("# minmax\n-inf 0 -inf\n1 1 inf\n# output1\n# offset\n0.5\n# RSM\n1 0 3\n")));
  ASSERT_GE(id, 0) << takeErr();
  double x[2] = {-50.0, 0.5}, y = 0.0;
  ASSERT_EQ(kivRsmEval_(&id, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 3.0 * (-50.0 - 0.5));
  takeOut();
}

TEST_F(Rsm, TitledLinesHoldNoValueBeyondTheirFields) {
  auto read = [](const std::string &f) { return kivRsmInit_(f.c_str(), 2, 0); };
  const std::string one = "Unable to read RSM response 1.\n";
  auto terms = [](const std::string &t) { return titled("# output1\n# RSM\n" + t + "\n"); };
  refusals(read, {{terms("1 0 2 3.0"), -1, "Bad RSM term line '1 0 2 3.0'.\n" + one},
                  {terms("1 0 3.0 kg"), -1, "Bad RSM term line '1 0 3.0 kg'.\n" + one},
                  {terms("1 0 3.0kg"), -1, "Bad RSM term line '1 0 3.0kg'.\n" + one},
                  {terms("1 0 1.0D+03"), -1, "Bad RSM term line '1 0 1.0D+03'.\n" + one},
                  {titled("# output1\n# offset\n1 0 5\n# RSM\n1 0 3\n"), -1,
                   "Bad RSM offset line '1 0 5'.\n" + one},
                  {titled("# output1\n# offset\n1 bar 5\n# RSM\n1 0 3\n"), -1,
                   "Bad RSM offset line '1 bar 5'.\n" + one},
                  {titled("# output1\n# offset\n1kg 0\n# RSM\n1 0 3\n"), -1,
                   "Bad RSM offset line '1kg 0'.\n" + one},
                  {titled("# minmax\n0 0 -1 7\n1 1 1\n# output1\n# RSM\n1 0 3\n"), -1,
                   "Bad RSM min max line '0 0 -1 7'.\nUnable to read RSM min max.\n"}});
  // Notes after the values, with or without a blank before the "#", read
  // as if they were not there: 3(x1 - 1) + 0.5 x2^2 - 2 (x1 - 1) x2, its
  // inputs clamped into [-10, 10].
  int id = read(data("rsm_titled_notes.txt"));
  ASSERT_GE(id, 0) << takeErr();
  auto r = [](double a, double b) { return 3 * (a - 1) + 0.5 * b * b - 2 * (a - 1) * b; };
  double x[2] = {2.0, -3.0}, y = 0.0;
  ASSERT_EQ(kivRsmEval_(&id, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, r(2.0, -3.0));
  x[0] = 12.0;
  ASSERT_EQ(kivRsmEval_(&id, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, r(10.0, -3.0));
  takeOut();
}

TEST_F(Rsm, OlderRowsHoldNoValueBeyondTheirFactors) {
  auto read = [](const std::string &f) {
    int n = 0, nr = 0, type = 0;
    return rsmread_(f.c_str(), &n, &nr, nullptr, nullptr, nullptr, nullptr, nullptr, &type);
  };
  const std::string bad = "\nBad number format for quadratic matrix.\n";
  const std::string two = "Type of RSM: Second Order Response Surface\n2 factor(s):\nx1\nx2\n"
                          "1 response variable(s):\nr\nSTART\n";
  const std::string cubic =
      "Type of RSM: order : 3\n1 factor(s):\nx\n1 response variable(s):\nr\nSTART\n";
  refusals(read, {{two + "1; 2; 3; 10;\n0;1;0;\n0;0;1;\n", 0, bad},
                  {two + "1;0;0;\n0; 1; 0 10\n0;0;1;\n", 0, bad},
                  {two + "1;0;0;\n0;1;0;\n0;0;1;;7 note\n", 0, bad},
                  {two + "1;0;0;\n0;1;0;\n0;0;1.0D+03\n", 0, bad},
                  {cubic + "1\n0 5\n0\n2\n", 0, bad},
                  {cubic + "1\n0\n0\n2kg\n", 0, bad}});
  // r = 1 + 2 x1 + 3 x1^2 + 4 x2^2 from rows that end in notes.
  int id = create(data("rsm_old_notes.txt"));
  ASSERT_GE(id, 0) << takeErr();
  double x[2] = {2.0, -1.0}, y = 0.0, g[2];
  int one = 1;
  ASSERT_EQ(rsmeval_(&id, &one, x, &y), 1);
  EXPECT_DOUBLE_EQ(y, 1 + 2 * 2.0 + 3 * 4.0 + 4 * 1.0);
  ASSERT_EQ(rsmevalalld_(&id, &one, x, g), 1);
  EXPECT_EQ(std::vector<double>(g, g + 2), (std::vector<double>{2 + 6 * 2.0, 8 * -1.0}));
  // One value per row of an order-3 block, a note after it: 1 + 2 x^3.
  int cid = create(write("cubic.txt", cubic + "1 ; constant\n0 x\n0;\n2 ;x^3\n"));
  ASSERT_GE(cid, 0) << takeErr();
  double c = 2.0;
  ASSERT_EQ(rsmeval_(&cid, &one, &c, &y), 1);
  EXPECT_DOUBLE_EQ(y, 17.0);
  takeOut();
}

}  // namespace

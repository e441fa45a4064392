// Fixture of the expression and math tests: variable names as the C interface
// takes them, evaluation, a prefix rendering of stored trees and driver modes.
#pragma once

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "params/binarytree.hpp"
#include "support/kiv_test.hpp"

namespace kiv::test {

// Runs fn in a driver evaluation of the mode, then returns to ordinary
// evaluation; the answer word fn left (4: a crossing was reported).
template <class F>
int answerIn(int mode, F fn) {
  KivBeginEvaluation(mode);
  fn();
  const int w = KivGetAnswerWord();
  KivBeginEvaluation(KIV_EVAL_ORDINARY);
  return w;
}

inline constexpr int kFree = KIV_EVAL_ORDINARY, kCheck = KIV_EVAL_CHECK, kLocate = KIV_EVAL_LOCATE;

// One call of fn(x) in a driver mode, with the result and answer word it
// should give (free 0, check 1, locate 2, or 4 after a reported crossing).
struct Step {
  int mode;
  double x, result;
  int answer;
};
template <class F>
void expectSteps(F fn, std::initializer_list<Step> steps) {
  int i = 0;
  for (const Step &s : steps) {
    double r = 0;
    EXPECT_EQ(answerIn(s.mode, [&] { r = fn(s.x); }), s.answer) << "step " << i;
    EXPECT_DOUBLE_EQ(r, s.result) << "step " << i++;
  }
}

class ExprTest : public SystemTest {
 protected:
  // Mutable copies of the names (checking may remove blanks in place).
  char **names(std::initializer_list<const char *> list) {
    store_.emplace_back(list.begin(), list.end());
    auto &ptrs = ptrs_.emplace_back();
    for (auto &s : store_.back()) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
    return ptrs.data();
  }
  int check(const char *text, std::initializer_list<const char *> vars = {}) {
    return CheckExpression(text, static_cast<int>(vars.size()), names(vars));
  }
  int checkQuietly(const char *text, std::initializer_list<const char *> vars = {}) {
    return CheckExpressionQuietly(sys_, text, static_cast<int>(vars.size()), names(vars), 1);
  }

  // Value, or with kl the first or second derivative; -123456 when the call
  // left the result alone.
  static double eval(int id, std::vector<double> v, int *ok = nullptr, std::vector<int> kl = {}) {
    double r = -123456.0;
    const int s = kl.empty()       ? expeval_(&id, v.data(), &r)
                  : kl.size() == 1 ? expevald_(&id, kl.data(), v.data(), &r)
                                   : expevald2_(&id, kl.data(), v.data(), &r);
    if (ok) *ok = s;
    return r;
  }
  static double evald(int id, int k, std::vector<double> v, int *ok = nullptr) { return eval(id, v, ok, {k}); }
  static double evald2(int id, int k, int l, std::vector<double> v, int *ok = nullptr) { return eval(id, v, ok, {k, l}); }

  MasterExp &slot(int id) { return GetForest()->slots.at(static_cast<size_t>(id)); }

  // Prefix form: (op left right), (function arguments...), names, numbers.
  std::string tree(int id) { return render(slot(id).tree.get(), slot(id)); }
  std::string render(const BinaryTree *n, const MasterExp &s) {
    if (!n) return "_";
    static const char *const kSym[] = {"?", "f", "v", "c", "(", ")", "+", "-", "*", "/", "^",
                                       ",", ">", ">=", "<", "<=", "==", "!=", "&&", "||", "!"};
    char buf[64];
    switch (n->kind) {
      case kConstant: std::snprintf(buf, sizeof buf, "%.15g", n->value); return buf;
      case kVariable: return s.names.at(static_cast<size_t>(n->index));
      case kFunction: {
        std::string out = std::string("(") + functions[n->index];
        if (n->left) out += " " + render(n->left, s);
        return out + " " + render(n->right, s) + ")";
      }
      default:
        return std::string("(") + kSym[n->kind] + " " + render(n->left, s) + " " + render(n->right, s) + ")";
    }
  }

  // The print flag of the run (isprint_).
  static void printing(bool on) {
    KIVRunFlags f{};
    f.printing = on ? 1 : 0;
    KivSetRunFlags(&f);
  }

  std::vector<std::vector<std::string>> store_;
  std::vector<std::vector<char *>> ptrs_;
};

}  // namespace kiv::test

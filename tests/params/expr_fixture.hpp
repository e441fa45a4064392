// Fixture for the expression tests: variable names as the C interface takes
// them, checking, evaluation and a prefix rendering of stored trees.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "params/binarytree.hpp"
#include "support/kiv_test.hpp"

namespace kiv::test {

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

  double eval(int id, std::vector<double> v, int *ok = nullptr) {
    double r = -123456.0;
    const int k = expeval_(&id, v.data(), &r);
    if (ok) *ok = k;
    return r;
  }
  double evald(int id, int k, std::vector<double> v, int *ok = nullptr) {
    double r = -123456.0;
    const int s = expevald_(&id, &k, v.data(), &r);
    if (ok) *ok = s;
    return r;
  }
  double evald2(int id, int k, int l, std::vector<double> v, int *ok = nullptr) {
    double r = -123456.0;
    int kl[2] = {k, l};
    const int s = expevald2_(&id, kl, v.data(), &r);
    if (ok) *ok = s;
    return r;
  }

  // Value of a constant text (no variables); NaN when it does not check.
  double value(const char *text) {
    const int id = check(text);
    if (id < 0) return std::nan("");
    return eval(id, {0.0});
  }

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
  void printing(bool on) {
    KIVRunFlags f{};
    f.printing = on ? 1 : 0;
    KivSetRunFlags(&f);
  }

  std::vector<std::vector<std::string>> store_;
  std::vector<std::vector<char *>> ptrs_;
};

}  // namespace kiv::test

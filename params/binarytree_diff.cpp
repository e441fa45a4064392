// Symbolic differentiation of expression trees.  Derivative trees are built
// unsimplified; their comparison nodes take part in discontinuity handling
// like any other when evaluated.
#include "params/binarytree.hpp"

namespace kiv {

namespace {

TreePtr C(double v) { return NewConstant(v); }
TreePtr add(TreePtr a, TreePtr b) { return NewOperator(kPlus, std::move(a), std::move(b)); }
TreePtr sub(TreePtr a, TreePtr b) { return NewOperator(kMinus, std::move(a), std::move(b)); }
TreePtr mul(TreePtr a, TreePtr b) { return NewOperator(kTimes, std::move(a), std::move(b)); }
TreePtr div(TreePtr a, TreePtr b) { return NewOperator(kDivide, std::move(a), std::move(b)); }
TreePtr pw(TreePtr a, TreePtr b) { return NewOperator(kPower, std::move(a), std::move(b)); }
TreePtr cmp(int kind, TreePtr a, TreePtr b) { return NewOperator(kind, std::move(a), std::move(b)); }
TreePtr fn(int f, TreePtr arg) { return NewFunction(f, nullptr, std::move(arg)); }
TreePtr neg(TreePtr a) { return mul(C(-1.0), std::move(a)); }

// max(a, b) in the parser's chain form.
TreePtr max2(TreePtr a, TreePtr b) { return NewFunction(fMax, std::move(a), fn(fMax, std::move(b))); }

bool isZero(const BinaryTree *n) { return IsConstantNode(n) && n->value == 0.0; }

size_t nodeCount(const BinaryTree *n) { return n ? 1 + nodeCount(n->left) + nodeCount(n->right) : 0; }

// Thrown when a derivative outgrows its budget.
struct TooLarge {};

class Differ {
 public:
  Differ(int k, int quiet) : k_(k), quiet_(quiet) {}

  // Each rule has a frame of its own, so that the recursion through deep
  // trees stays light on the stack.
  TreePtr d(const BinaryTree *n) {
    spend(8);  // the most nodes one rule makes besides its copies
    switch (n->kind) {
      case kConstant: return C(0.0);
      case kVariable: return C(n->index == k_ ? 1.0 : 0.0);
      case kPlus:
      case kMinus: return sum(n);
      case kTimes: return product(n);
      case kDivide: return quotient(n);
      case kPower: return power(n);
      case kFunction: return function(n);
      default: return C(0.0);  // comparisons and logic are piecewise constant
    }
  }

  TreePtr asinFamily(int index, const BinaryTree *u) {
    switch (index) {
      case fAsin: return div(d(u), fn(fSqrt, sub(C(1.0), square(u))));
      case fAcos: return neg(div(d(u), fn(fSqrt, sub(C(1.0), square(u)))));
      case fAsinh: return div(d(u), fn(fSqrt, sub(square(u), C(-1.0))));
      case fAcosh: return div(d(u), fn(fSqrt, sub(square(u), C(1.0))));
      default:
        kivfprintf(stderr, "Call to GetAsinDerivative with wrong args.\n");
        return C(0.0);
    }
  }

 private:
  // Derivatives copy subtrees at every level, so nested expressions can
  // grow them past any sensible size: such a derivative is refused.
  void spend(size_t nodes) {
    budget_ = nodes > budget_ ? 0 : budget_ - nodes;
    if (budget_ == 0) throw TooLarge{};
  }
  TreePtr cp(const BinaryTree *n) {
    spend(nodeCount(n));
    return Copy(n);
  }
  TreePtr square(const BinaryTree *u) { return pw(cp(u), C(2.0)); }
  // +1 where x >= 0, -1 below: the branch of abs and sign.
  TreePtr sgn(const BinaryTree *x) { return sub(mul(C(2.0), cmp(kGreaterEq, cp(x), C(0.0))), C(1.0)); }

  [[gnu::noinline]] TreePtr sum(const BinaryTree *n) {
    return NewOperator(n->kind, d(n->left), d(n->right));
  }

  [[gnu::noinline]] TreePtr product(const BinaryTree *n) {
    return add(mul(d(n->left), cp(n->right)), mul(cp(n->left), d(n->right)));
  }

  [[gnu::noinline]] TreePtr quotient(const BinaryTree *n) {
    return div(sub(mul(cp(n->right), d(n->left)), mul(cp(n->left), d(n->right))), square(n->right));
  }

  // Whether d u / d x_k, simplified, is 0: decides on a rule.  The
  // derivative itself is built once and kept unsimplified for the rule, so
  // nested powers cost no repeated differentiation.
  bool vanishes(const TreePtr &du) {
    TreePtr s = cp(du.get());
    int ok = 1;
    LocalSimplifyTree(s.get(), &ok, quiet_);
    return isZero(s.get());
  }

  [[gnu::noinline]] TreePtr power(const BinaryTree *n) {
    const BinaryTree *a = n->left, *b = n->right;
    TreePtr db = d(b);
    if (vanishes(db)) return mul(mul(cp(b), d(a)), pw(cp(a), sub(cp(b), C(1.0))));
    return mul(add(mul(std::move(db), fn(fLog, cp(a))), div(mul(cp(b), d(a)), cp(a))), cp(n));
  }

  [[gnu::noinline]] TreePtr function(const BinaryTree *n) {
    const BinaryTree *u = n->right, *a = n->left, *b = n->right;
    switch (n->index) {
      case fSin: return mul(d(u), fn(fCos, cp(u)));
      case fCos: return mul(neg(d(u)), fn(fSin, cp(u)));
      case fTan: return div(d(u), mul(fn(fCos, cp(u)), fn(fCos, cp(u))));
      case fAsin:
      case fAcos:
      case fAsinh:
      case fAcosh: return asinFamily(n->index, u);
      case fAtan: return div(d(u), add(C(1.0), square(u)));
      case fAtanh: return div(d(u), sub(C(1.0), square(u)));
      case fAtan2:
        // Straight from the quotient rule of a/b, so b = 0 is no singularity.
        return div(sub(mul(d(a), cp(b)), mul(cp(a), d(b))), add(square(a), square(b)));
      case fAbs:
      case fFabs: return mul(d(u), sgn(u));
      case fSabs: return sabs(a, b);
      case fSqrt: return div(d(u), mul(fn(fSqrt, cp(u)), C(2.0)));
      case fExp: return mul(d(u), fn(fExp, cp(u)));
      case fLog: return div(d(u), cp(u));
      case fLog10: return div(d(u), mul(cp(u), C(2.302585092994046)));
      case fSinh: return mul(d(u), fn(fCosh, cp(u)));
      case fCosh: return mul(d(u), fn(fSinh, cp(u)));
      case fTanh: return mul(d(u), sub(C(1.0), pw(fn(fTanh, cp(u)), C(2.0))));
      case fMax:
      case fSmax:
        if (!a) return d(b);  // end of a max chain
        return add(mul(d(a), cmp(kGreaterEq, cp(a), cp(b))), mul(d(b), cmp(kLess, cp(a), cp(b))));
      case fMin:
      case fSmin:
        if (!a) return d(b);
        return add(mul(d(a), cmp(kLess, cp(a), cp(b))), mul(d(b), cmp(kGreaterEq, cp(a), cp(b))));
      case fSign: return mul(mul(d(a), sgn(a)), sgn(b));
      case fLsqrta: return lsqrta(a, b);
      case fMod:
        // a - count * b: the count is floor(a / b) between the jumps.
        if (TreePtr db = d(b); !vanishes(db))
          return sub(d(a), mul(std::move(db), fn(fFloor, div(cp(a), cp(b)))));
        return d(a);
      case fFloor:
      case fCeil:
      case fRound: return C(0.0);
      default:
        kivfprintf(stderr, "GetFunctionDerivative : Function type not implemented yet (index=%d).\n",
                   n->index);
        return C(0.0);
    }
  }

  // sabs(a, b): a above b, -a below -b, a^2/(2b) + b/2 between.  Between
  // the two, b > 0; elsewhere the divisor is 1 so no branch divides by 0.
  TreePtr sabs(const BinaryTree *a, const BinaryTree *b) {
    auto divisor = [&] {
      return add(mul(cp(b), cmp(kGreater, cp(b), C(0.0))), cmp(kLessEq, cp(b), C(0.0)));
    };
    auto ratio = [&] { return div(cp(a), divisor()); };
    TreePtr band = add(mul(ratio(), d(a)), mul(d(b), sub(C(0.5), mul(C(0.5), pw(ratio(), C(2.0))))));
    TreePtr below = add(mul(cmp(kGreaterEq, neg(cp(b)), cp(a)), neg(d(a))),
                        mul(cmp(kLess, neg(cp(b)), cp(a)), std::move(band)));
    return add(mul(cmp(kGreaterEq, cp(a), cp(b)), d(a)),
               mul(cmp(kLess, cp(a), cp(b)), std::move(below)));
  }

  // lsqrta(a, b): sqrt(|a|) signed for |a| beyond b, a / sqrt(b) within.
  // The outer slope divides by sqrt(max(|a|, b)), which is sqrt(|a|) where
  // it counts and never 0 (b > 0), so no inactive branch fails.
  TreePtr lsqrta(const BinaryTree *a, const BinaryTree *b) {
    TreePtr outside = add(cmp(kGreaterEq, cp(a), cp(b)), cmp(kLess, cp(a), neg(cp(b))));
    TreePtr within = mul(cmp(kLess, cp(a), cp(b)), cmp(kGreaterEq, cp(a), neg(cp(b))));
    TreePtr outer = div(d(a), mul(C(2.0), fn(fSqrt, max2(fn(fAbs, cp(a)), cp(b)))));
    TreePtr inner = sub(div(d(a), fn(fSqrt, cp(b))),
                        div(mul(cp(a), d(b)), mul(mul(C(2.0), cp(b)), fn(fSqrt, cp(b)))));
    return add(mul(std::move(outside), std::move(outer)), mul(std::move(within), std::move(inner)));
  }

  int k_;
  int quiet_;
  size_t budget_ = kMaxDerivativeNodes;
};

}  // namespace

BinaryTree *DifferentiateBinaryTree(const BinaryTree *node, int k, BinaryTree *parent,
                                    int quiet_level) {
  if (!node) return nullptr;
  try {
    TreePtr d = Differ(k, quiet_level).d(node);
    d->parent = parent;
    return d.release();
  } catch (const TooLarge &) {
    return nullptr;
  }
}

BinaryTree *GetFunctionDerivative(const BinaryTree *node, int k, BinaryTree *parent,
                                  int quiet_level) {
  return DifferentiateBinaryTree(node, k, parent, quiet_level);
}

BinaryTree *GetAsinDerivative(BinaryTree *parent, int index, const BinaryTree *argument, int k,
                              int quiet_level) {
  try {
    TreePtr d = Differ(k, quiet_level).asinFamily(index, argument);
    d->parent = parent;
    return d.release();
  } catch (const TooLarge &) {
    return nullptr;
  }
}

}  // namespace kiv

using namespace kiv;

extern "C" {

int DifferExpression(const char *text, int n, char **names, int *count, int *indexes) {
  const int id = CheckExpressionAndTokens(text, n, names, 1);
  if (id < 0) return -1;
  ExpressionForest *forest = GetForest();
  MasterExp *slot = FindSlot(forest, id);
  const int m = count ? *count : 0;
  for (int i = 0; i < m; ++i) {
    if (indexes[i] < 1 || indexes[i] > n) {
      kivfprintf(stderr, "The derivation index %d is %d and is out of range [1,%d]", i + 1,
                 indexes[i], n);
      DestroyMasterExp(slot);
      return -1;
    }
  }
  for (int i = 0; i < m; ++i) {
    TreePtr d(DifferentiateBinaryTree(slot->tree.get(), indexes[i] - 1, nullptr, forest->quiet));
    if (!d) {
      kivfprintf(stderr, "DifferExpression: derivative exceeds %d nodes.\n", kMaxDerivativeNodes);
      DestroyMasterExp(slot);
      return -1;
    }
    slot->tree = std::move(d);
  }
  slot->program = CompileTree(slot->tree.get());
  return id;
}

}  // extern "C"

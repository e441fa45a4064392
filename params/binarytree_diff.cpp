// Symbolic differentiation of expression trees.  Derivative trees are built
// unsimplified; their comparison nodes take part in discontinuity handling
// like any other when evaluated.
#include <vector>

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

// Nodes of a subtree, counted without recursion.
size_t nodeCount(const BinaryTree *n) {
  if (!n) return 0;
  size_t count = 0;
  guardAllocation("nodeCount", [&] {
    std::vector<const BinaryTree *> todo{n};
    while (!todo.empty()) {
      const BinaryTree *t = todo.back();
      todo.pop_back();
      ++count;
      if (t->left) todo.push_back(t->left);
      if (t->right) todo.push_back(t->right);
    }
  });
  return count;
}

// Thrown when a derivative outgrows its budget.
struct TooLarge {};

// Which children's derivatives the rule of a node uses.
struct Needs {
  bool left = false, right = false;
};

Needs needs(const BinaryTree *n) {
  switch (n->kind) {
    case kPlus:
    case kMinus:
    case kTimes:
    case kDivide:
    case kPower: return {true, true};
    case kFunction: break;
    default: return {};  // leaves, and comparisons and logic: piecewise constant
  }
  switch (n->index) {
    case fAtan2:
    case fSabs:
    case fLsqrta:
    case fMod: return {true, true};
    case fMax:
    case fSmax:
    case fMin:
    case fSmin: return {n->left != nullptr, true};
    case fSign: return {true, false};
    case fFloor:
    case fCeil:
    case fRound: return {};
    default: return {false, n->index >= 0 && n->index < kFunctionCount};
  }
}

class Differ {
 public:
  Differ(int k, int quiet) : k_(k), quiet_(quiet) {}

  // Children before their parent, on a heap stack: derivative trees are
  // differentiated again for second derivatives and grow deeper than any
  // text, while a worker thread's stack is small.
  TreePtr d(const BinaryTree *root) {
    struct Frame {
      const BinaryTree *node;
      bool expanded;
    };
    return guardAllocation("DifferentiateBinaryTree", [&] {
      std::vector<Frame> todo{{root, false}};
      std::vector<TreePtr> done;  // derivatives of finished subtrees, last on top
      while (!todo.empty()) {
        const Frame f = todo.back();
        const Needs need = needs(f.node);
        if (!f.expanded) {
          todo.back().expanded = true;
          spend(8);  // the most nodes one rule makes besides its copies
          if (need.right) todo.push_back({f.node->right, false});
          if (need.left) todo.push_back({f.node->left, false});
          continue;
        }
        todo.pop_back();
        TreePtr dr = need.right ? take(done) : nullptr;
        TreePtr dl = need.left ? take(done) : nullptr;
        done.push_back(rule(f.node, std::move(dl), std::move(dr)));
      }
      return take(done);
    });
  }

  TreePtr asinFamily(int index, const BinaryTree *u) { return asinRule(index, u, d(u)); }

 private:
  static TreePtr take(std::vector<TreePtr> &done) {
    TreePtr t = std::move(done.back());
    done.pop_back();
    return t;
  }

  TreePtr rule(const BinaryTree *n, TreePtr dl, TreePtr dr) {
    switch (n->kind) {
      case kConstant: return C(0.0);
      case kVariable: return C(n->index == k_ ? 1.0 : 0.0);
      case kPlus:
      case kMinus: return NewOperator(n->kind, std::move(dl), std::move(dr));
      case kTimes: return add(mul(std::move(dl), cp(n->right)), mul(cp(n->left), std::move(dr)));
      case kDivide:
        return div(sub(mul(cp(n->right), std::move(dl)), mul(cp(n->left), std::move(dr))), square(n->right));
      case kPower: return power(n, std::move(dl), std::move(dr));
      case kFunction: return function(n, std::move(dl), std::move(dr));
      default: return C(0.0);
    }
  }

  TreePtr asinRule(int index, const BinaryTree *u, TreePtr du) {
    switch (index) {
      case fAsin: return div(std::move(du), fn(fSqrt, sub(C(1.0), square(u))));
      case fAcos: return neg(div(std::move(du), fn(fSqrt, sub(C(1.0), square(u)))));
      case fAsinh: return div(std::move(du), fn(fSqrt, sub(square(u), C(-1.0))));
      case fAcosh: return div(std::move(du), fn(fSqrt, sub(square(u), C(1.0))));
      default:
        kivfprintf(stderr, "Call to GetAsinDerivative with wrong args.\n");
        return C(0.0);
    }
  }

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

  // Whether d u / d x_k, simplified, is 0: decides on a rule.  The
  // derivative itself is built once and kept unsimplified for the rule, so
  // nested powers cost no repeated differentiation.
  bool vanishes(const TreePtr &du) {
    TreePtr s = cp(du.get());
    int ok = 1;
    LocalSimplifyTree(s.get(), &ok, quiet_);
    return isZero(s.get());
  }

  TreePtr power(const BinaryTree *n, TreePtr da, TreePtr db) {
    const BinaryTree *a = n->left, *b = n->right;
    if (vanishes(db)) return mul(mul(cp(b), std::move(da)), pw(cp(a), sub(cp(b), C(1.0))));
    return mul(add(mul(std::move(db), fn(fLog, cp(a))), div(mul(cp(b), std::move(da)), cp(a))), cp(n));
  }

  // da and db: derivatives of the left and the right child, where the rule
  // uses them; u is the argument of a one-argument function.
  TreePtr function(const BinaryTree *n, TreePtr da, TreePtr db) {
    const BinaryTree *u = n->right, *a = n->left, *b = n->right;
    TreePtr &du = db;
    switch (n->index) {
      case fSin: return mul(std::move(du), fn(fCos, cp(u)));
      case fCos: return mul(neg(std::move(du)), fn(fSin, cp(u)));
      case fTan: return div(std::move(du), mul(fn(fCos, cp(u)), fn(fCos, cp(u))));
      case fAsin:
      case fAcos:
      case fAsinh:
      case fAcosh: return asinRule(n->index, u, std::move(du));
      case fAtan: return div(std::move(du), add(C(1.0), square(u)));
      case fAtanh: return div(std::move(du), sub(C(1.0), square(u)));
      case fAtan2:
        // Straight from the quotient rule of a/b, so b = 0 is no singularity.
        return div(sub(mul(std::move(da), cp(b)), mul(cp(a), std::move(db))), add(square(a), square(b)));
      case fAbs:
      case fFabs: return mul(std::move(du), sgn(u));
      case fSabs: return sabs(a, b, std::move(da), std::move(db));
      case fSqrt: return div(std::move(du), mul(fn(fSqrt, cp(u)), C(2.0)));
      case fExp: return mul(std::move(du), fn(fExp, cp(u)));
      case fLog: return div(std::move(du), cp(u));
      case fLog10: return div(std::move(du), mul(cp(u), C(2.302585092994046)));
      case fSinh: return mul(std::move(du), fn(fCosh, cp(u)));
      case fCosh: return mul(std::move(du), fn(fSinh, cp(u)));
      case fTanh: return mul(std::move(du), sub(C(1.0), pw(fn(fTanh, cp(u)), C(2.0))));
      case fMax:
      case fSmax:
        if (!a) return db;  // end of a max chain
        return add(mul(std::move(da), cmp(kGreaterEq, cp(a), cp(b))), mul(std::move(db), cmp(kLess, cp(a), cp(b))));
      case fMin:
      case fSmin:
        if (!a) return db;
        return add(mul(std::move(da), cmp(kLess, cp(a), cp(b))), mul(std::move(db), cmp(kGreaterEq, cp(a), cp(b))));
      case fSign: return mul(mul(std::move(da), sgn(a)), sgn(b));
      case fLsqrta: return lsqrta(a, b, std::move(da), std::move(db));
      case fMod:
        // a - count * b: the count is floor(a / b) between the jumps.
        if (!vanishes(db)) return sub(std::move(da), mul(std::move(db), fn(fFloor, div(cp(a), cp(b)))));
        return da;
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
  TreePtr sabs(const BinaryTree *a, const BinaryTree *b, TreePtr da, TreePtr db) {
    auto divisor = [&] {
      return add(mul(cp(b), cmp(kGreater, cp(b), C(0.0))), cmp(kLessEq, cp(b), C(0.0)));
    };
    auto ratio = [&] { return div(cp(a), divisor()); };
    TreePtr band = add(mul(ratio(), cp(da.get())), mul(std::move(db), sub(C(0.5), mul(C(0.5), pw(ratio(), C(2.0))))));
    TreePtr below = add(mul(cmp(kGreaterEq, neg(cp(b)), cp(a)), neg(cp(da.get()))),
                        mul(cmp(kLess, neg(cp(b)), cp(a)), std::move(band)));
    return add(mul(cmp(kGreaterEq, cp(a), cp(b)), std::move(da)),
               mul(cmp(kLess, cp(a), cp(b)), std::move(below)));
  }

  // lsqrta(a, b): sqrt(|a|) signed for |a| beyond b, a / sqrt(b) within.
  // The outer slope divides by sqrt(max(|a|, b)), which is sqrt(|a|) where
  // it counts and never 0 (b > 0), so no inactive branch fails.
  TreePtr lsqrta(const BinaryTree *a, const BinaryTree *b, TreePtr da, TreePtr db) {
    TreePtr outside = add(cmp(kGreaterEq, cp(a), cp(b)), cmp(kLess, cp(a), neg(cp(b))));
    TreePtr within = mul(cmp(kLess, cp(a), cp(b)), cmp(kGreaterEq, cp(a), neg(cp(b))));
    TreePtr outer = div(cp(da.get()), mul(C(2.0), fn(fSqrt, max2(fn(fAbs, cp(a)), cp(b)))));
    TreePtr inner = sub(div(std::move(da), fn(fSqrt, cp(b))),
                        div(mul(cp(a), std::move(db)), mul(mul(C(2.0), cp(b)), fn(fSqrt, cp(b)))));
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

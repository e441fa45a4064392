// Constant folding and removal of neutral elements, bottom-up and in place.
#include <cmath>
#include <vector>

#include "params/binarytree.hpp"
#include "params/kiv_math.h"

namespace kiv {

bool DivideValue(double l, double r, double *result) {
  if (r != 0.0) {
    *result = l / r;
    return true;
  }
  *result = l > 0.0 ? kHuge : -kHuge;
  return false;
}

bool PowerValue(double l, double r, double *result) {
  if (r == 0.0 && l != 0.0) {
    *result = 1.0;
    return true;
  }
  const double p = std::pow(l, r);
  if (std::isfinite(p)) {
    *result = p;
    return true;
  }
  if (l == 0.0 && r < 0.0)
    *result = kHuge;
  else if (std::isinf(p) && std::isfinite(l) && std::isfinite(r))
    *result = std::copysign(kHuge, p);  // overflow keeps its sign
  else
    *result = 0.0;
  return false;
}

namespace {

void toConstant(BinaryTree *node, double value) {
  DestroyTree(node->left);
  DestroyTree(node->right);
  node->left = node->right = nullptr;
  node->kind = kConstant;
  node->index = -1;
  node->nargs = -1;
  node->value = value;
}

// mod folded into [0, r): single steps as long as they are few (the same
// bits as always), a closed form beyond.
double foldMod(double l, double r) {
  if (!(r > 0.0) || !std::isfinite(l) || !std::isfinite(r)) return l;
  constexpr int kSteps = 1000;
  for (int i = 0; i < kSteps && r <= l; ++i) l -= r;
  if (r <= l) l = std::fmod(l, r);
  for (int i = 0; i < kSteps && l < 0.0; ++i) l += r;
  if (l < 0.0) {
    l = std::fmod(l, r);
    if (l < 0.0) l += r;
  }
  return l;
}

void foldMessage(int quiet, int *ok, const char *name, double c) {
  if (quiet < 2) kivfprintf(stderr, "Attempt to compute %s(%lf).\n", name, c);
  *ok = 0;
}

// A one-argument function of a constant; false when not handled.
bool foldFunction(int index, double c, double *v, int *ok, int quiet) {
  switch (index) {
    case fSin: *v = std::sin(c); return true;
    case fCos: *v = std::cos(c); return true;
    case fTan: *v = std::tan(c); return true;
    case fAtan: *v = std::atan(c); return true;
    case fExp: *v = std::exp(c); return true;
    case fSinh: *v = std::sinh(c); return true;
    case fCosh: *v = std::cosh(c); return true;
    case fTanh: *v = std::tanh(c); return true;
    case fAsinh: *v = std::asinh(c); return true;
    case fAcosh:
      // Below 1 the evaluator's substitute, acosh(1) = 0.
      if (!(c >= 1.0)) {
        foldMessage(quiet, ok, "acosh", c);
        *v = 0.0;
      } else {
        *v = std::acosh(c);
      }
      return true;
    case fAsin:
    case fAcos: {
      double x = c;
      if (c > 1.0 || c < -1.0) {
        foldMessage(quiet, ok, functions[index], c);
        x = c > 1.0 ? 1.0 : -1.0;
      }
      *v = index == fAsin ? std::asin(x) : std::acos(x);
      return true;
    }
    case fAbs:
    case fFabs: *v = std::fabs(c); return true;
    case fMax:
    case fMin: *v = c; return true;
    case fSqrt:
      if (c < 0.0) {
        foldMessage(quiet, ok, "sqrt", c);
        *v = 0.0;
      } else {
        *v = std::sqrt(c);
      }
      return true;
    case fLog:
    case fLog10:
      if (c <= 0.0) {
        *v = -kHuge;
        foldMessage(quiet, ok, functions[index], c);
      } else {
        *v = index == fLog ? std::log(c) : std::log10(c);
      }
      return true;
    case fAtanh:
      if (c > -1.0 && c < 1.0) {
        *v = std::atanh(c);
      } else {
        *v = c >= 1.0 ? kHuge : -kHuge;
        foldMessage(quiet, ok, "atanh", c);
      }
      return true;
    case fFloor: *v = std::floor(c); return true;
    case fCeil: *v = std::ceil(c); return true;
    case fRound: *v = kivround_(&c); return true;
    default: return false;
  }
}

// Two constant operands; false when the node is to stay as it is.
bool foldPair(const BinaryTree *node, double l, double r, double *v, int *ok, int quiet) {
  switch (node->kind) {
    case kPlus: *v = l + r; return true;
    case kMinus: *v = l - r; return true;
    case kTimes: *v = l * r; return true;
    case kDivide:
      if (!DivideValue(l, r, v)) {
        if (quiet < 2) kivfprintf(stderr, "Attempt to divide by zero.\n");
        *ok = 0;
      }
      return true;
    case kPower:
      if (!PowerValue(l, r, v)) {
        if (quiet < 2) kivfprintf(stderr, "Attempt to raise %lf to power %lf.\n", l, r);
        *ok = 0;
      }
      return true;
    case kGreater: *v = l > r; return true;
    case kGreaterEq: *v = l >= r; return true;
    case kLess: *v = l < r; return true;
    case kLessEq: *v = l <= r; return true;
    case kEqual: *v = l == r; return true;
    case kNotEqual: *v = l != r; return true;
    case kAnd: *v = l != 0.0 && r != 0.0; return true;
    case kOr: *v = l != 0.0 || r != 0.0; return true;
    case kFunction: break;
    default: return false;
  }
  switch (node->index) {
    case fAtan2: *v = std::atan2(l, r); return true;
    case fSign: *v = r < 0.0 ? -std::fabs(l) : std::fabs(l); return true;
    case fLsqrta:
      // A non-positive critical value is left for the evaluator to report.
      if (!(r > 0.0)) return false;
      *v = r <= l ? std::sqrt(l) : (-r <= l ? l / std::sqrt(r) : -std::sqrt(-l));
      return true;
    case fMod: *v = foldMod(l, r); return true;
    case fMax: *v = l < r ? r : l; return true;
    case fMin: *v = r < l ? r : l; return true;
    case fSmin: {
      double dx = (std::fabs(r) + 1.0) * 1e-6;
      *v = sulimit_(&l, &r, &dx);
      return true;
    }
    case fSmax: {
      double dx = (std::fabs(r) + 1.0) * 1e-6;
      *v = sllimit_(&l, &r, &dx);
      return true;
    }
    case fSabs: *v = sabs_(&l, &r); return true;
    default:
      kivfprintf(stderr, "LocalSimplifyTree : function not handled (index=%d).\n", node->index);
      return false;
  }
}

bool isValue(const BinaryTree *n, double v) { return IsConstantNode(n) && n->value == v; }

void neutralElements(BinaryTree *node) {
  BinaryTree *l = node->left, *r = node->right;
  switch (node->kind) {
    case kTimes:
      if (isValue(r, 1.0)) return MeltTree(node, 0);
      if (isValue(l, 1.0)) return MeltTree(node, 1);
      if (isValue(l, 0.0) || isValue(r, 0.0)) return toConstant(node, 0.0);
      return;
    case kDivide:
      if (isValue(r, 1.0)) return MeltTree(node, 0);
      if (isValue(l, 0.0)) return toConstant(node, 0.0);
      if (CompareTree(l, r) == 0) return toConstant(node, 1.0);
      return;
    case kMinus:
      if (isValue(r, 0.0)) return MeltTree(node, 0);
      if (CompareTree(l, r) == 0) return toConstant(node, 0.0);
      return;
    case kPlus:
      if (isValue(r, 0.0)) return MeltTree(node, 0);
      if (isValue(l, 0.0)) return MeltTree(node, 1);
      return;
    case kPower:
      if (isValue(r, 1.0)) return MeltTree(node, 0);
      return;
    default: return;
  }
}

}  // namespace

namespace {

// One node whose subtrees are simplified already, with their ok flags.
void simplifyNode(BinaryTree *node, int okLeft, int okRight, int *ok, int quiet_level) {
  if (!okLeft || !okRight) {
    *ok = 0;
    return;
  }
  double v = 0.0;
  if (node->kind == kFunction && !node->left) {
    if (IsConstantNode(node->right)) {
      if (foldFunction(node->index, node->right->value, &v, ok, quiet_level)) {
        toConstant(node, v);
      } else {
        kivfprintf(stderr, "LocalSimplifyTree : function not handled (index=%d).\n", node->index);
      }
    } else if (node->index == fMax || node->index == fMin) {
      MeltTree(node, 1);
    }
    return;
  }
  if (IsConstantNode(node->left) && IsConstantNode(node->right)) {
    if (foldPair(node, node->left->value, node->right->value, &v, ok, quiet_level))
      toConstant(node, v);
    return;
  }
  if (node->kind != kFunction) neutralElements(node);
}

}  // namespace

// Bottom-up, left subtree before right, on a heap stack of pending nodes:
// derivative trees are deeper than any text, and a worker thread's stack
// is small.
void LocalSimplifyTree(BinaryTree *node, int *ok, int quiet_level) {
  if (!node) return;
  struct Frame {
    BinaryTree *node;
    size_t parent;  // frame index; npos for the root
    bool right;     // which subtree of the parent this is
    bool expanded = false;
    int okLeft = 1, okRight = 1;
  };
  constexpr size_t npos = static_cast<size_t>(-1);
  guardAllocation("LocalSimplifyTree", [&] {
    std::vector<Frame> todo{{node, npos, false}};
    while (!todo.empty()) {
      const size_t i = todo.size() - 1;
      if (!todo[i].expanded) {
        todo[i].expanded = true;
        BinaryTree *n = todo[i].node;
        if (n->right) todo.push_back({n->right, i, true});
        if (n->left) todo.push_back({n->left, i, false});
        continue;
      }
      const Frame f = todo[i];
      todo.pop_back();
      int done = 1;
      simplifyNode(f.node, f.okLeft, f.okRight, &done, quiet_level);
      if (f.parent == npos) {
        if (!done) *ok = 0;
      } else {
        (f.right ? todo[f.parent].okRight : todo[f.parent].okLeft) = done;
      }
    }
  });
}

// The number of differing pairs, as the recursive definition counts them:
// the left pair and the right pair, and for operations that commute the
// crossed pairs too when the straight ones differ.  Pending pairs are kept
// on the heap.
int CompareTree(const BinaryTree *a, const BinaryTree *b) {
  struct Frame {
    const BinaryTree *a, *b;
    int stage = 0;
    int straight = 0, crossed = 0;
  };
  return guardAllocation("CompareTree", [&] {
    std::vector<Frame> todo;
    int result = 0;
    // A pair decided by its own nodes sets result; any other is pushed.
    auto open = [&](const BinaryTree *x, const BinaryTree *y) {
      if (!x && !y) {
        result = 0;
      } else if (!x || !y || x->kind != y->kind ||
                 ((x->kind == kFunction || x->kind == kVariable) && x->index != y->index) ||
                 (x->kind == kConstant && !(x->value == y->value))) {
        result = 1;
      } else {
        todo.push_back({x, y});
      }
    };
    open(a, b);
    while (!todo.empty()) {
      Frame &f = todo.back();
      const BinaryTree *x = f.a, *y = f.b;
      switch (f.stage++) {
        case 0: open(x->left, y->left); break;
        case 1:
          f.straight = result;
          open(x->right, y->right);
          break;
        case 2: {
          f.straight += result;
          const bool commutes = x->kind == kPlus || x->kind == kTimes ||
                                (x->kind == kFunction && (x->index == fMax || x->index == fMin));
          if (f.straight == 0 || !commutes) {
            result = f.straight;
            todo.pop_back();
          } else {
            open(x->left, y->right);
          }
          break;
        }
        case 3:
          f.crossed = result;
          open(x->right, y->left);
          break;
        default:
          result = f.crossed + result == 0 ? 0 : f.straight + f.crossed + result;
          todo.pop_back();
          break;
      }
    }
    return result;
  });
}

void MeltTree(BinaryTree *node, int side) {
  BinaryTree *kept = side ? node->right : node->left;
  DestroyTree(side ? node->left : node->right);
  node->left = node->right = nullptr;
  if (!kept) return;
  CopyFields(node, kept);
  node->left = kept->left;
  node->right = kept->right;
  if (node->left) node->left->parent = node;
  if (node->right) node->right->parent = node;
  delete kept;
}

}  // namespace kiv

// Constant folding and removal of neutral elements, bottom-up and in place.
#include <cmath>

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

void LocalSimplifyTree(BinaryTree *node, int *ok, int quiet_level) {
  if (!node) return;
  int okLeft = 1, okRight = 1;
  LocalSimplifyTree(node->left, &okLeft, quiet_level);
  LocalSimplifyTree(node->right, &okRight, quiet_level);
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

int CompareTree(const BinaryTree *a, const BinaryTree *b) {
  if (!a && !b) return 0;
  if (!a || !b) return 1;
  if (a->kind != b->kind) return 1;
  if ((a->kind == kFunction || a->kind == kVariable) && a->index != b->index) return 1;
  if (a->kind == kConstant && !(a->value == b->value)) return 1;
  const int straight = CompareTree(a->left, b->left) + CompareTree(a->right, b->right);
  if (straight == 0) return 0;
  const bool commutes = a->kind == kPlus || a->kind == kTimes ||
                        (a->kind == kFunction && (a->index == fMax || a->index == fMin));
  if (!commutes) return straight;
  const int crossed = CompareTree(a->left, b->right) + CompareTree(a->right, b->left);
  return crossed == 0 ? 0 : straight + crossed;
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

// Evaluation of stored expressions with discontinuity locking, and the
// evaluation entry points.  Evaluating allocates nothing.
#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "params/binarytree.hpp"
#include "params/kiv_math.h"
#include "runtime/numbers.hpp"

namespace kiv {

namespace {

bool loud(const EvalState &s) { return s.quiet < 2; }

// Branches are held while the runtime checks or locates a discontinuity,
// for expressions that take part in discontinuity handling.
bool held(const EvalState &s) { return s.handle == 1 && s.ofg != 0; }

void raiseIf(EvalState &s, bool crossed) {
  if (crossed) s.disc |= 1;
}

// Argument outside the domain of sqrt, log, log10, asin, acos, acosh or
// atanh; code is the region of that argument.  sqrt, log and log10 report a
// crossing only out of their valid region (state 1).
void domainRule(EvalState &s, BinaryTree *node, double x, int code) {
  const int f = node->index;
  if (s.ofg == 0) {
    if (loud(s))
      kivfprintf(stderr, "\n\nExpression evaluation error : unable to compute %s(%lf)\n", functions[f], x);
    s.ok = 0;
    node->state = code;
  } else if (loud(s)) {
    const bool validOnly = f == fSqrt || f == fLog || f == fLog10;
    raiseIf(s, validOnly ? node->state == 1 : node->state != code);
  }
}

double relation(BinaryTree *node, double l, double r, EvalState &s) {
  bool now;
  switch (node->kind) {
    case kGreater: now = l > r; break;
    case kGreaterEq: now = l >= r; break;
    case kLess: now = l < r; break;
    case kLessEq: now = l <= r; break;
    case kAnd: now = l != 0.0 && r != 0.0; break;
    default: now = l != 0.0 || r != 0.0; break;
  }
  if (!held(s)) node->state = now ? 1 : 0;
  const bool taken = node->state == 1;
  raiseIf(s, now != taken);
  return taken ? 1.0 : 0.0;
}

double equality(BinaryTree *node, double l, double r, EvalState &s) {
  if (!held(s)) node->state = (l > r) - (l < r);
  const int st = node->state;
  raiseIf(s, (st == 0 && !(l == r)) || (st == -1 && l >= r) || (st == 1 && l <= r));
  const bool equal = st == 0;
  return (node->kind == kEqual) == equal ? 1.0 : 0.0;
}

// floor, ceil and round: the integer result is the branch.
double integral(BinaryTree *node, double v, EvalState &s) {
  const int n = clampToInt(v);
  if (held(s)) {
    raiseIf(s, n != node->state);
    return node->state;
  }
  node->state = n;
  return n;
}

// l and r are the first and the second (or only) argument, 0 when absent.
double evalFunction(BinaryTree *node, double l, double r, EvalState &s) {
  const double x = r;
  switch (node->index) {
    case fSin: return std::sin(x);
    case fCos: return std::cos(x);
    case fTan: return std::tan(x);
    case fAtan: return std::atan(x);
    case fExp: return std::exp(x);
    case fSinh: return std::sinh(x);
    case fCosh: return std::cosh(x);
    case fTanh: return std::tanh(x);
    case fAsinh: return std::asinh(x);
    case fAtan2: return std::atan2(l, r);
    case fAbs:
    case fFabs: {
      if (!held(s)) node->state = x >= 0.0 ? 1 : 0;
      const bool positive = node->state == 1;
      raiseIf(s, positive ? x < 0.0 : x >= 0.0);
      return positive ? x : -x;
    }
    case fSign: {
      if (!held(s)) node->state = r >= 0.0 ? 1 : 0;
      const bool positive = node->state == 1;
      raiseIf(s, positive ? r < 0.0 : r >= 0.0);
      return positive ? std::fabs(l) : -std::fabs(l);
    }
    case fMax:
    case fMin: {
      if (!node->left) return r;
      const bool isMax = node->index == fMax;
      const int now = isMax ? (l >= r ? 1 : -1) : (l < r ? -1 : 1);
      // A chain node that never chose has nothing to hold.
      if (!held(s) || node->state == 0) node->state = now;
      const int st = node->state;
      if (isMax) {
        raiseIf(s, (st == 1 && l < r) || (st == -1 && r <= l));
        return st == 1 ? l : r;
      }
      raiseIf(s, (st == -1 && r <= l) || (st == 1 && l < r));
      return st == -1 ? l : r;
    }
    case fSqrt:
      if (x >= 0.0) {
        node->state = 1;
        return std::sqrt(x);
      }
      domainRule(s, node, x, -1);
      return -std::sqrt(-x);
    case fLog:
    case fLog10:
      if (x > 0.0) {
        node->state = 1;
        return node->index == fLog ? std::log(x) : std::log10(x);
      }
      domainRule(s, node, x, -1);
      return -kHuge;
    case fAsin:
    case fAcos: {
      double a = x;
      if (x >= -1.0 && x <= 1.0) {
        node->state = 0;
      } else {
        const int code = x > 1.0 ? 1 : -1;
        domainRule(s, node, x, code);
        a = code;
      }
      return node->index == fAsin ? std::asin(a) : std::acos(a);
    }
    case fAcosh:
      if (x >= 1.0) {
        node->state = 0;
        return std::acosh(x);
      }
      domainRule(s, node, x, -1);
      return 0.0;
    case fAtanh:
      if (x > -1.0 && x < 1.0) {
        node->state = 0;
        return std::atanh(x);
      }
      domainRule(s, node, x, x >= 1.0 ? 1 : -1);
      return x >= 1.0 ? kHuge : -kHuge;
    case fLsqrta: {
      int handle = s.handle;
      return lsqrtadh_(&l, &r, &node->state, &handle);
    }
    case fMod: {
      // A period this small would take a/b steps: the value is kept.
      if (!(r >= 1e-6)) {
        if (isprint_()) {
          if (loud(s))
            kivfprintf(stderr, "\n\nExpression evaluation error : too small or negative modulo %f\n", r);
          s.ok = 0;
        }
        return l;
      }
      if (!(std::fabs(l / r) < 2147483647.0)) {
        // The node keeps its period count in an int: beyond that range no
        // count can be tracked, so the closed form.
        if (!std::isfinite(l)) return l;
        node->state = clampToInt(std::floor(l / r));
        const double m = std::fmod(l, r);
        return m < 0.0 ? m + r : m;
      }
      double zero = 0.0, count = node->state;
      int handle = s.handle;
      const double v = modulodh_(&l, &zero, &zero, &r, &count, &handle);
      node->state = clampToInt(count);
      return v;
    }
    case fFloor: return integral(node, std::floor(x), s);
    case fCeil: return integral(node, std::ceil(x), s);
    case fRound: return integral(node, kivround_(&r), s);
    case fSmin:
    case fSmax: {
      double dx = (std::fabs(r) + 1.0) * 1e-6;
      return node->index == fSmin ? sulimit_(&l, &r, &dx) : sllimit_(&l, &r, &dx);
    }
    case fSabs: return sabs_(&l, &r);
    default:
      kivfprintf(stderr, "\nEvaluateTree : function index %d not defined.", node->index);
      kivfprintf(stderr, "\nTerminating program.\n");
      KivExit(1);
  }
}

[[noreturn]] void badKind(int kind) {
  kivfprintf(stderr, "\nEvaluateTree : tree type %d not defined.", kind);
  kivfprintf(stderr, "\nTerminating program.\n");
  KivExit(1);
}

// l^r through pow, with the substitutes and the message of a failure.
[[gnu::noinline]] double power(double l, double r, EvalState &s) {
  double v;
  if (!PowerValue(l, r, &v) && s.disc == 0 && isprint_()) {
    if (loud(s)) kivfprintf(stderr, "\n\nExpression evaluation error : unable to raise %lf to power %lf\n", l, r);
    s.ok = 0;
  }
  return v;
}

// Small integer powers as products: within an ulp or so of pow; what
// overflows takes the general path.
double product(double p, double l, double r, EvalState &s) {
  return std::isfinite(p) ? p : power(l, r, s);
}

[[gnu::noinline]] double divide(double l, double r, EvalState &s) {
  double v;
  if (!DivideValue(l, r, &v) && s.disc == 0 && isprint_()) {
    if (loud(s)) kivfprintf(stderr, "\n\nExpression evaluation error : attempt to divide by zero.\n");
    s.ok = 0;
  }
  return v;
}

double apply(const EvalStep &st, double l, double r, const double *R, EvalState &s) {
  switch (st.kind) {
    case EvalStep::kAddProduct: return l + r * R[st.x];
    case EvalStep::kSubProduct: return l - r * R[st.x];
    case kVariable:
    case kConstant: return r;
    case kFunction: return evalFunction(st.node, l, r, s);
    case kPlus: return l + r;
    case kMinus: return l - r;
    case kTimes: return l * r;
    case kDivide: return r != 0.0 ? l / r : divide(l, r, s);
    case kPower: return power(l, r, s);
    case EvalStep::kSquare: return product(l * l, l, r, s);
    case EvalStep::kCube: return product(l * l * l, l, r, s);
    case EvalStep::kFourth: return product((l * l) * (l * l), l, r, s);
    case kGreater:
    case kGreaterEq:
    case kLess:
    case kLessEq:
    case kAnd:
    case kOr: return relation(st.node, l, r, s);
    case kEqual:
    case kNotEqual: return equality(st.node, l, r, s);
    default: badKind(st.kind);
  }
}

// Steps of a tree in evaluation order: operators take the left operand
// first, functions their second (or only) argument first.  Leaves have no
// effect, so their registers are read in place by their parent's step.
// Registers are numbered by role while compiling and laid out at the end.
class Compiler {
 public:
  explicit Compiler(Program &p) : p_(p) {}

  void compile(BinaryTree *root) {
    if (root->kind == kVariable || root->kind == kConstant) {
      EvalStep st;
      st.kind = root->kind;
      st.node = root;
      st.r = operand(root);
      st.out = temp(0);
      p_.steps.push_back(st);
    } else {
      node(root, 0);
    }
    layout();
  }

 private:
  static constexpr int kZero = -1, kTemp = 1 << 30;
  static int temp(int depth) { return kTemp + depth; }

  // A node that is not a leaf: its operands in the order they are
  // computed, each a leaf's register or the next free temporary.
  struct Frame {
    BinaryTree *node;
    int depth;  // the result goes to temp(depth)
    EvalStep st;
    BinaryTree *ops[3] = {};
    int EvalStep::*fields[3] = {};
    int count = 0, next = 0, used = 0;
  };

  Frame open(BinaryTree *n, int depth) {
    Frame f{n, depth, {}};
    EvalStep &st = f.st;
    st.kind = n->kind;
    st.node = n;
    const bool function = n->kind == kFunction;
    BinaryTree *a = function ? n->right : n->left;
    BinaryTree *b = function ? n->left : n->right;
    auto op = [&f](BinaryTree *o, int EvalStep::*field) {
      f.ops[f.count] = o;
      f.fields[f.count++] = field;
    };
    if ((n->kind == kPlus || n->kind == kMinus) && b && b->kind == kTimes) {
      // l +- p*q in one step: the product has no effect of its own, and the
      // operands come in the same order.
      st.kind = n->kind == kPlus ? EvalStep::kAddProduct : EvalStep::kSubProduct;
      op(a, &EvalStep::l);
      op(b->left, &EvalStep::r);
      op(b->right, &EvalStep::x);
    } else if (function || (IsArithOp(n->kind) && n->kind != kNot)) {
      op(a, function ? &EvalStep::r : &EvalStep::l);
      op(b, function ? &EvalStep::l : &EvalStep::r);
    } else {
      b = nullptr;  // a kind the evaluator refuses when it gets there
      st.l = st.r = kZero;
    }
    if (n->kind == kPower && b && b->kind == kConstant) {
      if (b->value == 2.0) st.kind = EvalStep::kSquare;
      if (b->value == 3.0) st.kind = EvalStep::kCube;
      if (b->value == 4.0) st.kind = EvalStep::kFourth;
    }
    return f;
  }

  // Steps of a node that is not a leaf, its result at temp(depth); operands
  // first, on a heap stack rather than a machine frame per level.
  void node(BinaryTree *root, int depth) {
    std::vector<Frame> todo{open(root, depth)};
    while (!todo.empty()) {
      Frame &f = todo.back();
      if (f.next < f.count) {
        BinaryTree *o = f.ops[f.next];
        int &field = f.st.*f.fields[f.next++];
        if (!o) {
          field = kZero;
        } else if (o->kind == kVariable || o->kind == kConstant) {
          field = operand(o);
        } else {
          const int d = f.depth + f.used++;
          field = temp(d);
          todo.push_back(open(o, d));
        }
        continue;
      }
      f.st.out = temp(f.depth);
      if (f.depth + 1 > temps_) temps_ = f.depth + 1;
      p_.steps.push_back(f.st);
      todo.pop_back();
    }
  }

  int operand(const BinaryTree *n) {
    if (n->kind == kVariable) {
      if (n->index + 1 > p_.vars) p_.vars = n->index + 1;
      return n->index;
    }
    constants_.push_back(n->value);
    return -2 - static_cast<int>(constants_.size() - 1);
  }

  // Registers: variables, 0, constants, then the intermediate results.
  void layout() {
    const int zero = p_.vars, firstConstant = zero + 1;
    const int firstTemp = firstConstant + static_cast<int>(constants_.size());
    auto place = [&](int &reg) {
      if (reg >= kTemp)
        reg = firstTemp + (reg - kTemp);
      else if (reg == kZero)
        reg = zero;
      else if (reg < 0)
        reg = firstConstant + (-2 - reg);
    };
    for (EvalStep &st : p_.steps) {
      place(st.l);
      place(st.r);
      place(st.x);
      place(st.out);
    }
    if (temps_ < 1) temps_ = 1;
    p_.regs.assign(static_cast<size_t>(firstTemp + temps_), 0.0);
    std::copy(constants_.begin(), constants_.end(), p_.regs.begin() + firstConstant);
  }

  Program &p_;
  std::vector<double> constants_;
  int temps_ = 0;
};

}  // namespace

Program CompileTree(BinaryTree *root) {
  Program p;
  p.root = root;
  if (!root) return p;
  try {
    Compiler(p).compile(root);
  } catch (const std::bad_alloc &) {
    MemoryError("CompileTree");
  }
  return p;
}

double RunProgram(Program &program, EvalState &s) {
  double *R = program.regs.data();
  for (int i = 0; i < program.vars; ++i) R[i] = s.values[i];
  double v = 0.0;
  for (const EvalStep &st : program.steps) R[st.out] = v = apply(st, R[st.l], R[st.r], R, s);
  return v;
}

double EvaluateTree(BinaryTree *node, const double *values, int *ok, int *disc, int quiet_level,
                    int handle) {
  Program program = CompileTree(node);
  EvalState s{values, *ok, *disc, quiet_level, handle, getofg_()};
  const double v = RunProgram(program, s);
  *ok = s.ok;
  *disc = s.disc;
  return v;
}

void ShowTokensAndValues(const MasterExp *slot, const double *values, FILE *stream) {
  kivfprintf(stream, "Expression variables values :\n");
  for (int i = 0; i < slot->n; ++i)
    kivfprintf(stream, "%s = %lf\n", slot->names[static_cast<size_t>(i)].c_str(), values[i]);
}

namespace {

int saturate(long long v) {
  return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

struct Walk {
  const BinaryTree *node;
  long long m = 1, sum = 0;
  bool exponent = false;  // a constant counts only as the right operand of ^
};

// The walk w after its node's left operand counted v: on to the right.
Walk takeOperand(Walk w, long long v) {
  if (w.node->kind == kPower) {
    w.m = saturate(w.m * v);
    w.exponent = true;
  } else {
    w.sum = saturate(w.sum + w.m * v);
    if (w.node->kind == kDivide) w.m = -w.m;
    w.exponent = false;
  }
  w.node = w.node->right;
  return w;
}

}  // namespace

// The walk down the right children with its multiplier and sum; a left
// operand is a walk of its own whose result the waiting walk takes in.
// Waiting walks are kept on the heap, so that a long chain (a*b*c*...,
// whose operands nest to the left) needs no machine frame per term.
int LocalEvaluateUnitPowers(const BinaryTree *node, const int *powers, int *ok) {
  return guardAllocation("EvaluateUnitPowers", [&] {
    std::vector<Walk> waiting;
    Walk w{node};
    for (;;) {
      long long result = 0;
      bool finished = false;
      while (w.node && !finished) {
        const BinaryTree *n = w.node;
        switch (n->kind) {
          case kVariable:
            result = saturate(w.sum + w.m * powers[n->index]);
            finished = true;
            break;
          case kConstant:
            result = saturate(w.exponent ? w.sum + w.m * clampToInt(n->value) : w.sum);
            finished = true;
            break;
          case kTimes:
          case kDivide:
          case kPower:
            if (n->left) {
              waiting.push_back(w);
              w = Walk{n->left};
              continue;
            }
            // An absent operand counts 0.
            w = takeOperand(w, 0);
            break;
          default:
            kivfprintf(stderr, "\nLocalEvaluateUnitPowers : tree type %d not defined.", n->kind);
            *ok = 0;
            result = saturate(w.sum);
            finished = true;
            break;
        }
      }
      if (!finished) result = saturate(w.sum);
      if (waiting.empty()) return static_cast<int>(result);
      w = takeOperand(waiting.back(), result);
      waiting.pop_back();
    }
  });
}

namespace {

// One evaluation of a stored tree: the crossing, if any, goes to the runtime.
double evaluate(const MasterExp &slot, Program &program, const double *values, int quiet, int *ok) {
  EvalState s{values, 1, 0, quiet, slot.handle_disc, getofg_()};
  const double v = RunProgram(program, s);
  if (s.disc) disloc_(&s.disc);
  *ok = s.ok;
  return v;
}

// The result of a checked evaluation: variables listed on failure.
int finish(const MasterExp &slot, const double *values, int quiet, int ok, int simplified) {
  if ((!ok || !simplified) && quiet < 2) ShowTokensAndValues(&slot, values, stderr);
  return ok;
}

// The flat form of a stored tree, made again if the tree was replaced.
[[gnu::noinline]] void recompile(MasterExp &slot) { slot.program = CompileTree(slot.tree.get()); }

inline Program &programOf(MasterExp &slot) {
  if (slot.program.root != slot.tree.get()) recompile(slot);
  return slot.program;
}

// d tree / d x_k, simplified; ok cleared when the simplification failed.
// Null after a message when the derivative is too large to be built.
TreePtr derivative(const BinaryTree *tree, int k, int *ok, const char *caller) {
  const int quiet = GetForest()->quiet;
  TreePtr d(DifferentiateBinaryTree(tree, k, nullptr, quiet));
  if (!d) {
    if (quiet < 2) kivfprintf(stderr, "%s: derivative exceeds %d nodes.\n", caller, kMaxDerivativeNodes);
    return d;
  }
  LocalSimplifyTree(d.get(), ok, quiet);
  return d;
}

}  // namespace

}  // namespace kiv

using namespace kiv;

extern "C" {

double EvaluateExpression(int id, double *values) {
  MasterExp *slot = FindSlot(GetForest(), id);
  if (!slot) {
    kivfprintf(stderr, "Call to EvaluateExpression with invalid index %d\n", id);
    kivfprintf(stderr, "No binary tree created with this index\n");
    kivfprintf(stderr, "Terminating Program\n");
    KivExit(1);
  }
  int ok;
  return evaluate(*slot, programOf(*slot), values, GetForest()->quiet, &ok);
}

int expeval_(int *id, double *values, double *result) {
  ExpressionForest *forest = GetForest();
  MasterExp *slot = FindSlot(forest, *id);
  if (!slot) {
    SlotForCall(*id, "expeval");  // for its messages
    return 0;
  }
  int ok;
  *result = evaluate(*slot, programOf(*slot), values, forest->quiet, &ok);
  return finish(*slot, values, forest->quiet, ok, 1);
}

int expevald_(int *id, int *k, double *values, double *result) {
  MasterExp *slot = SlotForCall(*id, "expevald");
  if (!slot) return 0;
  if (*k < 1 || *k > slot->n) {
    kivfprintf(stderr, "Call to expevald with invalid derivation index %d\n", *k);
    return 0;
  }
  int simplified = 1;
  if (slot->d1.empty()) {
    slot->d1.resize(static_cast<size_t>(slot->n));
    slot->d1_programs.resize(static_cast<size_t>(slot->n));
  }
  const size_t at = static_cast<size_t>(*k - 1);
  TreePtr &d = slot->d1[at];
  const int quiet = GetForest()->quiet;
  if (!d) {
    d = derivative(slot->tree.get(), *k - 1, &simplified, "expevald");
    if (!d) return 0;
    slot->d1_programs[at] = CompileTree(d.get());
    if (!simplified && quiet < 2)
      kivfprintf(stderr, "expevald: erorr during expression simplification.\n");
  }
  int ok;
  *result = evaluate(*slot, slot->d1_programs[at], values, quiet, &ok);
  return finish(*slot, values, quiet, ok, simplified);
}

int expevald2_(int *id, int *kl, double *values, double *result) {
  MasterExp *slot = SlotForCall(*id, "expevald2");
  if (!slot) return 0;
  const int k = kl[0], l = kl[1], n = slot->n;
  if (k < 1 || k > n || l < 1 || l > n) {
    kivfprintf(stderr, "Call to expevald2 with invalid derivation indexes (%d and %d)\n", k, l);
    return 0;
  }
  const int a = k < l ? k : l, b = k < l ? l : k;
  if (slot->d2.empty()) {
    slot->d2.resize(static_cast<size_t>(n) * static_cast<size_t>(n + 1) / 2);
    slot->d2_programs.resize(slot->d2.size());
  }
  const size_t at = static_cast<size_t>(n * (a - 1) + b - 1 - a * (a - 1) / 2);
  TreePtr &d = slot->d2[at];
  int simplified = 1;
  if (!d) {
    TreePtr first = derivative(slot->tree.get(), a - 1, &simplified, "expevald2");
    if (first) d = derivative(first.get(), b - 1, &simplified, "expevald2");
    if (!d) return 0;
    slot->d2_programs[at] = CompileTree(d.get());
  }
  const int quiet = GetForest()->quiet;
  int ok;
  *result = evaluate(*slot, slot->d2_programs[at], values, quiet, &ok);
  return finish(*slot, values, quiet, ok, simplified);
}

int EvaluateUnitPowers(int id, int *powers, int *result) {
  MasterExp *slot = SlotForCall(id, "EvaluateUnitPowers");
  if (!slot) return 0;
  int ok = 1;
  *result = LocalEvaluateUnitPowers(slot->tree.get(), powers, &ok);
  return ok;
}

}  // extern "C"

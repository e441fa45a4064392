// Expression trees: nodes, the slots of the per-system forest, and what the
// parser, simplifier, evaluator and differentiator share.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "params/kiv_expr.h"
#include "runtime/ascii.hpp"

namespace kiv {

// Node kinds.
enum : int {
  kInvalid = 0,
  kFunction = 1,
  kVariable = 2,
  kConstant = 3,
  kOpenBracket = 4,
  kCloseBracket = 5,
  kPlus = 6,
  kMinus = 7,
  kTimes = 8,
  kDivide = 9,
  kPower = 10,
  kComma = 11,
  kGreater = 12,
  kGreaterEq = 13,
  kLess = 14,
  kLessEq = 15,
  kEqual = 16,
  kNotEqual = 17,
  kAnd = 18,
  kOr = 19,
  kNot = 20,
};

// Function indexes into `functions` and `numargs`.
enum : int {
  fSin, fCos, fTan, fAsin, fAcos, fAtan, fAtan2, fAbs, fFabs, fSqrt,
  fExp, fLog, fLog10, fMax, fMin, fSinh, fCosh, fTanh, fAsinh, fAcosh,
  fAtanh, fSign, fLsqrta, fMod, fFloor, fCeil, fRound, fSmin, fSmax, fSabs,
  kFunctionCount
};

extern const char *const functions[kFunctionCount];
extern const int numargs[kFunctionCount];  // -1: any number, at least one

// Substitute for an infinite result.
inline constexpr double kHuge = 1e30;

struct BinaryTree {
  int kind = kInvalid;
  int last_token = 0;
  int index = -1;
  double value = 0.0;
  int nargs = -1;
  int bracketed = 0;
  int state = 0;  // branch memory of the evaluator
  BinaryTree *left = nullptr;
  BinaryTree *right = nullptr;
  BinaryTree *parent = nullptr;
};

// Frees a subtree without recursion, so any depth is safe.
void DestroyTree(BinaryTree *node);

struct TreeDeleter {
  void operator()(BinaryTree *node) const { DestroyTree(node); }
};
using TreePtr = std::unique_ptr<BinaryTree, TreeDeleter>;

// A new node under parent; MemoryError("GetBinaryTreePtr") when out of memory.
BinaryTree *GetBinaryTreePtr(BinaryTree *parent);
TreePtr NewNode(int kind, double value = 0.0, int index = -1);
TreePtr NewConstant(double value);
// Hangs l and r under a new node of the kind (operators) or function index.
TreePtr NewOperator(int kind, TreePtr l, TreePtr r);
TreePtr NewFunction(int index, TreePtr l, TreePtr r);
// Everything but the links.
void CopyFields(BinaryTree *to, const BinaryTree *from);
BinaryTree *CopyTree(const BinaryTree *node, BinaryTree *parent);
TreePtr Copy(const BinaryTree *node);

// Letters and digits of expression texts and names: ASCII whatever the
// process locale.
inline bool IsLetter(char c) { return ascii::isAlpha(c); }
inline bool IsDigit(char c) { return ascii::isDigit(c); }

inline bool IsArithOp(int kind) { return (kind >= kPlus && kind <= kPower) || (kind >= kGreater && kind <= kNot); }
inline bool IsConstantNode(const BinaryTree *n) { return n && n->kind == kConstant; }

// Depth of a tree (a lone node is 1), computed without recursion.
int TreeDepth(const BinaryTree *node);

// A tree flattened into the order in which the evaluator visits it: one
// step per node that is not a leaf, each reading and writing registers.
// The registers hold the variables, 0, the constants and the intermediate
// results; the branch states stay in the nodes.
struct EvalStep {
  // Powers 2, 3 and 4 done as products; l + r x and l - r x.
  enum : int { kSquare = 100, kCube, kFourth, kAddProduct, kSubProduct };
  int kind = kInvalid;  // the node's, or one of the above
  int l = 0, r = 0, x = 0, out = 0;  // registers of the operands and the result
  BinaryTree *node = nullptr;
};

struct Program {
  const BinaryTree *root = nullptr;
  int vars = 0;  // registers 0..vars-1 take the variable values
  std::vector<EvalStep> steps;
  std::vector<double> regs;
};

// MemoryError("CompileTree") when out of memory.
Program CompileTree(BinaryTree *root);

struct MasterExp {
  int n = 0;
  std::vector<std::string> names;
  int handle_disc = 1;
  TreePtr tree;               // null: free slot
  Program program;            // of tree
  std::vector<TreePtr> d1;    // empty until a first derivative is asked for
  std::vector<TreePtr> d2;    // upper triangle, row by row
  std::vector<Program> d1_programs, d2_programs;  // of d1 and d2, alike placed
};

struct ExpressionForest {
  std::vector<MasterExp> slots;
  int quiet = 0;
};

ExpressionForest *GetForest();
// The live slot of id, or null when id is out of range or its slot is free.
inline MasterExp *FindSlot(ExpressionForest *forest, int id) {
  if (id < 0 || static_cast<size_t>(id) >= forest->slots.size()) return nullptr;
  MasterExp &s = forest->slots[static_cast<size_t>(id)];
  return s.tree ? &s : nullptr;
}
void DestroyMasterExp(MasterExp *slot);
// The live slot of id for an entry point, or null after the messages that
// name the caller.
MasterExp *SlotForCall(int id, const char *caller);

// Parser.  Brackets and function calls nest at most this deep, and trees
// are at most this deep (a chain of n operands is n deep).  Every walk of a
// tree (parser, simplifier, differentiator, compiler, copies) keeps its
// pending nodes on the heap, so these limits bound work and memory, not
// the machine stack: derivative trees grow deeper than any checked text.
inline constexpr int kMaxNesting = 1000;
inline constexpr int kMaxTreeDepth = 4000;
void PrintErrorIndicator(const char *message, const char *text, size_t position);
TreePtr BuildTree(int quiet, const char *text, int n, char **names);

// Simplifier.
void LocalSimplifyTree(BinaryTree *node, int *ok, int quiet_level);
int CompareTree(const BinaryTree *a, const BinaryTree *b);
void MeltTree(BinaryTree *node, int side);

// Values shared by folding and evaluation: the quotient and power with their
// substitutes for infinite results; false when the substitute was used.
bool DivideValue(double l, double r, double *result);
bool PowerValue(double l, double r, double *result);

// Evaluator.
struct EvalState {
  const double *values;
  int ok;
  int disc;
  int quiet;
  int handle;
  int ofg;  // getofg_ of this evaluation
};
double RunProgram(Program &program, EvalState &s);
double EvaluateTree(BinaryTree *node, const double *values, int *ok, int *disc, int quiet_level,
                    int handle);
void ShowTokensAndValues(const MasterExp *slot, const double *values, FILE *stream);
int LocalEvaluateUnitPowers(const BinaryTree *node, const int *powers, int *ok);

// Differentiator: a new, unsimplified tree of d node / d x_k (k 0-based);
// null when it would exceed kMaxDerivativeNodes.
inline constexpr int kMaxDerivativeNodes = 2000000;
BinaryTree *DifferentiateBinaryTree(const BinaryTree *node, int k, BinaryTree *parent,
                                    int quiet_level);
BinaryTree *GetFunctionDerivative(const BinaryTree *node, int k, BinaryTree *parent,
                                  int quiet_level);
// d/dx_k of asin, acos, asinh or acosh (index) of argument.
BinaryTree *GetAsinDerivative(BinaryTree *parent, int index, const BinaryTree *argument, int k,
                              int quiet_level);

}  // namespace kiv

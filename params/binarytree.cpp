// The expression forest of a system: nodes, slots, checking a text into a
// slot, and the entry points that manage slots.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "params/binarytree.hpp"
#include "runtime/cstring.hpp"

namespace kiv {

const char *const functions[kFunctionCount] = {
    "sin",  "cos",  "tan",   "asin",  "acos",  "atan",  "atan2", "abs",  "fabs",  "sqrt",
    "exp",  "log",  "log10", "max",   "min",   "sinh",  "cosh",  "tanh", "asinh", "acosh",
    "atanh", "sign", "lsqrta", "mod", "floor", "ceil",  "round", "smin", "smax",  "sabs",
};
const int numargs[kFunctionCount] = {
    1, 1, 1, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, -1, -1, 1, 1, 1, 1, 1,
    1, 2, 2, 2, 1, 1, 1, 2, 2, 2,
};

namespace {

int FOREST_PROP_IDX = -1;

// End of run: every expression of the system goes, and the forest with it,
// so that nothing outlives the system.  The next check makes a new forest.
void DestroyAllBinaryTrees(int, void *pointer) {
  auto *forest = static_cast<ExpressionForest *>(pointer);
  if (!forest) return;
  void **slot = KivGetPropertySlot(FOREST_PROP_IDX);
  if (slot && *slot == forest) *slot = nullptr;
  delete forest;
}

}  // namespace

// ---- Nodes -----------------------------------------------------------------

BinaryTree *GetBinaryTreePtr(BinaryTree *parent) {
  auto *node = new (std::nothrow) BinaryTree;
  if (!node) MemoryError("GetBinaryTreePtr");
  node->parent = parent;
  return node;
}

void DestroyTree(BinaryTree *node) {
  // Rotate left children up until none is left, then free and go right:
  // constant extra space whatever the shape.
  while (node) {
    if (BinaryTree *l = node->left) {
      node->left = l->right;
      l->right = node;
      node = l;
    } else {
      BinaryTree *r = node->right;
      delete node;
      node = r;
    }
  }
}

TreePtr NewNode(int kind, double value, int index) {
  TreePtr n(GetBinaryTreePtr(nullptr));
  n->kind = kind;
  n->value = value;
  n->index = index;
  return n;
}

TreePtr NewConstant(double value) { return NewNode(kConstant, value); }

namespace {
TreePtr hang(TreePtr node, TreePtr l, TreePtr r) {
  if (l) l->parent = node.get();
  if (r) r->parent = node.get();
  node->left = l.release();
  node->right = r.release();
  return node;
}
}  // namespace

TreePtr NewOperator(int kind, TreePtr l, TreePtr r) {
  TreePtr n = NewNode(kind);
  return hang(std::move(n), std::move(l), std::move(r));
}

TreePtr NewFunction(int index, TreePtr l, TreePtr r) {
  TreePtr n = NewNode(kFunction, 0.0, index);
  n->nargs = numargs[index];
  return hang(std::move(n), std::move(l), std::move(r));
}

void CopyFields(BinaryTree *to, const BinaryTree *from) {
  to->kind = from->kind;
  to->last_token = from->last_token;
  to->index = from->index;
  to->value = from->value;
  to->nargs = from->nargs;
  to->bracketed = from->bracketed;
  to->state = from->state;
}

BinaryTree *CopyTree(const BinaryTree *node, BinaryTree *parent) {
  if (!node) return nullptr;
  TreePtr root(GetBinaryTreePtr(parent));
  CopyFields(root.get(), node);
  // Every new node hangs in the copy at once, so the root owns what is made
  // should an allocation fail.
  guardAllocation("CopyTree", [&] {
    std::vector<std::pair<const BinaryTree *, BinaryTree *>> todo{{node, root.get()}};
    while (!todo.empty()) {
      auto [from, to] = todo.back();
      todo.pop_back();
      for (BinaryTree *BinaryTree::*side : {&BinaryTree::left, &BinaryTree::right}) {
        if (const BinaryTree *child = from->*side) {
          BinaryTree *c = to->*side = GetBinaryTreePtr(to);
          CopyFields(c, child);
          todo.emplace_back(child, c);
        }
      }
    }
  });
  return root.release();
}

TreePtr Copy(const BinaryTree *node) { return TreePtr(CopyTree(node, nullptr)); }

int TreeDepth(const BinaryTree *node) {
  int best = 0;
  std::vector<std::pair<const BinaryTree *, int>> stack;
  if (node) stack.emplace_back(node, 1);
  while (!stack.empty()) {
    auto [n, d] = stack.back();
    stack.pop_back();
    best = std::max(best, d);
    if (n->left) stack.emplace_back(n->left, d + 1);
    if (n->right) stack.emplace_back(n->right, d + 1);
  }
  return best;
}

// ---- Forest and slots ----------------------------------------------------

ExpressionForest *GetForest() {
  if (FOREST_PROP_IDX < 0) FOREST_PROP_IDX = KivGetPropertyIndex("BINARYTREE");
  void **slot = KivGetPropertySlot(FOREST_PROP_IDX);
  if (!*slot) {
    std::unique_ptr<ExpressionForest> forest(new (std::nothrow) ExpressionForest);
    if (!forest) MemoryError("GetForest");
    // Its release is installed before the slot holds it.
    KivInstallAtEndPtr(&DestroyAllBinaryTrees, forest.get());
    *slot = forest.release();
  }
  return static_cast<ExpressionForest *>(*slot);
}

MasterExp *SlotForCall(int id, const char *caller) {
  MasterExp *slot = FindSlot(GetForest(), id);
  if (!slot) {
    kivfprintf(stderr, "Call to %s with invalid index %d\n", caller, id);
    kivfprintf(stderr, "No binary tree created with this index\n");
  }
  return slot;
}

void DestroyMasterExp(MasterExp *slot) {
  slot->d1.clear();
  slot->d2.clear();
  slot->d1_programs.clear();
  slot->d2_programs.clear();
  slot->names.clear();
  slot->tree.reset();
  slot->program = Program();
  slot->n = 0;
}

void PrintErrorIndicator(const char *message, const char *text, size_t position) {
  // A long text is shown as a window around the position, cut with "...".
  std::string_view t(text ? text : "");
  std::string shown(t);
  if (t.size() > kQuoteLength) {
    const size_t half = kQuoteLength / 2;
    const size_t from = std::min(position > half ? position - half : 0, t.size() - kQuoteLength);
    shown = (from > 0 ? "..." : "") + std::string(t.substr(from, kQuoteLength)) +
            (from + kQuoteLength < t.size() ? "..." : "");
    position = position - from + (from > 0 ? 3 : 0);
  }
  std::string caret(position, ' ');
  kivfprintf(stderr, "\n\n%s\n%s\n%s^\n\n", message, shown.c_str(), caret.c_str());
}

namespace {

// Checks one variable name, removing its blanks in place.
bool checkName(char *name, int quiet) {
  if (!name || !*name) {
    kivfprintf(stderr, "\n\nNull token detected.\n\n");
    return false;
  }
  // Writes only when there is a blank to remove, so blank-free names may
  // live in read-only memory.
  if (char *w = std::strchr(name, ' ')) {
    for (char *r = w; *r; ++r)
      if (*r != ' ') *w++ = *r;
    *w = '\0';
  }
  if (!*name) {
    kivfprintf(stderr, "\n\nToken contains only blanks.\n\n");
    return false;
  }
  if (!IsLetter(name[0])) {
    kivfprintf(stderr, "\n\nToken %s does not start with a letter\n\n", name);
    return false;
  }
  for (size_t i = 1; name[i]; ++i) {
    if (!IsLetter(name[i]) && !IsDigit(name[i]) && name[i] != '_') {
      if (!quiet) PrintErrorIndicator("Illegal character in token", name, i);
      return false;
    }
  }
  return true;
}

bool allowedInText(char c) {
  return IsLetter(c) || IsDigit(c) || (c != '\0' && std::strchr("!&()*+,-./<=>^_|", c));
}

// The blank-free copy of text, checked for characters and brackets; empty
// after a message when the text cannot be parsed.
bool prepareText(const char *text, int quiet, std::string &copy) {
  kiv::guardAllocation("CheckExpression", [&] {
    copy.reserve(std::strlen(text));
  });
  for (const char *p = text; *p; ++p)
    if (*p != ' ') copy.push_back(*p);
  if (copy.empty()) {
    if (!quiet) PrintErrorIndicator("String contains only blank characters", text, 0);
    return false;
  }
  for (size_t i = 0; i < copy.size(); ++i) {
    if (!allowedInText(copy[i])) {
      if (!quiet) PrintErrorIndicator("Illegal character in string", copy.c_str(), i);
      return false;
    }
  }
  int depth = 0;
  for (size_t i = 0; i < copy.size(); ++i) {
    if (copy[i] == '(') {
      // Each bracket level is a level of parser recursion.
      if (++depth > kMaxNesting) {
        if (!quiet) PrintErrorIndicator("Expression nested too deeply", copy.c_str(), i);
        return false;
      }
    } else if (copy[i] == ')') {
      if (--depth < 0) {
        if (!quiet) PrintErrorIndicator("String contains an unmatched right bracket", copy.c_str(), i);
        return false;
      }
    }
  }
  if (depth > 0) {
    kivfprintf(stderr, "\n\nString has missing right brackets\n%s\n\n", quoteCut(copy).c_str());
    return false;
  }
  return true;
}

}  // namespace

}  // namespace kiv

using namespace kiv;

extern "C" {

int CheckExpressionAndTokensQuietly(KIVSystem *, const char *text, int n, char **names,
                                    int check_names, int quiet) {
  ExpressionForest *forest = GetForest();
  if (n < 0) n = 0;
  if (check_names && n >= 1) {
    for (int i = 0; i < n; ++i)
      if (!checkName(names ? names[i] : nullptr, quiet)) return -1;
  }
  if (!text || !*text) {
    kivfprintf(stderr, "\n\nThere is no string.\n\n");
    return -1;
  }
  std::string copy;
  if (!prepareText(text, quiet, copy)) return -1;
  TreePtr tree = BuildTree(quiet, copy.c_str(), n, names);
  if (!tree) return -1;
  if (TreeDepth(tree.get()) > kMaxTreeDepth) {
    if (!quiet) PrintErrorIndicator("Expression nested too deeply", copy.c_str(), 0);
    return -1;
  }
  int ok = 1;
  LocalSimplifyTree(tree.get(), &ok, forest->quiet);
  if (!ok && forest->quiet == 0) return -1;

  auto &slots = forest->slots;
  auto it = std::find_if(slots.begin(), slots.end(), [](const MasterExp &s) { return !s.tree; });
  if (it == slots.end()) {
    kiv::guardAllocation("BuildTree", [&] {
      slots.emplace_back();
    });
    it = slots.end() - 1;
  }
  MasterExp &slot = *it;
  slot.n = n;
  slot.handle_disc = 1;
  slot.d1.clear();
  slot.d2.clear();
  slot.d1_programs.clear();
  slot.d2_programs.clear();
  slot.names.clear();
  for (int i = 0; i < n; ++i) slot.names.emplace_back(names && names[i] ? names[i] : "");
  slot.tree = std::move(tree);
  slot.program = CompileTree(slot.tree.get());
  return static_cast<int>(it - slots.begin());
}

int CheckExpression(const char *text, int n, char **names) {
  return CheckExpressionAndTokensQuietly(QOR_XB_GlobalSystem, text, n, names, 1, 0);
}

int CheckExpressionQuietly(KIVSystem *system, const char *text, int n, char **names, int quiet) {
  return CheckExpressionAndTokensQuietly(system, text, n, names, 1, quiet);
}

int CheckExpressionAndTokens(const char *text, int n, char **names, int check_names) {
  return CheckExpressionAndTokensQuietly(QOR_XB_GlobalSystem, text, n, names, check_names, 0);
}

int exphandledisc_(int *id, int *flag) {
  MasterExp *slot = SlotForCall(*id, "exphandledisc");
  if (!slot) return 0;
  if (*flag != 0 && *flag != 1) {
    kivfprintf(stderr, "Call to exphandledisc with invalid argument\n");
    kivfprintf(stderr, "handle_disc flag must be 1 or 0 and is %d.\n", *flag);
    return 0;
  }
  slot->handle_disc = *flag;
  return 1;
}

int expsetquieteval_(int *level) {
  if (*level < 0 || *level > 2) {
    kivfprintf(stderr, "Call to expsetquieteval requires flag value in range [0,2].\n");
    return 0;
  }
  GetForest()->quiet = *level;
  return 1;
}

int expgetquieteval_(void) { return GetForest()->quiet; }

int expfree_(int *id) {
  MasterExp *slot = SlotForCall(*id, "expfree");
  if (!slot) return 0;
  DestroyMasterExp(slot);
  return 1;
}

void BeQuiet(void) { kivfprintf(stderr, "BeQuiet is now obsolete\n"); }

}  // extern "C"

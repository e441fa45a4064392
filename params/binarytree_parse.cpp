// The expression parser: tokens read left to right, operators placed by
// precedence on the right spine of the tree being built, brackets and
// function arguments each read by a parser of its own.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "params/binarytree.hpp"
#include "params/gp_seam.hpp"
#include "runtime/numbers.hpp"

namespace kiv {

namespace {

bool isNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }

// text begins with word, ignoring case.
bool startsWithNoCase(const char *text, const char *word) {
  for (; *word; ++text, ++word)
    if (!*text || ascii::lower(*text) != ascii::lower(*word)) return false;
  return true;
}

// 1 when text begins with one of the names as a whole word.  An absent or
// empty name never matches: it would match at any non-name character.
int IsTokenInString(const char *text, char **list, int count, int *length_minus_one, int *index) {
  if (!list) return 0;
  for (int i = 0; i < count; ++i) {
    const char *name = list[i];
    if (!name || !*name) continue;
    const size_t len = std::strlen(name);
    if (startsWithNoCase(text, name) && !isNameChar(text[len])) {
      *length_minus_one = static_cast<int>(len) - 1;
      *index = i;
      return 1;
    }
  }
  return 0;
}

// The operator at text (kind and length), tried in the parser's order; 0
// when there is none.
int operatorAt(const char *text, size_t *length) {
  static constexpr struct {
    const char *text;
    int kind;
  } kOps[] = {
      {"+", kPlus},     {"-", kMinus},  {"**", kPower},    {"^", kPower},     {"*", kTimes},
      {"/", kDivide},   {">=", kGreaterEq}, {"<=", kLessEq}, {"==", kEqual},  {"!=", kNotEqual},
      {"&&", kAnd},     {"||", kOr},    {">", kGreater},   {"<", kLess},      {"!", kNot},
  };
  for (const auto &op : kOps) {
    const size_t len = std::strlen(op.text);
    if (std::strncmp(text, op.text, len) == 0) {
      *length = len;
      return op.kind;
    }
  }
  return 0;
}

// A function name directly followed by "(": its index, else -1.
int functionAt(const char *text, size_t *length) {
  for (int i = 0; i < kFunctionCount; ++i) {
    const size_t len = std::strlen(functions[i]);
    if (startsWithNoCase(text, functions[i]) && text[len] == '(') {
      *length = len;
      return i;
    }
  }
  return -1;
}

bool isExponentMark(char c) { return c == 'd' || c == 'D' || c == 'e' || c == 'E'; }

// Length of the number that starts text, or 0 when it is no valid number.
// At most three exponent digits belong to it.
size_t scanNumber(const char *t, double *value) {
  size_t i = 0;
  bool digits = false;
  while (IsDigit(t[i])) {
    ++i;
    digits = true;
  }
  if (t[i] == '.') {
    ++i;
    while (IsDigit(t[i])) {
      ++i;
      digits = true;
    }
  }
  if (isExponentMark(t[i])) {
    ++i;
    if (t[i] == '+' || t[i] == '-') ++i;
    int n = 0;
    while (n < 3 && IsDigit(t[i])) {
      ++i;
      ++n;
    }
    if (n == 0) return 0;
  } else if (!digits) {
    return 0;
  }
  std::string number(t, i);
  for (char &c : number)
    if (c == 'd' || c == 'D') c = 'e';
  const char *end = nullptr;
  *value = parseDouble(number.c_str(), &end);
  return end == number.c_str() + number.size() ? i : 0;
}

// Operator precedence, loosest first.
int precedence(int kind) {
  switch (kind) {
    case kOr: return 1;
    case kAnd: return 2;
    case kEqual: case kNotEqual: return 3;
    case kGreater: case kGreaterEq: case kLess: case kLessEq: return 4;
    case kPlus: case kMinus: return 5;
    case kTimes: case kDivide: return 6;
    case kPower: return 7;
    default: return 8;
  }
}

// Last-token kind after the argument list of a function of two or more
// arguments (after one argument, or a bracketed group, it is that of a
// variable).
constexpr int kAfterArguments = 4;

// Characters of the operand of a unary minus after an operator.
bool inUnaryRun(char c) { return IsLetter(c) || IsDigit(c) || std::strchr("._^/", c); }

class Parser {
 public:
  Parser(int quiet, const char *text, int n, char **names)
      : quiet_(quiet), n_(n), names_(names), s_(text) {}

  enum class Step { kDone, kFailed, kNeed };

  // Reads tokens until the text is done, fails, or a bracketed text must be
  // parsed first (kNeed: request() holds it; its tree goes to resume()).
  Step advance() {
    if (need_) return Step::kNeed;
    while (pos_ < s_.size()) {
      if (!token(pos_)) return Step::kFailed;
      if (need_) return Step::kNeed;
    }
    if (!root_) return Step::kFailed;
    // A text may end before an operator or a leading sign got its operand.
    const BinaryTree *end = spineEnd();
    if (!end) return Step::kFailed;
    if (IsArithOp(end->kind) || end->kind == kFunction) {
      caret("Cannot add arithmetic operation", pending_);
      return Step::kFailed;
    }
    return Step::kDone;
  }

  const std::string &request() const { return request_; }
  TreePtr take() { return std::move(root_); }

  // The tree of the requested text (null when it failed); false when this
  // text fails with it.
  bool resume(TreePtr sub) {
    need_ = false;
    switch (wait_.kind) {
      case Wait::kGroup:
        if (!sub) return false;
        sub->bracketed = 1;
        return operand(std::move(sub), wait_.pos, kVariable, "Unable to add string");
      case Wait::kOne:
        if (!sub) return badArgument(wait_.pos);
        sub->bracketed = 1;
        sub->parent = wait_.fn;
        wait_.fn->right = sub.release();
        last_ = kVariable;
        return true;
      default:
        if (!sub) return badArgument(wait_.pos + wait_.starts[wait_.args.size()]);
        wait_.args.push_back(std::move(sub));
        if (wait_.args.size() < wait_.starts.size()) return requestArgument();
        return attachArguments();
    }
  }

 private:
  bool caret(const char *message, size_t pos) {
    if (!quiet_) PrintErrorIndicator(message, s_.c_str() + pos, 0);
    return false;
  }

  // Last node down the right children; null (after a message) when the spine
  // is longer than any tree may be deep.
  BinaryTree *spineEnd() {
    BinaryTree *node = root_.get();
    for (int length = 1; node->right; node = node->right) {
      if (++length > kMaxTreeDepth) {
        caret("Expression nested too deeply", 0);
        return nullptr;
      }
    }
    return node;
  }

  // AddVariableOrConstant: hangs node at the end of the right spine when
  // that end waits for an operand.  1 done, 0 not possible, -1 failed.
  int addOperand(TreePtr &node) {
    BinaryTree *end = spineEnd();
    if (!end) return -1;
    if (end->kind != kFunction && !IsArithOp(end->kind)) return 0;
    node->parent = end;
    end->right = node.release();
    return 1;
  }

  bool operand(TreePtr node, size_t pos, int kind, const char *message) {
    if (!root_) {
      root_ = std::move(node);
    } else {
      const int r = addOperand(node);
      if (r < 0) return false;
      if (r == 0) return caret(message, pos);
    }
    last_ = kind;
    return true;
  }

  bool token(size_t &pos) {
    const char *t = s_.c_str() + pos;
    if (*t == '(') return bracket(pos);
    if (*t == ')') return false;
    size_t len = 0;
    if (int kind = operatorAt(t, &len)) return op(kind, len, pos);
    if (int f = functionAt(t, &len); f >= 0) {
      if (!function(f, pos)) return false;
      pos += len;
      return true;
    }
    if (*t == ',') return caret("Character `,' not valid in this string", pos);

    TreePtr node;
    int kind = kConstant, lm1 = 0, index = 0;
    if (startsWithNoCase(t, "pi") && !isNameChar(t[2])) {
      node = NewConstant(3.141592653589793);
      len = 2;
    } else if (IsTokenInString(t, names_, n_, &lm1, &index)) {
      node = NewNode(kVariable, 0.0, index);
      kind = kVariable;
      len = static_cast<size_t>(lm1) + 1;
    } else {
      int count = 0;
      char **gp = numericGlobalParamNames(&count);
      double value = 0.0;
      if (IsTokenInString(t, gp, count, &lm1, &index)) {
        // Taken now: a later change of the parameter does not reach this tree.
        if (!numericGlobalParamValue(index, &value))
          return caret("Cannot extract a valid token from the string", pos);
        len = static_cast<size_t>(lm1) + 1;
      } else {
        len = scanNumber(t, &value);
        if (!len) return caret("Cannot extract a valid token from the string", pos);
      }
      node = NewConstant(value);
    }
    if (!operand(std::move(node), pos, kind, "Missing operator or function")) return false;
    pos += len;
    return true;
  }

  bool op(int kind, size_t len, size_t &pos) {
    const bool atEnd = pos + len >= s_.size();
    if (kind == kNot) {
      // Only as the first token: no "not" node is ever stored.
      if (root_ || atEnd) return caret("Cannot add arithmetic operation", pos);
      root_ = NewOperator(kEqual, NewConstant(0.0), nullptr);
      return leading(kind, len, pos);
    }
    if (!root_ && (kind == kPlus || kind == kMinus) && atEnd)
      return caret("Cannot add arithmetic operation", pos);
    if (!root_ && kind == kPlus) {
      pos += len;
      return true;
    }
    if (!root_ && kind == kMinus) {
      root_ = NewOperator(kTimes, NewConstant(-1.0), nullptr);
      return leading(kind, len, pos);
    }
    if (kind == kMinus && last_ != kVariable && last_ != kConstant && last_ != kAfterArguments) {
      // Unary minus after an operator: bracket it with the run of operand
      // characters that follows and read the group.
      size_t end = pos + 1;
      while (end < s_.size() && inUnaryRun(s_[end])) ++end;
      s_.insert(end, ")");
      s_.insert(pos, "(");
      return true;
    }
    if (!root_ || atEnd) return caret("Cannot add arithmetic operation", pos);
    BinaryTree *end = spineEnd();
    if (!end) return false;
    if (IsArithOp(end->kind)) return caret("Cannot add arithmetic operation", pos);

    BinaryTree *cur = root_.get();
    while (cur->right && IsArithOp(cur->kind) && !cur->bracketed &&
           (kind == kPower ? true : precedence(cur->kind) < precedence(kind)))
      cur = cur->right;
    if (IsArithOp(cur->kind) && !cur->left) return caret("Cannot add arithmetic operation", pos);

    TreePtr node = NewNode(kind);
    BinaryTree *parent = cur->parent;
    node->left = cur;
    node->parent = parent;
    if (parent) {
      cur->parent = node.get();
      parent->right = node.release();
    } else {
      root_.release();
      cur->parent = node.get();
      root_ = std::move(node);
    }
    last_ = kind;
    pending_ = pos;
    pos += len;
    return true;
  }

  bool leading(int kind, size_t len, size_t &pos) {
    last_ = kind;
    pending_ = pos;
    pos += len;
    return true;
  }

  bool function(int f, size_t pos) {
    TreePtr node = NewFunction(f, nullptr, nullptr);
    BinaryTree *raw = node.get();
    if (!root_) {
      root_ = std::move(node);
    } else {
      BinaryTree *end = spineEnd();
      if (!end) return false;
      if (!IsArithOp(end->kind)) return caret("Missing operator", pos);
      node->parent = end;
      end->right = node.release();
    }
    fn_ = raw;
    fn_pos_ = pos;
    pending_ = pos;
    last_ = kFunction;
    return true;
  }

  bool bracket(size_t &pos) {
    size_t close = pos + 1;
    for (int depth = 1; close < s_.size(); ++close) {
      if (s_[close] == '(') ++depth;
      if (s_[close] == ')' && --depth == 0) break;
    }
    if (close >= s_.size()) return false;
    std::string inner = s_.substr(pos + 1, close - pos - 1);
    BinaryTree *fn = fn_;
    fn_ = nullptr;
    const size_t at = pos;
    pos = close + 1;
    wait_ = Wait{};
    wait_.fn = fn;
    if (!fn) {
      if (inner.empty()) return caret("Cannot extract a valid token from the string", at);
      wait_.kind = Wait::kGroup;
      wait_.pos = at;
      return ask(std::move(inner));
    }
    wait_.pos = at + 1;
    if (fn->nargs == 1) {
      wait_.kind = Wait::kOne;
      return ask(std::move(inner));
    }
    return arguments(fn, std::move(inner));
  }

  bool ask(std::string text) {
    request_ = std::move(text);
    need_ = true;
    return true;
  }

  // A failed argument: both carets, then failure.
  bool badArgument(size_t argPos) {
    caret("Cannot find a valid fuction argument in string", argPos);
    return caret("Unable to process function arguments.", fn_pos_);
  }

  bool arguments(BinaryTree *fn, std::string inner) {
    // Two characters at least: "max(ab)" is one argument, "max(a)" is refused.
    if (inner.size() < 2) return caret("Error in function arguments", fn_pos_);
    wait_.kind = Wait::kArguments;
    wait_.starts.push_back(0);
    int depth = 0;
    for (size_t i = 0; i < inner.size(); ++i) {
      if (inner[i] == '(') ++depth;
      if (inner[i] == ')') --depth;
      if (inner[i] == ',' && depth == 0) wait_.starts.push_back(i + 1);
    }
    const size_t count = wait_.starts.size();
    if (fn->nargs == 2) {
      if (count > 2) return caret("Too many arguments for function.", fn_pos_);
      if (count < 2) {
        kivfprintf(stderr, "\nUnable to deal with function arguments.\n");
        return false;
      }
    }
    wait_.inner = std::move(inner);
    return requestArgument();
  }

  // The next argument's text, up to its comma.
  bool requestArgument() {
    const size_t k = wait_.args.size(), count = wait_.starts.size();
    const size_t end = k + 1 < count ? wait_.starts[k + 1] - 1 : wait_.inner.size();
    return ask(wait_.inner.substr(wait_.starts[k], end - wait_.starts[k]));
  }

  bool attachArguments() {
    BinaryTree *fn = wait_.fn;
    std::vector<TreePtr> &args = wait_.args;
    if (fn->nargs == 2) {
      args[0]->parent = fn;
      args[1]->parent = fn;
      fn->left = args[0].release();
      fn->right = args[1].release();
    } else {
      // max and min: node k holds argument k on its left and node k+1 on its
      // right; the last node holds the last argument on its right.
      BinaryTree *node = fn;
      for (size_t k = 0; k + 1 < args.size(); ++k) {
        args[k]->parent = node;
        node->left = args[k].release();
        TreePtr next = NewFunction(fn->index, nullptr, nullptr);
        next->parent = node;
        node->right = next.release();
        node = node->right;
      }
      args.back()->parent = node;
      node->right = args.back().release();
    }
    wait_ = Wait{};
    last_ = kAfterArguments;
    return true;
  }

  // What a bracket waits for: a group, the argument of a one-argument
  // function, or the arguments of another, read one after the other.
  struct Wait {
    enum Kind { kGroup, kOne, kArguments } kind = kGroup;
    BinaryTree *fn = nullptr;
    size_t pos = 0;  // of the group's "(", or of the arguments' first character
    std::string inner;
    std::vector<size_t> starts;
    std::vector<TreePtr> args;
  };

  int quiet_;
  int n_;
  char **names_;
  std::string s_;
  TreePtr root_;
  int last_ = 0;                // kind of the token read last
  BinaryTree *fn_ = nullptr;    // function whose "(" comes next
  size_t fn_pos_ = 0;
  size_t pending_ = 0;          // last token that waits for an operand
  size_t pos_ = 0;
  bool need_ = false;           // request_ is to be parsed before going on
  std::string request_;
  Wait wait_;
};

}  // namespace

// Bracketed texts are parsed by parsers of their own, kept on a heap stack
// rather than in a machine frame per level, so that the deepest nesting
// fits a worker thread's stack.
TreePtr BuildTree(int quiet, const char *text, int n, char **names) {
  if (!text || !*text) return nullptr;
  return guardAllocation("BuildTree", [&] {
    std::vector<std::unique_ptr<Parser>> open;
    open.push_back(std::make_unique<Parser>(quiet, text, n, names));
    TreePtr sub;
    bool returning = false;  // sub is the tree of the parser just closed
    for (;;) {
      Parser &p = *open.back();
      Parser::Step step = Parser::Step::kFailed;
      if (!returning || p.resume(std::move(sub))) step = p.advance();
      returning = false;
      if (step == Parser::Step::kNeed) {
        open.push_back(std::make_unique<Parser>(quiet, p.request().c_str(), n, names));
        continue;
      }
      sub = step == Parser::Step::kDone ? p.take() : nullptr;
      open.pop_back();
      if (open.empty()) return sub;
      returning = true;
    }
  });
}

}  // namespace kiv

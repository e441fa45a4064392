// The global-parameter store of a system: reading the files, evaluating the
// numeric parameters in list order, ${name} substitution in texts, look-ups
// and the host's setters.
#include <sodium.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "params/GpManager_private.hpp"
#include "params/kiv_expr.h"
#include "runtime/cstring.hpp"

namespace {

constexpr const char kHiddenPrefix[] = "zz__HIDDEN_";
constexpr int kGrowth = 10;
// Substitution stops after this many replacements, or when the text has grown
// by this many bytes: references may be circular.
constexpr int kMaxReplacements = 1000;
constexpr size_t kMaxGrowth = size_t{1} << 20;

bool isHidden(const char *name) {
  return name && std::strncmp(name, kHiddenPrefix, sizeof kHiddenPrefix - 1) == 0;
}

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  const int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  va_start(ap, fmt);
  std::vsnprintf(s.data(), s.size() + 1, fmt, ap);
  va_end(ap);
  return s;
}

// The caller's message buffer takes as much of the message as it holds.
void putMessage(char *message, size_t size, const std::string &text) {
  if (message && size > 0) std::snprintf(message, size, "%s", text.c_str());
}

KIVGlobalParams *storeOf(KIVSystem *sys) {
  return kiv::globalParamStore(sys, &CreateKIVGlobalParams, &FreeKIVGlobalParams);
}

KIVGlobalParams *store() { return storeOf(GetGlobalSystem()); }

int find(char *const *names, int count, const char *name) {
  if (!name) return -1;
  for (int i = 0; i < count; ++i)
    if (names[i] && std::strcmp(names[i], name) == 0) return i;
  return -1;
}

int findNumeric(const KIVGlobalParams *g, const char *name) { return find(g->num_names, g->num_count, name); }
int findText(const KIVGlobalParams *g, const char *name) { return find(g->text_names, g->text_count, name); }

template <class T>
bool grow(T *&array, int capacity) {
  void *p = std::realloc(array, static_cast<size_t>(capacity) * sizeof(T));
  if (!p) return false;
  array = static_cast<T *>(p);
  return true;
}

char *tryDup(const char *s) { return s ? strdup(s) : nullptr; }

void freeTexts(char **texts, int count) {
  if (!texts) return;
  for (int i = 0; i < count; ++i) std::free(texts[i]);
  std::free(texts);
}

void resetStore(KIVGlobalParams *g) {
  freeTexts(g->num_names, g->num_count);
  freeTexts(g->num_expressions, g->num_count);
  std::free(g->num_states);
  std::free(g->num_values);
  g->num_names = g->num_expressions = nullptr;
  g->num_states = nullptr;
  g->num_values = nullptr;
  g->num_count = g->num_capacity = 0;
  freeTexts(g->text_names, g->text_count);
  freeTexts(g->text_raw_values, g->text_count);
  freeTexts(g->text_values, g->text_count);
  std::free(g->text_states);
  g->text_names = g->text_raw_values = g->text_values = nullptr;
  g->text_states = nullptr;
  g->text_count = g->text_capacity = 0;
  freeTexts(g->hidden_names, g->hidden_count);
  g->hidden_names = nullptr;
  g->hidden_count = 0;
  g->master = 0;
  g->read = 0;
  std::free(g->master_path);
  std::free(g->master_extension);
  g->master_path = g->master_extension = nullptr;
}

constexpr const char kMemoryMessage[] = "Memory error in reading global parameter file\n";

// Appends to one list: its four arrays grow together.
template <class Fourth>
bool appendEntry(int &count, int &capacity, int *&states, char **&names, char **&texts,
                 Fourth *&fourth, const char *name, const char *text, Fourth initial) {
  if (count == capacity) {
    const int cap = capacity + kGrowth;
    if (!grow(states, cap) || !grow(names, cap) || !grow(texts, cap) || !grow(fourth, cap)) return false;
    capacity = cap;
  }
  char *n = tryDup(name), *t = tryDup(text);
  if (!n || !t) {
    std::free(n);
    std::free(t);
    return false;
  }
  names[count] = n;
  texts[count] = t;
  fourth[count] = initial;
  states[count] = 0;
  ++count;
  return true;
}

bool addNumeric(KIVGlobalParams *g, const char *name, const char *expression) {
  return appendEntry(g->num_count, g->num_capacity, g->num_states, g->num_names, g->num_expressions,
                     g->num_values, name, expression, 0.0);
}

bool addText(KIVGlobalParams *g, const char *name, const char *raw) {
  return appendEntry(g->text_count, g->text_capacity, g->text_states, g->text_names,
                     g->text_raw_values, g->text_values, name, raw, static_cast<char *>(nullptr));
}

bool markHidden(KIVGlobalParams *g, const char *name) {
  if (!grow(g->hidden_names, g->hidden_count + 1)) return false;
  char *copy = tryDup(name);
  if (!copy) return false;
  g->hidden_names[g->hidden_count++] = copy;
  return true;
}

bool hiddenEntry(const KIVGlobalParams *g, const char *name) {
  return find(g->hidden_names, g->hidden_count, name) >= 0;
}

// Whether an expression may bring a hidden value into the evaluator's own
// messages: it names a hidden parameter (a plain substring test errs on the
// safe side).
bool mentionsHidden(const KIVGlobalParams *g, const char *text) {
  for (int i = 0; i < g->hidden_count; ++i)
    if (g->hidden_names[i] && text && std::strstr(text, g->hidden_names[i])) return true;
  return false;
}

// How a message quotes a value: cut to a readable length, or, for a hidden
// parameter, its name alone.
std::string shown(const char *text, const char *hiddenName) {
  if (hiddenName) return format("'<hidden value>' of global parameter '%s'", hiddenName);
  std::string s(1, '\'');
  s += kiv::quoteCut(text ? text : "");
  s += '\'';
  return s;
}

int addParam(KIVGlobalParams *g, const char *name, const char *value, int type, std::string &message) {
  message.clear();
  if (!name) return 0;
  if (!value) value = "";
  char *plainName = nullptr, *plainValue = nullptr;
  if (isHidden(name)) {
    if (KivDecipherGlobalParam(value, &plainName, &plainValue) != 0) {
      message = format("Unable to decipher the value of global parameter '%s'\n", name);
      return -200;
    }
    name = plainName;
    value = plainValue;
  }
  int r = 0;
  if (type >= 1 && type <= 3 && findNumeric(g, name) < 0 && findText(g, name) < 0) {
    bool ok = type == 3 ? addText(g, name, value) : addNumeric(g, name, value);
    if (ok && plainName) ok = markHidden(g, name);
    if (!ok) {
      message = kMemoryMessage;
      r = -200;
    }
  }
  std::free(plainName);
  std::free(plainValue);
  return r;
}

// ---- Substitution ------------------------------------------------------------

bool equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && kiv::findNoCase(a, b) == 0;
}

std::string substitute(const char *text, char *const *names, char *const *values, int count,
                       const char *hiddenName = nullptr) {
  std::string s = text;
  if (!names || !values || count <= 0) return s;
  const size_t limit = s.size() + kMaxGrowth;
  int replacements = 0;
  while (s.find("${") != std::string::npos) {
    bool replaced = false;
    for (int j = 0; j < count && !replaced; ++j) {
      if (!names[j] || !*names[j] || !values[j]) continue;
      const std::string ref = "${" + std::string(names[j]) + "}";
      // A value that quotes its own reference would expand for ever.
      if (kiv::findNoCase(values[j], ref) != std::string_view::npos) continue;
      const size_t pos = kiv::findNoCase(s, ref);
      if (pos == std::string_view::npos) continue;
      const size_t len = std::strlen(values[j]);
      if (replacements == kMaxReplacements || s.size() - ref.size() + len > limit) {
        kivfprintf(stderr,
                   "Warning: substitution of global parameters in %s stopped after %d "
                   "replacements (circular or runaway references).\n",
                   shown(text, hiddenName).c_str(), replacements);
        return s;
      }
      s.replace(pos, ref.size(), values[j], len);
      ++replacements;
      replaced = true;
    }
    if (!replaced) break;
  }
  return s;
}

// EvaluateText, quoting the text in its messages as the value of hiddenName
// when that is given.
char *evaluateText(const char *text, char *const *names, char *const *values, int count, int depth,
                   const char *hiddenName) {
  if (!text) return nullptr;
  const std::string s = substitute(text, names, values, count, hiddenName);
  if (depth == 0 && names && values)
    for (int k = 0; k < count; ++k)
      if (names[k] && equalNoCase(s, names[k])) {
        const char *hidden = hiddenEntry(store(), names[k]) ? names[k] : nullptr;
        if (values[k]) return evaluateText(values[k], names, values, count, 1, hidden);
        break;
      }
  return kiv::dupText(s, "EvaluateText");
}

// ---- Reading the files -------------------------------------------------------

struct FileSet {
  std::string base, dir, ext;
};

FileSet modelFiles() {
  FileSet f;
  f.base = GetCircuitNameNoPath();
  f.dir = GetWorkingDirectory();
  char *ext = GetInputFilenameExtensionWithReloadIfNeeded();
  f.ext = ext ? ext : "";
  std::free(ext);
  if (IsSlaveSystem()) f.ext.clear();
  return f;
}

FileSet masterFiles(const KIVGlobalParams *g) {
  FileSet f;
  std::string path = g->master_path ? g->master_path : "";
  for (char &c : path)
    if (c == '\\') c = '/';
  const size_t slash = path.rfind('/');
  f.base = slash == std::string::npos ? path : path.substr(slash + 1);
  f.dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  f.ext = g->master_extension ? g->master_extension : "";
  return f;
}

using Text = std::unique_ptr<char, decltype(&std::free)>;

int readGlobalParamFile(KIVGlobalParams *g, bool master, std::string &message) {
  FileSet f = master ? masterFiles(g) : modelFiles();
  if (!f.base.empty()) f.base.pop_back();
  if (f.dir.empty()) f.dir.assign(1, '.');  // the current directory, never the root
  const kiv::gp::RecordList read(KIVGP_GPList_Create());
  KIVGP_GPList *list = read.list;
  int result = 0;
  if (KIVGP_IO_ReadGPs(f.base.c_str(), f.dir.c_str(), f.ext.c_str(), list) != 0) {
    kivfprintf(stderr, "####### ReadGlobalParamFile: Failed to read global parameters for '%s' / '%s' ('%s')\n",
               f.dir.c_str(), f.base.c_str(), f.ext.c_str());
    result = -102;
  } else {
    for (unsigned i = 0; i < list->count; ++i) {
      KIVGP_GP *gp = list->items[i];
      const char *raw = isHidden(gp->name) ? gp->title : gp->value;
      char *rawName = nullptr, *rawValue = nullptr;
      KIVGP_String_ConvertFromUTF8ToLatin1(&rawName, gp->name ? gp->name : "");
      const Text name(rawName, &std::free);
      KIVGP_String_ConvertFromUTF8ToLatin1(&rawValue, raw ? raw : "");
      const Text value(rawValue, &std::free);
      const int added = addParam(g, name.get(), value.get(), gp->type, message);
      if (added != 0 && message == kMemoryMessage) {
        // Storage ran out: the parameters are not what the file gives (the
        // caller says so with the message).
        result = added;
        break;
      }
      if (!message.empty()) kivfprintf(stderr, "\n%s\n", message.c_str());
    }
  }
  g->read = 1;
  return result;
}

void resetAtEnd(int, int) { ResetPointers(); }

// ---- Hidden values -----------------------------------------------------------

// Built into the library: hidden values are kept from casual reading only.
constexpr unsigned char kKey[crypto_secretbox_KEYBYTES] = {
    0x6d, 0x31, 0x13, 0x65, 0xe2, 0xd4, 0xe2, 0x00, 0x94, 0xb9, 0x6d, 0x45, 0xfc, 0x77, 0xcd, 0x1e,
    0x41, 0x6d, 0xb3, 0x4f, 0x8f, 0x49, 0xb0, 0xfc, 0xde, 0x76, 0x56, 0x13, 0x89, 0xd8, 0x4a, 0x0e};
constexpr std::string_view kPayloadMark = "kgp1:";
// Standard base64: no blank or underscore, which the line files would alter.
constexpr int kBase64 = sodium_base64_VARIANT_ORIGINAL;

bool hasWhite(std::string_view s) { return s.find_first_of(" \t\n\r\f\v") != std::string_view::npos; }

}  // namespace

extern "C" {

char *KivEncipherGlobalParam(const char *name, const char *value) {
  if (!name || !*name || hasWhite(name) || sodium_init() < 0) return nullptr;
  const std::string plain = std::string(name) + " " + (value ? value : "");
  std::vector<unsigned char> box(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + plain.size());
  randombytes_buf(box.data(), crypto_secretbox_NONCEBYTES);
  crypto_secretbox_easy(box.data() + crypto_secretbox_NONCEBYTES,
                        reinterpret_cast<const unsigned char *>(plain.data()), plain.size(), box.data(),
                        kKey);
  std::string text(sodium_base64_encoded_len(box.size(), kBase64), '\0');
  sodium_bin2base64(text.data(), text.size(), box.data(), box.size(), kBase64);
  text.resize(std::strlen(text.c_str()));
  return kiv::dupText(std::string(kPayloadMark) + text, "KivEncipherGlobalParam");
}

int KivDecipherGlobalParam(const char *payload, char **name, char **value) {
  if (!payload || !name || !value || sodium_init() < 0) return -1;
  std::string_view p(payload);
  while (!p.empty() && hasWhite(p.substr(0, 1))) p.remove_prefix(1);
  while (!p.empty() && hasWhite(p.substr(p.size() - 1))) p.remove_suffix(1);
  if (p.substr(0, kPayloadMark.size()) != kPayloadMark) return -1;
  p.remove_prefix(kPayloadMark.size());
  std::vector<unsigned char> box(p.size() / 4 * 3 + 3);
  size_t n = 0;
  if (sodium_base642bin(box.data(), box.size(), p.data(), p.size(), nullptr, &n, nullptr, kBase64) != 0 ||
      n < crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES)
    return -1;
  std::string plain(n - crypto_secretbox_NONCEBYTES - crypto_secretbox_MACBYTES, '\0');
  if (crypto_secretbox_open_easy(reinterpret_cast<unsigned char *>(plain.data()),
                                 box.data() + crypto_secretbox_NONCEBYTES,
                                 n - crypto_secretbox_NONCEBYTES, box.data(), kKey) != 0)
    return -1;
  if (plain.find('\0') != std::string::npos) return -1;
  const size_t start = plain.find_first_not_of(" \t\n\r\f\v");
  if (start == std::string::npos) return -1;
  const size_t end = plain.find_first_of(" \t\n\r\f\v", start);
  const std::string n1 = plain.substr(start, end == std::string::npos ? std::string::npos : end - start);
  size_t rest = end == std::string::npos ? plain.size() : plain.find_first_not_of(" \t\n\r\f\v", end);
  if (rest == std::string::npos) rest = plain.size();
  *name = kiv::dupText(n1, "KivDecipherGlobalParam");
  *value = kiv::dupText(std::string_view(plain).substr(rest), "KivDecipherGlobalParam");
  return 0;
}

KIVGlobalParams *CreateKIVGlobalParams(void) {
  auto *g = static_cast<KIVGlobalParams *>(std::calloc(1, sizeof(KIVGlobalParams)));
  if (!g) MemoryError("CreateKIVGlobalParams");
  return g;
}

void FreeKIVGlobalParams(KIVGlobalParams *gps) {
  if (!gps) return;
  resetStore(gps);
  std::free(gps);
}

int KivAddGlobalParam(KIVSystem *system, const char *name, const char *value, int type, char *message,
                      size_t message_size) {
  std::string text;
  const int r = addParam(storeOf(system), name, value, type, text);
  putMessage(message, message_size, text);
  return r;
}

int KivReadGPFile(KIVSystem *system) {
  kiv::CurrentSystemScope current(system);
  KIVGlobalParams *g = storeOf(system);
  if (g->read) return 0;
  KivInstallAtEnd(resetAtEnd, 0);
  std::string message;
  for (const bool master : {true, false}) {
    if (master && !g->master) continue;
    const int r = readGlobalParamFile(g, master, message);
    if (r != 0) {
      kivfprintf(stderr, "Error in function KivReadGPFile\n%s\n", message.c_str());
      return r;
    }
  }
  return 0;
}

int KivEvalGlobalParamList(KIVSystem *system, int keep, char *message, size_t message_size) {
  kiv::CurrentSystemScope current(system);
  KIVGlobalParams *g = storeOf(system);
  std::string text;
  bool failed = false;
  for (int i = 0; i < g->num_count; ++i) {
    if (keep == 1 && g->num_states[i] == 2) continue;
    g->num_states[i] = 3;  // invisible to its own expression
    const char *hidden = hiddenEntry(g, g->num_names[i]) ? g->num_names[i] : nullptr;
    int id = -1;
    double v = 0.0;
    bool ok = false;
    {
      kiv::MutedMessages muted(hidden || mentionsHidden(g, g->num_expressions[i]));
      id = CheckExpression(g->num_expressions[i], 0, g->num_names);
      ok = id != -1 && expeval_(&id, g->num_values, &v) == 1;
      if (id != -1) expfree_(&id);
    }
    if (ok) {
      g->num_values[i] = v;
      g->num_states[i] = 1;
    } else {
      // The value of an earlier pass stays.
      text = format("Unable to evaluate expression %s\n", shown(g->num_expressions[i], hidden).c_str());
      failed = true;
    }
  }
  for (int i = 0; i < g->text_count; ++i) {
    if (keep == 1 && g->text_states[i] == 2) continue;
    char *v = evaluateText(g->text_raw_values[i], g->text_names, g->text_values, i, 0,
                           hiddenEntry(g, g->text_names[i]) ? g->text_names[i] : nullptr);
    std::free(g->text_values[i]);
    g->text_values[i] = v;
    g->text_states[i] = 1;
  }
  putMessage(message, message_size, text);
  return failed ? -200 : 0;
}

void DeclareMasterGPsToBeRead(const char *master_path, const char *master_extension) {
  KIVGlobalParams *g = store();
  if (!master_path || !*master_path) return;
  std::free(g->master_path);
  g->master_path = kiv::dupText(master_path, "DeclareMasterGPsToBeRead : gps->master_path");
  std::free(g->master_extension);
  g->master_extension = nullptr;
  if (master_extension && *master_extension)
    g->master_extension = kiv::dupText(std::string(".") + master_extension,
                                       "DeclareMasterGPsToBeRead : gps->master_extension");
  g->master = 1;
}

void SetGlobalParamReadFile(int flag) { store()->read = flag; }

double *GetGlobalParamValues(int *count) {
  KIVGlobalParams *g = store();
  if (count) *count = g->num_count;
  return g->num_values;
}

char **GetGlobalParamTokens(int *count) {
  KIVGlobalParams *g = store();
  if (count) *count = g->num_count;
  return g->num_names;
}

int IsGlobalParamValid(int index) {
  const KIVGlobalParams *g = store();
  return index >= 0 && index < g->num_count && (g->num_states[index] == 1 || g->num_states[index] == 2);
}

char **GetTextGlobalParamValues(int *count) {
  KIVGlobalParams *g = store();
  if (count) *count = g->text_count;
  return g->text_values;
}

char **GetTextGlobalParamTokens(int *count) {
  KIVGlobalParams *g = store();
  if (count) *count = g->text_count;
  return g->text_names;
}

int GetNumberOfIntAndRealTokensInGlobalParameters(void) { return store()->num_count; }

int getGlobalParamValueByName(const char *name, double *value) {
  const KIVGlobalParams *g = store();
  const int i = findNumeric(g, name);
  if (i < 0 || !value || g->num_states[i] == 0) return 0;
  *value = g->num_values[i];
  return 1;
}

int getTextGlobalParamValueByName(const char *name, char **value) {
  const KIVGlobalParams *g = store();
  const int i = findText(g, name);
  if (i < 0 || !value || g->text_states[i] == 0) return 0;
  *value = g->text_values[i];
  return 1;
}

int GetRealExpressionValue(const char *text, double *value) {
  if (!text || !value) return -100;
  KIVGlobalParams *g = store();
  kiv::MutedMessages muted(mentionsHidden(g, text));
  int id = CheckExpressionAndTokens(text, 0, g->num_names, 0);
  if (id == -1) {
    kivfprintf(stderr, "\nUnable to interpret the value for expression '%s'.\n", kiv::quoteCut(text).c_str());
    return -100;
  }
  const int ok = expeval_(&id, g->num_values, value);
  expfree_(&id);
  return ok == 1 ? 0 : -100;
}

char *GetTextGlobalParam(const char *text) {
  const KIVGlobalParams *g = store();
  return EvaluateText(text, g->text_names, g->text_values, g->text_count, 0);
}

int ChangeOrAddRealGlobalParamValue(const char *name, double value, int add) {
  KIVGlobalParams *g = store();
  if (!name) return -200;
  int i = findNumeric(g, name);
  if (i < 0) {
    if (!add) return -200;
    if (findText(g, name) >= 0) {
      kivfprintf(stderr, "Cannot set global parameter '%s': it is a text parameter\n", name);
      return -200;
    }
    std::string message;
    const int before = g->num_count;
    if (addParam(g, name, "", 1, message) != 0 || g->num_count == before) {
      if (!message.empty()) kivfprintf(stderr, "\n%s\n", message.c_str());
      return -200;
    }
    i = g->num_count - 1;
  }
  g->num_values[i] = value;
  g->num_states[i] = 2;
  return 0;
}

int ChangeOrAddIntGlobalParamValue(const char *name, int value, int add) {
  return ChangeOrAddRealGlobalParamValue(name, static_cast<double>(value), add);
}

int ChangeOrAddTextGlobalParamValue(const char *name, const char *text, int add) {
  KIVGlobalParams *g = store();
  if (!name) return -200;
  int i = findText(g, name);
  if (i < 0) {
    if (!add) return -200;
    if (findNumeric(g, name) >= 0) {
      kivfprintf(stderr, "Cannot set global parameter '%s': it is a numeric parameter\n", name);
      return -200;
    }
    std::string message;
    const int before = g->text_count;
    if (addParam(g, name, "", 3, message) != 0 || g->text_count == before) {
      if (!message.empty()) kivfprintf(stderr, "\n%s\n", message.c_str());
      return -200;
    }
    i = g->text_count - 1;
  }
  char *copy = kiv::dupText(text ? text : "", "ChangeOrAddTextGlobalParamValue");
  std::free(g->text_values[i]);
  g->text_values[i] = copy;
  g->text_states[i] = 2;
  return 0;
}

void ClearGPs(void) { ResetPointers(); }

void ResetPointers(void) { resetStore(store()); }

char *ReplaceTokenNamesByValues(const char *text, char *const *names, char *const *values, int count) {
  if (!text) return nullptr;
  return kiv::dupText(substitute(text, names, values, count), "ReplaceTokenNamesByValues");
}

char *EvaluateText(const char *text, char *const *names, char *const *values, int count, int depth) {
  return evaluateText(text, names, values, count, depth, nullptr);
}

}  // extern "C"

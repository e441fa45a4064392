// Global-parameter records and lists, text encodings, and the choice between
// the XML file and the line-oriented files.
#include "params/GpManager_private.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
#include "runtime/system.hpp"

namespace kiv::gp {

char *dup(const char *s, const char *label) { return s ? kiv::dupText(s, label) : nullptr; }

void setText(char **field, const char *s) {
  char *copy = dup(s);
  std::free(*field);
  *field = copy;
}

AtomicFile::~AtomicFile() {
  if (fp_) std::fclose(fp_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

FILE *AtomicFile::open() {
  static unsigned serial = 0;
  for (int attempt = 0; attempt < 100 && !fp_; ++attempt) {
    std::string temp = path_ + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    temp_ = temp;
    fp_ = ::fdopen(fd, "w");
    if (!fp_) {
      ::close(fd);
      return nullptr;
    }
  }
  return fp_;
}

bool AtomicFile::commit() {
  if (!fp_) return false;
  bool ok = std::fflush(fp_) == 0 && !std::ferror(fp_) && ::fsync(::fileno(fp_)) == 0;
  ok = (std::fclose(fp_) == 0) && ok;
  fp_ = nullptr;
  if (!ok || std::rename(temp_.c_str(), path_.c_str()) != 0) return false;
  temp_.clear();
  return true;
}

}  // namespace kiv::gp

namespace {

using kiv::gp::dup;
using kiv::gp::setText;

// The nine text fields of a record, in record order.
std::array<char **, 9> textFields(KIVGP_GP *gp) {
  return {&gp->name,          &gp->title,          &gp->value,
          &gp->unit,          &gp->min_value,      &gp->max_value,
          &gp->default_value, &gp->circuit_scope_id, &gp->data_path};
}

bool present(const char *s) { return s && *s; }

std::string utf8ToLatin1(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  int add = -1;  // pending lead byte: what its continuation byte gains
  for (unsigned char c : s) {
    if (c < 0x80) {
      r.push_back(static_cast<char>(c));
      add = -1;
    } else if (c == 0xC2) {
      add = 0;
    } else if (c == 0xC3) {
      add = 0x40;
    } else if (c >= 0xC0) {
      r.push_back('?');
      add = -1;
    } else {
      if (add >= 0) r.push_back(static_cast<char>(c + add));
      add = -1;
    }
  }
  return r;
}

std::string latin1ToUtf8(std::string_view s) {
  std::string r;
  r.reserve(s.size() + s.size() / 4);
  for (unsigned char c : s) {
    if (c < 0x80) {
      r.push_back(static_cast<char>(c));
    } else if (c >= 0xA0 && c <= 0xBF) {
      r.push_back(static_cast<char>(0xC2));
      r.push_back(static_cast<char>(c));
    } else if (c >= 0xC0) {
      r.push_back(static_cast<char>(0xC3));
      r.push_back(static_cast<char>(c - 0x40));
    }
  }
  return r;
}

int convertText(char **out, const char *text, std::string (*convert)(std::string_view)) {
  if (!out || !text) return -1;
  *out = kiv::dupText(convert(text), "KIVGP_String_Convert");
  return 0;
}

int convertRecord(KIVGP_GP *gp, std::string (*convert)(std::string_view)) {
  if (!gp) return -1;
  for (char **field : textFields(gp))
    if (*field) {
      char *converted = kiv::dupText(convert(*field), "KIVGP_GP_Convert");
      std::free(*field);
      *field = converted;
    }
  return 1;
}

int getField(const KIVGP_GP *gp, char *const KIVGP_GP::*field, char **out) {
  if (!gp || !out) return -1;
  *out = dup(gp->*field);
  return 1;
}

bool hasLimits(const KIVGP_GP *gp) {
  return gp->type == KIVGP_TYPE_REAL || gp->type == KIVGP_TYPE_INT;
}

char **copyStrings(char *const *strings, unsigned count) {
  if (count == 0) return nullptr;
  auto **copy = static_cast<char **>(std::calloc(count, sizeof(char *)));
  if (!copy) MemoryError("KIVGP_StringList");
  for (unsigned i = 0; i < count; ++i) copy[i] = dup(strings[i]);
  return copy;
}

void freeStrings(char **strings, unsigned count) {
  if (!strings) return;
  for (unsigned i = 0; i < count; ++i) std::free(strings[i]);
  std::free(strings);
}

}  // namespace

// ---- Records -------------------------------------------------------------

KIVGP_GP *KIVGPPrivate_GP_Create() {
  auto *gp = static_cast<KIVGP_GP *>(std::calloc(1, sizeof(KIVGP_GP)));
  if (!gp) MemoryError("KIVGPPrivate_GP_Create");
  gp->eval_order = -1;
  return gp;
}

namespace {

KIVGP_GP *createRecord(int type, const char *name, const char *title, const char *value,
                       const char *unit, const char *min_value, const char *max_value,
                       const char *default_value, const char *scope_id, const char *data_path) {
  if (!present(name)) return nullptr;
  KIVGP_GP *gp = KIVGPPrivate_GP_Create();
  gp->type = type;
  gp->name = dup(name);
  gp->title = dup(title);
  gp->value = dup(value);
  gp->unit = dup(unit);
  gp->min_value = dup(min_value);
  gp->max_value = dup(max_value);
  gp->default_value = dup(default_value);
  gp->circuit_scope_id = dup(scope_id);
  gp->data_path = dup(data_path);
  return gp;
}

}  // namespace

KIVGP_GP *KIVGPPrivate_GP_CreateReal(const char *name, const char *title, const char *value,
                                     const char *unit, const char *min_value,
                                     const char *max_value, const char *default_value,
                                     const char *scope_id, const char *data_path) {
  return createRecord(KIVGP_TYPE_REAL, name, title, value, unit, min_value, max_value,
                      default_value, scope_id, data_path);
}

KIVGP_GP *KIVGPPrivate_GP_CreateInt(const char *name, const char *title, const char *value,
                                    const char *min_value, const char *max_value,
                                    const char *default_value, const char *scope_id,
                                    const char *data_path) {
  return createRecord(KIVGP_TYPE_INT, name, title, value, nullptr, min_value, max_value,
                      default_value, scope_id, data_path);
}

KIVGP_GP *KIVGPPrivate_GP_CreateText(const char *name, const char *title, const char *value,
                                     const char *default_value, const char *scope_id,
                                     const char *data_path) {
  return createRecord(KIVGP_TYPE_TEXT, name, title, value, nullptr, nullptr, nullptr,
                      default_value, scope_id, data_path);
}

void KIVGPPrivate_GP_DeallocateMembers(KIVGP_GP *gp) {
  if (!gp) return;
  for (char **field : textFields(gp)) {
    std::free(*field);
    *field = nullptr;
  }
  freeStrings(gp->enum_strings, gp->enum_count);
  gp->enum_strings = nullptr;
  gp->enum_count = 0;
}

void KIVGPPrivate_GP_Destroy(KIVGP_GP **gp) {
  if (!gp || !*gp) return;
  KIVGPPrivate_GP_DeallocateMembers(*gp);
  std::free(*gp);
  *gp = nullptr;
}

int KIVGPPrivate_GP_Copy(const KIVGP_GP *source, KIVGP_GP *destination) {
  if (!source || !destination) return -1;
  if (source == destination) return 1;
  KIVGPPrivate_GP_DeallocateMembers(destination);
  destination->type = source->type;
  auto from = textFields(const_cast<KIVGP_GP *>(source));
  auto to = textFields(destination);
  for (size_t i = 0; i < from.size(); ++i) *to[i] = dup(*from[i]);
  destination->eval_order = source->eval_order;
  destination->enum_strings = copyStrings(source->enum_strings, source->enum_count);
  destination->enum_count = source->enum_count;
  return 1;
}

int KIVGPPrivate_GP_AllocateMembers(KIVGP_GP *gp) {
  if (!gp) return -1;
  for (char **field : textFields(gp)) setText(field, "");
  return 1;
}

int KIVGPPrivate_GP_ConvertFromUTF8ToLatin1(KIVGP_GP *gp) { return convertRecord(gp, utf8ToLatin1); }

int KIVGPPrivate_GP_ConvertFromLatin1ToUTF8(KIVGP_GP *gp) { return convertRecord(gp, latin1ToUtf8); }

int KIVGPPrivate_GP_GetName(const KIVGP_GP *gp, char **out) { return getField(gp, &KIVGP_GP::name, out); }
int KIVGPPrivate_GP_GetTitle(const KIVGP_GP *gp, char **out) { return getField(gp, &KIVGP_GP::title, out); }
int KIVGPPrivate_GP_GetValue(const KIVGP_GP *gp, char **out) { return getField(gp, &KIVGP_GP::value, out); }

int KIVGPPrivate_GP_SetValue(KIVGP_GP *gp, const char *value) {
  if (!gp) return -1;
  setText(&gp->value, value);
  return 1;
}

int KIVGPPrivate_GP_GetUnit(const KIVGP_GP *gp, char **out) {
  if (!gp || gp->type != KIVGP_TYPE_REAL) return -1;
  return getField(gp, &KIVGP_GP::unit, out);
}

int KIVGPPrivate_GP_SetUnit(KIVGP_GP *gp, const char *unit) {
  if (!gp || gp->type != KIVGP_TYPE_REAL) return -1;
  setText(&gp->unit, unit);
  return 1;
}

int KIVGPPrivate_GP_GetMinValue(const KIVGP_GP *gp, char **out) {
  if (!gp || !hasLimits(gp)) return -1;
  return getField(gp, &KIVGP_GP::min_value, out);
}

int KIVGPPrivate_GP_GetMaxValue(const KIVGP_GP *gp, char **out) {
  if (!gp || !hasLimits(gp)) return -1;
  return getField(gp, &KIVGP_GP::max_value, out);
}

int KIVGPPrivate_GP_SetMinValue(KIVGP_GP *gp, const char *value) {
  if (!gp || !hasLimits(gp) || !value) return -1;
  setText(&gp->min_value, value);
  return 1;
}

int KIVGPPrivate_GP_SetMaxValue(KIVGP_GP *gp, const char *value) {
  if (!gp || !hasLimits(gp) || !value) return -1;
  setText(&gp->max_value, value);
  return 1;
}

int KIVGPPrivate_GP_GetDefaultValue(const KIVGP_GP *gp, char **out) {
  return getField(gp, &KIVGP_GP::default_value, out);
}
int KIVGPPrivate_GP_GetCircuitScopeId(const KIVGP_GP *gp, char **out) {
  return getField(gp, &KIVGP_GP::circuit_scope_id, out);
}
int KIVGPPrivate_GP_GetDataPath(const KIVGP_GP *gp, char **out) {
  return getField(gp, &KIVGP_GP::data_path, out);
}

int KIVGPPrivate_GP_GetType(const KIVGP_GP *gp, int *type) {
  if (!gp || !type) return -1;
  *type = gp->type;
  return 1;
}

int KIVGPPrivate_GP_GetEvalOrder(const KIVGP_GP *gp, int *order) {
  if (!gp || !order) return -1;
  *order = gp->eval_order;
  return 1;
}

int KIVGPPrivate_GP_SetEvalOrder(KIVGP_GP *gp, int order) {
  if (!gp) return -1;
  gp->eval_order = order;
  return 1;
}

int KIVGPPrivate_GP_IsEnum(const KIVGP_GP *gp) {
  if (!gp) return -1;
  return gp->type == KIVGP_TYPE_INT && gp->enum_count > 0 ? 1 : 0;
}

int KIVGPPrivate_GP_GetEnum(const KIVGP_GP *gp, KIVGP_StringList *strings, unsigned int *count) {
  if (!strings || !count || KIVGPPrivate_GP_IsEnum(gp) != 1) return -1;
  *strings = copyStrings(gp->enum_strings, gp->enum_count);
  *count = gp->enum_count;
  return 1;
}

int KIVGPPrivate_GP_SetEnum(KIVGP_GP *gp, char *const *strings, unsigned int count) {
  if (!gp || gp->type != KIVGP_TYPE_INT || (count > 0 && !strings)) return -1;
  char **copy = copyStrings(strings, count);
  freeStrings(gp->enum_strings, gp->enum_count);
  gp->enum_strings = copy;
  gp->enum_count = count;
  return 1;
}

int KIVGPPrivate_GP_IsLocalToSC(const KIVGP_GP *gp) {
  if (!gp) return -1;
  if (gp->name && std::strstr(gp->name, "zz__HIDDEN")) return 1;
  if (present(gp->data_path) && (!gp->name || std::strcmp(gp->data_path, gp->name) != 0)) return 1;
  if (present(gp->circuit_scope_id) && std::strcmp(gp->circuit_scope_id, "0") != 0) return 1;
  return 0;
}

// ---- Strings ---------------------------------------------------------------

void KIVGPPrivate_String_Free(char **text) {
  if (!text) return;
  std::free(*text);
  *text = nullptr;
}

int KIVGPPrivate_String_ConvertFromUTF8ToLatin1(char **out, const char *text) {
  return convertText(out, text, utf8ToLatin1);
}

int KIVGPPrivate_String_ConvertFromLatin1ToUTF8(char **out, const char *text) {
  return convertText(out, text, latin1ToUtf8);
}

int KIVGPPrivate_String_RemoveSpace(const char *text, char **out) {
  if (!text || !out) return -1;
  std::string r;
  for (const char *p = text; *p; ++p)
    if (*p != ' ') r.push_back(*p);
  *out = kiv::dupText(r, "KIVGPPrivate_String_RemoveSpace");
  return 0;
}

int KIVGPPrivate_String_SubstituteChars(char *text, char from, char to) {
  if (!text) return -1;
  int n = 0;
  for (char *p = text; *p; ++p)
    if (*p == from) {
      *p = to;
      ++n;
    }
  return n;
}

int KIVGPPrivate_String_ReplaceChar(char **out, const char *text, char c, const char *replacement) {
  if (!out || *out || !text || !replacement) return -1;
  std::string r;
  for (const char *p = text; *p; ++p) {
    if (*p == c)
      r += replacement;
    else
      r.push_back(*p);
  }
  *out = kiv::dupText(r, "KIVGPPrivate_String_ReplaceChar");
  return 0;
}

int KIVGPPrivate_String_EscapeForXML(const char *text, char **out) {
  if (!text || !out || *out) return -1;
  // One pass replaces what the five successive replacements do, ampersands
  // of the inserted entities included.
  std::string r;
  for (const char *p = text; *p; ++p) {
    switch (*p) {
      case '&': r += "&amp;"; break;
      case '<': r += "&lt;"; break;
      case '>': r += "&gt;"; break;
      case '"': r += "&quot;"; break;
      case '\'': r += "&apos;"; break;
      default: r.push_back(*p);
    }
  }
  *out = kiv::dupText(r, "KIVGPPrivate_String_EscapeForXML");
  return 0;
}

int KIVGPPrivate_String_ToDouble(const char *text, double *out) {
  if (!text || !out) return -1;
  const char *end = nullptr;
  double v = kiv::parseDouble(text, &end);
  if (end == text) return -1;
  *out = v;
  return 0;
}

int KIVGPPrivate_String_ToInt(const char *text, int *out) {
  if (!text || !out) return -1;
  return kiv::parseInt(text, nullptr, out) ? 0 : -1;
}

int KIVGPPrivate_String_ToUnsignedLong(const char *text, unsigned long *out) {
  if (!text || !out) return -1;
  const char *p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  if (*p == '-') return -1;  // strtoul would wrap a negative number
  char *end = nullptr;
  errno = 0;
  unsigned long v = std::strtoul(p, &end, 10);
  if (end == p || errno == ERANGE) return -1;
  *out = v;
  return 0;
}

void KIVGPPrivate_StringList_Free(KIVGP_StringList *list, int count) {
  // A count of 0 says nothing about the texts: leave it all to the caller.
  if (!list || !*list || count <= 0) return;
  freeStrings(*list, static_cast<unsigned>(count));
  *list = nullptr;
}

int KIVGPPrivate_StringList_Append(KIVGP_StringList *list, int count, const char *text) {
  if (!list || count < 0 || count == INT_MAX) return -1;
  auto **grown = static_cast<char **>(
      std::realloc(*list, (static_cast<size_t>(count) + 1) * sizeof(char *)));
  if (!grown) return -1;
  *list = grown;
  grown[count] = dup(text);
  return count + 1;
}

int KIVGPPrivate_StringList_Copy(KIVGP_StringList *out, const KIVGP_StringList list, int count) {
  if (!out || !list || count <= 0) return 0;
  *out = copyStrings(list, static_cast<unsigned>(count));
  return count;
}

// ---- Lists -------------------------------------------------------------------

KIVGP_GPList *KIVGPPrivate_GPList_Create() {
  auto *list = static_cast<KIVGP_GPList *>(std::calloc(1, sizeof(KIVGP_GPList)));
  if (!list) MemoryError("KIVGPPrivate_GPList_Create");
  return list;
}

void KIVGPPrivate_GPList_Destroy(KIVGP_GPList **list) {
  if (!list || !*list) return;
  std::free((*list)->items);
  std::free(*list);
  *list = nullptr;
}

int KIVGPPrivate_GPList_Append(KIVGP_GPList *list, KIVGP_GP *gp) {
  if (!list || !gp || list->count == UINT_MAX) return -1;
  auto **grown = static_cast<KIVGP_GP **>(
      std::realloc(list->items, (static_cast<size_t>(list->count) + 1) * sizeof(KIVGP_GP *)));
  if (!grown) MemoryError("KIVGPPrivate_GPList_Append");
  list->items = grown;
  list->items[list->count++] = gp;
  return 0;
}

int KIVGPPrivate_GPList_Remove(KIVGP_GPList *list, const char *name) {
  if (!list || !name || list->count == 0) return -1;
  unsigned kept = 0;
  for (unsigned i = 0; i < list->count; ++i) {
    KIVGP_GP *gp = list->items[i];
    if (!(gp && gp->name && std::strcmp(gp->name, name) == 0)) list->items[kept++] = gp;
  }
  const bool dropped = kept < list->count;
  list->count = kept;
  return dropped ? 0 : -1;
}

int KIVGPPrivate_GPList_GetSize(const KIVGP_GPList *list, unsigned int *count) {
  if (!list || !count) return -1;
  *count = list->count;
  return 0;
}

int KIVGPPrivate_GPList_GetAt(const KIVGP_GPList *list, unsigned int index, KIVGP_GP **gp) {
  if (!list || !gp || index >= list->count) return -1;
  *gp = list->items[index];
  return 0;
}

int KIVGPPrivate_GPList_Concatenate(KIVGP_GPList *out, const KIVGP_GPList *first,
                                    const KIVGP_GPList *second) {
  if (!out) return -1;
  const unsigned n1 = first ? first->count : 0, n2 = second ? second->count : 0;
  KIVGP_GP **items = nullptr;
  if (n1 + n2 > 0) {
    items = static_cast<KIVGP_GP **>(std::malloc((static_cast<size_t>(n1) + n2) * sizeof(KIVGP_GP *)));
    if (!items) MemoryError("KIVGPPrivate_GPList_Concatenate");
    if (n1) std::memcpy(items, first->items, n1 * sizeof(KIVGP_GP *));
    if (n2) std::memcpy(items + n1, second->items, n2 * sizeof(KIVGP_GP *));
  }
  std::free(out->items);
  out->items = items;
  out->count = n1 + n2;
  return 0;
}

void KIVGPPrivate_Algo_DestroyGPs(KIVGP_GP **gps, unsigned int count) {
  if (!gps) return;
  for (unsigned i = 0; i < count; ++i) KIVGPPrivate_GP_Destroy(&gps[i]);
}

void KIVGPPrivate_Algo_DestroyGPListItems(KIVGP_GPList *list) {
  if (!list) return;
  KIVGPPrivate_Algo_DestroyGPs(list->items, list->count);
  list->count = 0;  // no reference to a destroyed record stays reachable
}

// ---- Files ---------------------------------------------------------------------

int KIVGPPrivate_IO_OpenFile(const char *path, const char *mode, FILE **file) {
  if (!path || !mode || !file) return -1;
  *file = std::fopen(path, mode);
  return *file ? 1 : -1;
}

int KIVGPPrivate_IO_CloseFile(FILE **file) {
  if (!file || !*file) return -1;
  const int r = std::fclose(*file);
  *file = nullptr;
  return r == 0 ? 1 : -1;
}

int KIVGPPrivate_IO_IsFileOpen(FILE *const *file) { return file && *file ? 1 : 0; }

int KIVGPPrivate_IO_DoesFileExist(const char *path) {
  FILE *fp = nullptr;
  if (KIVGPPrivate_IO_OpenFile(path, "r", &fp) != 1) return -1;
  std::fclose(fp);
  return 0;
}

char *KIVGPPrivate_IO_ComputeFilePath(const char *name, const char *dir, const char *kind,
                                      const char *ext) {
  if (!name || !dir || !kind || !ext) return nullptr;
  // An empty directory is the current one, never the filesystem root.
  std::string path = *dir ? dir : ".";
  path += '/';
  path += name;
  path += '_';
  path += kind;
  path += ext;
  return kiv::dupText(path, "KIVGPPrivate_IO_ComputeFilePath");
}

namespace {

// A computed path that frees itself.
struct Path {
  Path(const char *name, const char *dir, const char *kind, const char *ext)
      : p(KIVGPPrivate_IO_ComputeFilePath(name, dir, kind, ext)) {}
  ~Path() { std::free(p); }
  Path(const Path &) = delete;
  Path &operator=(const Path &) = delete;
  bool exists() const { return p && KIVGPPrivate_IO_DoesFileExist(p) == 0; }
  char *p;
};

// Undoes what a failed read appended: a failed read hands out nothing.
class ListMark {
 public:
  explicit ListMark(KIVGP_GPList *list) : list_(list), mark_(list->count) {}
  int settle(int result) {
    if (result != 0) {
      KIVGPPrivate_Algo_DestroyGPs(list_->items + mark_, list_->count - mark_);
      list_->count = mark_;
    }
    return result;
  }

 private:
  KIVGP_GPList *list_;
  unsigned mark_;
};

class NamesMark {
 public:
  NamesMark(KIVGP_StringList *names, int *count) : names_(names), count_(count), mark_(*count) {}
  int settle(int result) {
    if (result != 0) {
      for (int i = mark_; i < *count_; ++i) KIVGPPrivate_String_Free(&(*names_)[i]);
      *count_ = mark_;
    }
    return result;
  }

 private:
  KIVGP_StringList *names_;
  int *count_;
  int mark_;
};

// Both line-oriented files: every one that exists must read, and one must.
template <class ReadOne>
int readLegacyPair(const char *name, const char *dir, const char *ext, ReadOne readOne) {
  Path gp(name, dir, ".gp", ext), gp2(name, dir, ".gp2", ext);
  if (!gp.p || !gp2.p) return -1;
  const bool has_gp = gp.exists(), has_gp2 = gp2.exists();
  if (!has_gp && !has_gp2) return -1;
  if (has_gp && readOne(gp.p) != 0) return -1;
  if (has_gp2 && readOne(gp2.p) != 0) return -1;
  return 0;
}

bool validArgs(const char *name, const char *dir, const char *ext) { return name && dir && ext; }

}  // namespace

int KIVGPPrivate_IO_ReadGPsFromLegacyFiles(const char *name, const char *dir, const char *ext,
                                           KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  ListMark mark(list);
  return mark.settle(readLegacyPair(name, dir, ext, [&](const char *path) {
    return KIVGPPrivate_IO_ReadGPsFromLegacyFile(path, list);
  }));
}

int KIVGPPrivate_IO_ReadGPs(const char *name, const char *dir, const char *ext, KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.exists()) return KIVGPPrivate_IO_ReadGPsFromXmlFile(xml.p, list);
  return KIVGPPrivate_IO_ReadGPsFromLegacyFiles(name, dir, ext, list);
}

int KIVGPPrivate_IO_ReadModelGPs(const char *name, const char *dir, const char *ext,
                                 KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.exists()) return KIVGPPrivate_IO_ReadModelGPsFromXmlFile(xml.p, list);
  Path gp(name, dir, ".gp", ext);
  if (gp.exists()) return KIVGPPrivate_IO_ReadGPsFromLegacyFile(gp.p, list);
  std::string older = std::string(*dir ? dir : ".") + "/" + name + ".gp" + ext;
  return KIVGPPrivate_IO_ReadGPsFromLegacyFile(older.c_str(), list);
}

int KIVGPPrivate_IO_ReadSCGPs(const char *name, const char *dir, const char *ext,
                              KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.exists()) return KIVGPPrivate_IO_ReadSCGPsFromXmlFile(xml.p, list);
  Path gp2(name, dir, ".gp2", ext);
  return gp2.p ? KIVGPPrivate_IO_ReadGPsFromLegacyFile(gp2.p, list) : -1;
}

int KIVGPPrivate_IO_ReadGPNames(const char *name, const char *dir, const char *ext,
                                KIVGP_StringList *names, int *count) {
  if (!validArgs(name, dir, ext) || !names || !count) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.exists()) return KIVGPPrivate_IO_ReadGPNamesFromXmlFile(xml.p, count, names);
  NamesMark mark(names, count);
  return mark.settle(readLegacyPair(name, dir, ext, [&](const char *path) {
    return KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(path, count, names);
  }));
}

int KIVGPPrivate_IO_ReadModelGPNames(const char *name, const char *dir, const char *ext,
                                     KIVGP_StringList *names, int *count) {
  if (!validArgs(name, dir, ext) || !names || !count) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.exists()) return KIVGPPrivate_IO_ReadModelGPNamesFromXmlFile(xml.p, count, names);
  Path gp(name, dir, ".gp", ext);
  return gp.p ? KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(gp.p, count, names) : -1;
}

int KIVGPPrivate_IO_ReadSCGPNames(const char *name, const char *dir, const char *ext,
                                  KIVGP_StringList *names, int *count) {
  if (!validArgs(name, dir, ext) || !names || !count) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.exists()) return KIVGPPrivate_IO_ReadSCGPNamesFromXmlFile(xml.p, count, names);
  Path gp2(name, dir, ".gp2", ext);
  return gp2.p ? KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(gp2.p, count, names) : -1;
}

int KIVGPPrivate_IO_ReadGPsFromFile(const char *path, KIVGP_GPList *list) {
  if (!path || !list || KIVGPPrivate_IO_DoesFileExist(path) != 0) return -1;
  if (KIVGPPrivate_IO_ReadGPsFromLegacyFile(path, list) == 0) return 0;
  return KIVGPPrivate_IO_ReadGPsFromXmlFile(path, list);
}

int KIVGPPrivate_IO_WriteGPs(const char *name, const char *dir, const char *ext,
                             const KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path xml(name, dir, ".kivgp", "");
  if (!xml.p) return -1;
  const bool has_xml =
      xml.exists() || KIVGPPrivate_IO_DoesFileExist((std::string(xml.p) + ".1").c_str()) == 0;
  return has_xml ? KIVGPPrivate_IO_WriteGPsToXML(name, dir, ext, list)
                 : KIVGPPrivate_IO_WriteGPsToLegacyFiles(name, dir, ext, list);
}

int KIVGPPrivate_IO_ConvertLegacyFileToXML(const char *name, const char *dir,
                                           const char *output_name, const char *output_dir,
                                           const char *ext) {
  if (!validArgs(name, dir, ext) || !validArgs(output_name, output_dir, ext)) return -1;
  KIVGP_GPList *list = KIVGPPrivate_GPList_Create();
  int r = KIVGPPrivate_IO_ReadGPsFromLegacyFiles(name, dir, ext, list);
  if (r == 0) r = KIVGPPrivate_IO_WriteGPsToXML(output_name, output_dir, ext, list);
  KIVGPPrivate_Algo_DestroyGPListItems(list);
  KIVGPPrivate_GPList_Destroy(&list);
  return r;
}

// ---- XML file ------------------------------------------------------------------

namespace {

enum class Field {
  None, Type, Varname, Title, Value, Default, Min, Max, Unit, Scope, DataPath, EnumString
};

Field fieldOf(const XML_Char *element) {
  static constexpr std::pair<const char *, Field> kFields[] = {
      {"TYPE", Field::Type},         {"VARNAME", Field::Varname},
      {"TITLE", Field::Title},       {"VALUE", Field::Value},
      {"DEFAULT", Field::Default},   {"MIN_VALUE", Field::Min},
      {"MAX_VALUE", Field::Max},     {"UNIT", Field::Unit},
      {"CIRCUIT_SCOPE_ID", Field::Scope}, {"DATA_PATH", Field::DataPath},
      {"ENUM_STRING", Field::EnumString},
  };
  for (const auto &[name, field] : kFields)
    if (std::strcmp(element, name) == 0) return field;
  return Field::None;
}

char *KIVGP_GP::*textMember(Field f) {
  switch (f) {
    case Field::Varname: return &KIVGP_GP::name;
    case Field::Title: return &KIVGP_GP::title;
    case Field::Value: return &KIVGP_GP::value;
    case Field::Default: return &KIVGP_GP::default_value;
    case Field::Min: return &KIVGP_GP::min_value;
    case Field::Max: return &KIVGP_GP::max_value;
    case Field::Unit: return &KIVGP_GP::unit;
    case Field::Scope: return &KIVGP_GP::circuit_scope_id;
    case Field::DataPath: return &KIVGP_GP::data_path;
    default: return nullptr;
  }
}

// User data of the record reader.
struct GpListReader {
  int state = 0;  // 0 outside, 1 in the root, 2 in PARAMETER, 3 in a field
  int collecting = 0;
  std::string collected;
  bool has_text = false;
  KIVGP_GP *current = nullptr;
  KIVGP_GPList *model = nullptr;
  KIVGP_GPList *sc = nullptr;
  // Structure checks: the callbacks cannot stop the parser, so a refused
  // document is remembered and every later callback does nothing.
  XML_Parser parser = nullptr;
  bool root_seen = false, root_open = false;
  bool refused = false, out_of_memory = false;

  unsigned long line() const { return static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)); }
  void refuse(const char *what, const char *element) {
    kivfprintf(stderr, "%s %s at line %lu\n", element, what, line());
    refused = true;
  }
  void release() {
    KIVGPPrivate_GP_Destroy(&current);
    for (KIVGP_GPList **list : {&model, &sc}) {
      KIVGPPrivate_Algo_DestroyGPListItems(*list);
      KIVGPPrivate_GPList_Destroy(list);
    }
  }
};

// User data of the names-only reader.
struct GpNameReader {
  int state = 0;  // 4 in VARNAME
  int collecting = 0;
  int data_path = 0;
  std::string name;
  KIVGP_StringList model_names = nullptr;
  int model_count = 0;
  KIVGP_StringList sc_names = nullptr;
  int sc_count = 0;
  bool out_of_memory = false;
  void release() {
    KIVGPPrivate_StringList_Free(&model_names, model_count);
    KIVGPPrivate_StringList_Free(&sc_names, sc_count);
    model_count = sc_count = 0;
  }
};

// An exception must not unwind through the parser's C frames.
template <class Reader, class F>
void shielded(Reader *r, F &&f) {
  try {
    f();
  } catch (...) {
    r->out_of_memory = true;
  }
}

int scanEvalOrder(const XML_Char **attributes) {
  for (const XML_Char **a = attributes; a && a[0] && a[1]; a += 2)
    if (std::strcmp(a[0], "EVAL_ORDER") == 0) {
      int v = -1;
      return KIVGPPrivate_String_ToInt(a[1], &v) == 0 ? v : -1;
    }
  return -1;
}

// Feeds the file to the parser in chunks, the last one marked final.
bool feedParser(XML_Parser parser, FILE *file, size_t chunk) {
  std::vector<char> buffer(chunk);
  for (;;) {
    const size_t n = std::fread(buffer.data(), 1, chunk, file);
    const bool final = n < chunk;
    if (final && std::ferror(file)) return false;
    if (XML_Parse(parser, buffer.data(), static_cast<int>(n), final ? 1 : 0) == XML_STATUS_ERROR) {
      kivfprintf(stderr, "%s at line %lu\n", XML_ErrorString(XML_GetErrorCode(parser)),
                 static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)));
      return false;
    }
    if (final) return true;
  }
}

struct ParserOwner {
  XML_Parser p = XML_ParserCreate(nullptr);
  ~ParserOwner() {
    if (p) XML_ParserFree(p);
  }
};

}  // namespace

void XMLCALL XML_C_Parser_GPList_StartElement(void *data, const XML_Char *element,
                                              const XML_Char **attributes) {
  auto *r = static_cast<GpListReader *>(data);
  if (r->refused || r->out_of_memory) return;
  shielded(r, [&] {
    if (std::strcmp(element, "GLOBAL_PARAMS_LIST") == 0) {
      if (r->root_seen) return r->refuse("repeated", element);
      r->root_seen = r->root_open = true;
      r->model = KIVGPPrivate_GPList_Create();
      r->sc = KIVGPPrivate_GPList_Create();
      r->state = 1;
    } else if (std::strcmp(element, "PARAMETER") == 0) {
      if (!r->root_open) return r->refuse("outside GLOBAL_PARAMS_LIST", element);
      if (r->current) return r->refuse("inside PARAMETER", element);
      r->current = KIVGPPrivate_GP_Create();
      r->current->eval_order = scanEvalOrder(attributes);
      r->state = 2;
    } else if (fieldOf(element) != Field::None && r->current) {
      r->state = 3;
      r->collecting = 1;
      r->collected.clear();
      r->has_text = false;
    } else {
      if (fieldOf(element) != Field::None)
        kivfprintf(stderr, "%s outside PARAMETER ignored at line %lu\n", element, r->line());
      r->state = 0;
    }
  });
}

void XMLCALL XML_C_Parser_GPList_Characters(void *data, const XML_Char *text, int length) {
  auto *r = static_cast<GpListReader *>(data);
  if (r->refused || r->out_of_memory || r->state != 3 || !r->collecting || length <= 0) return;
  shielded(r, [&] {
    r->collected.append(text, static_cast<size_t>(length));
    r->has_text = true;
  });
}

void XMLCALL XML_C_Parser_GPList_EndElement(void *data, const XML_Char *element) {
  auto *r = static_cast<GpListReader *>(data);
  if (r->refused || r->out_of_memory) return;
  shielded(r, [&] {
    const Field f = fieldOf(element);
    if (std::strcmp(element, "GLOBAL_PARAMS_LIST") == 0) {
      r->root_open = false;
    } else if (std::strcmp(element, "PARAMETER") == 0 && r->current) {
      KIVGP_GP *gp = r->current;
      r->current = nullptr;
      if (!present(gp->name)) {
        kivfprintf(stderr, "PARAMETER without VARNAME ignored at line %lu\n", r->line());
        KIVGPPrivate_GP_Destroy(&gp);
      } else {
        KIVGPPrivate_GPList_Append(KIVGPPrivate_GP_IsLocalToSC(gp) == 1 ? r->sc : r->model, gp);
      }
    } else if (r->current && r->collecting && f == Field::Type) {
      if (r->collected == "1" || r->collected == "2" || r->collected == "3")
        r->current->type = r->collected[0] - '0';
    } else if (r->current && r->collecting && f == Field::EnumString) {
      const char *s = r->collected.c_str();
      char **strings = r->current->enum_strings;
      const unsigned n = r->current->enum_count;
      auto **grown = static_cast<char **>(std::realloc(strings, (n + 1) * sizeof(char *)));
      if (!grown) MemoryError("XML_C_Parser_GPList");
      grown[n] = dup(s);
      r->current->enum_strings = grown;
      r->current->enum_count = n + 1;
    } else if (r->current && r->collecting && f != Field::None) {
      setText(&(r->current->*textMember(f)), r->has_text ? r->collected.c_str() : nullptr);
    }
    r->collected.clear();
    r->has_text = false;
    r->collecting = 0;
    if (r->state == 3) r->state = r->current ? 2 : (r->root_open ? 1 : 0);
  });
}

int XML_C_Parser_GPList(FILE *file, KIVGP_GPList **model, KIVGP_GPList **sc) {
  if (!file || !model || !sc) return -1;
  ParserOwner parser;
  if (!parser.p) MemoryError("XML_C_Parser_GPList");
  GpListReader r;
  r.parser = parser.p;
  XML_SetUserData(parser.p, &r);
  XML_SetElementHandler(parser.p, XML_C_Parser_GPList_StartElement, XML_C_Parser_GPList_EndElement);
  XML_SetCharacterDataHandler(parser.p, XML_C_Parser_GPList_Characters);
  const bool parsed = feedParser(parser.p, file, 2048);
  if (r.out_of_memory) {
    r.release();
    MemoryError("XML_C_Parser_GPList");
  }
  if (parsed && !r.refused && !r.root_seen) {
    kivfprintf(stderr, "GLOBAL_PARAMS_LIST missing\n");
    r.refused = true;
  }
  if (!parsed || r.refused) {
    r.release();
    return -1;
  }
  KIVGPPrivate_GP_Destroy(&r.current);
  *model = r.model;
  *sc = r.sc;
  return 0;
}

void XMLCALL XML_C_Parser_GPName_StartElement(void *data, const XML_Char *element,
                                              const XML_Char **) {
  auto *r = static_cast<GpNameReader *>(data);
  if (std::strcmp(element, "VARNAME") == 0) {
    r->state = 4;
    r->collecting = 1;
  } else {
    if (std::strcmp(element, "DATA_PATH") == 0) r->data_path = 1;
    r->state = 0;
  }
}

void XMLCALL XML_C_Parser_GPName_Characters(void *data, const XML_Char *text, int length) {
  auto *r = static_cast<GpNameReader *>(data);
  if (r->out_of_memory || r->state != 4 || !r->collecting || length <= 0) return;
  shielded(r, [&] { r->name.append(text, static_cast<size_t>(length)); });
}

void XMLCALL XML_C_Parser_GPName_EndElement(void *data, const XML_Char *element) {
  auto *r = static_cast<GpNameReader *>(data);
  if (r->out_of_memory) return;
  if (std::strcmp(element, "VARNAME") == 0) {
    r->collecting = 0;
  } else if (std::strcmp(element, "PARAMETER") == 0) {
    shielded(r, [&] {
      KIVGP_StringList *names = r->data_path ? &r->sc_names : &r->model_names;
      int *count = r->data_path ? &r->sc_count : &r->model_count;
      const int n = KIVGPPrivate_StringList_Append(names, *count, r->name.c_str());
      if (n < 0) MemoryError("XML_C_Parser_GPNameList");
      *count = n;
    });
    r->name.clear();
    r->data_path = 0;
  }
}

int XML_C_Parser_GPNameList(FILE *file, int *model_count, KIVGP_StringList *model_names,
                            int *sc_count, KIVGP_StringList *sc_names) {
  if (!file || !model_count || !model_names || !sc_count || !sc_names) return -1;
  ParserOwner parser;
  if (!parser.p) MemoryError("XML_C_Parser_GPNameList");
  GpNameReader r;
  XML_SetUserData(parser.p, &r);
  XML_SetElementHandler(parser.p, XML_C_Parser_GPName_StartElement, XML_C_Parser_GPName_EndElement);
  XML_SetCharacterDataHandler(parser.p, XML_C_Parser_GPName_Characters);
  const bool parsed = feedParser(parser.p, file, 32);
  if (r.out_of_memory) {
    r.release();
    MemoryError("XML_C_Parser_GPNameList");
  }
  if (!parsed) {
    r.release();
    return -1;
  }
  *model_count = r.model_count;
  *model_names = r.model_names;
  *sc_count = r.sc_count;
  *sc_names = r.sc_names;
  return 0;
}

namespace {

struct FileOwner {
  FILE *fp = nullptr;
  ~FileOwner() {
    if (fp) std::fclose(fp);
  }
  bool close() { return KIVGPPrivate_IO_CloseFile(&fp) == 1; }
};

void moveRecords(KIVGP_GPList **from, KIVGP_GPList *to, bool keep) {
  if (keep) {
    for (unsigned i = 0; i < (*from)->count; ++i) KIVGPPrivate_GPList_Append(to, (*from)->items[i]);
  } else {
    KIVGPPrivate_Algo_DestroyGPListItems(*from);
  }
  KIVGPPrivate_GPList_Destroy(from);
}

int readXmlRecords(const char *path, KIVGP_GPList *list, bool keep_model, bool keep_sc) {
  if (!path || !list) return -1;
  FileOwner f;
  if (KIVGPPrivate_IO_OpenFile(path, "r", &f.fp) != 1) return -1;
  KIVGP_GPList *model = nullptr, *sc = nullptr;
  if (XML_C_Parser_GPList(f.fp, &model, &sc) != 0) return -1;
  const bool closed = f.close();
  moveRecords(&model, list, closed && keep_model);
  moveRecords(&sc, list, closed && keep_sc);
  return closed ? 0 : -1;
}

void appendNames(KIVGP_StringList *names, int *count, const KIVGP_StringList from, int n) {
  for (int i = 0; i < n; ++i) {
    const int c = KIVGPPrivate_StringList_Append(names, *count, from[i]);
    if (c < 0) MemoryError("KIVGPPrivate_IO_ReadGPNamesFromXmlFile");
    *count = c;
  }
}

int readXmlNames(const char *path, int *count, KIVGP_StringList *names, bool model, bool sc) {
  if (!path || !count || !names) return -1;
  FileOwner f;
  if (KIVGPPrivate_IO_OpenFile(path, "r", &f.fp) != 1) return -1;
  KIVGP_StringList model_names = nullptr, sc_names = nullptr;
  int model_count = 0, sc_count = 0;
  if (XML_C_Parser_GPNameList(f.fp, &model_count, &model_names, &sc_count, &sc_names) != 0)
    return -1;
  const bool closed = f.close();
  appendNames(names, count, model_names, closed && model ? model_count : 0);
  appendNames(names, count, sc_names, closed && sc ? sc_count : 0);
  KIVGPPrivate_StringList_Free(&model_names, model_count);
  KIVGPPrivate_StringList_Free(&sc_names, sc_count);
  return closed ? 0 : -1;
}

}  // namespace

int KIVGPPrivate_IO_ReadGPsFromXmlFile(const char *path, KIVGP_GPList *list) {
  return readXmlRecords(path, list, true, true);
}
int KIVGPPrivate_IO_ReadModelGPsFromXmlFile(const char *path, KIVGP_GPList *list) {
  return readXmlRecords(path, list, true, false);
}
int KIVGPPrivate_IO_ReadSCGPsFromXmlFile(const char *path, KIVGP_GPList *list) {
  return readXmlRecords(path, list, false, true);
}
int KIVGPPrivate_IO_ReadGPNamesFromXmlFile(const char *path, int *count, KIVGP_StringList *names) {
  return readXmlNames(path, count, names, true, true);
}
int KIVGPPrivate_IO_ReadModelGPNamesFromXmlFile(const char *path, int *count,
                                                KIVGP_StringList *names) {
  return readXmlNames(path, count, names, true, false);
}
int KIVGPPrivate_IO_ReadSCGPNamesFromXmlFile(const char *path, int *count, KIVGP_StringList *names) {
  return readXmlNames(path, count, names, false, true);
}

namespace {

// Length of the well-formed UTF-8 character at s (an XML character), or 0.
size_t xmlCharLength(const unsigned char *s, size_t n) {
  const unsigned c = s[0];
  if (c < 0x80) return (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') ? 1 : 0;
  auto cont = [&](size_t i, unsigned lo = 0x80, unsigned hi = 0xBF) {
    return i < n && s[i] >= lo && s[i] <= hi;
  };
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    if (!cont(1, lo, hi) || !cont(2)) return 0;
    if (c == 0xEF && s[1] == 0xBF && s[2] >= 0xBE) return 0;  // U+FFFE, U+FFFF
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    return cont(1, lo, hi) && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

bool isXmlText(const char *text) {
  if (!text) return true;
  const auto *s = reinterpret_cast<const unsigned char *>(text);
  const size_t n = std::strlen(text);
  for (size_t i = 0; i < n;) {
    const size_t len = xmlCharLength(s + i, n - i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

// A record the XML file could not give back is refused before writing.
bool xmlWritable(const KIVGP_GP *gp, const char *path) {
  bool ok = isXmlText(gp->name) && isXmlText(gp->title) && isXmlText(gp->value) &&
            isXmlText(gp->unit) && isXmlText(gp->min_value) && isXmlText(gp->max_value) &&
            isXmlText(gp->default_value) && isXmlText(gp->circuit_scope_id) &&
            isXmlText(gp->data_path);
  for (unsigned i = 0; ok && i < gp->enum_count; ++i) ok = isXmlText(gp->enum_strings[i]);
  if (!ok)
    kivfprintf(stderr, "Cannot write global parameter '%s' to %s: a text is not valid UTF-8\n",
               gp->name ? gp->name : "", path);
  return ok;
}

void appendEscaped(std::string &out, const char *text) {
  char *escaped = nullptr;
  KIVGPPrivate_String_EscapeForXML(text, &escaped);
  // A carriage return would come back as a line feed: keep it as a reference.
  for (const char *p = escaped; *p; ++p) {
    if (*p == '\r')
      out += "&#13;";
    else
      out.push_back(*p);
  }
  std::free(escaped);
}

// One child line, one level deeper than indentation; nothing for no text.
void appendElement(std::string &out, const char *element, const char *text, const char *indentation) {
  if (!present(text)) return;
  out += indentation;
  out += '\t';
  out += '<';
  out += element;
  out += '>';
  appendEscaped(out, text);
  out += "</";
  out += element;
  out += ">\n";
}

void appendRecord(std::string &out, const KIVGP_GP *gp) {
  char order[16];
  std::snprintf(order, sizeof order, "%d", gp->eval_order);
  out += "\t<PARAMETER EVAL_ORDER=\"";
  appendEscaped(out, order);
  out += "\">\n";
  char type[16];
  std::snprintf(type, sizeof type, "%d", gp->type);
  appendElement(out, "TYPE", type, "\t");
  appendElement(out, "VARNAME", gp->name, "\t");
  appendElement(out, "TITLE", gp->title, "\t");
  appendElement(out, "VALUE", gp->value, "\t");
  appendElement(out, "DEFAULT", gp->default_value, "\t");
  appendElement(out, "MIN_VALUE", gp->min_value, "\t");
  appendElement(out, "MAX_VALUE", gp->max_value, "\t");
  appendElement(out, "UNIT", gp->unit, "\t");
  appendElement(out, "CIRCUIT_SCOPE_ID", gp->circuit_scope_id, "\t");
  appendElement(out, "DATA_PATH", gp->data_path, "\t");
  if (gp->enum_count > 0) {
    out += "\t\t<ENUM_LIST>\n";
    for (unsigned i = 0; i < gp->enum_count; ++i) {
      const char *s = gp->enum_strings[i];
      if (!s) continue;
      out += "\t\t\t<ENUM>\n\t\t\t\t<ENUM_STRING>";
      appendEscaped(out, s);
      out += "</ENUM_STRING>\n\t\t\t</ENUM>\n";
    }
    out += "\t\t</ENUM_LIST>\n";
  }
  out += "\t</PARAMETER>\n";
}

bool writeWhole(const std::string &path, const std::string &content) {
  kiv::gp::AtomicFile file(path);
  FILE *fp = file.open();
  if (!fp) return false;
  if (!content.empty() && std::fwrite(content.data(), 1, content.size(), fp) != content.size())
    return false;
  return file.commit();
}

}  // namespace

int XML_C_WriteGPElement(FILE *file, const char *element, const char *text,
                         const char *indentation) {
  if (!file || !element || !indentation) return -1;
  std::string line;
  appendElement(line, element, text, indentation);
  if (line.empty()) return 0;
  return std::fputs(line.c_str(), file) >= 0 ? 0 : -1;
}

std::string kiv::gp::xmlDocument(const KIVGP_GPList *list) {
  std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE GP>\n<GLOBAL_PARAMS_LIST>\n";
  for (unsigned i = 0; list && i < list->count; ++i)
    if (list->items[i]) appendRecord(doc, list->items[i]);
  doc += "</GLOBAL_PARAMS_LIST>\n";
  return doc;
}

int KIVGPPrivate_IO_WriteGPsToXML(const char *name, const char *dir, const char *ext,
                                  const KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path path(name, dir, ".kivgp", ext);
  for (unsigned i = 0; i < list->count; ++i)
    if (list->items[i] && !xmlWritable(list->items[i], path.p)) return -1;
  if (!writeWhole(path.p, kiv::gp::xmlDocument(list))) {
    kivfprintf(stderr, "Cannot write global parameter file %s\n", path.p);
    return -1;
  }
  return 0;
}

// ---- Line-oriented files ---------------------------------------------------------

namespace {

constexpr std::string_view kScopeKey = "Param_Id=";
constexpr std::string_view kPathKey = "Data_Path=";

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> w;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isWhite(line[i])) ++i;
    size_t j = i;
    while (j < line.size() && !isWhite(line[j])) ++j;
    if (j > i) w.push_back(line.substr(i, j - i));
    i = j;
  }
  return w;
}

// The rest of word after key, when word starts with key and has a rest.
bool keyed(const std::vector<std::string_view> &w, size_t i, std::string_view key,
           std::string_view *rest) {
  if (i >= w.size() || w[i].size() <= key.size() || w[i].substr(0, key.size()) != key) return false;
  *rest = w[i].substr(key.size());
  return true;
}

// The fields of each section, in line order.
using Member = char *KIVGP_GP::*;
constexpr Member kIntFields[] = {&KIVGP_GP::name, &KIVGP_GP::title, &KIVGP_GP::value,
                                 &KIVGP_GP::min_value, &KIVGP_GP::max_value,
                                 &KIVGP_GP::default_value};
constexpr Member kRealFields[] = {&KIVGP_GP::name, &KIVGP_GP::title, &KIVGP_GP::value,
                                  &KIVGP_GP::min_value, &KIVGP_GP::max_value,
                                  &KIVGP_GP::default_value, &KIVGP_GP::unit};
constexpr Member kTextFields[] = {&KIVGP_GP::name, &KIVGP_GP::title, &KIVGP_GP::value,
                                  &KIVGP_GP::default_value};

struct Section {
  int type;
  const Member *fields;
  size_t n;
};
constexpr Section kInt{KIVGP_TYPE_INT, kIntFields, std::size(kIntFields)};
constexpr Section kReal{KIVGP_TYPE_REAL, kRealFields, std::size(kRealFields)};
constexpr Section kText{KIVGP_TYPE_TEXT, kTextFields, std::size(kTextFields)};

const Section &sectionOf(int type) {
  return type == KIVGP_TYPE_INT ? kInt : type == KIVGP_TYPE_REAL ? kReal : kText;
}

void setView(char **field, std::string_view s) {
  char *copy = kiv::dupText(s, "KIVGPPrivate_IO_ReadGPFromLegacyLine");
  std::free(*field);
  *field = copy;
}

int readLegacyLine(const Section &sec, const char *line, KIVGP_GP *gp, int *counter) {
  if (!line || !gp || !counter) return -1;
  const auto w = words(line);
  std::string_view scope, path;
  int result = -1;
  if (w.size() >= sec.n) {
    const size_t n = sec.n;
    bool has_scope = false, has_path = false;
    if (keyed(w, n, kScopeKey, &scope) && keyed(w, n + 1, kPathKey, &path)) {
      has_scope = has_path = true;
    } else if (keyed(w, n, kPathKey, &path)) {
      has_path = true;
    } else {
      // Written for a scope id without a data path; read it back.
      has_scope = keyed(w, n, kScopeKey, &scope);
    }
    for (char **field : textFields(gp)) {
      std::free(*field);
      *field = nullptr;
    }
    for (size_t i = 0; i < n; ++i) setView(&(gp->*sec.fields[i]), w[i]);
    if (has_scope) setView(&gp->circuit_scope_id, scope);
    if (has_path) setView(&gp->data_path, path);
    result = 0;
  }
  if (gp->title) KIVGPPrivate_String_SubstituteChars(gp->title, '_', ' ');
  gp->type = sec.type;
  gp->eval_order = ++*counter;
  return result;
}

// One whole line of any length, without its line feed; false at end of file.
bool readWholeLine(FILE *fp, std::string &line) {
  line.clear();
  bool any = false;
  for (int c; (c = std::getc(fp)) != EOF;) {
    any = true;
    if (c == '\n') return true;
    line.push_back(static_cast<char>(c));
  }
  return any;
}

// Walks a line-oriented file: fn(section type, line, line number) for each
// parameter line.
template <class F>
int walkLegacyFile(const char *path, F &&fn) {
  FileOwner f;
  if (KIVGPPrivate_IO_OpenFile(path, "r", &f.fp) != 1) return -1;
  std::string line;
  if (!readWholeLine(f.fp, line) || line.find("integer parameters") == std::string::npos) return -1;
  int type = KIVGP_TYPE_INT;
  for (int number = 2; readWholeLine(f.fp, line); ++number) {
    if (line.find("real parameters") != std::string::npos)
      type = KIVGP_TYPE_REAL;
    else if (line.find("text parameters") != std::string::npos)
      type = KIVGP_TYPE_TEXT;
    else
      fn(type, line.c_str(), number);
  }
  const bool failed = std::ferror(f.fp) != 0;
  return f.close() && !failed ? 0 : -1;
}

// Records that destroy themselves unless handed over.
struct OwnedRecords {
  std::vector<KIVGP_GP *> v;
  ~OwnedRecords() {
    for (KIVGP_GP *&gp : v) KIVGPPrivate_GP_Destroy(&gp);
  }
  void handOver(KIVGP_GPList *list) {
    for (KIVGP_GP *&gp : v) {
      KIVGPPrivate_GPList_Append(list, gp);
      gp = nullptr;
    }
  }
};

}  // namespace

int KIVGPPrivate_IO_ReadIntGPFromLegacyLine(const char *line, KIVGP_GP *gp, int *counter) {
  return readLegacyLine(kInt, line, gp, counter);
}
int KIVGPPrivate_IO_ReadRealGPFromLegacyLine(const char *line, KIVGP_GP *gp, int *counter) {
  return readLegacyLine(kReal, line, gp, counter);
}
int KIVGPPrivate_IO_ReadTextGPFromLegacyLine(const char *line, KIVGP_GP *gp, int *counter) {
  return readLegacyLine(kText, line, gp, counter);
}

int KIVGPPrivate_IO_ReadGPsFromLegacyFile(const char *path, KIVGP_GPList *list) {
  if (!path || !list) return -1;
  OwnedRecords got;
  int counter = 0;
  const int r = walkLegacyFile(path, [&](int type, const char *line, int number) {
    KIVGP_GP *gp = KIVGPPrivate_GP_Create();
    got.v.push_back(gp);
    KIVGPPrivate_GP_AllocateMembers(gp);
    if (readLegacyLine(sectionOf(type), line, gp, &counter) == 0) {
      KIVGPPrivate_GP_ConvertFromLatin1ToUTF8(gp);
    } else {
      KIVGPPrivate_GP_Destroy(&got.v.back());
      got.v.pop_back();
      // A blank line holds no record to lose.
      if (!words(line).empty())
        kivfprintf(stderr, "\nLine %d of file '%s' has fewer fields than a parameter needs; it is skipped.\n",
                   number, path);
    }
  });
  if (r == 0) got.handOver(list);
  return r;
}

int KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(const char *path, int *count, KIVGP_StringList *names) {
  if (!path || !count || !names) return -1;
  NamesMark mark(names, count);
  int counter = 0;
  // Only the lines the record reader takes, so that both readers agree.
  const int r = walkLegacyFile(path, [&](int type, const char *line, int) {
    KIVGP_GP *gp = KIVGPPrivate_GP_Create();
    KIVGPPrivate_GP_AllocateMembers(gp);
    const bool whole = readLegacyLine(sectionOf(type), line, gp, &counter) == 0;
    const int c = whole ? KIVGPPrivate_StringList_Append(names, *count, gp->name) : *count;
    KIVGPPrivate_GP_Destroy(&gp);
    if (c < 0) MemoryError("KIVGPPrivate_IO_ReadGPNamesFromLegacyFile");
    *count = c;
  });
  return mark.settle(r);
}

namespace {

// Whether a field can stand as one word of a line, and why not.
const char *wordProblem(const std::string &s) {
  if (s.empty()) return "is empty";
  for (char c : s)
    if (isWhite(c)) return "holds white space";
  return nullptr;
}

// The line of a record (texts as the file holds them), or a reason in
// *problem; nothing is written for a record that would not read back.
bool legacyLine(const KIVGP_GP *gp, std::string &line, std::string &problem) {
  if (gp->type < KIVGP_TYPE_REAL || gp->type > KIVGP_TYPE_TEXT) {
    problem = "its type is unknown";
    return false;
  }
  const Section &sec = sectionOf(gp->type);
  static constexpr const char *kLabels[] = {"name", "title", "value", "minimum", "maximum",
                                            "default", "unit"};
  static constexpr const char *kTextLabels[] = {"name", "title", "value", "default"};
  line.clear();
  for (size_t i = 0; i < sec.n; ++i) {
    const Member m = sec.fields[i];
    const char *text = gp->*m ? gp->*m : "";
    std::string field;
    if (m == &KIVGP_GP::title) {
      // An empty field would merge with its neighbours' blanks and shift
      // every later field: no title is written as one blank.
      field = *text ? text : " ";
      for (char &c : field)
        if (c == ' ') c = '_';
    } else if (m == &KIVGP_GP::name || m == &KIVGP_GP::unit) {
      field = text;
    } else {
      for (const char *p = text; *p; ++p)
        if (*p != ' ') field.push_back(*p);
    }
    if (const char *why = wordProblem(field)) {
      problem = std::string("its ") + (sec.type == KIVGP_TYPE_TEXT ? kTextLabels[i] : kLabels[i]) + " " + why;
      return false;
    }
    if (i > 0) line += ' ';
    line += field;
  }
  for (auto [key, text] : {std::pair{kScopeKey, gp->circuit_scope_id}, std::pair{kPathKey, gp->data_path}}) {
    line += ' ';
    if (!present(text)) continue;
    if (wordProblem(text)) {
      problem = std::string("its ") + (key == kScopeKey ? "scope id" : "data path") + " holds white space";
      return false;
    }
    line.append(key);
    line += text;
  }
  for (const char *marker : {"integer parameters", "real parameters", "text parameters"})
    if (line.find(marker) != std::string::npos) {
      problem = "its line would read as a section line";
      return false;
    }
  line += '\n';
  return true;
}

// The file's copy of a record: Latin-1 texts, no evaluation order.
KIVGP_GP *fileCopy(const KIVGP_GP *gp) {
  KIVGP_GP *copy = KIVGPPrivate_GP_Create();
  KIVGPPrivate_GP_Copy(gp, copy);
  copy->eval_order = -1;
  KIVGPPrivate_GP_ConvertFromUTF8ToLatin1(copy);
  return copy;
}

int writeLegacyRecord(FILE *file, const KIVGP_GP *gp, int type) {
  if (!file || !gp || gp->type != type) return -1;
  std::string line, problem;
  if (!legacyLine(gp, line, problem)) return -1;
  return std::fputs(line.c_str(), file) >= 0 ? 0 : -1;
}

// Every record of the list checked before any file is touched.
bool legacyWritable(const KIVGP_GPList *list, const char *path) {
  for (unsigned i = 0; i < list->count; ++i) {
    if (!list->items[i]) continue;
    OwnedRecords copy;
    copy.v.push_back(fileCopy(list->items[i]));
    std::string line, problem;
    if (!legacyLine(copy.v[0], line, problem)) {
      kivfprintf(stderr, "Cannot write global parameter '%s' to %s: %s\n",
                 list->items[i]->name ? list->items[i]->name : "", path, problem.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int KIVGPPrivate_IO_WriteIntGPToLegacyFile(FILE *file, const KIVGP_GP *gp) {
  return writeLegacyRecord(file, gp, KIVGP_TYPE_INT);
}
int KIVGPPrivate_IO_WriteRealGPToLegacyFile(FILE *file, const KIVGP_GP *gp) {
  return writeLegacyRecord(file, gp, KIVGP_TYPE_REAL);
}
int KIVGPPrivate_IO_WriteTextGPToLegacyFile(FILE *file, const KIVGP_GP *gp) {
  return writeLegacyRecord(file, gp, KIVGP_TYPE_TEXT);
}

int KIVGPPrivate_IO_WriteGPsToLegacyFile(const char *path, const KIVGP_GPList *list) {
  if (!path || !list || !legacyWritable(list, path)) return -1;
  std::string sections[3];
  for (unsigned i = 0; i < list->count; ++i) {
    if (!list->items[i]) continue;
    OwnedRecords copy;
    copy.v.push_back(fileCopy(list->items[i]));
    std::string line, problem;
    legacyLine(copy.v[0], line, problem);
    const int t = copy.v[0]->type;
    sections[t == KIVGP_TYPE_INT ? 0 : t == KIVGP_TYPE_REAL ? 1 : 2] += line;
  }
  const std::string content = "# integer parameters\n" + sections[0] + "# real parameters\n" +
                              sections[1] + "# text parameters\n" + sections[2];
  if (!writeWhole(path, content)) {
    kivfprintf(stderr, "Cannot write global parameter file %s\n", path);
    return -1;
  }
  return 0;
}

int KIVGPPrivate_IO_WriteGPsToLegacyFiles(const char *name, const char *dir, const char *ext,
                                          const KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path gp(name, dir, ".gp", ext), gp2(name, dir, ".gp2", ext);
  if (!legacyWritable(list, gp.p)) return -1;
  KIVGP_GPList model{}, sc{};
  std::vector<KIVGP_GP *> m, s;
  for (unsigned i = 0; i < list->count; ++i)
    if (KIVGP_GP *r = list->items[i]) (KIVGPPrivate_GP_IsLocalToSC(r) == 1 ? s : m).push_back(r);
  model.items = m.data();
  model.count = static_cast<unsigned>(m.size());
  sc.items = s.data();
  sc.count = static_cast<unsigned>(s.size());
  const int r = KIVGPPrivate_IO_WriteGPsToLegacyFile(gp.p, &model);
  return r != 0 ? r : KIVGPPrivate_IO_WriteGPsToLegacyFile(gp2.p, &sc);
}

// Table file headers: format codes, the "#" header parser, opening a table
// file by name, and the unit conversion of a freshly read array.
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/cstring.hpp"
#include "runtime/textfile.hpp"
#include "tables/kiv_units.h"
#include "tables/rtable.hpp"

using namespace kiv::tables;

namespace {

// Dimension of the format codes 0..11.
constexpr int kDims[12] = {1, 2, 3, 4, 5, 6, 7, 8, 2, 2, 0, 3};

constexpr size_t kMaxNameLength = 512;

struct FormatName {
  const char *name;
  int code;
};
// Prefix order of the format word.
constexpr FormatName kFormatWords[] = {
    {"1D", 0},  {"2D", 1},  {"3D", 2},  {"4D", 3},  {"5D", 4},  {"6D", 5},  {"7D", 6},
    {"8D", 7},  {"T1D", 8}, {"0D", 10}, {"T3D", 11}, {"XY", 9}, {"MULTILINES", 13},
    {"RSM", 14},
};

bool isWs(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

void skipWs(const char *&p) {
  while (*p && isWs(*p)) ++p;
}

bool literal(const char *&p, std::string_view s) {
  if (std::strncmp(p, s.data(), s.size()) != 0) return false;
  p += s.size();
  return true;
}

std::string word(const char *&p) {
  const char *b = p;
  while (*p && !isWs(*p)) ++p;
  return std::string(b, p);
}

// An integer as "%d" reads it (leading white space, a sign, digits); values
// past the int range are clamped so that range checks refuse them.
bool integer(const char *&p, long long *v) {
  const char *q = p;
  skipWs(q);
  bool neg = false;
  if (*q == '+' || *q == '-') neg = (*q++ == '-');
  if (*q < '0' || *q > '9') return false;
  long long r = 0;
  for (; *q >= '0' && *q <= '9'; ++q)
    if (r < 100000000000LL) r = r * 10 + (*q - '0');
  *v = neg ? -r : r;
  p = q;
  return true;
}

// "# %d": the count of a rows or columns line, -1 when unreadable.
int hashCount(const char *line) {
  const char *p = line;
  long long v = 0;
  if (!literal(p, "#") || !integer(p, &v) || v < INT_MIN || v > INT_MAX) return -1;
  return static_cast<int>(v);
}

// Matches "# axis%d": the line names an axis index.
bool namesAxis(const char *line) {
  const char *p = line;
  long long v = 0;
  if (!literal(p, "#")) return false;
  skipWs(p);
  return literal(p, "axis") && integer(p, &v);
}

// "# %s = %s": a key word and a value word.
bool keyValue(const char *line, std::string *key, std::string *value) {
  const char *p = line;
  if (!literal(p, "#")) return false;
  skipWs(p);
  *key = word(p);
  skipWs(p);
  if (key->empty() || !literal(p, "=")) return false;
  skipWs(p);
  *value = word(p);
  return !value->empty();
}

// A key "axis<k><suffix>" and its index.
bool axisKey(const std::string &key, std::string_view suffix, long long *k) {
  const char *p = key.c_str();
  if (!literal(p, "axis") || *p == ' ' || !integer(p, k)) return false;
  return std::string_view(p) == suffix;
}

int clampIndex(long long k) {
  if (k > INT_MAX) return INT_MAX;
  if (k < INT_MIN) return INT_MIN;
  return static_cast<int>(k);
}

void ensureSize(char ***list, int *n, int need) {
  if (*n < need) ResizeTheList(list, n, need);
}

void storeText(char **list, int slot, const std::string &text) {
  std::free(list[slot]);
  list[slot] = kiv::dupText(text, "ResizeTheList");
}

// A "#" line that sets a unit.  false on a header error.
bool unitLine(TableHeader *h, int dim, const char *line) {
  if (dim < 0) {
    kivfprintf(stderr, "\nTrying to extract unit data with undefined table format.\n");
    return false;
  }
  const bool xy = h->format == KIV_TABLE_XY;
  if (!xy && !h->units) ResizeTheList(&h->units, &h->nunits, dim + 2);
  std::string key, value;
  if (!keyValue(line, &key, &value)) return true;
  long long k = 0;
  if (key == "table_unit") {
    if (xy) return true;
    ensureSize(&h->units, &h->nunits, 1);
    storeText(h->units, 0, value);
    return true;
  }
  if (!axisKey(key, "_unit", &k)) return true;
  const long long limit = xy ? kMaxHeaderColumns : dim;
  if (k < 1 || k > limit) {
    kivfprintf(stderr, "\nTrying to set axis %d unit on table having only %d axes.\n",
               clampIndex(k), (xy && k > limit) ? kMaxHeaderColumns : dim);
    return false;
  }
  const int slot = xy ? static_cast<int>(k) - 1 : static_cast<int>(k);
  ensureSize(&h->units, &h->nunits, slot + 1);
  storeText(h->units, slot, value);
  return true;
}

// A "#" line that names an axis token.  false on a header error.
bool tokenLine(TableHeader *h, int dim, const char *line) {
  if (dim < 0) {
    kivfprintf(stderr, "\nTrying to extract token data with undefined table format.\n");
    return false;
  }
  const bool xy = h->format == KIV_TABLE_XY;
  if (!xy && !h->tokens) ResizeTheList(&h->tokens, &h->ntokens, dim + 1);
  std::string key, value;
  long long k = 0;
  if (!keyValue(line, &key, &value) || !axisKey(key, "_token", &k)) return true;
  const long long limit = xy ? kMaxHeaderColumns : dim + 1;
  if (k < 1 || k > limit) {
    kivfprintf(stderr, "\nTrying to set axis %d token on table having only %d axes.\n",
               clampIndex(k), (xy && k > limit) ? kMaxHeaderColumns : dim);
    return false;
  }
  ensureSize(&h->tokens, &h->ntokens, static_cast<int>(k));
  storeText(h->tokens, static_cast<int>(k) - 1, value);
  return true;
}

bool contains(const char *line, const char *part) { return std::strstr(line, part) != nullptr; }

// The header (or first) lines of a file with no format: the older
// response-surface text names its type in one of its first ten lines.
bool looksLikeOldRsm(FILE *fp) {
  kiv::rewindText(fp);
  char buf[2048];
  for (int i = 0; i < 10 && std::fgets(buf, sizeof buf, fp); ++i)
    if (std::strstr(buf, "Type of RSM:")) return true;
  return false;
}

// The name's file opened by open(path, status): "\\" read as "/",
// references expanded, and the run's working directory tried when the name
// as given does not open.
template <class Open>
FILE *openByName(const char *name, Open &&open) {
  if (std::strlen(name) > kMaxNameLength) {
    kivfprintf(stderr, "\nFilename '%s' is too long\n(exceeds %d characters).\n", name,
               static_cast<int>(kMaxNameLength));
    return nullptr;
  }
  std::string copy(name);
  for (char &c : copy)
    if (c == '\\') c = '/';
  const std::unique_ptr<char, decltype(&std::free)> raw(kivReplaceEnvVariablesInFilepath(copy.c_str()),
                                                        &std::free);
  const std::string expanded(raw ? raw.get() : copy.c_str());
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  FILE *fp = open(expanded.c_str(), &status);
  if (status == kiv::TextStatus::kNotOpened && expanded == copy) {
    const char *wd = GetWorkingDirectory();
    if (wd && *wd) fp = open((std::string(wd) + "/" + copy).c_str(), &status);
  }
  return fp;
}

void sayNotOpened(const char *name) { kivfprintf(stderr, "\nImpossible to open file '%s'.\n", name); }

}  // namespace

namespace kiv::tables {

FILE *openTable(const char *name, kiv::TextStatus *status, kiv::TextUse use) {
  kiv::TextStatus ignored = kiv::TextStatus::kNotOpened;
  if (!status) status = &ignored;
  *status = kiv::TextStatus::kNotOpened;
  if (!name) return nullptr;
  return openByName(name, [status, use](const char *path, kiv::TextStatus *got) {
    FILE *fp = kiv::openText(path, got, use);
    *status = *got;
    return fp;
  });
}

int formatOfDim(int dim) { return dim < 1 || dim > 8 ? -1 : dim - 1; }

int dimOfFormat(int code) {
  const unsigned c = static_cast<unsigned>(code);
  return c < 12 ? kDims[c] : 1;
}

}  // namespace kiv::tables

extern "C" {

TableHeader *_prt1(void) {
  auto *h = static_cast<TableHeader *>(std::calloc(1, sizeof(TableHeader)));
  if (!h) MemoryError("_prt1");
  h->format = -1;
  h->rows = -1;
  h->columns = -1;
  h->verbose = 1;
  return h;
}

void _prt2(TableHeader *header) {
  if (!header) return;
  freeTexts(header->units, header->nunits);
  freeTexts(header->tokens, header->ntokens);
  std::free(header->line);
  std::free(header);
}

void ResizeTheList(char ***list, int *count, int newcount) {
  if (!list || !count) return;
  if (newcount < 0) newcount = 0;
  const int old = *list ? *count : 0;
  for (int i = newcount; i < old; ++i) std::free((*list)[i]);
  if (newcount == 0) {
    std::free(*list);
    *list = nullptr;
    *count = 0;
    return;
  }
  auto *p = static_cast<char **>(std::realloc(*list, static_cast<size_t>(newcount) * sizeof(char *)));
  if (!p) MemoryError("ResizeTheList");
  for (int i = old; i < newcount; ++i) p[i] = nullptr;
  *list = p;
  *count = newcount;
}

int _prt14(FILE *fp, TableHeader *header) {
  if (!fp || !header) return 0;
  int cap = static_cast<int>(header->lineCapacity > INT_MAX ? INT_MAX : header->lineCapacity);
  if (!header->line) cap = 0;
  const char *l = kivfgetsclean(fp, &header->line, &cap, 1);
  header->lineCapacity = cap;
  return l ? 1 : 0;
}

int _prt11(FILE *fp, double *values, int nvalues, int *ints, int nints, TableHeader *) {
  return GetValues(fp, values, nvalues, ints, nints, nullptr);
}

int _prt5(FILE *fp, TableHeader *h) {
  if (!fp || !h) return 0;
  // A stream the caller opened: its first line may carry a byte-order mark.
  if (std::ftell(fp) == 0) kiv::skipByteOrderMark(fp);
  int dim = -1;
  for (;;) {
    const long at = std::ftell(fp);
    if (!_prt14(fp, h)) break;
    const char *line = h->line;
    if (line[0] != '#') {
      // The first data line is read again by the reader.
      if (at >= 0) std::fseek(fp, at, SEEK_SET);
      break;
    }
    if (contains(line, "# Table format:") || contains(line, "#Table format:")) {
      h->format = ExtractFormatFromString(line);
      dim = h->format < 0 ? -1 : kiv::tables::dimOfFormat(h->format);
    } else if (contains(line, "rows")) {
      h->rows = hashCount(line);
    } else if (contains(line, "columns")) {
      h->columns = hashCount(line);
    } else if (std::strncmp(line, "# table_unit = ", 15) == 0 ||
               (contains(line, "_unit") && namesAxis(line))) {
      if (!unitLine(h, dim, line)) return 0;
    } else if (contains(line, "_token") && namesAxis(line)) {
      if (!tokenLine(h, dim, line)) return 0;
    }
  }
  if (h->line) h->line[0] = '\0';
  return 1;
}

TableFormat ExtractFormatFromString(const char *line) {
  if (!line) return -1;
  const char *p = line;
  if (!literal(p, "#")) return -1;
  skipWs(p);
  if (!literal(p, "Table")) return -1;
  skipWs(p);
  if (!literal(p, "format:")) return -1;
  skipWs(p);
  const std::string w = word(p);
  if (w.empty()) return -1;
  for (const auto &f : kFormatWords)
    if (w.compare(0, std::strlen(f.name), f.name) == 0) return f.code;
  return -1;
}

int _prt7(char *text, int code) {
  const char *name = "unknown";
  for (const auto &f : kFormatWords)
    if (f.code == code && code != KIV_TABLE_RSM) name = f.name;
  if (text) std::strcpy(text, name);
  return std::strcmp(name, "unknown") != 0 ? 1 : 0;
}

int _prt8(const char *file, int expected, int found) {
  char want[16], got[16];
  _prt7(want, expected);
  _prt7(got, found);
  kivfprintf(stderr, "\nThe file '%s' seems to be a '%s' table whereas '%s' is expected.\n",
             file ? file : "", got, want);
  return 0;
}

int DimToTableFormat_(int *dim) { return dim ? kiv::tables::formatOfDim(*dim) : -1; }

int TableFormatToDim_(int *code) { return code ? kiv::tables::dimOfFormat(*code) : 1; }

FILE *CommonFopen(const char *name, const char *mode) {
  if (!name || !mode) return nullptr;
  if (std::strcmp(mode, "r") == 0) return kiv::tables::openTable(name, nullptr);
  return openByName(name, [mode](const char *path, kiv::TextStatus *status) {
    FILE *fp = std::fopen(path, mode);
    *status = fp ? kiv::TextStatus::kRead : kiv::TextStatus::kNotOpened;
    if (fp && mode[0] == 'r' && !std::strpbrk(mode, "+b")) kiv::skipByteOrderMark(fp);
    return fp;
  });
}

TableFormat GetTableFormat(const char *name) {
  // Callers take -2 as said already: no name is said as an empty one.
  if (!name) {
    sayNotOpened("");
    return KIV_TABLE_NOT_FOUND;
  }
  int held = -2;
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  if (File fp{openTable(name, &status, kiv::TextUse::kQuery)}) {
    Header h = newHeader();
    if (!_prt5(fp.get(), h.get())) {
      kivfprintf(stderr, "\nCheck header of file '%s'.\n", name);
      return -1;
    }
    if (kiv::readFailed(fp.get())) return KIV_TABLE_NOT_FOUND;  // said
    if (h->format >= 0) return h->format;
    const bool oldRsm = looksLikeOldRsm(fp.get());
    if (kiv::readFailed(fp.get())) return KIV_TABLE_NOT_FOUND;
    if (oldRsm) return KIV_TABLE_OLD_RSM;
    held = -1;
  } else if (status == kiv::TextStatus::kReadFailed) {
    return KIV_TABLE_NOT_FOUND;  // said
  }
  int dim = 0;
  std::string first;
  if (hasT1D(name, KIV_TABLE_BY_CALLER))
    held = KIV_TABLE_T1D;
  else if (hasT3D(name, KIV_TABLE_BY_CALLER))
    held = KIV_TABLE_T3D;
  else if (has0D(name, KIV_TABLE_BY_CALLER))
    held = KIV_TABLE_0D;
  else if (hasXY(name, KIV_TABLE_BY_CALLER))
    held = KIV_TABLE_XY;
  else if (hasND(name, KIV_TABLE_BY_CALLER, &dim))
    held = kiv::tables::formatOfDim(dim);
  else if (hasLines(name, KIV_TABLE_BY_CALLER))
    // An empty list has no format line.
    held = firstStoredLine(name, KIV_TABLE_BY_CALLER, &first) ? ExtractFormatFromString(first.c_str()) : -1;
  if (held == -2) sayNotOpened(name);
  return held;
}

int kiv_get_table_tokens(const char *name, char ***tokens, int *ntokens) {
  if (tokens) *tokens = nullptr;
  if (ntokens) *ntokens = 0;
  if (!name) {
    sayNotOpened("");
    return 0;
  }
  if (hasND(name, KIV_TABLE_BY_READER, nullptr) || hasXY(name, KIV_TABLE_BY_READER) ||
      hasT1D(name, KIV_TABLE_BY_READER) || hasT3D(name, KIV_TABLE_BY_READER))
    return kiv_get_table_tokens_from_memory(name, tokens, ntokens, KIV_TABLE_BY_READER);
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  if (File fp{openTable(name, &status, kiv::TextUse::kQuery)}) {
    Header h = newHeader();
    if (!_prt5(fp.get(), h.get())) {
      kivfprintf(stderr, "\nCheck header of file '%s'.\n", name);
      return 0;
    }
    if (kiv::readFailed(fp.get())) return 0;
    const Texts t = textsFromHeader(h->tokens, h->ntokens, h->ntokens);
    if (tokens) *tokens = mallocTexts(t, "CopyStringList failed to malloc memory");
    if (ntokens) *ntokens = (tokens && *tokens) ? h->ntokens : 0;
    return 1;
  }
  if (status == kiv::TextStatus::kReadFailed) return 0;
  if (kiv_get_table_tokens_from_memory(name, tokens, ntokens, KIV_TABLE_BY_CALLER)) return 1;
  sayNotOpened(name);
  return 0;
}

int _prt4(const char *from, const char *to, double *values, int n, const char *label,
          int verbose) {
  if (!from || !to || !*from || !*to || n == 0) return 0;
  if (n < 0) {
    kivfprintf(stderr, "\nNegative array size.\n");
    return -1;
  }
  // A difference of values takes the factor only; the caller's text is left
  // as it is.
  std::string target(to);
  const size_t cut = target.find(" is_difference");
  const bool difference = cut != std::string::npos;
  if (difference) target.erase(cut);
  if (target.empty() || target == from || target == "null" || std::strcmp(from, "null") == 0)
    return 0;
  double a = 1.0, b = 0.0;
  if (!GetConvFactFromU1toU2(from, target.c_str(), &a, &b)) {
    if (label)
      kivfprintf(stderr, "\nUnable to convert %s values from '%s' to '%s'\n", label, from,
                 target.c_str());
    else
      kivfprintf(stderr, "\nUnable to convert values from '%s' to '%s'\n", from, target.c_str());
    return -1;
  }
  if (a == 1.0 && b == 0.0) return 0;
  if (!values) return 0;
  for (int i = 0; i < n; ++i) values[i] = difference ? values[i] * a : values[i] * a + b;
  if (verbose) {
    if (label)
      kivfprintf(stdout, "\nConverted %s values from '%s' to '%s'\n", label, from, target.c_str());
    else
      kivfprintf(stdout, "\nConverted values from '%s' to '%s'\n", from, target.c_str());
  }
  return 1;
}

}  // extern "C"

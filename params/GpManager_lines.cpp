// The line-oriented global-parameter files (".gp", ".gp2").
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
using kiv::gp::FileOwner;
using kiv::gp::NamesMark;
using kiv::gp::Path;
using kiv::gp::present;
using kiv::gp::textFields;
using kiv::gp::validArgs;
using kiv::gp::writeWhole;

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
  if (!f.openToRead(path)) return -1;
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
  // A new record with its members, held from the moment it is made.
  KIVGP_GP *add() {
    v.push_back(nullptr);
    v.back() = KIVGPPrivate_GP_Create();
    KIVGPPrivate_GP_AllocateMembers(v.back());
    return v.back();
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
    KIVGP_GP *gp = got.add();
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
    OwnedRecords one;
    KIVGP_GP *gp = one.add();
    const bool whole = readLegacyLine(sectionOf(type), line, gp, &counter) == 0;
    const int c = whole ? KIVGPPrivate_StringList_Append(names, *count, gp->name) : *count;
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
  return writeWhole(path, content) ? 0 : -1;
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

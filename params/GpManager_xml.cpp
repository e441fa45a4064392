// The XML global-parameter file: reading, names-only reading and writing.
#include "params/GpManager_private.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/atomicfile.hpp"
#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
namespace kiv::gp {

bool writeWhole(const std::string &path, const std::string &content) {
  kiv::OutputFile file(path);
  if (FILE *fp = file.open()) {
    // A short write leaves the stream's error state, which the close reports.
    (void)std::fwrite(content.data(), 1, content.size(), fp);
    if (file.close()) return true;
  }
  kivfprintf(stderr, "Cannot write global parameter file %s: %s\n", path.c_str(), std::strerror(file.error()));
  return false;
}

}  // namespace kiv::gp

using kiv::gp::dup;
using kiv::gp::FileOwner;
using kiv::gp::Path;
using kiv::gp::present;
using kiv::gp::setText;
using kiv::gp::validArgs;
using kiv::gp::writeWhole;

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
      // The reader holds the record until a list does.
      KIVGP_GP *gp = r->current;
      if (!present(gp->name)) {
        kivfprintf(stderr, "PARAMETER without VARNAME ignored at line %lu\n", r->line());
        KIVGPPrivate_GP_Destroy(&r->current);
      } else {
        KIVGPPrivate_GPList_Append(KIVGPPrivate_GP_IsLocalToSC(gp) == 1 ? r->sc : r->model, gp);
        r->current = nullptr;
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

// Each record leaves `from` only once `to` holds it.
void moveRecords(KIVGP_GPList *from, KIVGP_GPList *to, bool keep) {
  for (unsigned i = 0; keep && i < from->count; ++i) {
    KIVGPPrivate_GPList_Append(to, from->items[i]);
    from->items[i] = nullptr;
  }
}

int readXmlRecords(const char *path, KIVGP_GPList *list, bool keep_model, bool keep_sc) {
  if (!path || !list) return -1;
  FileOwner f;
  if (!f.openToRead(path)) return -1;
  // What the parser hands over is freed with the records left in it.
  kiv::gp::RecordList model, sc;
  if (XML_C_Parser_GPList(f.fp, &model.list, &sc.list) != 0) return -1;
  const bool closed = f.close();
  moveRecords(model.list, list, closed && keep_model);
  moveRecords(sc.list, list, closed && keep_sc);
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
  if (!f.openToRead(path)) return -1;
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
  return writeWhole(path.p, kiv::gp::xmlDocument(list)) ? 0 : -1;
}

// The work behind the KIVGP_ functions: records, lists, encodings, and the
// XML and line-oriented global-parameter files.
#pragma once

#include <expat.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "params/kiv_globalparams.h"

// ---- Records ----------------------------------------------------------------

KIVGP_GP *KIVGPPrivate_GP_Create();
KIVGP_GP *KIVGPPrivate_GP_CreateReal(const char *name, const char *title, const char *value,
                                     const char *unit, const char *min_value,
                                     const char *max_value, const char *default_value,
                                     const char *scope_id, const char *data_path);
KIVGP_GP *KIVGPPrivate_GP_CreateInt(const char *name, const char *title, const char *value,
                                    const char *min_value, const char *max_value,
                                    const char *default_value, const char *scope_id,
                                    const char *data_path);
KIVGP_GP *KIVGPPrivate_GP_CreateText(const char *name, const char *title, const char *value,
                                     const char *default_value, const char *scope_id,
                                     const char *data_path);
void KIVGPPrivate_GP_Destroy(KIVGP_GP **gp);
int KIVGPPrivate_GP_Copy(const KIVGP_GP *source, KIVGP_GP *destination);
void KIVGPPrivate_GP_DeallocateMembers(KIVGP_GP *gp);
int KIVGPPrivate_GP_AllocateMembers(KIVGP_GP *gp);
int KIVGPPrivate_GP_ConvertFromUTF8ToLatin1(KIVGP_GP *gp);
int KIVGPPrivate_GP_ConvertFromLatin1ToUTF8(KIVGP_GP *gp);

int KIVGPPrivate_GP_GetName(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_GetTitle(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_GetValue(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_SetValue(KIVGP_GP *gp, const char *value);
int KIVGPPrivate_GP_GetUnit(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_SetUnit(KIVGP_GP *gp, const char *unit);
int KIVGPPrivate_GP_GetMinValue(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_GetMaxValue(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_SetMinValue(KIVGP_GP *gp, const char *value);
int KIVGPPrivate_GP_SetMaxValue(KIVGP_GP *gp, const char *value);
int KIVGPPrivate_GP_GetDefaultValue(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_GetCircuitScopeId(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_GetDataPath(const KIVGP_GP *gp, char **out);
int KIVGPPrivate_GP_GetType(const KIVGP_GP *gp, int *type);
int KIVGPPrivate_GP_GetEvalOrder(const KIVGP_GP *gp, int *order);
int KIVGPPrivate_GP_SetEvalOrder(KIVGP_GP *gp, int order);
int KIVGPPrivate_GP_IsEnum(const KIVGP_GP *gp);
int KIVGPPrivate_GP_GetEnum(const KIVGP_GP *gp, KIVGP_StringList *strings, unsigned int *count);
int KIVGPPrivate_GP_SetEnum(KIVGP_GP *gp, char *const *strings, unsigned int count);
int KIVGPPrivate_GP_IsLocalToSC(const KIVGP_GP *gp);

// ---- Strings and string lists ----------------------------------------------

void KIVGPPrivate_String_Free(char **text);
int KIVGPPrivate_String_ConvertFromUTF8ToLatin1(char **out, const char *text);
int KIVGPPrivate_String_ConvertFromLatin1ToUTF8(char **out, const char *text);
int KIVGPPrivate_String_RemoveSpace(const char *text, char **out);
int KIVGPPrivate_String_SubstituteChars(char *text, char from, char to);
int KIVGPPrivate_String_ReplaceChar(char **out, const char *text, char c, const char *replacement);
int KIVGPPrivate_String_EscapeForXML(const char *text, char **out);
int KIVGPPrivate_String_ToDouble(const char *text, double *out);
int KIVGPPrivate_String_ToInt(const char *text, int *out);
int KIVGPPrivate_String_ToUnsignedLong(const char *text, unsigned long *out);

void KIVGPPrivate_StringList_Free(KIVGP_StringList *list, int count);
int KIVGPPrivate_StringList_Append(KIVGP_StringList *list, int count, const char *text);
int KIVGPPrivate_StringList_Copy(KIVGP_StringList *out, const KIVGP_StringList list, int count);

// ---- Lists -------------------------------------------------------------------

KIVGP_GPList *KIVGPPrivate_GPList_Create();
void KIVGPPrivate_GPList_Destroy(KIVGP_GPList **list);
int KIVGPPrivate_GPList_Append(KIVGP_GPList *list, KIVGP_GP *gp);
int KIVGPPrivate_GPList_Remove(KIVGP_GPList *list, const char *name);
int KIVGPPrivate_GPList_GetSize(const KIVGP_GPList *list, unsigned int *count);
int KIVGPPrivate_GPList_GetAt(const KIVGP_GPList *list, unsigned int index, KIVGP_GP **gp);
int KIVGPPrivate_GPList_Concatenate(KIVGP_GPList *out, const KIVGP_GPList *first,
                                    const KIVGP_GPList *second);
void KIVGPPrivate_Algo_DestroyGPs(KIVGP_GP **gps, unsigned int count);
void KIVGPPrivate_Algo_DestroyGPListItems(KIVGP_GPList *list);

// ---- Files -------------------------------------------------------------------

int KIVGPPrivate_IO_OpenFile(const char *path, const char *mode, FILE **file);
int KIVGPPrivate_IO_CloseFile(FILE **file);
int KIVGPPrivate_IO_IsFileOpen(FILE *const *file);
int KIVGPPrivate_IO_DoesFileExist(const char *path);
// A new malloc'd path dir/name_<kind><ext>, or NULL for an absent argument.
char *KIVGPPrivate_IO_ComputeFilePath(const char *name, const char *dir, const char *kind,
                                      const char *ext);

int KIVGPPrivate_IO_ReadGPs(const char *name, const char *dir, const char *ext, KIVGP_GPList *list);
int KIVGPPrivate_IO_ReadModelGPs(const char *name, const char *dir, const char *ext,
                                 KIVGP_GPList *list);
int KIVGPPrivate_IO_ReadSCGPs(const char *name, const char *dir, const char *ext,
                              KIVGP_GPList *list);
int KIVGPPrivate_IO_ReadGPNames(const char *name, const char *dir, const char *ext,
                                KIVGP_StringList *names, int *count);
int KIVGPPrivate_IO_ReadModelGPNames(const char *name, const char *dir, const char *ext,
                                     KIVGP_StringList *names, int *count);
int KIVGPPrivate_IO_ReadSCGPNames(const char *name, const char *dir, const char *ext,
                                  KIVGP_StringList *names, int *count);
int KIVGPPrivate_IO_ReadGPsFromFile(const char *path, KIVGP_GPList *list);
int KIVGPPrivate_IO_WriteGPs(const char *name, const char *dir, const char *ext,
                             const KIVGP_GPList *list);
int KIVGPPrivate_IO_ConvertLegacyFileToXML(const char *name, const char *dir,
                                           const char *output_name, const char *output_dir,
                                           const char *ext);

// XML file.
int XML_C_Parser_GPList(FILE *file, KIVGP_GPList **model, KIVGP_GPList **sc);
int XML_C_Parser_GPNameList(FILE *file, int *model_count, KIVGP_StringList *model_names,
                            int *sc_count, KIVGP_StringList *sc_names);
void XMLCALL XML_C_Parser_GPList_StartElement(void *data, const XML_Char *element,
                                              const XML_Char **attributes);
void XMLCALL XML_C_Parser_GPList_EndElement(void *data, const XML_Char *element);
void XMLCALL XML_C_Parser_GPList_Characters(void *data, const XML_Char *text, int length);
void XMLCALL XML_C_Parser_GPName_StartElement(void *data, const XML_Char *element,
                                              const XML_Char **attributes);
void XMLCALL XML_C_Parser_GPName_EndElement(void *data, const XML_Char *element);
void XMLCALL XML_C_Parser_GPName_Characters(void *data, const XML_Char *text, int length);
int KIVGPPrivate_IO_ReadGPsFromXmlFile(const char *path, KIVGP_GPList *list);
int KIVGPPrivate_IO_ReadModelGPsFromXmlFile(const char *path, KIVGP_GPList *list);
int KIVGPPrivate_IO_ReadSCGPsFromXmlFile(const char *path, KIVGP_GPList *list);
int KIVGPPrivate_IO_ReadGPNamesFromXmlFile(const char *path, int *count, KIVGP_StringList *names);
int KIVGPPrivate_IO_ReadModelGPNamesFromXmlFile(const char *path, int *count,
                                                KIVGP_StringList *names);
int KIVGPPrivate_IO_ReadSCGPNamesFromXmlFile(const char *path, int *count,
                                             KIVGP_StringList *names);
int KIVGPPrivate_IO_WriteGPsToXML(const char *name, const char *dir, const char *ext,
                                  const KIVGP_GPList *list);
int XML_C_WriteGPElement(FILE *file, const char *element, const char *text,
                         const char *indentation);

// Line-oriented files.
int KIVGPPrivate_IO_ReadGPsFromLegacyFile(const char *path, KIVGP_GPList *list);
int KIVGPPrivate_IO_ReadGPsFromLegacyFiles(const char *name, const char *dir, const char *ext,
                                           KIVGP_GPList *list);
int KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(const char *path, int *count,
                                              KIVGP_StringList *names);
int KIVGPPrivate_IO_ReadIntGPFromLegacyLine(const char *line, KIVGP_GP *gp, int *counter);
int KIVGPPrivate_IO_ReadRealGPFromLegacyLine(const char *line, KIVGP_GP *gp, int *counter);
int KIVGPPrivate_IO_ReadTextGPFromLegacyLine(const char *line, KIVGP_GP *gp, int *counter);
int KIVGPPrivate_IO_WriteGPsToLegacyFile(const char *path, const KIVGP_GPList *list);
int KIVGPPrivate_IO_WriteIntGPToLegacyFile(FILE *file, const KIVGP_GP *gp);
int KIVGPPrivate_IO_WriteRealGPToLegacyFile(FILE *file, const KIVGP_GP *gp);
int KIVGPPrivate_IO_WriteTextGPToLegacyFile(FILE *file, const KIVGP_GP *gp);
int KIVGPPrivate_IO_WriteGPsToLegacyFiles(const char *name, const char *dir, const char *ext,
                                          const KIVGP_GPList *list);

namespace kiv::gp {

// A malloc'd copy (NULL stays NULL); MemoryError(label) when out of memory.
char *dup(const char *s, const char *label = "KIVGP");
// Replaces *field by a copy of s.
void setText(char **field, const char *s);

// The XML document of the present records of list, as the writer writes it.
std::string xmlDocument(const KIVGP_GPList *list);

bool present(const char *s);
// The nine text fields of a record, in record order.
std::array<char **, 9> textFields(KIVGP_GP *gp);
std::string utf8ToLatin1(std::string_view s);
std::string latin1ToUtf8(std::string_view s);
char **copyStrings(char *const *strings, unsigned count);
void freeStrings(char **strings, unsigned count);
// Writes a whole parameter file as the library's other writers do (a plain
// file is replaced once whole, a link or a pipe written in place); false
// after saying which file failed and why.
bool writeWhole(const std::string &path, const std::string &content);
inline bool validArgs(const char *name, const char *dir, const char *ext) {
  return name && dir && ext;
}

// Whether path names something (a file, a folder, a dangling link), or
// cannot be told absent.
bool namePresent(const char *path);

// A record list freed with the records it still holds however its user
// ends, an exit for want of storage included.  Null until given one.
struct RecordList {
  KIVGP_GPList *list = nullptr;
  RecordList() = default;
  explicit RecordList(KIVGP_GPList *made) : list(made) {}
  RecordList(const RecordList &) = delete;
  RecordList &operator=(const RecordList &) = delete;
  ~RecordList() {
    KIVGPPrivate_Algo_DestroyGPListItems(list);
    KIVGPPrivate_GPList_Destroy(&list);
  }
};

// A computed path that frees itself.
struct Path {
  Path(const char *name, const char *dir, const char *kind, const char *ext)
      : p(KIVGPPrivate_IO_ComputeFilePath(name, dir, kind, ext)) {}
  ~Path() { std::free(p); }
  Path(const Path &) = delete;
  Path &operator=(const Path &) = delete;
  // Whether its name is in the folder, whatever it holds: a file there that
  // does not read is a failure of its own, never one that is absent.
  bool present() const { return p && namePresent(p); }
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


// A file closed when the owner goes, unless closed before.
struct FileOwner {
  FILE *fp = nullptr;
  ~FileOwner() {
    if (fp) std::fclose(fp);
  }
  bool close() { return KIVGPPrivate_IO_CloseFile(&fp) == 1; }
  // Opens path as every reader does; false after a message naming it and
  // why when it is there and does not open or read.
  bool openToRead(const char *path);
};

}  // namespace kiv::gp

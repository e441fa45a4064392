/* Global parameters: the records and lists of the global-parameter files
 * (KIVGP_), the XML file and the older line-oriented ".gp"/".gp2" files, and
 * the global-parameter store of a system.
 *
 * Records hold UTF-8 texts; the line-oriented files and the store hold
 * Latin-1.  Every text handed out by a KIVGP_ getter is a new malloc'd copy
 * that the caller releases with KIVGP_String_Free.
 *
 * Results: record getters and setters 1 / -1; strings, lists and files
 * 0 / -1; the store 0 / -100 / -102 / -200. */
#ifndef KIV_GLOBALPARAMS_H
#define KIV_GLOBALPARAMS_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Records, lists and string lists ------------------------------------ */

enum { KIVGP_TYPE_UNKNOWN = 0, KIVGP_TYPE_REAL = 1, KIVGP_TYPE_INT = 2, KIVGP_TYPE_TEXT = 3 };

/* One global parameter.  Absent texts are NULL. */
typedef struct KIVGP_GP {
  int type; /* 0 unknown, 1 real, 2 integer, 3 text */
  char *name;
  char *title;
  char *value; /* a number, an expression or a text */
  char *unit;  /* real only */
  char *min_value;
  char *max_value;
  char *default_value;
  char *circuit_scope_id; /* "0" or empty for the model itself */
  char *data_path;
  int eval_order; /* -1 when not set */
  char **enum_strings; /* integer only */
  unsigned int enum_count;
} KIVGP_GP;

/* References to records: destroying a list does not destroy its records. */
typedef struct KIVGP_GPList {
  KIVGP_GP **items;
  unsigned int count;
} KIVGP_GPList;

/* An array of malloc'd texts; the caller keeps its count. */
typedef char **KIVGP_StringList;

/* A new record holding copies of the texts (NULL ones stay NULL), or NULL
 * for a NULL or empty name; release it with KIVGP_GP_Destroy. */
KIV_API KIVGP_GP *KIVGP_GP_CreateReal(const char *name, const char *title, const char *value,
                                      const char *unit, const char *min_value,
                                      const char *max_value, const char *default_value,
                                      const char *scope_id, const char *data_path);
KIV_API KIVGP_GP *KIVGP_GP_CreateInt(const char *name, const char *title, const char *value,
                                     const char *min_value, const char *max_value,
                                     const char *default_value, const char *scope_id,
                                     const char *data_path);
KIV_API KIVGP_GP *KIVGP_GP_CreateText(const char *name, const char *title, const char *value,
                                      const char *default_value, const char *scope_id,
                                      const char *data_path);
/* Frees the record and its texts and sets *gp to NULL. */
KIV_API void KIVGP_GP_Destroy(KIVGP_GP **gp);

/* Getters put a new copy of the field in *out (NULL for an absent field),
 * released with KIVGP_String_Free: 1, or -1 for a NULL record or output, an
 * output that already holds a text, a unit of a record that is not real, or
 * limits of a text record. */
KIV_API int KIVGP_GP_GetName(const KIVGP_GP *gp, char **out);
KIV_API int KIVGP_GP_GetTitle(const KIVGP_GP *gp, char **out);
KIV_API int KIVGP_GP_GetValue(const KIVGP_GP *gp, char **out);
/* Setters store a copy of the text: 1, or -1 for a NULL record (unit: real
 * records only; limits: real or integer records, and a non-NULL text). */
KIV_API int KIVGP_GP_SetValue(KIVGP_GP *gp, const char *value);
KIV_API int KIVGP_GP_GetUnit(const KIVGP_GP *gp, char **out);
KIV_API int KIVGP_GP_SetUnit(KIVGP_GP *gp, const char *unit);
KIV_API int KIVGP_GP_GetMinValue(const KIVGP_GP *gp, char **out);
KIV_API int KIVGP_GP_GetMaxValue(const KIVGP_GP *gp, char **out);
KIV_API int KIVGP_GP_SetMinValue(KIVGP_GP *gp, const char *value);
KIV_API int KIVGP_GP_SetMaxValue(KIVGP_GP *gp, const char *value);
KIV_API int KIVGP_GP_GetDefaultValue(const KIVGP_GP *gp, char **out);
KIV_API int KIVGP_GP_GetCircuitScopeId(const KIVGP_GP *gp, char **out);
KIV_API int KIVGP_GP_GetDataPath(const KIVGP_GP *gp, char **out);
/* *type: KIVGP_TYPE_*; 1, or -1 for a NULL argument. */
KIV_API int KIVGP_GP_GetType(const KIVGP_GP *gp, int *type);
/* *order (-1 when not set); 1, or -1 for a NULL argument. */
KIV_API int KIVGP_GP_GetEvalOrder(const KIVGP_GP *gp, int *order);
/* 1, or -1 for a NULL record. */
KIV_API int KIVGP_GP_SetEvalOrder(KIVGP_GP *gp, int order);
/* 1 for an integer record with enumeration strings, 0 otherwise, -1 for
 * NULL. */
KIV_API int KIVGP_GP_IsEnum(const KIVGP_GP *gp);
/* A new copy of the enumeration strings in *strings (which must be NULL) and
 * their count; release with KIVGP_StringList_Free(strings, *count).  1, or
 * -1 when the record is not an enumeration. */
KIV_API int KIVGP_GP_GetEnum(const KIVGP_GP *gp, KIVGP_StringList *strings, unsigned int *count);
/* Replaces the enumeration by copies of the count strings (integer records
 * only); 1, or -1. */
KIV_API int KIVGP_GP_SetEnum(KIVGP_GP *gp, char *const *strings, unsigned int count);
/* 1 when the record belongs to a supercomponent, 0 to the model, -1 absent. */
KIV_API int KIVGP_GP_IsLocalToSC(const KIVGP_GP *gp);

/* Frees *text and sets it to NULL. */
KIV_API void KIVGP_String_Free(char **text);
/* A new converted copy of text in *out (which must be NULL), released with
 * KIVGP_String_Free; 0, or -1. */
KIV_API int KIVGP_String_ConvertFromUTF8ToLatin1(char **out, const char *text);
KIV_API int KIVGP_String_ConvertFromLatin1ToUTF8(char **out, const char *text);
/* Frees the count texts of *list and the array, and sets *list to NULL;
 * nothing at all for a count of 0 or less. */
KIV_API void KIVGP_StringList_Free(KIVGP_StringList *list, int count);

/* A new empty list; release it with KIVGP_GPList_Destroy, which frees the
 * list but not its records (KIVGP_GP_Destroy each first if they are yours). */
KIV_API KIVGP_GPList *KIVGP_GPList_Create(void);
KIV_API void KIVGP_GPList_Destroy(KIVGP_GPList **list);
/* Adds a reference to the record (not a copy); 0, or -1. */
KIV_API int KIVGP_GPList_Append(KIVGP_GPList *list, KIVGP_GP *gp);
/* Drops every record of that name from the list (records not destroyed); 0
 * when one was dropped, else -1. */
KIV_API int KIVGP_GPList_Remove(KIVGP_GPList *list, const char *name);
/* 0 and the count in *count, or -1; GetAt gives the record itself (not a
 * copy): 0, or -1 for an index out of range. */
KIV_API int KIVGP_GPList_GetSize(const KIVGP_GPList *list, unsigned int *count);
KIV_API int KIVGP_GPList_GetAt(const KIVGP_GPList *list, unsigned int index, KIVGP_GP **gp);

/* ---- Files ---------------------------------------------------------------
 * name is the base name, dir the directory ("" means "."), ext the
 * extension ("" for none).  The XML file is dir/name_.kivgp<ext>; the
 * line-oriented files dir/name_.gp<ext> (model) and dir/name_.gp2<ext>
 * (supercomponents).  Names readers append to *names and add to *count.
 * A UTF-8 byte-order mark at the start of either kind of file reads as if
 * it were not there.  Values are kept as the texts written. */

/* Readers append new records to list, owned by the caller (KIVGP_GP_Destroy
 * each before KIVGP_GPList_Destroy): the XML file when it exists, else the
 * line-oriented files; Model and SC readers take only the model's or only
 * the supercomponents' records.  0, or -1 with nothing appended. */
KIV_API int KIVGP_IO_ReadGPs(const char *name, const char *dir, const char *ext, KIVGP_GPList *list);
KIV_API int KIVGP_IO_ReadModelGPs(const char *name, const char *dir, const char *ext,
                                  KIVGP_GPList *list);
KIV_API int KIVGP_IO_ReadSCGPs(const char *name, const char *dir, const char *ext,
                               KIVGP_GPList *list);
/* Names readers add new texts to *names and their number to *count: release
 * with KIVGP_StringList_Free(names, *count).  0, or -1 with nothing added. */
KIV_API int KIVGP_IO_ReadGPNames(const char *name, const char *dir, const char *ext,
                                 KIVGP_StringList *names, int *count);
KIV_API int KIVGP_IO_ReadModelGPNames(const char *name, const char *dir, const char *ext,
                                      KIVGP_StringList *names, int *count);
KIV_API int KIVGP_IO_ReadSCGPNames(const char *name, const char *dir, const char *ext,
                                   KIVGP_StringList *names, int *count);
/* Reads a line-oriented or an XML file at path, as ReadGPs; 0, or -1. */
KIV_API int KIVGP_IO_ReadGPsFromFile(const char *path, KIVGP_GPList *list);
/* Writes the XML file when it (or its backup ".1") exists, else the
 * line-oriented files.  A plain file is replaced only once written whole,
 * keeping its owner, group and permission bits; a symbolic link (written
 * through to its target), a pipe, a device, a file of several links, of
 * another owner or of a group the process may not give is written in
 * place.  All the writers below do the same.  0, or -1; a file that cannot
 * be written is said ("Cannot write global parameter file <path>:
 * <reason>"). */
KIV_API int KIVGP_IO_WriteGPs(const char *name, const char *dir, const char *ext,
                              const KIVGP_GPList *list);
/* Writes the XML file; 0, or -1. */
KIV_API int KIVGP_IO_WriteGPsToXML(const char *name, const char *dir, const char *ext,
                                   const KIVGP_GPList *list);
/* Reads the line-oriented files of name and writes their records as the XML
 * file of output_name; 0, or -1. */
KIV_API int KIVGP_IO_ConvertLegacyFileToXML(const char *name, const char *dir,
                                            const char *output_name, const char *output_dir,
                                            const char *ext);

/* ---- Hidden parameters ----------------------------------------------------
 * A parameter named "zz__HIDDEN_..." carries, in its title, its real name
 * and value enciphered with an authenticated secret box under a key built
 * into the library: this keeps them from casual reading only. */

/* A new payload text for name and value (Latin-1, as the store holds them),
 * or NULL when the name is empty or holds white space. */
KIV_API char *KivEncipherGlobalParam(const char *name, const char *value);
/* 0 and new texts in *name and *value; -1 for a malformed or tampered
 * payload (nothing handed out). */
KIV_API int KivDecipherGlobalParam(const char *payload, char **name, char **value);

/* ---- The store of a system ------------------------------------------------ */

/* Entry states: 0 entered, 1 evaluated, 2 set directly, 3 evaluation failed. */
typedef struct KIVGlobalParams {
  int num_count;
  int num_capacity;
  int *num_states;
  char **num_names;
  char **num_expressions;
  double *num_values;
  int text_count;
  int text_capacity;
  int *text_states;
  char **text_names;
  char **text_raw_values;
  char **text_values; /* substituted; NULL until evaluated or set */
  int master;
  char *master_path;
  char *master_extension;
  int read;
  /* Names of the entries read from hidden records: their values and
   * expressions never appear in a message. */
  char **hidden_names;
  int hidden_count;
} KIVGlobalParams;

/* A new empty store; release with FreeKIVGlobalParams (a system frees its
 * own). */
KIV_API KIVGlobalParams *CreateKIVGlobalParams(void);
/* Frees the store and every text it holds; NULL is ignored. */
KIV_API void FreeKIVGlobalParams(KIVGlobalParams *gps);

/* Adds an entry, type 1 real, 2 integer, 3 text, its value kept unevaluated
 * (a name already present is left as it is); system NULL means the current
 * one.  0, or -200 with the reason in message (message_size bytes, cut short
 * and always terminated). */
KIV_API int KivAddGlobalParam(KIVSystem *system, const char *name, const char *value, int type,
                              char *message, size_t message_size);
/* Reads the system's global-parameter files (a master's first), once per
 * run; 0, or -102 or -200 after a message. */
KIV_API int KivReadGPFile(KIVSystem *system);
/* Evaluates every entry of the system (keep 1: not those set directly); 0,
 * or -200 with the last failure in message (as KivAddGlobalParam). */
KIV_API int KivEvalGlobalParamList(KIVSystem *system, int keep, char *message,
                                   size_t message_size);
/* Makes KivReadGPFile read the master's files first: master_path is its
 * directory and circuit, master_extension its run extension (no dot). */
KIV_API void DeclareMasterGPsToBeRead(const char *master_path, const char *master_extension);
/* flag 1: the files count as read (KivReadGPFile does nothing); 0: read
 * them. */
KIV_API void SetGlobalParamReadFile(int flag);

/* The current store's own arrays (not copies; valid until the store
 * changes) of numeric values and names, with their count in *count. */
KIV_API double *GetGlobalParamValues(int *count);
KIV_API char **GetGlobalParamTokens(int *count);
/* 1 when numeric entry index (0-based) is evaluated or set directly, else 0. */
KIV_API int IsGlobalParamValid(int index);
/* The same for the text entries (values NULL until evaluated or set). */
KIV_API char **GetTextGlobalParamValues(int *count);
KIV_API char **GetTextGlobalParamTokens(int *count);
/* The number of numeric entries. */
KIV_API int GetNumberOfIntAndRealTokensInGlobalParameters(void);

/* 1 and the value in *value, or 0 for an unknown name (exact case) or an
 * entry not yet evaluated. */
KIV_API int getGlobalParamValueByName(const char *name, double *value);
/* 1 and the stored text in *value (not a copy), or 0 as
 * getGlobalParamValueByName. */
KIV_API int getTextGlobalParamValueByName(const char *name, char **value);
/* The value of the expression text over the numeric entries into *value; 0,
 * or -100. */
KIV_API int GetRealExpressionValue(const char *text, double *value);
/* A new text (release with free) with the ${name} references to text entries
 * replaced; NULL for NULL. */
KIV_API char *GetTextGlobalParam(const char *text);

/* Sets the value of an entry (state "set directly"); add nonzero creates a
 * missing one.  0, or -200 (unknown name without add, or a name of the other
 * kind). */
KIV_API int ChangeOrAddRealGlobalParamValue(const char *name, double value, int add);
KIV_API int ChangeOrAddIntGlobalParamValue(const char *name, int value, int add);
KIV_API int ChangeOrAddTextGlobalParamValue(const char *name, const char *text, int add);

/* Empties the current system's store. */
KIV_API void ClearGPs(void);
KIV_API void ResetPointers(void);

/* A new text (release with free) with every ${name} of the count names (any
 * case) replaced by its value; NULL for NULL. */
KIV_API char *ReplaceTokenNamesByValues(const char *text, char *const *names,
                                        char *const *values, int count);
/* As ReplaceTokenNamesByValues; at depth 0 a text that is a bare name
 * becomes that name's value, itself substituted. */
KIV_API char *EvaluateText(const char *text, char *const *names, char *const *values, int count,
                           int depth);

#ifdef __cplusplus
}
#endif

#endif

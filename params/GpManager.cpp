// The public KIVGP_ layer: each function hands its arguments to the private
// one; text getters first refuse an output that already holds a text, which
// would otherwise leak.
#include "params/GpManager_private.hpp"

namespace {

template <class T>
bool occupied(T *const *out) {
  return out && *out;
}

}  // namespace

extern "C" {

KIVGP_GP *KIVGP_GP_CreateReal(const char *name, const char *title, const char *value,
                              const char *unit, const char *min_value, const char *max_value,
                              const char *default_value, const char *scope_id,
                              const char *data_path) {
  return KIVGPPrivate_GP_CreateReal(name, title, value, unit, min_value, max_value, default_value,
                                    scope_id, data_path);
}

KIVGP_GP *KIVGP_GP_CreateInt(const char *name, const char *title, const char *value,
                             const char *min_value, const char *max_value,
                             const char *default_value, const char *scope_id,
                             const char *data_path) {
  return KIVGPPrivate_GP_CreateInt(name, title, value, min_value, max_value, default_value,
                                   scope_id, data_path);
}

KIVGP_GP *KIVGP_GP_CreateText(const char *name, const char *title, const char *value,
                              const char *default_value, const char *scope_id,
                              const char *data_path) {
  return KIVGPPrivate_GP_CreateText(name, title, value, default_value, scope_id, data_path);
}

void KIVGP_GP_Destroy(KIVGP_GP **gp) { KIVGPPrivate_GP_Destroy(gp); }

#define KIVGP_GUARDED_GETTER(field)                                  \
  int KIVGP_GP_Get##field(const KIVGP_GP *gp, char **out) {          \
    return occupied(out) ? -1 : KIVGPPrivate_GP_Get##field(gp, out); \
  }
KIVGP_GUARDED_GETTER(Name)
KIVGP_GUARDED_GETTER(Title)
KIVGP_GUARDED_GETTER(Value)
KIVGP_GUARDED_GETTER(Unit)
KIVGP_GUARDED_GETTER(MinValue)
KIVGP_GUARDED_GETTER(MaxValue)
KIVGP_GUARDED_GETTER(DefaultValue)
KIVGP_GUARDED_GETTER(CircuitScopeId)
KIVGP_GUARDED_GETTER(DataPath)
#undef KIVGP_GUARDED_GETTER

int KIVGP_GP_SetValue(KIVGP_GP *gp, const char *value) { return KIVGPPrivate_GP_SetValue(gp, value); }
int KIVGP_GP_SetUnit(KIVGP_GP *gp, const char *unit) { return KIVGPPrivate_GP_SetUnit(gp, unit); }
int KIVGP_GP_SetMinValue(KIVGP_GP *gp, const char *v) { return KIVGPPrivate_GP_SetMinValue(gp, v); }
int KIVGP_GP_SetMaxValue(KIVGP_GP *gp, const char *v) { return KIVGPPrivate_GP_SetMaxValue(gp, v); }
int KIVGP_GP_GetType(const KIVGP_GP *gp, int *type) { return KIVGPPrivate_GP_GetType(gp, type); }
int KIVGP_GP_GetEvalOrder(const KIVGP_GP *gp, int *order) { return KIVGPPrivate_GP_GetEvalOrder(gp, order); }
int KIVGP_GP_SetEvalOrder(KIVGP_GP *gp, int order) { return KIVGPPrivate_GP_SetEvalOrder(gp, order); }
int KIVGP_GP_IsEnum(const KIVGP_GP *gp) { return KIVGPPrivate_GP_IsEnum(gp); }

int KIVGP_GP_GetEnum(const KIVGP_GP *gp, KIVGP_StringList *strings, unsigned int *count) {
  return occupied(strings) ? -1 : KIVGPPrivate_GP_GetEnum(gp, strings, count);
}

int KIVGP_GP_SetEnum(KIVGP_GP *gp, char *const *strings, unsigned int count) {
  return KIVGPPrivate_GP_SetEnum(gp, strings, count);
}

int KIVGP_GP_IsLocalToSC(const KIVGP_GP *gp) { return KIVGPPrivate_GP_IsLocalToSC(gp); }

void KIVGP_String_Free(char **text) { KIVGPPrivate_String_Free(text); }

int KIVGP_String_ConvertFromUTF8ToLatin1(char **out, const char *text) {
  return occupied(out) ? -1 : KIVGPPrivate_String_ConvertFromUTF8ToLatin1(out, text);
}

int KIVGP_String_ConvertFromLatin1ToUTF8(char **out, const char *text) {
  return occupied(out) ? -1 : KIVGPPrivate_String_ConvertFromLatin1ToUTF8(out, text);
}

void KIVGP_StringList_Free(KIVGP_StringList *list, int count) { KIVGPPrivate_StringList_Free(list, count); }

KIVGP_GPList *KIVGP_GPList_Create(void) { return KIVGPPrivate_GPList_Create(); }
void KIVGP_GPList_Destroy(KIVGP_GPList **list) { KIVGPPrivate_GPList_Destroy(list); }
int KIVGP_GPList_Append(KIVGP_GPList *list, KIVGP_GP *gp) { return KIVGPPrivate_GPList_Append(list, gp); }
int KIVGP_GPList_Remove(KIVGP_GPList *list, const char *name) { return KIVGPPrivate_GPList_Remove(list, name); }

int KIVGP_GPList_GetSize(const KIVGP_GPList *list, unsigned int *count) {
  return KIVGPPrivate_GPList_GetSize(list, count);
}

int KIVGP_GPList_GetAt(const KIVGP_GPList *list, unsigned int index, KIVGP_GP **gp) {
  return KIVGPPrivate_GPList_GetAt(list, index, gp);
}

int KIVGP_IO_ReadGPs(const char *name, const char *dir, const char *ext, KIVGP_GPList *list) {
  return KIVGPPrivate_IO_ReadGPs(name, dir, ext, list);
}

int KIVGP_IO_ReadModelGPs(const char *name, const char *dir, const char *ext, KIVGP_GPList *list) {
  return KIVGPPrivate_IO_ReadModelGPs(name, dir, ext, list);
}

int KIVGP_IO_ReadSCGPs(const char *name, const char *dir, const char *ext, KIVGP_GPList *list) {
  return KIVGPPrivate_IO_ReadSCGPs(name, dir, ext, list);
}

int KIVGP_IO_ReadGPNames(const char *name, const char *dir, const char *ext,
                         KIVGP_StringList *names, int *count) {
  return KIVGPPrivate_IO_ReadGPNames(name, dir, ext, names, count);
}

int KIVGP_IO_ReadModelGPNames(const char *name, const char *dir, const char *ext,
                              KIVGP_StringList *names, int *count) {
  return KIVGPPrivate_IO_ReadModelGPNames(name, dir, ext, names, count);
}

int KIVGP_IO_ReadSCGPNames(const char *name, const char *dir, const char *ext,
                           KIVGP_StringList *names, int *count) {
  return KIVGPPrivate_IO_ReadSCGPNames(name, dir, ext, names, count);
}

int KIVGP_IO_ReadGPsFromFile(const char *path, KIVGP_GPList *list) {
  return KIVGPPrivate_IO_ReadGPsFromFile(path, list);
}

int KIVGP_IO_WriteGPs(const char *name, const char *dir, const char *ext, const KIVGP_GPList *list) {
  return KIVGPPrivate_IO_WriteGPs(name, dir, ext, list);
}

int KIVGP_IO_WriteGPsToXML(const char *name, const char *dir, const char *ext,
                           const KIVGP_GPList *list) {
  return KIVGPPrivate_IO_WriteGPsToXML(name, dir, ext, list);
}

int KIVGP_IO_ConvertLegacyFileToXML(const char *name, const char *dir, const char *output_name,
                                    const char *output_dir, const char *ext) {
  return KIVGPPrivate_IO_ConvertLegacyFileToXML(name, dir, output_name, output_dir, ext);
}

}  // extern "C"

// Global-parameter records: creation, copies, fields and their encodings.
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
namespace kiv::gp {

char *dup(const char *s, const char *label) { return s ? kiv::dupText(s, label) : nullptr; }

void setText(char **field, const char *s) {
  char *copy = dup(s);
  std::free(*field);
  *field = copy;
}

bool present(const char *s) { return s && *s; }

// The nine text fields of a record, in record order.
std::array<char **, 9> textFields(KIVGP_GP *gp) {
  return {&gp->name,          &gp->title,          &gp->value,
          &gp->unit,          &gp->min_value,      &gp->max_value,
          &gp->default_value, &gp->circuit_scope_id, &gp->data_path};
}

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

}  // namespace kiv::gp

namespace {

using kiv::gp::dup;
using kiv::gp::copyStrings;
using kiv::gp::freeStrings;
using kiv::gp::latin1ToUtf8;
using kiv::gp::utf8ToLatin1;
using kiv::gp::present;
using kiv::gp::setText;
using kiv::gp::textFields;

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

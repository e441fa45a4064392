// Lists of global-parameter records.
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

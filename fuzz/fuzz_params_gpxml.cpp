// The global-parameter XML readers on arbitrary bytes: whatever the record
// reader accepts is written again and must read back field for field.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "params/GpManager_private.hpp"
#include "runtime/system.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {


bool same(const char *a, const char *b) { return (!a && !b) || (a && b && std::strcmp(a, b) == 0); }

bool sameRecord(const KIVGP_GP *a, const KIVGP_GP *b) {
  if (a->type != b->type || a->eval_order != b->eval_order || a->enum_count != b->enum_count) return false;
  if (!same(a->name, b->name) || !same(a->title, b->title) || !same(a->value, b->value) ||
      !same(a->unit, b->unit) || !same(a->min_value, b->min_value) || !same(a->max_value, b->max_value) ||
      !same(a->default_value, b->default_value) || !same(a->circuit_scope_id, b->circuit_scope_id) ||
      !same(a->data_path, b->data_path))
    return false;
  for (unsigned i = 0; i < a->enum_count; ++i)
    if (!same(a->enum_strings[i], b->enum_strings[i])) return false;
  return true;
}

// Model then supercomponent records of a document, or false.
bool parse(const void *data, size_t size, KIVGP_GPList *out) {
  FILE *fp = fmemopen(const_cast<void *>(data), size, "r");
  if (!fp) return false;
  KIVGP_GPList *model = nullptr, *sc = nullptr;
  const bool ok = XML_C_Parser_GPList(fp, &model, &sc) == 0;
  std::fclose(fp);
  if (!ok) return false;
  KIVGPPrivate_GPList_Concatenate(out, model, sc);
  KIVGPPrivate_GPList_Destroy(&model);
  KIVGPPrivate_GPList_Destroy(&sc);
  return true;
}

void destroy(KIVGP_GPList *list) {
  KIVGPPrivate_Algo_DestroyGPListItems(list);
  KIVGPPrivate_GPList_Destroy(&list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  KIVSystem *sys = kiv::fuzz::quietSystem();
  kiv::guarded(sys, [&] {
    KIVGP_GPList *first = KIVGPPrivate_GPList_Create();
    if (parse(data, size, first)) {
      for (unsigned i = 0; i < first->count; ++i)
        if (!first->items[i]->name || !*first->items[i]->name) std::abort();  // nameless are skipped
      const std::string doc = kiv::gp::xmlDocument(first);
      KIVGP_GPList *second = KIVGPPrivate_GPList_Create();
      if (!parse(doc.data(), doc.size(), second) || second->count != first->count) std::abort();
      for (unsigned i = 0; i < first->count; ++i)
        if (!sameRecord(first->items[i], second->items[i])) std::abort();
      destroy(second);
    }
    destroy(first);
    FILE *fp = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (fp) {
      int nm = 0, ns = 0;
      KIVGP_StringList m = nullptr, s = nullptr;
      if (XML_C_Parser_GPNameList(fp, &nm, &m, &ns, &s) == 0) {
        KIVGPPrivate_StringList_Free(&m, nm);
        KIVGPPrivate_StringList_Free(&s, ns);
      }
      std::fclose(fp);
    }
    return 0;
  });
  KivReleaseSystem(sys);
  return 0;
}

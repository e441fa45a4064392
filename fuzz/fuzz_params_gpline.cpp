// The line-oriented global-parameter reader on arbitrary bytes: every record
// it reads is written as a line again and must read back field for field.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "params/GpManager_private.hpp"
#include "runtime/system.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {


// An empty field is written as none.
bool same(const char *a, const char *b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

int (*writerOf(int type))(FILE *, const KIVGP_GP *) {
  return type == KIVGP_TYPE_INT    ? KIVGPPrivate_IO_WriteIntGPToLegacyFile
         : type == KIVGP_TYPE_REAL ? KIVGPPrivate_IO_WriteRealGPToLegacyFile
                                   : KIVGPPrivate_IO_WriteTextGPToLegacyFile;
}

int (*readerOf(int type))(const char *, KIVGP_GP *, int *) {
  return type == KIVGP_TYPE_INT    ? KIVGPPrivate_IO_ReadIntGPFromLegacyLine
         : type == KIVGP_TYPE_REAL ? KIVGPPrivate_IO_ReadRealGPFromLegacyLine
                                   : KIVGPPrivate_IO_ReadTextGPFromLegacyLine;
}

// The record as the file held it, written as one line and read back.
void checkRoundTrip(const KIVGP_GP *read) {
  KIVGP_GP *held = KIVGPPrivate_GP_Create();
  KIVGPPrivate_GP_Copy(read, held);
  KIVGPPrivate_GP_ConvertFromUTF8ToLatin1(held);
  char *buf = nullptr;
  size_t len = 0;
  FILE *mem = open_memstream(&buf, &len);
  if (!mem) std::abort();
  const int w = writerOf(held->type)(mem, held);
  std::fclose(mem);
  if (w == 0) {
    KIVGP_GP *back = KIVGPPrivate_GP_Create();
    int counter = 0;
    if (len == 0 || buf[len - 1] != '\n') std::abort();
    buf[len - 1] = '\0';
    if (readerOf(held->type)(buf, back, &counter) != 0) std::abort();
    const char *title = held->title && *held->title ? held->title : " ";  // none comes back as a blank
    if (!same(held->name, back->name) || !same(title, back->title) ||
        !same(held->value, back->value) || !same(held->unit, back->unit) ||
        !same(held->min_value, back->min_value) || !same(held->max_value, back->max_value) ||
        !same(held->default_value, back->default_value) ||
        !same(held->circuit_scope_id, back->circuit_scope_id) || !same(held->data_path, back->data_path))
      std::abort();
    KIVGPPrivate_GP_Destroy(&back);
  }
  std::free(buf);
  KIVGPPrivate_GP_Destroy(&held);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  // The readers take a path: an in-memory file gives one.
  const int fd = memfd_create("gpline", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  KIVSystem *sys = kiv::fuzz::quietSystem();
  kiv::guarded(sys, [&] {
    KIVGP_GPList *list = KIVGPPrivate_GPList_Create();
    if (KIVGPPrivate_IO_ReadGPsFromLegacyFile(path.c_str(), list) == 0)
      for (unsigned i = 0; i < list->count; ++i) checkRoundTrip(list->items[i]);
    KIVGPPrivate_Algo_DestroyGPListItems(list);
    KIVGPPrivate_GPList_Destroy(&list);
    KIVGP_StringList names = nullptr;
    int count = 0;
    KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(path.c_str(), &count, &names);
    KIVGPPrivate_StringList_Free(&names, count);
    return 0;
  });
  KivReleaseSystem(sys);
  close(fd);
  return 0;
}

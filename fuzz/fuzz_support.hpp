// What every fuzz target needs: a current system that swallows the
// library's messages, and a scratch file holding the input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "runtime/kiv_runtime.h"
#include "runtime/system.hpp"

namespace kiv::fuzz {

// A new current system whose printed and displayed messages go nowhere;
// release it with KivReleaseSystem, which ends its run.
inline KIVSystem *quietSystem() {
  KIVSystem *sys = KivCreateSystem();
  KivInstallPrintHook(sys, [](FILE *, const char *, void *) {}, nullptr);
  KivInstallDisplayHook(sys, [](const char *, void *) {}, nullptr);
  KivMakeCurrent(sys);
  return sys;
}

// A scratch file name private to this process.
inline std::string scratchPath(const char *stem, const char *suffix) {
  return "/tmp/kiv_fuzz_" + std::string(stem) + "_" + std::to_string(getpid()) + suffix;
}

// Writes the bytes to path; false when the file cannot be written.
inline bool writeFile(const std::string &path, const uint8_t *data, size_t size) {
  FILE *fp = std::fopen(path.c_str(), "wb");
  if (!fp) return false;
  const bool ok = std::fwrite(data, 1, size, fp) == size;
  return std::fclose(fp) == 0 && ok;
}

// Writes the bytes to path and runs f() at the recovery point of a quiet
// system; then the system is released and the file removed.
template <class F>
int onScratchFile(const std::string &path, const uint8_t *data, size_t size, F &&f) {
  if (!writeFile(path, data, size)) return 0;
  KIVSystem *sys = quietSystem();
  kiv::guarded(sys, std::forward<F>(f));
  KivReleaseSystem(sys);
  std::remove(path.c_str());
  return 0;
}

}  // namespace kiv::fuzz

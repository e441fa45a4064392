// What every fuzz target needs: a current system that swallows the
// library's messages, and a scratch file holding the input.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

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

// A scratch file name private to this process, in the system's temp folder.
inline std::string scratchPath(const char *stem, const char *suffix) {
  std::error_code ec;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  return (ec ? std::string("/tmp") : temp.string()) + "/kiv_fuzz_" + stem + "_" +
         std::to_string(getpid()) + suffix;
}

// A scratch directory private to this process, made empty (a process that
// died with this id may have left one).
inline std::string scratchDir(const char *stem) {
  std::string p = scratchPath(stem, "");
  std::error_code ec;
  std::filesystem::remove_all(p, ec);
  mkdir(p.c_str(), 0700);
  return p;
}

// Owns a scratch path for one run: whatever lies there when it goes (a
// file, or a directory with all it holds) is removed, however the run
// ended.  Millions of runs must not fill the temp folder.
class Scratch {
 public:
  explicit Scratch(std::string path) : path_(std::move(path)) {}
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  Scratch(const Scratch &) = delete;
  Scratch &operator=(const Scratch &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

// Writes the bytes to path; false when the file cannot be written.
inline bool writeFile(const std::string &path, const uint8_t *data, size_t size) {
  FILE *fp = std::fopen(path.c_str(), "wb");
  if (!fp) return false;
  const bool ok = std::fwrite(data, 1, size, fp) == size;
  return std::fclose(fp) == 0 && ok;
}

// Writes the bytes to path and runs f() at the recovery point of a quiet
// system; then the system is released and the file removed (also when it
// could be written only in part).
template <class F>
int onScratchFile(const std::string &path, const uint8_t *data, size_t size, F &&f) {
  const Scratch file(path);
  if (!writeFile(path, data, size)) return 0;
  KIVSystem *sys = quietSystem();
  kiv::guarded(sys, std::forward<F>(f));
  KivReleaseSystem(sys);
  return 0;
}

// The non-empty pieces of text between any of the separators.
inline std::vector<std::string> split(const std::string &text, const char *separators) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i <= text.size()) {
    size_t e = text.find_first_of(separators, i);
    if (e == std::string::npos) e = text.size();
    if (e > i) out.push_back(text.substr(i, e - i));
    i = e + 1;
  }
  return out;
}

// Draws small integers, awkward reals and texts from the input; zeros (and
// empty texts) once it runs out.
struct Bytes {
  const uint8_t *p;
  size_t n;
  int byte() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  double number() {
    const int b = byte();
    switch (b % 16) {
      case 0: return std::nan("");
      case 1: return b > 128 ? HUGE_VAL : -HUGE_VAL;
      case 2: return (b - 128) * 1e200;
      default: return (b - 128) / 8.0;
    }
  }
  // The bytes up to the next end of line (not included), at most max.
  std::string line(size_t max) {
    std::string s;
    while (n && s.size() < max) {
      const char c = static_cast<char>(byte());
      if (c == '\n') break;
      s.push_back(c);
    }
    return s;
  }
};

// Runs run(bytes) at the recovery point of a new quiet system, for inputs of
// at most max bytes.
template <class Run>
int runOnBytes(const uint8_t *data, size_t size, size_t max, Run run) {
  if (size > max) return 0;
  KIVSystem *sys = quietSystem();
  Bytes r{data, size};
  struct Call {
    Run &run;
    Bytes &r;
  } call{run, r};
  KivGuardedCall(
      sys, [](void *p) {
        auto *c = static_cast<Call *>(p);
        return c->run(c->r);
      },
      &call);
  KivReleaseSystem(sys);
  return 0;
}

}  // namespace kiv::fuzz

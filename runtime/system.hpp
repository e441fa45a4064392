// Inside view of the system object, for the library's own folders.
#pragma once

#include "runtime/kiv_runtime.h"

#include <array>
#include <exception>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <vector>

struct KIVGlobalParams;

namespace kiv {

// The one exception type of the exit path: KivExit throws it, the recovery
// point (KivGuardedCall) catches it.
class ExitException : public std::exception {
 public:
  explicit ExitException(int code) : code_(code) {}
  int code() const noexcept { return code_; }
  const char *what() const noexcept override { return "KivExit"; }

 private:
  int code_;
};

inline constexpr const char *kPropertyNames[] = {
    "HYD_Index", "PFROMRHO_TABLES", "BINARYTREE", "INITIAL_STATE_REGISTER", "KIV_STATE_STATUS",
};
inline constexpr int kPropertyCount = sizeof(kPropertyNames) / sizeof(kPropertyNames[0]);

struct AtEndHook {
  KivAtEndFn fn = nullptr;
  KivAtEndPtrFn ptr_fn = nullptr;
  int argument = 0;
  void *pointer = nullptr;
};

struct IntReset {
  int *flag;
  int value;
};

struct Discontinuity {
  int mode = 0;        // what getofg_ answers
  int answer = 0;      // the evaluation's answer word
  int logging = 1;     // 2 -> 4 when set, 2 -> 3 when clear
  int first_call = 1;  // firstc_
  int step_down = 0;
  double time = 0.0;
  bool has_event = false;
  double event = 0.0;
};

struct FileNames {
  std::string working_dir;
  std::string circuit;          // with its directory
  std::string circuit_no_path;  // without
  std::string extension;        // batch-run extension, empty for none
  bool reload_pending = false;
};

// The text read from a file that gives it once (a pipe), kept for a later
// opening of that name: the next one after a query, or every one within a
// kiv::KeepTexts scope.
struct TextHandOff {
  std::string path;
  unsigned long long device = 0, inode = 0;
  std::string text;
};

// A regular file that kiv::openText streams (runtime/readers.cpp).
struct FileText;
// The files streamed now; each stream shares the list, so that one closed
// after its system was released still finds it.
using OpenFiles = std::vector<FileText *>;

struct SubmodelStore {
  KivSubmodelStore c{};  // the view handed to submodels
  std::vector<double> real;
  std::vector<int> integer;
  std::vector<void *> pointer;
};

}  // namespace kiv

struct KivDataStore {
  std::string name;
  int index = 0;
  void *pointer = nullptr;
};

struct KIVSystem {
  // Property slots, 1-based as KivGetPropertyIndex answers; slot 0 unused.
  std::array<void *, kiv::kPropertyCount + 1> property{};
  int exit_code = 0;
  int slave = 0;
  // Recovery points active on the stack for this system: KivExit throws
  // only when one will catch it.
  int recovery_depth = 0;

  KivPrintHook print_hook = nullptr;
  void *print_user = nullptr;
  KivDisplayHook display_hook = nullptr;
  void *display_user = nullptr;

  kiv::Discontinuity disc;
  std::unique_ptr<KIVRunFlags> run_flags;
  kiv::FileNames files;

  std::vector<kiv::AtEndHook> at_end;
  std::vector<kiv::IntReset> resets;
  std::list<KivDataStore> datastore;  // stable entry addresses
  std::list<kiv::SubmodelStore> model_stores;
  std::vector<kiv::TextHandOff> text_hand_offs;  // dropped at the end of the run
  int text_keep_scopes = 0;                       // open kiv::KeepTexts scopes
  std::shared_ptr<kiv::OpenFiles> open_files = std::make_shared<kiv::OpenFiles>();
  // Called between the check of a regular text file and its reading: a file
  // may change in between, as tests make it.
  void (*text_checked)(const char *path, void *user) = nullptr;
  void *text_checked_user = nullptr;

  // The global-parameter store lives in its own field; its owner installs
  // the routine that frees it with the system.
  KIVGlobalParams *global_params = nullptr;
  void (*free_global_params)(KIVGlobalParams *) = nullptr;
};

namespace kiv {

// Runs f at the recovery point of sys: returns f's result, or -2 after
// KivExit (the code is kept in sys->exit_code).
// Counts a recovery point for as long as it is on the stack.
class RecoveryScope {
 public:
  explicit RecoveryScope(KIVSystem *sys) : sys_(sys) { ++sys_->recovery_depth; }
  ~RecoveryScope() { --sys_->recovery_depth; }
  RecoveryScope(const RecoveryScope &) = delete;
  RecoveryScope &operator=(const RecoveryScope &) = delete;

 private:
  KIVSystem *sys_;
};

template <class F>
int guarded(KIVSystem *sys, F &&f) {
  KivMakeCurrent(sys);
  RecoveryScope scope(sys);
  try {
    return f();
  } catch (const ExitException &e) {
    sys->exit_code = e.code();
    return -2;
  } catch (const std::bad_alloc &) {
    kivfprintf(stderr, "\n\nCould not allocate storage in %s\n", "KivGuardedCall");
    sys->exit_code = 1;
    return -2;
  }
}

}  // namespace kiv

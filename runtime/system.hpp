// Inside view of the system object, for the library's own folders.
#pragma once

#include "runtime/datastore.hpp"
#include "runtime/kiv_runtime.h"

#include <sys/types.h>

#include <array>
#include <exception>
#include <list>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
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
// Reads as pread does; a seam through which tests make a read fail.
using TextRead = ssize_t (*)(int fd, void *buf, size_t size, off64_t at);
// The files streamed now; each stream shares the list, so that one closed
// after its system was released still finds it.
using OpenFiles = std::vector<FileText *>;

struct SubmodelStore {
  KivSubmodelStore c{};  // the view handed to submodels
  std::vector<double> real;
  std::vector<int> integer;
  std::vector<void *> pointer;
};

// The key of a data-store entry.
struct DataKey {
  int index;
  std::string name;
};

// Orders the data store by index, then name, and finds an entry by a view
// of its name without copying it.
struct DataKeyOrder {
  using is_transparent = void;
  using View = std::pair<int, std::string_view>;
  static View view(const DataKey &k) { return {k.index, k.name}; }
  static View view(const View &v) { return v; }
  template <class A, class B>
  bool operator()(const A &a, const B &b) const {
    return view(a) < view(b);
  }
};

}  // namespace kiv

struct KIVSystem {
  // Property slots, 1-based as KivGetPropertyIndex answers; slot 0 unused.
  std::array<void *, kiv::kPropertyCount + 1> property{};
  int exit_code = 0;
  int slave = 0;
  // Hook lists being run by KivEndRun, and whether the system is being
  // released: a release asked for meanwhile waits for them or is dropped.
  int ending = 0;
  bool releasing = false;
  bool release_pending = false;

  KivPrintHook print_hook = nullptr;
  void *print_user = nullptr;
  KivDisplayHook display_hook = nullptr;
  void *display_user = nullptr;

  kiv::Discontinuity disc;
  std::unique_ptr<KIVRunFlags> run_flags;
  kiv::FileNames files;

  std::vector<kiv::AtEndHook> at_end;
  std::vector<kiv::IntReset> resets;
  // Entries keep their addresses, and a lookup does not walk them all: a
  // registry may hold many entries in a run.
  std::map<kiv::DataKey, KivDataStore, kiv::DataKeyOrder> datastore;
  std::list<kiv::SubmodelStore> model_stores;
  std::vector<kiv::TextHandOff> text_hand_offs;  // dropped at the end of the run
  int text_keep_scopes = 0;                       // open kiv::KeepTexts scopes
  std::shared_ptr<kiv::OpenFiles> open_files = std::make_shared<kiv::OpenFiles>();
  // Called between the check of a regular text file and its reading: a file
  // may change in between, as tests make it.
  void (*text_checked)(const char *path, void *user) = nullptr;
  void *text_checked_user = nullptr;
  // Read in place of pread by the text files streamed from now on.
  kiv::TextRead text_read = nullptr;

  // The global-parameter store lives in its own field; its owner installs
  // the routine that frees it with the system.
  KIVGlobalParams *global_params = nullptr;
  void (*free_global_params)(KIVGlobalParams *) = nullptr;
};

namespace kiv {

// The innermost recovery point active in the process, nullptr for none.
// KivExit throws only when there is one to catch it.
const SystemFrame *innermostRecovery();
// No frame on the stack uses sys again: it is being freed.
void forgetFrames(const KIVSystem *sys);

// A recovery point for as long as it is on the stack: makes sys current,
// and current again when left, unless sys was released meanwhile.
class RecoveryPoint {
 public:
  explicit RecoveryPoint(KIVSystem *sys) : frame_{sys, true, nullptr} {
    enterFrame(frame_);
    KivMakeCurrent(sys);
  }
  ~RecoveryPoint() {
    leaveFrame(frame_);
    if (frame_.sys) KivMakeCurrent(frame_.sys);
  }
  RecoveryPoint(const RecoveryPoint &) = delete;
  RecoveryPoint &operator=(const RecoveryPoint &) = delete;

  // Keeps an exit's code in the system, if it is still there.
  void keepExit(int code) {
    if (frame_.sys) frame_.sys->exit_code = code;
  }

 private:
  SystemFrame frame_;
};

// Runs f at a recovery point of sys: returns f's result, or -2 after KivExit
// anywhere below, whichever system is current then (the code is kept in
// sys->exit_code).  sys is current on return unless f released it.
template <class F>
int guarded(KIVSystem *sys, F &&f) {
  RecoveryPoint point(sys);
  try {
    return f();
  } catch (const ExitException &e) {
    point.keepExit(e.code());
    return -2;
  } catch (const std::bad_alloc &) {
    kivfprintf(stderr, "\n\nCould not allocate storage in %s\n", "KivGuardedCall");
    point.keepExit(1);
    return -2;
  }
}

}  // namespace kiv

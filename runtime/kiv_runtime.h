/* Runtime services of the kiv model library: the current system, its
 * property slots and data store, end-of-run hooks, messages and the exit
 * path, the discontinuity protocol, file names, text readers and string
 * helpers.  Flat C interface; every function acts on the current system
 * (QOR_XB_GlobalSystem) unless it takes a system argument.
 *
 * The library is called from one thread at a time: it keeps process-wide
 * state that nothing locks (the current system, the units manager, the
 * in-memory table store, the registries of interpolants, response surfaces,
 * interpreted objects and flow tables, the current fluid, and the list of
 * open text streams).  A host that runs models in parallel runs them in
 * separate processes. */
#ifndef KIV_RUNTIME_H
#define KIV_RUNTIME_H

#include <stddef.h>
#include <stdio.h>

#define KIV_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KIVSystem KIVSystem;
typedef struct KivDataStore KivDataStore;

/* The process-wide pointer to the current system. */
KIV_API extern KIVSystem *QOR_XB_GlobalSystem;

/* ---- Systems ------------------------------------------------------------ */

/* A new system with empty registries; it is not made current. */
KIV_API KIVSystem *KivCreateSystem(void);
/* Runs the pending end-of-run hooks of the system (code 0), and those that
 * they install in turn for at most 100 generations (hooks still pending then
 * are dropped unrun), then frees it.  When it was current, no system is
 * current afterwards.  A released system is never made current again, also
 * not by a recovery point (KivGuardedCall) or a library call active on the
 * stack when it went: a callback may release the system whose call it runs
 * in, or any other.  Released by one of its own hooks, the system goes when
 * that KivEndRun has done; a release of a system already being released does
 * nothing. */
KIV_API void KivReleaseSystem(KIVSystem *sys);
/* Makes sys (NULL for none) the current system. */
KIV_API void KivMakeCurrent(KIVSystem *sys);
/* The current system; when none is current, a default system is created and
 * made current, so this never fails. */
KIV_API KIVSystem *GetGlobalSystem(void);
/* Ends the run of the current system: the end-of-run hooks run once each, in
 * reverse order of installation, as fn(code, argument); a hook that calls
 * KivExit ends itself only (its code is kept in the system).  Then the
 * integer resets apply and the model's submodel stores are zeroed.  Returns
 * the number of hooks run. */
KIV_API int KivEndRun(int code);
/* The recovery point: makes sys current, calls fn(data) and returns its
 * result; when KivExit is called below, returns -2 and the exit code is kept
 * in sys (KivGetExitCode), whichever system fn made current.  Either way sys
 * is current on return, so a host ends the run with KivEndRun(0) right
 * after; when fn released sys, it is not made current again (the current
 * system is left as the release left it) and an exit's code is kept nowhere.
 * Recovery points nest, also for different systems: KivExit returns to the
 * innermost one active, whichever system is current then.  Hosts call the
 * library through it: a fatal error with no recovery point active writes its
 * messages and ends the process with exit(code).  The exit path unwinds the
 * stack, so C callbacks that the library calls (residual functions, hooks)
 * must be compiled with unwind tables (-fexceptions) for a fatal error inside
 * them to reach the recovery point.  Returns -1, calling nothing, for a NULL
 * sys or fn. */
KIV_API int KivGuardedCall(KIVSystem *sys, int (*fn)(void *data), void *data);
/* The code of the system's last KivExit, 0 for none or a NULL system. */
KIV_API int KivGetExitCode(const KIVSystem *sys);
/* 1 when the current system runs as a slave of another process, else 0;
 * KivSetSlaveSystem sets that. */
KIV_API int IsSlaveSystem(void);
KIV_API void KivSetSlaveSystem(KIVSystem *sys, int slave);

/* ---- Property slots and data store ------------------------------------- */

/* 1-based position of name in the fixed property list; an unknown name is
 * fatal (message, exit handler with 1) and gives -1. */
KIV_API int KivGetPropertyIndex(const char *name);
/* Address of property slot index of the current system (stable for the
 * life of the system), or NULL for an index outside the list. */
KIV_API void **KivGetPropertySlot(int index);

/* Named pointer entries of a system (NULL: the current one), keyed by name
 * and index; the system keeps the entry and a copy of the name, never the
 * pointed data.  New: adds or updates, returns the entry (NULL for a NULL
 * name; valid while the entry stays).  Get: the pointer, NULL when absent.
 * Set: 0, or 1 when absent.  The library removes the entries of what it
 * frees itself (a shape freed by id or at the end of the run). */
KIV_API KivDataStore *KivNewDataStore(KIVSystem *sys, const char *name, int index, void *ptr);
KIV_API void *KivGetDataStore(KIVSystem *sys, const char *name, int index);
KIV_API int KivSetDataStore(KIVSystem *sys, const char *name, int index, void *ptr);

/* ---- End-of-run hooks ---------------------------------------------------- */

typedef void (*KivAtEndFn)(int code, int argument);
typedef void (*KivAtEndPtrFn)(int code, void *pointer);
/* End-of-run hooks of the current system: fn(code, argument) or fn(code,
 * pointer), run once by KivEndRun or KivReleaseSystem, last installed
 * first; one that a hook installs while KivEndRun runs them waits for the
 * next run's end, while KivReleaseSystem runs it too.  KivResetIntAtEnd:
 * *flag = value at the end of the run; returns 0. */
KIV_API void KivInstallAtEnd(KivAtEndFn fn, int argument);
KIV_API void KivInstallAtEndPtr(KivAtEndPtrFn fn, void *pointer);
KIV_API int KivResetIntAtEnd(int *flag, int value);

/* ---- Messages and exits -------------------------------------------------- */

/* A print hook receives every text that kivfprintf formats, with the stream
 * it was meant for (stdout or stderr). */
typedef void (*KivPrintHook)(FILE *stream, const char *text, void *user);
typedef void (*KivDisplayHook)(const char *message, void *user);
/* Hooks of sys (NULL: the current one); NULL removes a hook.  user is passed
 * back to the hook, never freed. */
KIV_API void KivInstallPrintHook(KIVSystem *sys, KivPrintHook hook, void *user);
KIV_API void KivInstallDisplayHook(KIVSystem *sys, KivDisplayHook hook, void *user);

/* Formats as fprintf and hands the text to the print hook, else writes it to
 * stream; returns the length, negative on a format error. */
KIV_API int kivfprintf(FILE *stream, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
/* Ends the run with code: unwinds to the innermost active recovery point,
 * whichever system is current (KivGuardedCall answers -2 and keeps code in
 * its own system), or, with none active, keeps code in the current system,
 * flushes the standard streams and calls exit(code). */
KIV_API void KivExit(int code) __attribute__((noreturn));
/* Prints "Could not allocate storage in <label>" and calls KivExit(1). */
KIV_API void MemoryError(const char *label) __attribute__((noreturn));
/* Hands the message to the display hook; without one prints it to stderr and
 * calls KivExit(1). */
KIV_API void DisplayMessage(const char *message);
/* Level 1 prints a warning naming the instance and returns 0; level 2 prints
 * the fatal lines and calls KivExit(1); other levels return 0 silently. */
KIV_API int kivHandleSubmodelError(const char *submodel, int instance, int level);

/* ---- Discontinuity protocol (model side) --------------------------------- */

/* The discontinuity mode of this evaluation: 0 ordinary, KIV_EVAL_CHECK or
 * KIV_EVAL_LOCATE (regions held). */
KIV_API int getofg_(void);
/* While locating, *cond nonzero reports a crossing (the answer word goes
 * from 2 to 4, or 3 without logging, and from 4 to 3); else nothing. */
KIV_API void disloc_(int *cond);
/* As disloc_, *second nonzero asking for 4 rather than 3. */
KIV_API void dishan_(int *cond, int *second);
/* While locating, announces a time event at *t [s] ahead of the current
 * time; the earliest one is kept. */
KIV_API void distim_(double *t);
/* Nonzero until the first model evaluation has finished. */
KIV_API int firstc_(void);
/* Asks the integrator for a smaller step; returns 0. */
KIV_API int stepdn_(void);
/* 1 at an output time, and when no run flags are set. */
KIV_API int isprint_(void);
/* 1 during a stabilising or consistent-state run; without run flags a fatal
 * error. */
KIV_API int staborcs_(void);
/* 0 during a stabilising or consistent-state run; else 1 at an output time
 * or when visibility or a linearisation forces it (1 without run flags). */
KIV_API int isvisible_(void);
/* 1 when the run has a file-name extension; without run flags a fatal error. */
KIV_API int isbatchrun_(void);

/* ---- Discontinuity protocol (driver side) -------------------------------- */

/* Discontinuity-flag values a driver passes with an evaluation. */
enum {
  KIV_EVAL_ORDINARY = 0, /* models choose their regions afresh */
  KIV_EVAL_CHECK = 1,    /* check after a step: regions held */
  KIV_EVAL_LOCATE = 2    /* locating a discontinuity: regions held, crossings reported */
};
/* Starts an evaluation: sets the mode that getofg_ answers and the answer
 * word to flag. */
KIV_API void KivBeginEvaluation(int flag);
/* The answer word of the current evaluation (2 -> 3 or 4 when a crossing was
 * reported while locating). */
KIV_API int KivGetAnswerWord(void);
/* The logging switch that decides 2 -> 4 (set, the default) or 2 -> 3. */
KIV_API void KivSetDiscontinuityLogging(int on);
/* The current time [s]; an announced event not ahead of it is dropped. */
KIV_API void KivSetTime(double t);
/* 1 and the earliest announced time event ahead of the current time, or 0. */
KIV_API int KivGetTimeEvent(double *t);
/* Drops the announced time event. */
KIV_API void KivClearTimeEvent(void);
/* Number of step-down requests since the last call; clears them. */
KIV_API int KivTakeStepDownRequests(void);
/* Marks the first model evaluation done (first = 0) or starts afresh (1). */
KIV_API void KivSetFirstCall(int first);

typedef struct KIVRunFlags {
  int continuation;
  int use_final_values;
  int stabilizing;
  int dynamic;
  int consistent_state;
  int initialisation;
  int printing;
  int visibility;   /* visibility enforced */
  int jacobian;
  int linearisation; /* a linear-analysis perturbation runs */
} KIVRunFlags;
/* Installs a copy of the run flags (NULL removes them). */
KIV_API void KivSetRunFlags(const KIVRunFlags *flags);
/* The installed run flags, owned by the system, or NULL. */
KIV_API KIVRunFlags *KivGetRunFlags(void);

/* ---- File names and paths ------------------------------------------------ */

/* Fills the file-name record: working directory (may be NULL or empty),
 * circuit name (with or without a directory) and batch-run extension (NULL
 * or empty for none). */
KIV_API void KivSetFileNames(const char *working_dir, const char *circuit_name,
                             const char *extension);
/* 1 marks a pending reload (the input extension gains ".rld"). */
KIV_API void KivSetReloadPending(int pending);
/* File-name record texts, owned by the runtime (not copies; valid until
 * KivSetFileNames): circuit name with and without its directory, batch-run
 * extension (NULL for none), working directory (may be empty). */
KIV_API const char *GetCircuitName(void);
KIV_API const char *GetCircuitNameNoPath(void);
KIV_API const char *GetFileNameExtension(void);
KIV_API const char *GetWorkingDirectory(void);
/* A new text (release with free): "." and the extension, then ".rld" when a
 * reload is pending; empty when neither. */
KIV_API char *GetInputFilenameExtensionWithReloadIfNeeded(void);
/* A name starting with "$" or "%" has its leading environment variable
 * expanded into *out, a new text (release with free); *out is NULL for any
 * other name and for an unknown variable (after a message). */
KIV_API void CheckEnvVar(const char *name, char **out);
/* 1 and a new text in *result (release with free) with the leading
 * "${full_circuit_name}" or a "${circuit_name}" replaced; else 0 and NULL. */
KIV_API int CheckCircuitName(const char *name, char **result);
/* A new text (release with free): path with the circuit-name placeholders
 * and a leading environment variable expanded; NULL for NULL. */
KIV_API char *kivReplaceEnvVariablesInFilepath(const char *path);

/* ---- Reading text files -------------------------------------------------- */

/* The library's readers open their text files past a UTF-8 byte-order mark at
 * the very start; the functions below read a stream from where it stands. */

/* Reads a line into *buffer (malloc'd, grown as needed, *capacity its size;
 * the caller frees it) without its line end and leading blanks; blank lines
 * are skipped, except a bare empty line when skip is 0.  Returns *buffer, or
 * NULL at end of file. */
KIV_API char *kivfgetsclean(FILE *fp, char **buffer, int *capacity, int skip);
/* Reads n reals and then m integers separated by white space; 1, or 0 after
 * showing message (when not NULL) through DisplayMessage, also at a real
 * beyond the range of a double ("1e400"; one that rounds to 0 reads as 0). */
KIV_API int GetValues(FILE *fp, double values[], int n, int ints[], int m, const char *message);
/* Skips the lines starting with "#". */
KIV_API void IgnoreComment(FILE *fp);
/* Reads one value in [min, max] and drops the rest of its line; a missing or
 * out-of-range value (a real beyond the range of a double too) is fatal
 * ("Invalid data in file ...", KivExit(1)). */
KIV_API int GetAsciiInteger(FILE *fp, int min, int max, const char *filename);
KIV_API double GetAsciiReal(FILE *fp, double min, double max, const char *filename);

/* ---- Numbers and strings ------------------------------------------------- */

/* 0 when all n values are finite, else the 1-based position of the first
 * that is not. */
KIV_API int ContainsBadNum(int n, const double values[]);
/* A new text (release with free) with "(" at position start and ")" before
 * position end of the original; NULL when end < start or out of range. */
KIV_API char *InsertBrackets(const char *text, int start, int end);
/* In place: drops the first blank-separated field and the blanks around it. */
KIV_API void RemoveFirstField(char *text);
/* Replaces the first occurrence of word, any case, in the malloc'd *text
 * (reallocated); 1 when replaced, 0 when absent. */
KIV_API int ReplaceCaseWordInString(char **text, const char *word, const char *replacement);
/* Copies into buffer the part after the last "/" (StripPathName) or before
 * it ("." without one; GetDirPath); at most size bytes, always terminated.
 * Both return buffer. */
KIV_API char *StripPathName(const char *path, char *buffer, size_t size);
KIV_API char *GetDirPath(const char *path, char *buffer, size_t size);
/* 0-based position of the first of the n entries equal to name, or -1. */
KIV_API int GetStringIndexInCharArray(const char *name, char **list, int n);
/* A new copy of source (NULL for NULL) in *destination, release with free;
 * 1, or 0 after a message. */
KIV_API int CopyString(char **destination, const char *source);

/* ---- Model object: per-submodel stores ----------------------------------- */

typedef struct KivSubmodelStore {
  char name[16];
  int instance;
  double *real;
  int nreal;
  int *integer;
  int ninteger;
  void **pointer;
  int npointer;
} KivSubmodelStore;

/* The store of a submodel instance of the current system's model, or NULL. */
KIV_API KivSubmodelStore *KivGetSubmodelStore(const char *submodel, int instance);
/* Adds (or resizes, zeroed) a submodel instance's store. */
KIV_API KivSubmodelStore *KivAddSubmodelStore(const char *submodel, int instance,
                                              int nreal, int ninteger, int npointer);
/* Zeroes every submodel store of the current system's model. */
KIV_API void KivCleanModelStore(void);

#ifdef __cplusplus
}
#endif

/* The library's own folders share these; hosts do not see this part. */
#if defined(__cplusplus) && defined(KIV_BUILDING)
#include <cstdarg>
#include <new>

struct KIVGlobalParams;

namespace kiv {

// The global-parameter store of sys (the current system for NULL); the first
// call makes it with create and has the system free it with release.
KIVGlobalParams *globalParamStore(KIVSystem *sys, KIVGlobalParams *(*create)(void),
                                  void (*release)(KIVGlobalParams *));

// Silences the current system's messages while alive (nothing when off):
// for callers that parse or evaluate texts the user never wrote.  A message
// that ends the run for want of storage still reaches the host.
class MutedMessages {
 public:
  explicit MutedMessages(bool on);
  ~MutedMessages();
  MutedMessages(const MutedMessages &) = delete;
  MutedMessages &operator=(const MutedMessages &) = delete;

  // kivfprintf for a message that precedes the exit of a run out of
  // storage: goes to the hook (or the stream) that muting scopes replaced.
  // Returns the characters formatted, or a negative value.
  static int sayFatal(FILE *stream, const char *format, ...) __attribute__((format(printf, 2, 3)));
  // Formats and delivers one message; fatal as for sayFatal.
  static int vsay(bool fatal, FILE *stream, const char *format, va_list ap);

 private:
  KIVSystem *sys_;
  KivPrintHook hook_ = nullptr;
  void *user_ = nullptr;
};

// f(), with an allocation failure turned into the run's fatal MemoryError
// under the given label.
template <class F>
auto guardAllocation(const char *label, F &&f) -> decltype(f()) {
  try {
    return f();
  } catch (const std::bad_alloc &) {
    MemoryError(label);
  }
}

// A system that a frame on the stack will use again: a recovery point's, or
// the one a scope gives back.  Frames are linked process-wide, innermost
// first, so that an exit finds the innermost recovery point whichever system
// is current, and a release clears every reference to the system it frees
// (sys becomes null) before a frame could touch it.
struct SystemFrame {
  KIVSystem *sys = nullptr;
  bool recovery = false;
  SystemFrame *outer = nullptr;
};
// Links frame in as the innermost one; unlinks it (frames leave in reverse).
void enterFrame(SystemFrame &frame);
void leaveFrame(SystemFrame &frame);

// Makes a system current for the life of the scope (nothing changes for a
// null one) and restores the one that was current before, or none when that
// one was released meanwhile.
class CurrentSystemScope {
 public:
  explicit CurrentSystemScope(KIVSystem *sys) : switched_(sys != nullptr) {
    if (!switched_) return;
    previous_.sys = QOR_XB_GlobalSystem;
    enterFrame(previous_);
    KivMakeCurrent(sys);
  }
  ~CurrentSystemScope() {
    if (!switched_) return;
    leaveFrame(previous_);
    KivMakeCurrent(previous_.sys);
  }
  CurrentSystemScope(const CurrentSystemScope &) = delete;
  CurrentSystemScope &operator=(const CurrentSystemScope &) = delete;

 private:
  SystemFrame previous_;
  bool switched_;
};

// A property slot of the current system typed as its owner's record.  The
// slot is a member of the system object, so its address is remembered per
// current system and looked up again only when another becomes current.
template <class T>
class PropertySlot {
 public:
  explicit PropertySlot(const char *name) : name_(name) {}
  // The record of the current system; nullptr when no system is current or
  // the slot is empty.
  T *get() { return QOR_XB_GlobalSystem ? static_cast<T *>(*address()) : nullptr; }
  // Stores into the current system's slot (a default system is created when
  // none is current).
  void set(T *value) {
    GetGlobalSystem();
    *address() = value;
  }
  // Whether the slot number was ever looked up.
  bool known() const { return index_ >= 1; }

 private:
  void **address() {
    if (QOR_XB_GlobalSystem != system_ || !address_) {
      if (index_ < 1) index_ = KivGetPropertyIndex(name_);
      address_ = KivGetPropertySlot(index_);
      system_ = QOR_XB_GlobalSystem;
    }
    return address_;
  }

  const char *name_;
  int index_ = -1;
  KIVSystem *system_ = nullptr;
  void **address_ = nullptr;
};

}  // namespace kiv
#endif

#endif

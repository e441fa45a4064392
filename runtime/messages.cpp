// Messages through the host's print hook, and the exit path.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/system.hpp"

extern "C" {

void KivInstallPrintHook(KIVSystem *sys, KivPrintHook hook, void *user) {
  if (!sys) sys = GetGlobalSystem();
  sys->print_hook = hook;
  sys->print_user = user;
}

void KivInstallDisplayHook(KIVSystem *sys, KivDisplayHook hook, void *user) {
  if (!sys) sys = GetGlobalSystem();
  sys->display_hook = hook;
  sys->display_user = user;
}

int kivfprintf(FILE *stream, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  const int n = kiv::MutedMessages::vsay(false, stream, format, ap);
  va_end(ap);
  return n;
}

void KivExit(int code) {
  // The innermost recovery point catches it and keeps the code, whichever
  // system a callback made current meanwhile.
  if (kiv::innermostRecovery()) throw kiv::ExitException(code);
  if (KIVSystem *sys = QOR_XB_GlobalSystem) sys->exit_code = code;
  // No recovery point: end as a stand-alone program's fatal error would,
  // with the messages already written, instead of an uncaught exception.
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(code);
}

void MemoryError(const char *label) {
  kiv::MutedMessages::sayFatal(stderr, "\n\nCould not allocate storage in %s\n", label ? label : "");
  kiv::MutedMessages::sayFatal(stderr, "Terminating program\n");
  KivExit(1);
}

void DisplayMessage(const char *message) {
  KIVSystem *sys = GetGlobalSystem();
  if (sys->display_hook) {
    sys->display_hook(message ? message : "", sys->display_user);
    return;
  }
  kivfprintf(stderr, "%s\n", message ? message : "");
  KivExit(1);
}

int kivHandleSubmodelError(const char *submodel, int instance, int level) {
  if (level == 1) {
    kivfprintf(stderr, "\nWarning in %s instance %d.\n", submodel ? submodel : "", instance);
  } else if (level == 2) {
    kivfprintf(stderr, "\nFatal error in %s instance %d.\n", submodel ? submodel : "", instance);
    kivfprintf(stderr, "Terminating the program.\n");
    KivExit(1);
  }
  return 0;
}

}  // extern "C"

namespace {

// The hook of a muting scope; its user datum is the scope, which keeps the
// hook it replaced.
void mute(FILE *, const char *, void *) {}

}  // namespace

kiv::MutedMessages::MutedMessages(bool on) : sys_(on ? GetGlobalSystem() : nullptr) {
  if (!sys_) return;
  hook_ = sys_->print_hook;
  user_ = sys_->print_user;
  sys_->print_hook = &mute;
  sys_->print_user = this;
}

kiv::MutedMessages::~MutedMessages() {
  if (!sys_) return;
  sys_->print_hook = hook_;
  sys_->print_user = user_;
}

int kiv::MutedMessages::vsay(bool fatal, FILE *stream, const char *format, va_list ap) {
  if (!format) return 0;
  char small[512];
  va_list again;
  va_copy(again, ap);
  const int n = std::vsnprintf(small, sizeof small, format, ap);
  std::string big;
  const char *text = small;
  if (n >= 0 && static_cast<size_t>(n) >= sizeof small) {
    big.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, again);
    big.resize(static_cast<size_t>(n));
    text = big.c_str();
  }
  va_end(again);
  if (n < 0) return n;
  KIVSystem *sys = QOR_XB_GlobalSystem;
  KivPrintHook hook = sys ? sys->print_hook : nullptr;
  void *user = sys ? sys->print_user : nullptr;
  // Nested scopes each keep the hook below them.
  while (fatal && hook == &mute) {
    const auto *scope = static_cast<const MutedMessages *>(user);
    hook = scope->hook_;
    user = scope->user_;
  }
  if (hook) {
    hook(stream, text, user);
  } else if (stream) {
    std::fputs(text, stream);
  }
  return n;
}

int kiv::MutedMessages::sayFatal(FILE *stream, const char *format, ...) {
  va_list ap;
  va_start(ap, format);
  const int n = vsay(true, stream, format, ap);
  va_end(ap);
  return n;
}

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
  if (!format) return 0;
  char small[512];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  if (n < 0) return n;
  std::string big;
  const char *text = small;
  if (static_cast<size_t>(n) >= sizeof small) {
    big.resize(static_cast<size_t>(n) + 1);
    va_start(ap, format);
    std::vsnprintf(big.data(), big.size(), format, ap);
    va_end(ap);
    big.resize(static_cast<size_t>(n));
    text = big.c_str();
  }
  KIVSystem *sys = QOR_XB_GlobalSystem;
  if (sys && sys->print_hook) {
    sys->print_hook(stream, text, sys->print_user);
  } else if (stream) {
    std::fputs(text, stream);
  }
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
  kivfprintf(stderr, "\n\nCould not allocate storage in %s\n", label ? label : "");
  kivfprintf(stderr, "Terminating program\n");
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

kiv::MutedMessages::MutedMessages(bool on) : sys_(on ? GetGlobalSystem() : nullptr) {
  if (!sys_) return;
  hook_ = sys_->print_hook;
  user_ = sys_->print_user;
  sys_->print_hook = [](FILE *, const char *, void *) {};
}

kiv::MutedMessages::~MutedMessages() {
  if (!sys_) return;
  sys_->print_hook = hook_;
  sys_->print_user = user_;
}

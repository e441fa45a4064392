// A small host: creates a system, routes the library's messages through its
// own print hook and runs work at the library's recovery point.
#include <cstdio>
#include <string>

#include "runtime/kiv_runtime.h"

namespace {

void print(FILE *stream, const char *text, void *user) {
  auto *lines = static_cast<int *>(user);
  ++*lines;
  std::fprintf(stream == stderr ? stderr : stdout, "[kiv] %s", text);
}

int work(void *) {
  kivfprintf(stdout, "circuit %s, extension %s\n", GetCircuitNameNoPath(),
             GetFileNameExtension() ? GetFileNameExtension() : "(none)");
  // A fatal error below the recovery point ends the run with a status.
  return kivHandleSubmodelError("HOST", 1, 2);
}

}  // namespace

int main() {
  KIVSystem *sys = KivCreateSystem();
  int lines = 0;
  KivInstallPrintHook(sys, &print, &lines);
  KivMakeCurrent(sys);
  KivSetFileNames("/tmp", "demo", "run1");
  int status = KivGuardedCall(sys, &work, nullptr);
  const int code = KivGetExitCode(sys);
  std::printf("status %d, exit code %d, %d message(s)\n", status, code, lines);
  KivReleaseSystem(sys);
  return (status == -2 && code == 1) ? 0 : 1;
}

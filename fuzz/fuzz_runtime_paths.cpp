// Path and environment-variable expansion: the circuit-name placeholders
// and "$NAME" / "%NAME%" references in arbitrary texts, with a circuit name
// and two variables taken from the input.  A text without any reference
// must come back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/kiv_runtime.h"
#include "fuzz/fuzz_support.hpp"

namespace {

using kiv::fuzz::Bytes;

struct Text {
  char *p = nullptr;
  ~Text() { std::free(p); }
};

int run(Bytes &r) {
  const std::string dir = r.line(64), circuit = r.line(64), ext = r.line(16);
  KivSetFileNames(dir.c_str(), circuit.c_str(), ext.c_str());
  setenv("KIVFZ_A", r.line(128).c_str(), 1);
  setenv("KIVFZ_B", r.line(128).c_str(), 1);
  for (int k = 0; k < 6 && r.n > 0; ++k) {
    std::string path = r.line(512);
    path.resize(std::strlen(path.c_str()));  // as a C text sees it
    Text env, name, all;
    CheckEnvVar(path.c_str(), &env.p);
    CheckCircuitName(path.c_str(), &name.p);
    all.p = kivReplaceEnvVariablesInFilepath(path.c_str());
    if (!all.p) std::abort();
    const bool plain = path.find_first_of("$%") == std::string::npos;
    if (plain && (env.p || name.p || path != all.p)) std::abort();
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return kiv::fuzz::runOnBytes(data, size, 4096, run);
}

// The fluid data-file reader on arbitrary bytes: each input is a file that a
// table fluid is defined from; a fluid that is accepted is then evaluated
// over pressure and moved in temperature.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hydraulics/kiv_hydraulics.h"
#include "runtime/system.hpp"
#include "tables/kiv_tablefiles.h"
#include "fuzz/fuzz_support.hpp"

namespace {


const std::string &path() {
  static const std::string p = kiv::fuzz::scratchPath("fluidfile", ".data");
  return p;
}

// Any value may come out of odd tables (a density falling with pressure
// gives a negative bulk modulus); what matters is that nothing breaks.
volatile double sink = 0.0;

void evaluate() {
  for (double p : {-101300.0, -95000.0, -50000.0, 0.0, 1e6, 5e7, 1e9})
    sink = rhoatp_(&p) + bmatp_(&p) + muatp_(&p) + fvoid_(&p);
}

int defineAndUse() {
  int index = 0;
  double p_sat = 0.0, air = 1.0, t = 40.0, n = 1.4, mu_air = 2e-5, high = -90000.0;
  double low = -95000.0, mu_v = 2e-5, molar = 200.0, den = 1.2;
  if (fptables_(&index, &p_sat, &air, &t, &n, path().c_str(), &mu_air, &high, &low, &mu_v, &molar,
                &den) != 1) {
    if (checkhdind2_(&index)) std::abort();  // a refused file leaves no fluid
    return 0;
  }
  sethdind_(&index);
  evaluate();
  for (double moved : {-40.0, 20.0, 150.0}) {
    changeT_(&index, &moved);
    sethdind_(&index);
    evaluate();
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static int noCache = [] {
    int off = 0;  // every input under the same name must be read afresh
    return rtableStoreToCache_(&off);
  }();
  (void)noCache;
  return kiv::fuzz::onScratchFile(path(), data, size, [] { return defineAndUse(); });
}

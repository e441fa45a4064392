// Fluid property tables of fluids defined from data files.  This build has
// no table fluids yet: every entry point stops the run with a message.
#include "hydraulics/hydindex.hpp"

namespace {

[[noreturn]] void unavailable(const char *what) {
  kivfprintf(stderr, "\nFluid property tables are not available in this build (%s).\n", what);
  KivExit(1);
}

}  // namespace

double bmfromtble(double, double) { unavailable("bmfromtble"); }
double rhofromtble(double, double) { unavailable("rhofromtble"); }
double mufromtble(double, double) { unavailable("mufromtble"); }
void membmrhotble() { unavailable("membmrhotble"); }
void memmutble() { unavailable("memmutble"); }

extern "C" void changeT_(int *, double *) { unavailable("changeT_"); }

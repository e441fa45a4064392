// Set-up of the tank submodel: its pressure cannot be below absolute zero.
#include "hydraulics/kiv_hydraulics.h"

extern "C" void tk000in_(int *instance, double *pressure) {
  const double lowest = -getatp_() / 1e5;  // bar gauge
  if (*pressure < lowest) {
    kivfprintf(stderr, "\n\nTK000 instance %d pressure is too low\n", *instance);
    kivfprintf(stderr, "Reset to %g bar\n\n", lowest);
    *pressure = lowest;
  }
}

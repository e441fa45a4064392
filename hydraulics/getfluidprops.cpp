// Getters of the index-0 drop fluid (a general fluid whose high and low
// vapour saturation pressures are equal), and the old oil-file reader.
#include <cstdio>
#include <memory>

#include "hydraulics/fluidlaws.hpp"
#include "runtime/textfile.hpp"

const HydFluidRecord *fpdropRecord() {
  int i = 0;
  const HydFluidRecord *r = retfprop_(&i);
  if (getftype_(&i) != 4) {
    kivfprintf(stderr, "No FPDROP icon is in the circuit.\n");
    KivExit(1);
  }
  return r;
}

extern "C" {

void checkfpdrop(void) { (void)fpdropRecord(); }

double getrho_(void) { return fpdropRecord()->density; }
double getsap_(void) { return fpdropRecord()->p_sat; }
double getebm_(void) { return fpdropRecord()->bulk_modulus; }
double getmu_(void) { return fpdropRecord()->viscosity; }
double getnu_(void) {
  const HydFluidRecord *r = fpdropRecord();
  return r->viscosity / r->density;
}
double getair_(void) { return fpdropRecord()->air; }
double getemp_(void) { return fpdropRecord()->temperature; }
double getpol_(void) { return fpdropRecord()->polytropic; }

void ReadOilFile(const char *path, const char *open_message, const char *read_message) {
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  std::unique_ptr<FILE, int (*)(FILE *)> fp(kiv::openText(path, &status), &std::fclose);
  if (!fp) {
    DisplayMessage(status == kiv::TextStatus::kReadFailed ? read_message : open_message);
    return;
  }
  double values[8];
  GetValues(fp.get(), values, 8, nullptr, 0, read_message);
}

}  // extern "C"

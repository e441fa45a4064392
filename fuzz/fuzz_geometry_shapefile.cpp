// The shape-file readers on a file written from the input, and the printing
// and extraction of what they register.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.hpp"
#include "geometry/kiv_shapeid.h"
#include "runtime/system.hpp"

namespace {

const std::string &inputPath() {
  static const std::string p = kiv::fuzz::scratchPath("geometry_shapefile", ".xy");
  return p;
}

const std::string &printPath() {
  static const std::string p = kiv::fuzz::scratchPath("geometry_shapefile", ".out");
  return p;
}

// A registered contour is one path of the asked orientation whose printed
// and extracted point counts agree.
void checkRegistered(int id, bool hole) {
  if (id < 0) {
    if (id != -1 && id != -2) std::abort();
    return;
  }
  const shape *s = xCD_get_shape_(&id);
  if (!s || s->npaths != 1) std::abort();
  const double a = area2D_(s);
  if (hole ? !(a < 0) : !(a > 0)) std::abort();
  xCD_fprint_shape_id_(printPath().c_str(), &id);
  double *x = nullptr, *y = nullptr;
  int *sizes = nullptr, n = 0;
  extract_shape_(&id, &x, &y, &sizes, &n);
  if (n != 1 || sizes[0] != size_path_print_(s->paths[0])) std::abort();
  for (int k = 0; k < sizes[0]; ++k)
    if (!std::isfinite(x[k]) || !std::isfinite(y[k])) std::abort();
  int teeth = -1;
  double g[4];
  if (size_path_(s->paths[0]) <= 200 && (check_gear_id_(&id, &teeth, &g[0], &g[1], &g[2], &g[3]) != 0 || teeth < 0 || g[2] > g[3]))
    std::abort();
  std::free(x);
  std::free(y);
  std::free(sizes);
}

int readAll(const char *name, int kind) {
  checkRegistered(xCD_create_object_from_datafile_(name, &kind), kind != 1);
  const char *mm[] = {"mm", "mm", "mm", nullptr};
  checkRegistered(create_hole_(name, ";,", mm), true);
  checkRegistered(create_userport_id_(name, nullptr, nullptr), false);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  const kiv::fuzz::Scratch printed(printPath());
  return kiv::fuzz::onScratchFile(inputPath(), data + 1, size - 1,
                                  [&] { return readAll(inputPath().c_str(), data[0] & 1); });
}

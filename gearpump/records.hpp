// The gear pump's records: the parameters of one pump, the per-instance
// record of table ids, and the scratch workspace of the geometry build.
// Everything is owned by value or by unique_ptr, so releasing an instance
// (or a workspace) frees each block exactly once.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "gearpump/kiv_gearpump.h"
#include "tables/kiv_splinend.h"

namespace kiv::egp {

using egp_params = ::egp_params;


// Fills every field that has a source in the submodel's packed real and
// integer parameters (already in SI units); the others are left alone.
// Returns 0.
int egp_param_setup(egp_params &p, const double *reals, const int *ints);

// Samples per degree of each precision level 0..6.
inline constexpr int kPrecisionSamples[7] = {0, 1, 2, 4, 5, 8, 10};

// A curve over the sweep: empty until the build selects its cavity.
using Curve = std::vector<double>;
// One curve per cavity of a gear (z entries once the build sizes it).
using CavityCurves = std::vector<Curve>;

// Scratch record of the geometry build: sampled curves in mm, mm2 and
// degrees.  A fresh one is all zero and all empty.
struct egp_pump_data {
  CavityCurves drv_len_out, drv_len_inl, drv_area_out, drv_area_inl, drv_area_cav;
  CavityCurves drv_vol_x, drv_vol_y;  // cavity area table: axis (deg), values (mm2)
  std::vector<int> drv_vol_n;
  CavityCurves drn_len_out, drn_len_inl, drn_area_out, drn_area_inl, drn_area_cav;
  CavityCurves drn_vol_x, drn_vol_y;
  std::vector<int> drn_vol_n;
  CavityCurves drv_gapn_x, drv_gapn;  // neighbour-tooth gap while meshing
  std::vector<int> drv_gapn_n;
  CavityCurves drv_gapo_x, drv_gapo;  // own-tooth gap while meshing
  std::vector<int> drv_gapo_n;
  Curve out_area1, out_area2, inl_area1, inl_area2;
  std::array<CavityCurves, 4> drv_border;  // dx, dy, xm, ym
  std::array<CavityCurves, 8> drv_center;
  std::array<CavityCurves, 4> drn_border;
  std::array<CavityCurves, 8> drn_center;
  Curve out_a_x, out_b_x, inl_c_x, inl_d_x;  // chamber force axes
  std::array<Curve, 8> out_a, out_b, inl_c, inl_d;
  std::array<double, 4> out_box{};  // x min, y min, x max, y max
  std::array<double, 4> inl_box{};
  int out_box_flag = 0;
  int inl_box_flag = 0;
  std::array<std::array<double, 32>, 16> special{};  // force records at special positions
};

// Sizes every per-cavity field for z1 driving and z2 driven cavities, all
// entries empty.
void egp_pump_data_size(egp_pump_data &w, int z1, int z2);
// Releases every curve and per-cavity array; the port boxes, their flags
// and the special records keep their values (what a failed or finished
// build leaves behind).
void egp_pump_data_clear_curves(egp_pump_data &w);

// Slot numbers of the instance record.
inline constexpr int kSlotCount = 77;
inline constexpr int kIdSlots = 74;  // 0..73: spline ids (16 and 17: markers)
inline constexpr int kSlotMarkersDriving = 16;
inline constexpr int kSlotMarkersDriven = 17;

// Per-instance record: spline ids of the tables by shaft angle (-1 until a
// table is made), the meshing-zone markers and the build workspace.  Each
// id element has an interval memory per cavity read at its own angle
// (memory[s][k] for cavity k of a per-cavity slot, [s][0] otherwise).
// Slots 75 and 76 stay null in every version this library serves, so they
// hold nothing here.
struct egp_instance {
  int z1 = 0, z2 = 0;
  std::array<std::vector<int>, kIdSlots> slot;
  std::unique_ptr<egp_pump_data> pump_data;  // slot 74
  std::array<std::vector<nd::Memory>, kIdSlots> memory;

  // Element k of slot s (k = 0 for the one-id slots).
  int &id(int s, int k = 0) { return slot[static_cast<size_t>(s)][static_cast<size_t>(k)]; }
  int id(int s, int k = 0) const { return slot[static_cast<size_t>(s)][static_cast<size_t>(k)]; }
};

// Elements of slot s at creation for z1 and z2 cavities.
int egp_slot_size(int s, int z1, int z2);

// A new instance with every id slot sized for its gears and set to -1, the
// marker slots empty and a fresh workspace; MemoryError when storage runs
// out.
std::unique_ptr<egp_instance> egp_instance_create(int z1, int z2);

// The caller's pointer store: the instance passes into the slot, and the
// release deletes what the slot holds and nulls it, so a second release
// (or a release of a null slot) does nothing.
egp_instance *egp_instance_store(void **slot, std::unique_ptr<egp_instance> inst);
egp_instance *egp_instance_of(void *const *slot);
int egp_instance_release(void **slot);

}  // namespace kiv::egp

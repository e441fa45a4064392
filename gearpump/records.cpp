// Creation and release of the gear pump's records.
#include "gearpump/records.hpp"

#include <algorithm>
#include <new>

#include "gearpump/hcdegp0_table.hpp"
#include "runtime/kiv_runtime.h"

namespace kiv::egp {

int egp_param_setup(egp_params &p, const double *r, const int *i) {
  param::fill_record(hcdegp0_reals(), hcdegp0_ints(), p, r, i);
  p.teeth_driven = p.teeth_driving;  // the submodel has one tooth count
  return 0;
}

namespace {

template <class... F>
void resizeAll(size_t n, F &...f) {
  (f.assign(n, {}), ...);
}

template <class T, size_t K>
void resizeAll(size_t n, std::array<T, K> &a) {
  for (auto &f : a) f.assign(n, {});
}

template <class... F>
void releaseAll(F &...f) {
  ((f = {}), ...);
}

}  // namespace

void egp_pump_data_size(egp_pump_data &w, int z1, int z2) {
  const auto n1 = static_cast<size_t>(std::max(z1, 0)), n2 = static_cast<size_t>(std::max(z2, 0));
  resizeAll(n1, w.drv_len_out, w.drv_len_inl, w.drv_area_out, w.drv_area_inl, w.drv_area_cav,
            w.drv_vol_x, w.drv_vol_y, w.drv_vol_n, w.drv_gapn_x, w.drv_gapn, w.drv_gapn_n,
            w.drv_gapo_x, w.drv_gapo, w.drv_gapo_n);
  resizeAll(n2, w.drn_len_out, w.drn_len_inl, w.drn_area_out, w.drn_area_inl, w.drn_area_cav,
            w.drn_vol_x, w.drn_vol_y, w.drn_vol_n);
  resizeAll(n1, w.drv_border);
  resizeAll(n1, w.drv_center);
  resizeAll(n2, w.drn_border);
  resizeAll(n2, w.drn_center);
}

void egp_pump_data_clear_curves(egp_pump_data &w) {
  releaseAll(w.drv_len_out, w.drv_len_inl, w.drv_area_out, w.drv_area_inl, w.drv_area_cav,
             w.drv_vol_x, w.drv_vol_y, w.drv_vol_n, w.drn_len_out, w.drn_len_inl, w.drn_area_out,
             w.drn_area_inl, w.drn_area_cav, w.drn_vol_x, w.drn_vol_y, w.drn_vol_n, w.drv_gapn_x,
             w.drv_gapn, w.drv_gapn_n, w.drv_gapo_x, w.drv_gapo, w.drv_gapo_n, w.out_area1,
             w.out_area2, w.inl_area1, w.inl_area2, w.drv_border, w.drv_center, w.drn_border,
             w.drn_center, w.out_a_x, w.out_b_x, w.inl_c_x, w.inl_d_x, w.out_a, w.out_b, w.inl_c,
             w.inl_d);
}

int egp_slot_size(int s, int z1, int z2) {
  z1 = std::max(z1, 0);
  z2 = std::max(z2, 0);
  if (s < 0 || s >= kIdSlots) return 0;
  if (s <= 9) return s % 2 == 0 ? z1 : z2;
  if (s <= 13) return 1;
  if (s == 14) return z1;
  if (s == 15) return z2;
  if (s <= 17) return 0;  // the markers: sized by the table set-up
  if (s <= 29) return z1;
  if (s <= 41) return z2;
  return 1;
}

std::unique_ptr<egp_instance> egp_instance_create(int z1, int z2) {
  return kiv::guardAllocation("egp_instance_create", [&] {
    auto inst = std::make_unique<egp_instance>();
    inst->z1 = z1;
    inst->z2 = z2;
    for (int s = 0; s < kIdSlots; ++s) {
      const auto n = static_cast<size_t>(egp_slot_size(s, z1, z2));
      inst->slot[static_cast<size_t>(s)].assign(n, -1);
      inst->memory[static_cast<size_t>(s)].resize(n);
    }
    inst->pump_data = std::make_unique<egp_pump_data>();
    return inst;
  });
}

egp_instance *egp_instance_store(void **slot, std::unique_ptr<egp_instance> inst) {
  egp_instance_release(slot);
  *slot = inst.release();
  return static_cast<egp_instance *>(*slot);
}

egp_instance *egp_instance_of(void *const *slot) {
  return slot ? static_cast<egp_instance *>(*slot) : nullptr;
}

int egp_instance_release(void **slot) {
  if (!slot || !*slot) return 0;
  std::unique_ptr<egp_instance> owner(static_cast<egp_instance *>(*slot));
  *slot = nullptr;
  return 0;
}

}  // namespace kiv::egp

int hcd_egp_param_setup_03(egp_params *record, const double *real_parameters,
                           const int *integer_parameters) {
  return record && real_parameters && integer_parameters
             ? kiv::egp::egp_param_setup(*record, real_parameters, integer_parameters)
             : 0;
}

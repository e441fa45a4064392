#include "gearpump/records.hpp"

#include <gtest/gtest.h>

namespace kiv::egp {
namespace {

TEST(GearPumpRecords, InstanceSlotsFollowTheirGears) {
  auto inst = egp_instance_create(7, 9);
  // Driving-gear slots have 7 elements, driven-gear slots 9, pump slots 1.
  for (int s : {0, 2, 4, 6, 8, 14, 18, 29}) EXPECT_EQ(inst->slot[s].size(), 7u) << s;
  for (int s : {1, 3, 5, 7, 9, 15, 30, 41}) EXPECT_EQ(inst->slot[s].size(), 9u) << s;
  for (int s : {10, 13, 42, 73}) EXPECT_EQ(inst->slot[s].size(), 1u) << s;
  EXPECT_TRUE(inst->slot[16].empty() && inst->slot[17].empty());
  for (const auto &s : inst->slot)
    for (int id : s) EXPECT_EQ(id, -1);
  ASSERT_TRUE(inst->pump_data);
  const egp_pump_data &w = *inst->pump_data;  // all empty, all zero
  EXPECT_TRUE(w.drv_len_out.empty() && w.out_box_flag == 0 && w.special[15][31] == 0.0);
}

TEST(GearPumpRecords, ReleaseThroughTheSlotIsIdempotent) {
  void *slot = nullptr;
  EXPECT_EQ(egp_instance_release(&slot), 0);  // a null slot is fine
  egp_instance *p = egp_instance_store(&slot, egp_instance_create(10, 10));
  EXPECT_EQ(egp_instance_of(&slot), p);
  // Storing over a held instance releases the old one (ASan catches a leak).
  egp_instance_store(&slot, egp_instance_create(3, 3));
  EXPECT_EQ(egp_instance_of(&slot)->z1, 3);
  EXPECT_EQ(egp_instance_release(&slot), 0);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(egp_instance_release(&slot), 0);
}

TEST(GearPumpRecords, ClearingKeepsBoxesFlagsAndSpecialRecords) {
  egp_pump_data w;
  egp_pump_data_size(w, 4, 5);
  EXPECT_EQ(w.drv_center[7].size(), 4u);
  EXPECT_EQ(w.drn_border[0].size(), 5u);
  w.drv_area_cav[2].assign(16, 1.0);
  w.out_a[3].assign(16, 2.0);
  w.out_box = {-1, -2, 3, 4};
  w.inl_box_flag = 1;
  w.special[4][7] = 5.0;
  egp_pump_data_clear_curves(w);
  EXPECT_TRUE(w.drv_area_cav.empty());
  EXPECT_TRUE(w.out_a[3].empty());
  EXPECT_TRUE(w.drn_border[0].empty());
  EXPECT_EQ(w.out_box[3], 4.0);
  EXPECT_EQ(w.inl_box_flag, 1);
  EXPECT_EQ(w.special[4][7], 5.0);
}

}  // namespace
}  // namespace kiv::egp

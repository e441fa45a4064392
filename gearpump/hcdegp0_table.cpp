// The HCDEGP0 parameter rows.  Rows of one stage are in the order their
// messages are printed.
#include "gearpump/hcdegp0_table.hpp"

namespace kiv::egp {

namespace {

using param::Limit;
using param::Range;
using R = param::RealRow<egp_params>;
using I = param::IntRow<egp_params>;
using P = egp_params;

constexpr double kBar = 1e5, kMm = 0.001, kMm2 = 1e-6, kMm3 = 1e-9, kDeg = 0.0174532925199433;
constexpr param::Mask kCommonDetails = kWhenDetails | kWhenCommon;
constexpr param::Mask kPerGearDetails = kWhenDetails | kWhenPerGear;

constexpr R kReals[] = {
    {kInitialPressure, "initial pressure", kBar, Range::any, 0, kPressure, &P::initial_pressure,
     Limit::million, " [bar]"},
    {15, "pressure angle", kDeg, Range::any, 0, kNoCheck, &P::pressure_angle},
    {27, "outlet start angle of driving gear", kDeg, Range::any, 0, kNoCheck,
     &P::outlet_start_driving},
    {28, "outlet start angle of driven gear", kDeg, Range::any, 0, kNoCheck,
     &P::outlet_start_driven},
    {29, "inlet end angle of driving gear", kDeg, Range::any, 0, kNoCheck, &P::inlet_end_driving},
    {30, "inlet end angle of driven gear", kDeg, Range::any, 0, kNoCheck, &P::inlet_end_driven},
    {31, "groove start angle of driving gear", kDeg, Range::any, 0, kNoCheck,
     &P::groove_start_driving},
    {32, "groove end angle of driving gear", kDeg, Range::any, 0, kNoCheck, &P::groove_end_driving},
    {33, "groove start angle of driven gear", kDeg, Range::any, 0, kNoCheck,
     &P::groove_start_driven},
    {34, "groove end angle of driven gear", kDeg, Range::any, 0, kNoCheck, &P::groove_end_driven},

    {kHa, "addendum coefficient", 1, Range::above_zero, 0, kRackCoefficients,
     &P::addendum_coefficient, Limit::million},
    {kCtip, "tip clearance coefficient", 1, Range::above_zero, 0, kRackCoefficients,
     &P::tip_clearance_coefficient, Limit::million},
    {kFillet, "fillet radius of cutting tool coefficient", 1, Range::from_zero, 0,
     kRackCoefficients, &P::fillet_coefficient, Limit::million},
    {kModule, "module", kMm, Range::above_zero, 0, kRackCoefficients, &P::gear_module,
     Limit::million, " [mm]"},
    {kShift1, "profile shift coefficient of the driving gear", 1, Range::any, 0, kRackCoefficients,
     &P::profile_shift_driving, Limit::million_both_ways},
    {kShift2, "profile shift coefficient of the driven gear", 1, Range::any, 0, kRackCoefficients,
     &P::profile_shift_driven, Limit::million_both_ways},

    {kDrivenX, "driven gear center x", kMm, Range::any, 0, kGearFiles, &P::driven_center_x,
     Limit::million_both_ways, " [mm]"},
    {kDrivenY, "driven gear center y", kMm, Range::any, 0, kGearFiles, &P::driven_center_y,
     Limit::million_both_ways, " [mm]"},

    {kThickness, "gear thickness", kMm, Range::above_zero, 0, kThicknessCheck, &P::gear_thickness,
     Limit::million, " [mm]"},
    {kGrooveWidth, "groove width", kMm, Range::above_zero, 0, kGrooveCheck, &P::groove_width},

    {kInlDistance, "inlet port distance to center axis", kMm, Range::above_zero, kWhenInletAnalytic,
     kPorts, &P::inlet_port_distance, Limit::size, " [mm]"},
    {kInlWidth, "inlet port width", kMm, Range::above_zero, kWhenInletAnalytic, kPorts,
     &P::inlet_port_width, Limit::size, " [mm]"},
    {kOutDistance, "outlet port distance to center axis", kMm, Range::above_zero,
     kWhenOutletAnalytic, kPorts, &P::outlet_port_distance, Limit::size, " [mm]"},
    {kOutWidth, "outlet port width", kMm, Range::above_zero, kWhenOutletAnalytic, kPorts,
     &P::outlet_port_width, Limit::size, " [mm]"},

    {22, "teeth clearance", kMm, Range::from_zero, 0, kClearances, &P::teeth_clearance, Limit::size,
     " [mm]"},
    {21, "contact threshold", kMm, Range::from_zero, 0, kClearances, &P::contact_threshold,
     Limit::size, " [mm]"},
    {36, "radial clearance", kMm, Range::from_zero, 0, kClearances, &P::radial_clearance,
     Limit::size, " [mm]"},
    {37, "lateral gap", kMm, Range::from_zero, 0, kClearances, &P::lateral_gap, Limit::size,
     " [mm]"},
    // A negative area, volume or multiplier turns a flow round or makes a
    // chamber's stiffness negative.
    {1, "inlet port area", kMm2, Range::from_zero, 0, kClearances, &P::inlet_port_area,
     Limit::size_squared, " [mm2]"},
    {2, "inlet dead volume", kMm3, Range::from_zero, 0, kClearances, &P::inlet_dead_volume},
    {3, "outlet port area", kMm2, Range::from_zero, 0, kClearances, &P::outlet_port_area,
     Limit::size_squared, " [mm2]"},
    {4, "outlet dead volume", kMm3, Range::from_zero, 0, kClearances, &P::outlet_dead_volume},
    {6, "multiplier of the flow to next cavity", 1, Range::from_zero, 0, kClearances,
     &P::mult_next_cavity, Limit::million},
    {7, "multiplier of the tooth-tip leakage", 1, Range::from_zero, 0, kClearances,
     &P::mult_tip_leakage, Limit::million},
    {8, "multiplier of the inlet radial flow", 1, Range::from_zero, 0, kClearances,
     &P::mult_inlet_radial, Limit::million},
    {9, "multiplier of the inlet axial flow", 1, Range::from_zero, 0, kClearances,
     &P::mult_inlet_axial, Limit::million},
    {10, "multiplier of the outlet radial flow", 1, Range::from_zero, 0, kClearances,
     &P::mult_outlet_radial, Limit::million},
    {11, "multiplier of the outlet axial flow", 1, Range::from_zero, 0, kClearances,
     &P::mult_outlet_axial, Limit::million},

    {38, "tooth tip length", kMm, Range::above_zero, kCommonDetails, kLeakage, &P::tip_length,
     Limit::size, " [mm]"},
    {43, "tooth tip length of driving gear", kMm, Range::above_zero, kPerGearDetails, kLeakage,
     &P::tip_length_driving, Limit::size, " [mm]"},
    {48, "tooth tip length of driven gear", kMm, Range::above_zero, kPerGearDetails, kLeakage,
     &P::tip_length_driven, Limit::size, " [mm]"},
    {39, "tooth height", kMm, Range::from_zero, kCommonDetails, kLeakage, &P::tooth_height,
     Limit::size, " [mm]"},
    {44, "tooth height of driving gear", kMm, Range::from_zero, kPerGearDetails, kLeakage,
     &P::tooth_height_driving, Limit::size, " [mm]"},
    {49, "tooth height of driven gear", kMm, Range::from_zero, kPerGearDetails, kLeakage,
     &P::tooth_height_driven, Limit::size, " [mm]"},
    {40, "tooth width", kMm, Range::above_zero, kCommonDetails, kLeakage, &P::tooth_width,
     Limit::size, " [mm]"},
    {45, "tooth width of driving gear", kMm, Range::above_zero, kPerGearDetails, kLeakage,
     &P::tooth_width_driving, Limit::size, " [mm]"},
    {50, "tooth width of driven gear", kMm, Range::above_zero, kPerGearDetails, kLeakage,
     &P::tooth_width_driven, Limit::size, " [mm]"},
    {kDrainage, "drainage radius", kMm, Range::from_zero, kWhenCommon, kLeakage,
     &P::drainage_radius, Limit::size, " [mm]"},
    {kDrainageDriving, "drainage radius of driving gear", kMm, Range::from_zero, kWhenPerGear,
     kLeakage, &P::drainage_radius_driving, Limit::size, " [mm]"},
    {kDrainageDriven, "drainage radius of driven gear", kMm, Range::from_zero, kWhenPerGear,
     kLeakage, &P::drainage_radius_driven, Limit::size, " [mm]"},
    {42, "drainage width factor", 1, Range::from_zero, kCommonDetails, kLeakage,
     &P::drainage_width_factor, Limit::million},
    {47, "drainage width factor of driving gear", 1, Range::from_zero, kPerGearDetails, kLeakage,
     &P::drainage_width_factor_driving, Limit::million},
    {52, "drainage width factor of driven gear", 1, Range::from_zero, kPerGearDetails, kLeakage,
     &P::drainage_width_factor_driven, Limit::million},
    {53, "meshing zone height", kMm, Range::above_zero, kWhenDetails, kLeakage,
     &P::meshing_zone_height, Limit::size, " [mm]"},
    {54, "meshing zone width", kMm, Range::from_zero, kWhenDetails, kLeakage,
     &P::meshing_zone_width, Limit::size, " [mm]"},
};
static_assert(std::size(kReals) == kRealCount);

constexpr I kInts[] = {
    {kFluid, "index of hydraulic fluid", 0, 100, &P::fluid_index},
    {kTeeth, "number of teeth of driving gear", 5, 100, &P::teeth_driving},
    {kGearDef, "gear definition", 1, 2, &P::gear_definition},
    {kOutletDef, "outlet port definition", 1, 3, &P::outlet_port_definition},
    {kInletDef, "inlet port definition", 1, 3, &P::inlet_port_definition},
    {kGroove, "groove", 1, 2, &P::groove},
    {kLeakMode, "mode", 1, 2, &P::leakage_mode},
    {kIdentical, "identical gears", 1, 2, &P::identical_gears},
};
static_assert(std::size(kInts) == kIntCount);

}  // namespace

param::Mask hcdegp0_active(const int *i) {
  param::Mask m = 0;
  if (i[kInletDef] == 2) m |= kWhenInletAnalytic;
  if (i[kOutletDef] == 2) m |= kWhenOutletAnalytic;
  if (i[kLeakMode] == 2) m |= kWhenDetails;
  if (i[kIdentical] == 1) m |= kWhenCommon;
  if (i[kIdentical] == 2) m |= kWhenPerGear;
  return m;
}

std::span<const param::RealRow<egp_params>> hcdegp0_reals() { return kReals; }
std::span<const param::IntRow<egp_params>> hcdegp0_ints() { return kInts; }

}  // namespace kiv::egp

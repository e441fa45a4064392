// The HCDEGP0 parameter rows.  Rows of one stage are in the order their
// messages are printed.
#include "gearpump/hcdegp0_table.hpp"

namespace kiv::egp {

namespace {

using Rule = SetupParam::Rule;
using Limit = SetupParam::Limit;
using R = SetupField<egp_params>;
using I = param::IntRow<egp_params>;
using P = egp_params;

constexpr double kBar = 1e5, kMm = 0.001, kMm2 = 1e-6, kMm3 = 1e-9, kDeg = 0.0174532925199433;
constexpr param::Mask kCommonDetails = kWhenDetails | kWhenCommon;
constexpr param::Mask kPerGearDetails = kWhenDetails | kWhenPerGear;

// A row whose messages are made from its name.
constexpr R row(int pos, const char *name, double factor, Rule rule, param::Mask when, int stage,
                double P::*field, Limit limit = Limit::None, const char *unit = "") {
  R r{};
  r.pos = pos, r.name = name, r.factor = factor, r.rule = rule, r.bound = 0.0;
  r.message = nullptr, r.limit = limit, r.unit = unit, r.when = when, r.stage = stage;
  r.field = field;
  return r;
}

constexpr R kReals[] = {
    row(kInitialPressure, "initial pressure", kBar, Rule::Any, 0, kPressure, &P::initial_pressure,
        Limit::Million, " [bar]"),
    row(15, "pressure angle", kDeg, Rule::Any, 0, kNoCheck, &P::pressure_angle),
    row(27, "outlet start angle of driving gear", kDeg, Rule::Any, 0, kNoCheck,
        &P::outlet_start_driving),
    row(28, "outlet start angle of driven gear", kDeg, Rule::Any, 0, kNoCheck,
        &P::outlet_start_driven),
    row(29, "inlet end angle of driving gear", kDeg, Rule::Any, 0, kNoCheck, &P::inlet_end_driving),
    row(30, "inlet end angle of driven gear", kDeg, Rule::Any, 0, kNoCheck, &P::inlet_end_driven),
    row(31, "groove start angle of driving gear", kDeg, Rule::Any, 0, kNoCheck,
        &P::groove_start_driving),
    row(32, "groove end angle of driving gear", kDeg, Rule::Any, 0, kNoCheck,
        &P::groove_end_driving),
    row(33, "groove start angle of driven gear", kDeg, Rule::Any, 0, kNoCheck,
        &P::groove_start_driven),
    row(34, "groove end angle of driven gear", kDeg, Rule::Any, 0, kNoCheck, &P::groove_end_driven),

    row(kHa, "addendum coefficient", 1, Rule::Positive, 0, kRackCoefficients,
        &P::addendum_coefficient, Limit::Million),
    row(kCtip, "tip clearance coefficient", 1, Rule::Positive, 0, kRackCoefficients,
        &P::tip_clearance_coefficient, Limit::Million),
    row(kFillet, "fillet radius of cutting tool coefficient", 1, Rule::AtLeast, 0,
        kRackCoefficients, &P::fillet_coefficient, Limit::Million),
    row(kModule, "module", kMm, Rule::Positive, 0, kRackCoefficients, &P::gear_module,
        Limit::Million, " [mm]"),
    row(kShift1, "profile shift coefficient of the driving gear", 1, Rule::Any, 0,
        kRackCoefficients, &P::profile_shift_driving, Limit::MillionBothWays),
    row(kShift2, "profile shift coefficient of the driven gear", 1, Rule::Any, 0, kRackCoefficients,
        &P::profile_shift_driven, Limit::MillionBothWays),

    row(kDrivenX, "driven gear center x", kMm, Rule::Any, 0, kGearFiles, &P::driven_center_x,
        Limit::MillionBothWays, " [mm]"),
    row(kDrivenY, "driven gear center y", kMm, Rule::Any, 0, kGearFiles, &P::driven_center_y,
        Limit::MillionBothWays, " [mm]"),

    row(kThickness, "gear thickness", kMm, Rule::Positive, 0, kThicknessCheck, &P::gear_thickness,
        Limit::Million, " [mm]"),
    row(kGrooveWidth, "groove width", kMm, Rule::Positive, 0, kGrooveCheck, &P::groove_width),

    row(kInlDistance, "inlet port distance to center axis", kMm, Rule::Positive, kWhenInletAnalytic,
        kPorts, &P::inlet_port_distance, Limit::Size, " [mm]"),
    row(kInlWidth, "inlet port width", kMm, Rule::Positive, kWhenInletAnalytic, kPorts,
        &P::inlet_port_width, Limit::Size, " [mm]"),
    row(kOutDistance, "outlet port distance to center axis", kMm, Rule::Positive,
        kWhenOutletAnalytic, kPorts, &P::outlet_port_distance, Limit::Size, " [mm]"),
    row(kOutWidth, "outlet port width", kMm, Rule::Positive, kWhenOutletAnalytic, kPorts,
        &P::outlet_port_width, Limit::Size, " [mm]"),

    row(22, "teeth clearance", kMm, Rule::AtLeast, 0, kClearances, &P::teeth_clearance, Limit::Size,
        " [mm]"),
    row(21, "contact threshold", kMm, Rule::AtLeast, 0, kClearances, &P::contact_threshold,
        Limit::Size, " [mm]"),
    row(36, "radial clearance", kMm, Rule::AtLeast, 0, kClearances, &P::radial_clearance,
        Limit::Size, " [mm]"),
    row(37, "lateral gap", kMm, Rule::AtLeast, 0, kClearances, &P::lateral_gap, Limit::Size,
        " [mm]"),
    // A negative area, volume or multiplier turns a flow round or makes a
    // chamber's stiffness negative.
    row(1, "inlet port area", kMm2, Rule::AtLeast, 0, kClearances, &P::inlet_port_area,
        Limit::SizeSquared, " [mm2]"),
    row(2, "inlet dead volume", kMm3, Rule::AtLeast, 0, kClearances, &P::inlet_dead_volume),
    row(3, "outlet port area", kMm2, Rule::AtLeast, 0, kClearances, &P::outlet_port_area,
        Limit::SizeSquared, " [mm2]"),
    row(4, "outlet dead volume", kMm3, Rule::AtLeast, 0, kClearances, &P::outlet_dead_volume),
    row(6, "multiplier of the flow to next cavity", 1, Rule::AtLeast, 0, kClearances,
        &P::mult_next_cavity, Limit::Million),
    row(7, "multiplier of the tooth-tip leakage", 1, Rule::AtLeast, 0, kClearances,
        &P::mult_tip_leakage, Limit::Million),
    row(8, "multiplier of the inlet radial flow", 1, Rule::AtLeast, 0, kClearances,
        &P::mult_inlet_radial, Limit::Million),
    row(9, "multiplier of the inlet axial flow", 1, Rule::AtLeast, 0, kClearances,
        &P::mult_inlet_axial, Limit::Million),
    row(10, "multiplier of the outlet radial flow", 1, Rule::AtLeast, 0, kClearances,
        &P::mult_outlet_radial, Limit::Million),
    row(11, "multiplier of the outlet axial flow", 1, Rule::AtLeast, 0, kClearances,
        &P::mult_outlet_axial, Limit::Million),

    row(38, "tooth tip length", kMm, Rule::Positive, kCommonDetails, kLeakage, &P::tip_length,
        Limit::Size, " [mm]"),
    row(43, "tooth tip length of driving gear", kMm, Rule::Positive, kPerGearDetails, kLeakage,
        &P::tip_length_driving, Limit::Size, " [mm]"),
    row(48, "tooth tip length of driven gear", kMm, Rule::Positive, kPerGearDetails, kLeakage,
        &P::tip_length_driven, Limit::Size, " [mm]"),
    row(39, "tooth height", kMm, Rule::AtLeast, kCommonDetails, kLeakage, &P::tooth_height,
        Limit::Size, " [mm]"),
    row(44, "tooth height of driving gear", kMm, Rule::AtLeast, kPerGearDetails, kLeakage,
        &P::tooth_height_driving, Limit::Size, " [mm]"),
    row(49, "tooth height of driven gear", kMm, Rule::AtLeast, kPerGearDetails, kLeakage,
        &P::tooth_height_driven, Limit::Size, " [mm]"),
    row(40, "tooth width", kMm, Rule::Positive, kCommonDetails, kLeakage, &P::tooth_width,
        Limit::Size, " [mm]"),
    row(45, "tooth width of driving gear", kMm, Rule::Positive, kPerGearDetails, kLeakage,
        &P::tooth_width_driving, Limit::Size, " [mm]"),
    row(50, "tooth width of driven gear", kMm, Rule::Positive, kPerGearDetails, kLeakage,
        &P::tooth_width_driven, Limit::Size, " [mm]"),
    row(kDrainage, "drainage radius", kMm, Rule::AtLeast, kWhenCommon, kLeakage,
        &P::drainage_radius, Limit::Size, " [mm]"),
    row(kDrainageDriving, "drainage radius of driving gear", kMm, Rule::AtLeast, kWhenPerGear,
        kLeakage, &P::drainage_radius_driving, Limit::Size, " [mm]"),
    row(kDrainageDriven, "drainage radius of driven gear", kMm, Rule::AtLeast, kWhenPerGear,
        kLeakage, &P::drainage_radius_driven, Limit::Size, " [mm]"),
    row(42, "drainage width factor", 1, Rule::AtLeast, kCommonDetails, kLeakage,
        &P::drainage_width_factor, Limit::Million),
    row(47, "drainage width factor of driving gear", 1, Rule::AtLeast, kPerGearDetails, kLeakage,
        &P::drainage_width_factor_driving, Limit::Million),
    row(52, "drainage width factor of driven gear", 1, Rule::AtLeast, kPerGearDetails, kLeakage,
        &P::drainage_width_factor_driven, Limit::Million),
    row(53, "meshing zone height", kMm, Rule::Positive, kWhenDetails, kLeakage,
        &P::meshing_zone_height, Limit::Size, " [mm]"),
    row(54, "meshing zone width", kMm, Rule::AtLeast, kWhenDetails, kLeakage,
        &P::meshing_zone_width, Limit::Size, " [mm]"),
};
static_assert(std::size(kReals) == kRealCount);

// The smallest module: the bounds the set-up takes from the size of the
// pair are printed to 0.001 mm, and the smallest pair (5 teeth, addendum 1,
// no shift: 5 m + 2 x 3.5 m = 12 m along the line of centres) keeps three
// figures of them.  Below it lie modules typed in metres, not gears.
constexpr double kMinModule = 0.01;  // mm

constexpr SetupParam kLowerBounds[] = {
    {.pos = kModule, .name = "module", .factor = 1, .rule = Rule::AtLeast, .bound = kMinModule,
     .message = "\nThe module must be higher than %g [mm].\n", .stage = kRackCoefficients},
};

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

std::span<const SetupField<egp_params>> hcdegp0_reals() { return kReals; }
std::span<const SetupParam> hcdegp0_lower_bounds() { return kLowerBounds; }
std::span<const param::IntRow<egp_params>> hcdegp0_ints() { return kInts; }

}  // namespace kiv::egp

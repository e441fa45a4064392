/* The external gear pump of the kiv model library: the HCDEGP0 submodel,
 * the pump library's interface versions and its set-up helpers.  Flat C
 * interface, every argument passed by pointer except where said.
 *
 * Units: the submodel takes the user's units (bar, rev/min, deg, L/min,
 * mm, mm2, mm3; torque N m, forces N) and converts at its boundary; the
 * library versions work in SI with gauge pressures in Pa.  Gear and port
 * outlines and the set-up helpers are in millimetres and radians.  Shape
 * ids are those of kiv_shapeid.h (-1: no shape). */
#ifndef KIV_GEARPUMP_H
#define KIV_GEARPUMP_H

#include "runtime/kiv_runtime.h"

/* The parameters of one pump in SI units (m, m2, m3, rad, Pa), built by the
 * caller for each call (zero it, then hcd_egp_param_setup_03 fills it from
 * the submodel's packed parameters).  C++ callers get every field zeroed. */
#ifdef __cplusplus
#define KIV_EGP_ZERO = 0
#else
#define KIV_EGP_ZERO
#endif
typedef struct egp_params {
  int fluid_index KIV_EGP_ZERO;
  int teeth_driving KIV_EGP_ZERO;
  int teeth_driven KIV_EGP_ZERO;
  int gear_definition KIV_EGP_ZERO;         /* 1 rack, 2 files */
  int outlet_port_definition KIV_EGP_ZERO;  /* 1 none, 2 analytic, 3 file */
  int inlet_port_definition KIV_EGP_ZERO;
  int groove KIV_EGP_ZERO;           /* 1 present, 2 absent */
  int leakage_mode KIV_EGP_ZERO;     /* 1 tip from geometry, 2 details, -1 plain path */
  int identical_gears KIV_EGP_ZERO;  /* 1 common details, 2 per gear */

  double initial_pressure KIV_EGP_ZERO;
  double inlet_port_area KIV_EGP_ZERO;
  double inlet_dead_volume KIV_EGP_ZERO;
  double outlet_port_area KIV_EGP_ZERO;
  double outlet_dead_volume KIV_EGP_ZERO;
  double driven_center_x KIV_EGP_ZERO;
  double driven_center_y KIV_EGP_ZERO;
  double gear_thickness KIV_EGP_ZERO;
  double mult_next_cavity KIV_EGP_ZERO;
  double mult_tip_leakage KIV_EGP_ZERO;
  double mult_inlet_radial KIV_EGP_ZERO;
  double mult_inlet_axial KIV_EGP_ZERO;
  double mult_outlet_radial KIV_EGP_ZERO;
  double mult_outlet_axial KIV_EGP_ZERO;
  double outlet_port_distance KIV_EGP_ZERO;
  double outlet_port_width KIV_EGP_ZERO;
  double inlet_port_distance KIV_EGP_ZERO;
  double inlet_port_width KIV_EGP_ZERO;
  double outlet_start_driving KIV_EGP_ZERO;
  double outlet_start_driven KIV_EGP_ZERO;
  double inlet_end_driving KIV_EGP_ZERO;
  double inlet_end_driven KIV_EGP_ZERO;
  double gear_module KIV_EGP_ZERO;
  double addendum_coefficient KIV_EGP_ZERO;
  double pressure_angle KIV_EGP_ZERO;
  double tip_clearance_coefficient KIV_EGP_ZERO;
  double fillet_coefficient KIV_EGP_ZERO;
  double profile_shift_driving KIV_EGP_ZERO;
  double profile_shift_driven KIV_EGP_ZERO;
  double contact_threshold KIV_EGP_ZERO;
  double teeth_clearance KIV_EGP_ZERO;
  double groove_width KIV_EGP_ZERO;
  double groove_start_driving KIV_EGP_ZERO;
  double groove_end_driving KIV_EGP_ZERO;
  double groove_start_driven KIV_EGP_ZERO;
  double groove_end_driven KIV_EGP_ZERO;
  double radial_clearance KIV_EGP_ZERO;
  double lateral_gap KIV_EGP_ZERO;
  double tip_length KIV_EGP_ZERO;
  double tooth_height KIV_EGP_ZERO;
  double tooth_width KIV_EGP_ZERO;
  double drainage_radius KIV_EGP_ZERO;
  double drainage_width_factor KIV_EGP_ZERO;
  double tip_length_driving KIV_EGP_ZERO;
  double tooth_height_driving KIV_EGP_ZERO;
  double tooth_width_driving KIV_EGP_ZERO;
  double drainage_radius_driving KIV_EGP_ZERO;
  double drainage_width_factor_driving KIV_EGP_ZERO;
  double tip_length_driven KIV_EGP_ZERO;
  double tooth_height_driven KIV_EGP_ZERO;
  double tooth_width_driven KIV_EGP_ZERO;
  double drainage_radius_driven KIV_EGP_ZERO;
  double drainage_width_factor_driven KIV_EGP_ZERO;
  double meshing_zone_height KIV_EGP_ZERO;
  double meshing_zone_width KIV_EGP_ZERO;
  double plain_leak_length KIV_EGP_ZERO;
  double plain_leak_width KIV_EGP_ZERO;
  double plain_leak_gap_1 KIV_EGP_ZERO;
  double plain_leak_gap_2 KIV_EGP_ZERO;
} egp_params;
#undef KIV_EGP_ZERO

#ifdef __cplusplus
extern "C" {
#endif

/* ---- HCDEGP0 submodel ---------------------------------------------------- */

/* Set-up of one instance: checks the 55 real, 8 integer and 4 text
 * parameters (a failed check prints its messages and ends the run with
 * KivExit(1)), converts the reals to SI in place, builds gears and ports
 * and the library instance, which goes to pointer_store[0] (released by
 * hcdegp0end_).  pout, pinl, pr[z], pn[z] [bar] receive the initial
 * pressure; real_store holds 16 doubles that the build fills.
 * integer_parameters[8]:
 *    0 fluid index 0..100 (a fluid set up before)
 *    1 teeth z of each gear 5..100
 *    2 gears: 1 cut by a rack (14..20), 2 read from text_parameters 0, 1
 *    3 outlet port, 4 inlet port: 1 none, 2 rectangle (23..26), 3 read
 *      from text_parameters 2 (outlet), 3 (inlet)
 *    5 groove: 1 present (31..35), 2 none
 *    6 leakage: 1 tooth tip, height and width from the gears (the
 *      drainage radius still from 41 or 46, 51), 2 all from 38..54
 *    7 leakage details: 1 common (38..42), 2 per gear (43..52)
 * real_parameters[55], user units (converted to SI in place):
 *    0 initial pressure [bar]         27 outlet start angle, driving [deg]
 *    1 inlet port area [mm2]          28 outlet start angle, driven [deg]
 *    2 inlet dead volume [mm3]        29 inlet end angle, driving [deg]
 *    3 outlet port area [mm2]         30 inlet end angle, driven [deg]
 *    4 outlet dead volume [mm3]       31 groove start angle, driving [deg]
 *    5 face width (gear thickness)    32 groove end angle, driving [deg]
 *      [mm]                           33 groove start angle, driven [deg]
 *    6 multiplier of the flow to the  34 groove end angle, driven [deg]
 *      next cavity [-]                35 groove width [mm]
 *    7 multiplier of the tooth-tip    36 radial clearance (tip to
 *      leakage [-]                       casing) [mm]
 *    8 inlet radial, 9 inlet axial,   37 lateral gap (side faces) [mm]
 *      10 outlet radial, 11 outlet    38 tooth tip length [mm]
 *      axial opening multipliers [-]  39 tooth height [mm]
 *   12 driven centre x [mm] (files)   40 tooth width [mm]
 *   13 driven centre y [mm] (files)   41 drainage radius [mm]
 *   14 module [mm]                    42 drainage width factor [-]
 *   15 pressure angle [deg]           43..47 the same five, driving gear
 *   16 addendum coefficient [-]       48..52 the same five, driven gear
 *   17 tip clearance coefficient [-]  53 meshing zone height [mm]
 *   18 fillet radius coefficient of   54 meshing zone width [mm]
 *      the cutting tool [-]
 *   19 profile shift, driving [-]
 *   20 profile shift, driven [-]
 *   21 contact threshold [mm]: a sibling or next-cavity opening below
 *      it counts as closed (0: none is)
 *   22 least opening of the sibling and next-cavity orifices [mm]: an
 *      open one (length L > 0) counts as max(L, 22) (0: as it is)
 *   23 outlet port distance to the line of centres [mm]
 *   24 outlet port width [mm]
 *   25 inlet port distance to the line of centres [mm]
 *   26 inlet port width [mm]
 * Angles 27..34 are polar angles about each gear's own centre in a frame
 * whose x axis points from the driven centre to the driving one and whose
 * y axis points to the outlet side; a positive speed turns the driving
 * gear from x towards y, the driven gear the other way.  Reduced with
 * fmod(angle, 360), the port angles must lie in 27 [45, A1), 28 (A2, 135],
 * 29 (A3, 315], 30 [225, A4), A1 and A3 (about the driving centre), A2 and
 * A4 (about the driven centre) being the polar angles of the crossings of
 * the two tip circles on the outlet (A1, A2) and inlet (A3, A4) side; a
 * refusal prints the bound.  The groove angles must lie in [0, 360] and run
 * the other way on each gear: on the driving gear the end angle lies below
 * the start angle (32 < 31), on the driven gear above it (34 > 33); the
 * set-up refuses equal angles, a whole turn apart, and the other order.
 * 21 and 22 act on the openings between the gears (qsibl, qnext of
 * hcdegp0_) where a pair of cavities meshes: while the speed is 0 or above
 * the threshold closes a short sibling opening and the least opening widens
 * the next-cavity one, against a negative speed the other way round.
 * Gear and port files are read as XY tables, each once per set-up; the
 * reader notes on standard output "Read <rows> rows and <columns> columns
 * from file <name>." and, where the file's unit line names another length
 * unit, "Converted column <k> values from '<unit>' to 'mm'".  A file read
 * before in the run comes from the table store without the "Read" note
 * while the reader cache is on (rtableStoreToCache_, on unless switched
 * off); a print hook (KivInstallPrintHook) takes the notes in place of
 * standard output. */
KIV_API void hcdegp0in_(int *instance, double *real_parameters, int *integer_parameters,
                        char **text_parameters, double *real_store, void **pointer_store,
                        double *angler, double *pout, double *pinl, double *pr, double *pn);
/* One evaluation in the user's units, on the stores that hcdegp0in_ set up.
 * An instance whose set-up did not run (or failed) is told of once per
 * instance and run, its outputs left as they were.
 * The run flags (KivSetRunFlags) must be set before the first evaluation:
 * without them it ends the run (KivExit(1)) with "staborcs: the run flags
 * are not initialised".  While the stabilizing or consistent_state flag is
 * set, the pressure derivatives follow a stiff law meant to settle the
 * pressures, not the fluid's.
 *
 * [z]: an array of z doubles, z = integer_parameters[1].  Flows are
 * referred to the fluid's density at 0 bar.
 * Inputs: instance, the number given to hcdegp0in_; p1, p2 [bar, gauge]
 *   at port 1 (inlet side) and port 2 (outlet side); speed [rev/min] of the
 *   driving shaft; the parameters and stores of the set-up.
 *   text_parameters, arealeakr and arealeakn are not used.
 * States, read and never written: angler [deg] of the driving gear; pout,
 *   pinl [bar] of the outlet and inlet chambers; pr[z], pn[z] [bar] of the
 *   cavities of the driving and driven gear.  Their derivatives out:
 *   dangler [deg/s] (6 x speed), dpout, dpinl, dpr[z], dpn[z] [bar/s].
 * Outputs:
 *   q1 [L/min] from the inlet chamber out through port 1: below 0 while the
 *     pump draws fluid in;
 *   q2 [L/min] from the outlet chamber out through port 2: above 0 while it
 *     delivers;
 *   torque [N m] the pump takes from its shaft, above 0 against a positive
 *     speed (a load on the drive);
 *   anglen [deg] of the driven gear, -angler;
 *   per cavity [z], L/min, into the cavity: qoutradr/n, qoutortr/n,
 *     qoutgrvr/n from the outlet chamber (radial, axial, groove); qinlradr/n,
 *     qinlortr/n from the inlet chamber; qleakteethr/n from the next cavity
 *     of its gear; qsibl from driven cavity k into driving cavity k, qnext
 *     from driven cavity k-1 (z-1 for k = 0); out of the cavity:
 *     qleakdrainr/n to the inlet chamber;
 *   qleakmeshzone [L/min], one value, from the outlet to the inlet chamber;
 *   volr, voln [z] [mm3] cavity volumes;
 *   areaoutradr .. areaoutgrvn [z] [mm2] the openings of the flows of the
 *     same names (areaload: qsibl, areafree: qnext);
 *   fxr, fyr, fxn, fyn [N] the pressure forces on the driving (r) and
 *     driven (n) gear. */
KIV_API void hcdegp0_(int *instance, double *q1, double *p1, double *q2, double *p2, double *torque,
                      double *speed, double *angler, double *dangler, double *anglen, double *pout,
                      double *dpout, double *pinl, double *dpinl, double *pr, double *dpr,
                      double *pn, double *dpn, double *qleakteethr, double *qleakteethn,
                      double *qleakdrainr, double *qleakdrainn, double *qleakmeshzone,
                      double *qoutradr, double *qoutradn, double *qinlradr, double *qinlradn,
                      double *qoutortr, double *qoutortn, double *qinlortr, double *qinlortn,
                      double *qoutgrvr, double *qoutgrvn, double *qsibl, double *qnext,
                      double *volr, double *voln, double *areaoutradr, double *areaoutradn,
                      double *areaoutortr, double *areaoutortn, double *areainlradr,
                      double *areainlradn, double *areainlortr, double *areainlortn,
                      double *areaload, double *areafree, double *areaoutgrvr, double *areaoutgrvn,
                      double *arealeakr, double *arealeakn, double *fxr, double *fyr, double *fxn,
                      double *fyn, double *real_parameters, int *integer_parameters,
                      char **text_parameters, double *real_store, void **pointer_store);
/* Releases the instance in pointer_store[0] and nulls the slot. */
KIV_API void hcdegp0end_(int *instance, double *real_parameters, int *integer_parameters,
                         char **text_parameters, double *real_store, void **pointer_store);

/* ---- Library interface versions 3 and 4 (SI units) ----------------------- */

/* Set-up on the submodel's packed SI parameters (name, text parameters and
 * angle state not read): creates the instance in *instance_slot, sets pout,
 * pinl, pr[z], pn[z] to the initial pressure [bar] and builds the geometry
 * with precision level 1..6 from the gear and port shape ids (centres in
 * mm).  0, the build's failure code, or -1 for a precision level outside
 * 1..6 or unequal tooth counts. */
KIV_API int hcd_egp_init_04(const char *name, int *instance, double *real_parameters,
                            int *integer_parameters, char **text_parameters, double *real_store,
                            void **instance_slot, int *precision, double *x1, double *y1,
                            double *x2, double *y2, int *driving_gear, int *driven_gear,
                            int *outlet_port, int *inlet_port, double *angler, double *pout,
                            double *pinl, double *pr, double *pn);
KIV_API int hcd_egp_init_03(const char *name, int *instance, double *real_parameters,
                            int *integer_parameters, char **text_parameters, double *real_store,
                            void **instance_slot, int *precision, double *x1, double *y1,
                            double *x2, double *y2, int *driving_gear, int *driven_gear,
                            int *outlet_port, int *inlet_port, double *angler, double *pout,
                            double *pinl, double *pr, double *pn);
/* Evaluation on the packed SI parameters of the submodel; the 72 (version
 * 4) or 68 (version 3, no forces) arguments in the order of hcdegp0_'s
 * call, with null optional extra flows, volumes and copies allowed.
 * Returns 0, or -1 when the slot holds no instance or the record does not
 * fit it (nothing computed). */
KIV_API int hcd_egp_calc_04(
    int *instance, double *q1, double *p1, double *pinl, double *dpinl, double *q_inl,
    double *v_inl, double *pr, double *dpr, double *q_r, double *v_r, double *pout, double *dpout,
    double *q_out, double *v_out, double *q2, double *p2, double *pn, double *dpn, double *q_n,
    double *v_n, double *torque, double *speed, double *angler, double *dangler, double *anglen,
    double *pout_copy, double *pinl_copy, double *pr_copy, double *pn_copy, double *qleakteethr,
    double *qleakteethn, double *qleakdrainr, double *qleakdrainn, double *qleakmeshzone,
    double *qoutradr, double *qoutradn, double *qinlradr, double *qinlradn, double *qoutortr,
    double *qoutortn, double *qinlortr, double *qinlortn, double *qoutgrvr, double *qoutgrvn,
    double *qsibl, double *qnext, double *volr, double *voln, double *areaoutradr,
    double *areaoutradn, double *areaoutortr, double *areaoutortn, double *areainlradr,
    double *areainlradn, double *areainlortr, double *areainlortn, double *areaload,
    double *areafree, double *areaoutgrvr, double *areaoutgrvn, double *arealeakr,
    double *arealeakn, double *fxr, double *fyr, double *fxn, double *fyn, double *real_parameters,
    int *integer_parameters, char **text_parameters, double *real_store, void **instance_slot);
KIV_API int hcd_egp_calc_03(
    int *instance, double *q1, double *p1, double *pinl, double *dpinl, double *q_inl,
    double *v_inl, double *pr, double *dpr, double *q_r, double *v_r, double *pout, double *dpout,
    double *q_out, double *v_out, double *q2, double *p2, double *pn, double *dpn, double *q_n,
    double *v_n, double *torque, double *speed, double *angler, double *dangler, double *anglen,
    double *pout_copy, double *pinl_copy, double *pr_copy, double *pn_copy, double *qleakteethr,
    double *qleakteethn, double *qleakdrainr, double *qleakdrainn, double *qleakmeshzone,
    double *qoutradr, double *qoutradn, double *qinlradr, double *qinlradn, double *qoutortr,
    double *qoutortn, double *qinlortr, double *qinlortn, double *qoutgrvr, double *qoutgrvn,
    double *qsibl, double *qnext, double *volr, double *voln, double *areaoutradr,
    double *areaoutradn, double *areaoutortr, double *areaoutortn, double *areainlradr,
    double *areainlradn, double *areainlortr, double *areainlortn, double *areaload,
    double *areafree, double *areaoutgrvr, double *areaoutgrvn, double *arealeakr,
    double *arealeakn, double *real_parameters, int *integer_parameters, char **text_parameters,
    double *real_store, void **instance_slot);
/* ---- Library interface versions 1 and 2 (SI units, positional) -------- */

/* Set-up from positional arguments over fixed defaults (the five unread
 * arguments may be null): teeth counts, thickness b, radial clearance h,
 * plain leakage path length, width and gap heights, gear centres (mm),
 * shape ids and the four port angles [rad]; version 2 adds the precision
 * level (version 1 uses 1) and the groove.  Results as hcd_egp_init_04. */
KIV_API int hcd_egp_init(int *instance, double *real_store, void **instance_slot, void *u1,
                         void *u2, void *u3, void *u4, void *u5, int *teeth_driving,
                         int *teeth_driven, double *gear_thickness, double *radial_clearance,
                         double *plain_leak_length, double *plain_leak_width,
                         double *plain_leak_gap_1, double *plain_leak_gap_2, double *x1, double *y1,
                         double *x2, double *y2, int *driving_gear, int *driven_gear,
                         int *outlet_port, int *inlet_port, double *outlet_start_driving,
                         double *outlet_start_driven, double *inlet_end_driving,
                         double *inlet_end_driven);
KIV_API int hcd_egp_init_02(int *instance, double *real_store, void **instance_slot, int *precision,
                            void *u1, void *u2, void *u3, void *u4, void *u5, int *teeth_driving,
                            int *teeth_driven, double *gear_thickness, double *radial_clearance,
                            double *plain_leak_length, double *plain_leak_width,
                            double *plain_leak_gap_1, double *plain_leak_gap_2, double *x1,
                            double *y1, double *x2, double *y2, int *driving_gear, int *driven_gear,
                            int *outlet_port, int *inlet_port, double *outlet_start_driving,
                            double *outlet_start_driven, double *inlet_end_driving,
                            double *inlet_end_driven, int *groove, double *groove_start_driving,
                            double *groove_end_driving, double *groove_start_driven,
                            double *groove_end_driven, double *groove_width);
/* Evaluation with the plain leakage path; port areas [m2] and dead volumes
 * [m3] in the order inlet area, inlet volume, outlet area, outlet volume;
 * teeth_clearance [m] is the least opening of real 22 of hcdegp0in_ (these
 * versions have no contact threshold).
 * Version 1 has no groove flows or areas.  0, or -1 as hcd_egp_calc_04. */
KIV_API int hcd_egp_calc(
    int *instance, double *q1, double *p1, double *q2, double *p2, double *torque, double *speed,
    double *pinl, double *dpinl, double *pout, double *dpout, double *angler, double *dangler,
    double *anglen, double *pr, double *dpr, double *pn, double *dpn, double *qleakteethr,
    double *qleakteethn, double *qoutradr, double *qoutradn, double *qinlradr, double *qinlradn,
    double *qoutortr, double *qoutortn, double *qinlortr, double *qinlortn, double *qsibl,
    double *qnext, double *volr, double *voln, double *areaoutradr, double *areaoutradn,
    double *areaoutortr, double *areaoutortn, double *areainlradr, double *areainlradn,
    double *areainlortr, double *areainlortn, double *areaload, double *areafree,
    double *real_store, void **instance_slot, int *fluid_index, int *teeth_driving,
    int *teeth_driven, double *inlet_port_area, double *inlet_dead_volume, double *outlet_port_area,
    double *outlet_dead_volume, double *gear_thickness, double *teeth_clearance,
    double *mult_next_cavity, double *mult_tip_leakage, double *mult_inlet_radial,
    double *mult_inlet_axial, double *mult_outlet_radial, double *mult_outlet_axial,
    double *radial_clearance, double *plain_leak_length, double *plain_leak_width,
    double *plain_leak_gap_1, double *plain_leak_gap_2);
KIV_API int hcd_egp_calc_02(
    int *instance, double *q1, double *p1, double *q2, double *p2, double *torque, double *speed,
    double *pinl, double *dpinl, double *pout, double *dpout, double *angler, double *dangler,
    double *anglen, double *pr, double *dpr, double *pn, double *dpn, double *qleakteethr,
    double *qleakteethn, double *qoutradr, double *qoutradn, double *qinlradr, double *qinlradn,
    double *qoutortr, double *qoutortn, double *qinlortr, double *qinlortn, double *qoutgrvr,
    double *qoutgrvn, double *qsibl, double *qnext, double *volr, double *voln, double *areaoutradr,
    double *areaoutradn, double *areaoutortr, double *areaoutortn, double *areainlradr,
    double *areainlradn, double *areainlortr, double *areainlortn, double *unused1, double *unused2,
    double *areaload, double *areafree, double *areaoutgrvr, double *areaoutgrvn,
    double *real_store, void **instance_slot, int *fluid_index, int *teeth_driving,
    int *teeth_driven, int *groove, double *inlet_port_area, double *inlet_dead_volume,
    double *outlet_port_area, double *outlet_dead_volume, double *gear_thickness,
    double *teeth_clearance, double *groove_start_driving, double *groove_end_driving,
    double *groove_start_driven, double *groove_end_driven, double *groove_width,
    double *mult_next_cavity, double *mult_tip_leakage, double *mult_inlet_radial,
    double *mult_inlet_axial, double *mult_outlet_radial, double *mult_outlet_axial,
    double *radial_clearance, double *plain_leak_length, double *plain_leak_width,
    double *plain_leak_gap_1, double *plain_leak_gap_2);

/* Ends of every version: free the instance in *instance_slot and null the
 * slot; a null slot is left alone.  Return 0. */
KIV_API int hcd_egp_end(void **instance_slot);
KIV_API int hcd_egp_end_02(void **instance_slot);
KIV_API int hcd_egp_end_03(void **instance_slot);
KIV_API int hcd_egp_end_04(void **instance_slot);

/* ---- Set-up helpers ------------------------------------------------------ */

/* Working pressure angle [rad], centre distance a, tip radii ra1, ra2 and
 * root radii rf1, rf2 (the module's length unit) of a rack-cut gear pair
 * with profile shifts x1, x2.  0, or -1 when the working pressure angle
 * cannot be found (outputs then untouched). */
KIV_API int egp_shift_correction_(const int *z1, const int *z2, const double *module,
                                  const double *alpha, const double *ha, const double *ctip,
                                  const double *x1, const double *x2, double *alpha_w, double *a,
                                  double *ra1, double *ra2, double *rf1, double *rf2);
/* A rack-cut gear centred at the origin as a registered shape: nteeth
 * (1..z) teeth, mode 1 whole teeth, 2 tooth axis to tooth axis.  The id, or
 * -1 (no message); *sharp becomes 2 when the teeth come out sharp. */
KIV_API int egp_create_gear_id_(const int *z, const double *module, const double *alpha,
                                const double *ha, const double *ctip, const double *fillet,
                                const double *x, const double *ra, const double *rf,
                                const int *nteeth, const int *mode, int *sharp);
/* A rectangular port beside the line of the gear centres, centred on their
 * midpoint (shifted by offset along the line), from distance to distance +
 * length off the line; side +1 on the right of the driving-to-driven
 * direction, -1 on the left.  The id, or -1 for another side, a length or
 * width not above 0, or coincident centres. */
KIV_API int egp_create_analyticport_id_(const double *x1, const double *y1, const double *x2,
                                        const double *y2, const double *distance,
                                        const double *offset, const double *width,
                                        const double *length, const int *side);
/* The angle in degrees (by value) brought into [0, 360). */
KIV_API double egp_modulo_deg(double degrees);

/* Fills every field of record that has a source in the submodel's packed
 * parameters (55 reals in SI units as hcdegp0in_ leaves them, 8 integers);
 * the other fields are left as they are.  0. */
KIV_API int hcd_egp_param_setup_03(egp_params *record, const double *real_parameters,
                                   const int *integer_parameters);

/* ---- Application functions (no simulation) ------------------------------ */

/* Cavity shapes at the driving shaft angle [rad] (by value) of the selected
 * cavities (negative: every cavity), registered as shape ids: the driving
 * cavity, its parts within the outlet and the inlet port, then the same for
 * the driven gear (-1 for a shape not made, all -1 when the build fails).
 * Ports may be -1.  0, or the build's failure status. */
KIV_API int egp_app_get_cavities_id(const egp_params *record, double angle,
                                    const int *driving_cavity, const int *driven_cavity,
                                    const int *driving_gear, const int *driven_gear,
                                    const int *outlet_port, const int *inlet_port, int *driving,
                                    int *driving_outlet, int *driving_inlet, int *driven,
                                    int *driven_outlet, int *driven_inlet);
/* Curves of one revolution at one sample per degree for the selected
 * cavity of each gear: the count, the shaft angle [deg], the volume [mm3]
 * and the areas open to the outlet and the inlet [mm2].  The arrays are the
 * caller's to free(); after a failure the counts are 0 and the arrays null.
 * 0, or the build's failure status. */
KIV_API int egp_app_get_curves_id(const egp_params *record, const int *driving_cavity,
                                  const int *driven_cavity, const int *driving_gear,
                                  const int *driven_gear, const int *outlet_port,
                                  const int *inlet_port, int *n1, double **x1, double **volume1,
                                  double **outlet1, double **inlet1, int *n2, double **x2,
                                  double **volume2, double **outlet2, double **inlet2);
/* The teeth axis angle [rad] of the driven gear, and the contact angle
 * [rad] of the pair, with the driving centre at the origin and the driven
 * one on the negative x axis.  0; 1 with the output untouched when an id
 * names no shape, the record has no teeth or no angle can be found. */
KIV_API int egp_app_get_axis_angle(const egp_params *record, const int *driving_gear,
                                   const int *driven_gear, double *angle);
KIV_API int egp_app_get_contact_angle(const egp_params *record, const int *driving_gear,
                                      const int *driven_gear, double *angle);
/* 0 when the two gear shapes do not intersect, 2 when they do, 1 when
 * either id has no shape.  The record is not read (may be null). */
KIV_API int egp_app_check_gears_intersection(const egp_params *record, const int *driving_gear,
                                             const int *driven_gear);

#ifdef __cplusplus
}
#endif

#endif

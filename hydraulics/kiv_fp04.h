/* The fluid-properties submodel: checks its parameters, defines its fluid at
 * set-up and, at every evaluation, selects it and clears the two totals that
 * the chambers using the fluid then fill. */
#ifndef KIV_FP04_H
#define KIV_FP04_H

#include "hydraulics/kiv_hydraulics.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Set-up: checks, converts and defines the fluid, then selects it.  Faults
 * are listed on stderr; an error (or fptables_ failing) is fatal
 * (KivExit(1)), warnings print "Warning in FP04 instance n".
 * real_parameters[20], user units; the entries marked * are converted to
 * SI in place (the caller's array holds SI after the call):
 *    0 density [kg/m3]             10 temperature T2 [degC]
 *    1 bulk modulus [bar] *        11 kinematic viscosity at T2 [cSt] *
 *    2 bulk modulus slope [-]      12 coefficient c of the two-point
 *      (passed on divided by 100)     viscosity curve [cSt]
 *    3 viscosity [cP] *            13 polytropic index [-]
 *    4 air/gas viscosity [cP] *    14 high vapour saturation pr. [bar] *
 *    5 saturation pressure [bar] * 15 low vapour saturation pr. [bar] *
 *    6 air/gas content [%]         16 vapour viscosity [cP] *
 *    7 temperature [degC]          17 vapour molecular mass [-]
 *    8 temperature T1 [degC]       18 air/gas density at 1 atm, 0 degC
 *    9 kinematic viscosity at T1      [kg/m3]
 *      [cSt] *                     19 saturation pressure of type 1 [bar] *
 * (* becomes Pa, Pa.s or m2/s.)  Viscosities are dynamic unless kinematic;
 * pressures are gauge.  integer_parameters[5]:
 *    0 property type 1..7: 1 simple, 2 constant (default vapour data),
 *      3 constant with slope and 14..18, 4 tables from a data file, 5 fuel
 *      model, 6 and 7 as 2 and 3 with the viscosity from (T1, nu1), (T2, nu2)
 *    1 fuel type 1..12 (type 5)
 *    2 fluid property file 1..49 (type 4): 1 is text_parameters[1] as given;
 *      2..49 are "$KIV/libhydr/data/hyd_<name>_Bs.data" or "_Bt.data", all
 *      shipped in share/libhydr/data (both kinds): 2 0W30, 3 5W30, 4 15W30,
 *      5 15W40, 6 pure_glycol, 7 water, 8 coolant, 9 cool_EG20_W80,
 *      10 cool_EG40_W60, 11 cool_EG60_W40, 12 cool_EG80_W20, 13 hexane,
 *      14 heptane, 15 pure_ethylene_glycol, 16 HFDU_ester,
 *      17 HFC_water_glycol, 18 AS1241_V, 19 MIL-H-5606, 20 MIL-H-8446,
 *      21 MIL-H-27601, 22 MIL-H-83282, 23 MIL-H-87257, 24 MIL-PRF-7808,
 *      25 MIL-PRF-23699, 26 jet-A, 27 jet-A1, 28 jet-B, 29 JP-4, 30 JP-5,
 *      31 JP-7, 32 JP-8, 33 JP-10, 34 JP-TS, 35 Av-gas, 36 TS-1, 37 RT,
 *      38 unleaded_gasoline_Premium, 39 unleaded_gasoline_Super_Plus,
 *      40 ethanol_gasoline_blend_E24, 41 D40_hydrocarbon_fluid, 42 ethanol,
 *      43 methanol, 44 HM_VG32, 45 HM_VG46, 46 HV_VG46, 47 HM_VG68,
 *      48 tractor_oil, 49 cool_EG50_W50
 *    3 bulk modulus type 1..2 (type 4): 1 "_Bs.data", 2 "_Bt.data"
 *    4 fluid index 0..100, free
 * text_parameters: two texts, [1] the data file of file 1; read only. */
KIV_API void fp04in_(int *instance, double *real_parameters, int *integer_parameters,
                     char **text_parameters);
/* Evaluation: selects the fluid of integer_parameters[4]; *volume [L] and
 * *mass [kg] are set to 0 and, at the first evaluation of a run, become the
 * totals that the fluid's chambers add to later in the evaluation. */
KIV_API void fp04_(int *instance, double *volume, double *mass, double *real_parameters,
                   int *integer_parameters);

#ifdef __cplusplus
}
#endif

#endif

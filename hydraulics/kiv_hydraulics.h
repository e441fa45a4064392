/* Hydraulic library: the per-system fluid registry by index, the property
 * models of the current fluid (general, simple and fuel families), the
 * atmospheric pressure and the set-up of the tank and prime-mover submodels.
 *
 * Units are SI with gauge pressures in Pa (absolute = gauge + 101300 Pa),
 * temperatures in K, viscosities in Pa.s.  Functions ending in "_" take every
 * argument by pointer.  A hydraulic submodel selects its fluid with
 * sethdind_ and then asks for properties at a pressure; every property
 * function answers for the fluid selected last. */
#ifndef KIV_HYDRAULICS_H
#define KIV_HYDRAULICS_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Highest fluid index; fluids live under 0..KIV_HYD_MAX_INDEX. */
#define KIV_HYD_MAX_INDEX 100

/* ---- Fluid records -------------------------------------------------------- */

/* A user property function: called with the fluid temperature [degC] and the
 * gauge pressure [Pa] (or, for pressure from density, the density). */
typedef double (*HydUserFunction)(double *temperature_celsius, double *value);

/* Roles of the six user functions of a general record. */
enum {
  KIV_HYD_USER_DENSITY = 0,
  KIV_HYD_USER_BULK_MODULUS = 1,
  KIV_HYD_USER_VISCOSITY = 2,
  KIV_HYD_USER_VOID_FRACTION = 3,
  KIV_HYD_USER_TEMPERATURE = 4,
  KIV_HYD_USER_PRESSURE_FROM_DENSITY = 5
};

/* A general fluid: constant properties (kind 0) or tables read from a fluid
 * data file (kind 1). */
typedef struct HydFluidRecord {
  int index;
  int kind;
  int bm_bracket;          /* table temperature at or below the fluid's (kind 1) */
  int mu_bracket;
  double density;          /* kg/m3 */
  double bulk_modulus;     /* Pa */
  double bulk_slope;       /* d(bulk modulus)/dp, 0 for none */
  double viscosity;        /* Pa.s */
  double p_sat;            /* air saturation pressure, Pa gauge */
  double air;              /* free-air content at 101300 Pa, 273.15 K (fraction) */
  double temperature;      /* K */
  double polytropic;
  char *file_name;         /* owned (malloc'd); NULL for kind 0 */
  double mu_air;           /* Pa.s */
  double p_sat_high;       /* high vapour saturation pressure, Pa gauge */
  double p_sat_low;        /* low vapour saturation pressure, Pa gauge */
  double mu_vapour;        /* Pa.s */
  double vapour_molar_mass;
  double bm_weight_up, bm_weight_lo;
  double mu_weight_up, mu_weight_lo;
  double air_density;      /* kg/m3 at 101300 Pa and 273.15 K; 0: the ideal-gas value */
  HydUserFunction user[6]; /* by KIV_HYD_USER_* role; NULL for none */
  int pfromrho_id;         /* -1 until a pressure-from-density table is built */
} HydFluidRecord;

/* A fluid of the built-in fuel model. */
typedef struct HydFuelRecord {
  int fuel_type; /* 1..12 */
  int index;
  double p_sat_high;
  double p_sat_low;
  double vapour_molar_mass;
  double mu_air;
  double mu_vapour;
  double air;
  double temperature; /* K */
  double polytropic;
  int pfromrho_id;
} HydFuelRecord;

/* A fluid of the simple model. */
typedef struct HydSimpleRecord {
  int index;
  double density;
  double bulk_modulus;
  double viscosity;
  double p_sat;
  double air;
  double temperature; /* K */
  double polytropic;
  double extra;
} HydSimpleRecord;

typedef struct HydIndexList HydIndexList;

/* ---- Registry ------------------------------------------------------------- */

/* The current system's registry block, created empty on first use. */
KIV_API HydIndexList *GetOrCreateHydIndexList(void);
/* Clears the maps, installs the end-of-run release and marks the block
 * initialised; definers call it once per block. */
KIV_API void inifprop_(void);
KIV_API HydFluidRecord *retfprop_(int *index);
KIV_API HydFuelRecord *retrprop_(int *index);
KIV_API HydSimpleRecord *getspind_(int *index);
/* 1 general, 2 fuel, 3 simple, 4 general with equal vapour saturation
 * pressures; an undefined index ends the run. */
KIV_API int getftype_(int *index);
/* Selects the current fluid. */
KIV_API void sethdind_(int *index);
/* The current fluid index of the current system, -1 for none. */
KIV_API int gethdind_(void);
/* 0 when the index is free; -1 after a message when it cannot be defined. */
KIV_API int checkhdind_(int *index);
/* 1 when a fluid is defined under the index, else 0; prints nothing. */
KIV_API int checkhdind2_(int *index);
/* checkhdind2_ of the index; when 0, prints why and sets *error to 2. */
KIV_API int hyd_valid_liquid_(int *index, int *error);
KIV_API void hydrinit_volmass_(double *volume, double *mass, int *index);
KIV_API void hydradd_volmass_(double *volume, double *mass);
KIV_API void SetHydAtFuncEval(void);
/* End-of-run release of the current system's registry (installed by
 * inifprop_). */
KIV_API void ReInitHydProps(int code, int argument);

/* ---- Current fluid: density and bulk modulus ------------------------------ */

KIV_API double rhoatp_(double *p);
KIV_API double bmatp_(double *p);
KIV_API double bm2atp_(double *p);
KIV_API double bmliqonly_(double *p);
KIV_API double q0top_(double *p);
KIV_API double q0top2_(double *rho);
KIV_API double volatp_(double *p, double *a, double *v0);
KIV_API double valatp_(double *p, double *a, double *v0);
KIV_API void reset_rhoatp0_(void);

/* ---- Current fluid: viscosity, void fraction, temperature, getters -------- */

KIV_API double muatp_(double *p);
KIV_API double fvoid_(double *p);
KIV_API double tatp_(double *p);
KIV_API double getnewsap_(void);
KIV_API double getnewebm_(void);
KIV_API double getnewair_(void);
KIV_API double getnewtemp_(void);
KIV_API double getnewpol_(void);
KIV_API double hydgetpvaph_(int *index);
KIV_API double hydgetpvapl_(int *index);
KIV_API void SetSimplestProperties(void);
KIV_API void simprop_(int *index);
KIV_API void setbflag_(int *index);
KIV_API void SetFuelProperties(void);

/* ---- Simple model and the getters of the index-0 drop fluid --------------- */

KIV_API void InitSimpProps(void);
KIV_API double rhosimp_(double *p);
KIV_API double bmsimp_(double *p);
KIV_API double musimp_(void);
KIV_API double nusimp_(void);
KIV_API double patrhosimp_(double *rho);
KIV_API double getrho_(void);
KIV_API double getsap_(void);
KIV_API double getebm_(void);
KIV_API double getmu_(void);
KIV_API double getnu_(void);
KIV_API double getair_(void);
KIV_API double getemp_(void);
KIV_API double getpol_(void);
KIV_API void checkfpdrop(void);
KIV_API void ReadOilFile(const char *path, const char *open_message, const char *read_message);

/* ---- Fuel model ----------------------------------------------------------- */

KIV_API double rbrho_(double *p, double *temperature);
KIV_API double rbrholiq_(double *p, double *temperature);
KIV_API double rbbm2_(double *p, double *temperature);
KIV_API double rbgasmtransferatp_(double *p, double *temperature);
KIV_API double rbbm_(double *p, double *temperature);
KIV_API double rbbmliq_(double *p, double *temperature);
KIV_API double rbmu_(double *p, double *temperature);
KIV_API double rbvoidcontent_(double *p, double *temperature);
KIV_API double rbt_(double *p_bar, double *temperature);
KIV_API double RBThetaVap(double p_abs, double vstp);
KIV_API void inrbprop_(void);
KIV_API void setrbid_(int *fuel);
KIV_API void setrbid2_(int *fuel, double *p_sat_high, double *p_sat_low, double *molar_mass,
                       double *mu_air, double *mu_vapour);
KIV_API void Set_rbprop_silent_(int flag);

/* ---- Pressure from density ----------------------------------------------- */

/* Gauge pressure [Pa] at which the current fluid has the density rho
 * [kg/m3]. */
KIV_API double patrho_(double *rho);
/* Cubic spline of gauge pressure against density of the current fluid,
 * sampled densely around the absolute pressures P1 < P2 [Pa] (both must be
 * positive): the spline id; a failure ends the run. */
KIV_API int create_spline_patrho_(double *P1, double *P2, int *index);
/* patrho_ of the fuel fluid under index at temperature T [K]. */
KIV_API double rbpatrho_(int *index, double *rho, double *T);
/* Number of the current system's density table of the fluid under index
 * (the current fluid), built on first use. */
KIV_API int prhotable_(int *index);
/* Gauge pressure [Pa] at density rho from that table and a bracketed solve
 * on the current fluid. */
KIV_API double pfromrho_(double *rho, int *table);

/* ---- Fluid definers ------------------------------------------------------- */
/* Each adds one fluid under a free index (an index above 100 or one already
 * defined ends the run).  Arguments in SI with gauge pressures in Pa, except
 * the air/gas content (per cent) and the temperature (degC). */

/* A general fluid of constant properties; slope is d(bulk modulus)/dp. */
KIV_API void fpconbmu2_(int *index, double *rho, double *bulk_modulus, double *slope, double *mu,
                        double *p_sat, double *air_percent, double *temperature_celsius,
                        double *polytropic, double *mu_air, double *p_sat_high,
                        double *p_sat_low, double *mu_vapour, double *vapour_molar_mass,
                        double *air_density);
/* The same with a constant bulk modulus. */
KIV_API void fpconbmu_(int *index, double *rho, double *bulk_modulus, double *mu, double *p_sat,
                       double *air_percent, double *temperature_celsius, double *polytropic,
                       double *mu_air, double *p_sat_high, double *p_sat_low,
                       double *mu_vapour, double *vapour_molar_mass, double *air_density);
/* A general fluid whose properties come from user functions (NULL for none;
 * roles KIV_HYD_USER_*), other properties at their defaults.  On the index of
 * a fluid defined from a data file only the functions are attached. */
KIV_API void fpuserd2_(int *index, HydUserFunction density, HydUserFunction bulk_modulus,
                       HydUserFunction viscosity, HydUserFunction void_fraction,
                       HydUserFunction temperature, HydUserFunction pressure_from_density);
KIV_API void fpuserd_(int *index, HydUserFunction density, HydUserFunction bulk_modulus,
                      HydUserFunction viscosity);
/* A fluid of the fuel model (fuel_type 1..12). */
KIV_API void fprprop_(int *fuel_type, int *index, double *p_sat_high, double *p_sat_low,
                      double *vapour_molar_mass, double *mu_air, double *mu_vapour,
                      double *air_percent, double *temperature_celsius, double *polytropic);
/* A fluid of the simple model. */
KIV_API void fpspind_(int *index, double *rho, double *bulk_modulus, double *mu, double *p_sat,
                      double *air_percent, double *temperature_celsius, double *polytropic,
                      double *extra);
/* A general fluid whose density or bulk modulus and viscosity are read from a
 * fluid data file (pressures in bar gauge, temperatures in degC).  1 when the
 * fluid is defined; 0 after messages (nothing is kept). */
KIV_API int fptables_(int *index, double *p_sat, double *air_percent, double *temperature_celsius,
                      double *polytropic, const char *file_name, double *mu_air,
                      double *p_sat_high, double *p_sat_low, double *mu_vapour,
                      double *vapour_molar_mass, double *air_density);

/* ---- Fluid property tables ------------------------------------------------ */

/* Moves a table fluid to a new temperature [degC]. */
KIV_API void changeT_(int *index, double *temperature_celsius);

/* ---- Master/slave fluid exchange file ------------------------------------- */

/* Writes every fluid of the registry to "<circuit>.hydp" (batch run:
 * "<circuit>.hydp.<extension>"), once per run. */
KIV_API void masterwritehydp(void);
/* Defines the fluids of that file before any other fluid is defined; a
 * missing file leaves the slave without fluids. */
KIV_API void slavereadhydp(const char *circuit_name, int batch, const char *extension);
/* Reads one line of the stream as a file name: a leading environment
 * variable expanded, "../" put in front when only the parent directory has
 * the file.  A new malloc'd text; the second argument is not used. */
KIV_API char *GetFileNameFromText(FILE *stream, const char *unused);

/* ---- Atmospheric pressure, tank and prime mover --------------------------- */

KIV_API double getatp_(void);
KIV_API void sagsatp_(double *p);
KIV_API double saggatp_(void);
KIV_API void tk000in_(int *instance, double *pressure);
KIV_API void pm000in_(int *instance, double *real_parameters);

#ifdef __cplusplus
}
#endif

#endif

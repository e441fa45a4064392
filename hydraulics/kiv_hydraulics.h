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
/* The general record under the index (owned by the registry, valid until the
 * end of the run); an undefined index ends the run. */
KIV_API HydFluidRecord *retfprop_(int *index);
/* The fuel record under the index, as retfprop_. */
KIV_API HydFuelRecord *retrprop_(int *index);
/* The simple record under the index, as retfprop_. */
KIV_API HydSimpleRecord *getspind_(int *index);
/* 1 general, 2 fuel, 3 simple, 4 general with equal vapour saturation
 * pressures; an undefined index ends the run (KivExit(1)). */
KIV_API int getftype_(int *index);
/* Selects the fluid under the index and loads it as the current fluid; an
 * undefined index or no registry ends the run. */
KIV_API void sethdind_(int *index);
/* The current fluid index of the current system, -1 for none. */
KIV_API int gethdind_(void);
/* 0 when the index is free; -1 after a message when it cannot be defined. */
KIV_API int checkhdind_(int *index);
/* 1 when a fluid is defined under the index, else 0; prints nothing. */
KIV_API int checkhdind2_(int *index);
/* checkhdind2_ of the index; when 0, prints why and sets *error to 2. */
KIV_API int hyd_valid_liquid_(int *index, int *error);
/* Sets *volume [L] and *mass [kg] to 0; at the first evaluation of a run
 * also registers them as the totals of the fluid under the index (the
 * caller's storage must outlive the run). */
KIV_API void hydrinit_volmass_(double *volume, double *mass, int *index);
/* Adds *volume [m3] (as litres) and *mass [kg] to the registered totals of
 * the current fluid. */
KIV_API void hydradd_volmass_(double *volume, double *mass);
/* Forgets the current index, so the next sethdind_ reloads its fluid. */
KIV_API void SetHydAtFuncEval(void);
/* End-of-run release of the current system's registry (installed by
 * inifprop_). */
KIV_API void ReInitHydProps(int code, int argument);

/* ---- Current fluid: density and bulk modulus ------------------------------ */

/* Density [kg/m3] of the current fluid at gauge pressure *p [Pa]. */
KIV_API double rhoatp_(double *p);
/* Effective bulk modulus [Pa] at *p [Pa gauge], air dissolving and vapour
 * condensing included. */
KIV_API double bmatp_(double *p);
/* Bulk modulus [Pa] at *p [Pa gauge] at fixed free-air and vapour fractions. */
KIV_API double bm2atp_(double *p);
/* Bulk modulus [Pa] of the liquid alone at *p [Pa gauge]. */
KIV_API double bmliqonly_(double *p);
/* rho(0 Pa) / rho(*p): turns a flow referred to 0 Pa gauge into the flow at
 * *p [Pa gauge]. */
KIV_API double q0top_(double *p);
/* rho(0 Pa) / *rho [kg/m3]. */
KIV_API double q0top2_(double *rho);
/* *v0 * (1 + *a * *p), in the unit of *v0. */
KIV_API double volatp_(double *p, double *a, double *v0);
/* Same as volatp_. */
KIV_API double valatp_(double *p, double *a, double *v0);
/* Forgets the cached density at 0 Pa, so the next q0top_ recomputes it. */
KIV_API void reset_rhoatp0_(void);

/* ---- Current fluid: viscosity, void fraction, temperature, getters -------- */

/* Dynamic viscosity [Pa.s] of the current fluid at *p [Pa gauge]. */
KIV_API double muatp_(double *p);
/* Void fraction [-] (free air and vapour over total volume) at *p [Pa
 * gauge]. */
KIV_API double fvoid_(double *p);
/* Fluid temperature [K] at *p [Pa gauge]. */
KIV_API double tatp_(double *p);
/* Air saturation pressure [Pa gauge] of the current fluid. */
KIV_API double getnewsap_(void);
/* Nominal bulk modulus [Pa] of the current fluid. */
KIV_API double getnewebm_(void);
/* Air/gas content [fraction] of the current fluid. */
KIV_API double getnewair_(void);
/* Temperature [K] of the current fluid. */
KIV_API double getnewtemp_(void);
/* Polytropic index [-] of the current fluid. */
KIV_API double getnewpol_(void);
/* High vapour saturation pressure [Pa gauge] of the fluid under the index. */
KIV_API double hydgetpvaph_(int *index);
/* Low vapour saturation pressure [Pa gauge] of the fluid under the index. */
KIV_API double hydgetpvapl_(int *index);
/* Drop fluids (getftype_ 4) answer with the simple model from now on. */
KIV_API void SetSimplestProperties(void);
/* Marks the index (0..100) as a simple-model fluid; called by the definers. */
KIV_API void simprop_(int *index);
/* Marks the index (0..100) as a fuel-model fluid; called by the definers. */
KIV_API void setbflag_(int *index);
/* The current fluid answers with the fuel model; at index 0, unless it is a
 * fuel fluid, every drop fluid (getftype_ 4) does. */
KIV_API void SetFuelProperties(void);

/* ---- Simple model and the getters of the index-0 drop fluid --------------- */

/* Loads the simple model's state from the current fluid. */
KIV_API void InitSimpProps(void);
/* Simple model: density [kg/m3] at *p [Pa gauge]. */
KIV_API double rhosimp_(double *p);
/* Simple model: bulk modulus [Pa] at *p [Pa gauge]. */
KIV_API double bmsimp_(double *p);
/* Simple model: dynamic viscosity [Pa.s]. */
KIV_API double musimp_(void);
/* Simple model: kinematic viscosity [m2/s]. */
KIV_API double nusimp_(void);
/* Simple model: gauge pressure [Pa] at which the density is *rho [kg/m3]. */
KIV_API double patrhosimp_(double *rho);
/* Getters of the drop fluid under index 0 (a general fluid with equal vapour
 * saturation pressures; none ends the run): density [kg/m3], saturation
 * pressure [Pa gauge], bulk modulus [Pa], dynamic viscosity [Pa.s],
 * kinematic viscosity [m2/s], air content [fraction], temperature [K],
 * polytropic index [-]. */
KIV_API double getrho_(void);
KIV_API double getsap_(void);
KIV_API double getebm_(void);
KIV_API double getmu_(void);
KIV_API double getnu_(void);
KIV_API double getair_(void);
KIV_API double getemp_(void);
KIV_API double getpol_(void);
/* Ends the run (KivExit(1)) unless the drop fluid of index 0 is defined. */
KIV_API void checkfpdrop(void);
/* Reads and drops 8 reals from path (nothing in the library needs them); the
 * two messages go to DisplayMessage when the file cannot be opened or read
 * (a real beyond the range of a double is not read).  A UTF-8 byte-order
 * mark at the start of the file is passed over. */
KIV_API void ReadOilFile(const char *path, const char *open_message, const char *read_message);

/* ---- Fuel model: *p [Pa gauge], *temperature [K] --------------------- */

/* Mixture density [kg/m3]. */
KIV_API double rbrho_(double *p, double *temperature);
/* Liquid density alone [kg/m3], 0 where all is vapour. */
KIV_API double rbrholiq_(double *p, double *temperature);
/* Bulk modulus [Pa] at fixed mass fractions. */
KIV_API double rbbm2_(double *p, double *temperature);
/* Compliance [1/Pa] from vapour forming or condensing. */
KIV_API double rbgasmtransferatp_(double *p, double *temperature);
/* Effective bulk modulus [Pa], 1 / (rbgasmtransferatp_ + 1 / rbbm2_). */
KIV_API double rbbm_(double *p, double *temperature);
/* Liquid bulk modulus [Pa]; 1 when there is no liquid. */
KIV_API double rbbmliq_(double *p, double *temperature);
/* Dynamic viscosity [Pa.s]. */
KIV_API double rbmu_(double *p, double *temperature);
/* Void fraction [-]. */
KIV_API double rbvoidcontent_(double *p, double *temperature);
/* Temperature [K] with the compression rise, *p_bar in bar gauge. */
KIV_API double rbt_(double *p_bar, double *temperature);
/* Vapour fraction [-] at p_abs [Pa absolute] for the vapour saturation
 * pressure vstp [Pa absolute]. */
KIV_API double RBThetaVap(double p_abs, double vstp);
/* Loads the fuel model for the current fluid. */
KIV_API void inrbprop_(void);
/* Selects the built-in fuel 1..12; another number ends the run. */
KIV_API void setrbid_(int *fuel);
/* Gives the fuel data of the index-0 fluid (pressures in Pa gauge,
 * viscosities in Pa.s) and loads the model. */
KIV_API void setrbid2_(int *fuel, double *p_sat_high, double *p_sat_low, double *molar_mass,
                       double *mu_air, double *mu_vapour);
/* flag nonzero silences the fuel model's notes. */
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
/* fpuserd2_ without void-fraction, temperature and pressure-from-density
 * functions. */
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
 * fluid is defined; 0 after messages (nothing is kept), also for a value not
 * finite or beyond the range of a double.  A UTF-8 byte-order mark at the
 * start of the file is passed over. */
KIV_API int fptables_(int *index, double *p_sat, double *air_percent, double *temperature_celsius,
                      double *polytropic, const char *file_name, double *mu_air,
                      double *p_sat_high, double *p_sat_low, double *mu_vapour,
                      double *vapour_molar_mass, double *air_density);

/* ---- Fluid property tables ------------------------------------------------ */

/* Moves a table fluid to a new temperature [degC].  Beyond its table
 * temperatures its values are held at the nearest table, with the warning its
 * definition gives (not repeated for the temperature it already has); an
 * impossible temperature is refused with a message. */
KIV_API void changeT_(int *index, double *temperature_celsius);

/* ---- Master/slave fluid exchange file ------------------------------------- */

/* Writes every fluid of the registry to "<circuit>.hydp" (batch run:
 * "<circuit>.hydp.<extension>"), once per run.  A file that cannot be opened
 * or written whole ends the run (KivExit(1)) after a message; the name then
 * keeps what it held before, and a later call writes again. */
KIV_API void masterwritehydp(void);
/* Defines the fluids of that file before any other fluid is defined; a
 * missing file leaves the slave without fluids.  A UTF-8 byte-order mark at
 * the start of the file is passed over; a value beyond the range of a
 * double ends the run as other invalid data do. */
KIV_API void slavereadhydp(const char *circuit_name, int batch, const char *extension);
/* Reads one line of the stream as a file name: a leading environment
 * variable expanded, "../" put in front when only the parent directory has
 * the file.  A new text (release with free), empty at end of file; the
 * second argument is not used. */
KIV_API char *GetFileNameFromText(FILE *stream, const char *unused);

/* ---- Atmospheric pressure, tank and prime mover --------------------------- */

/* Atmospheric pressure, 101300 [Pa]. */
KIV_API double getatp_(void);
/* Sets the reference atmospheric pressure [Pa] returned by saggatp_. */
KIV_API void sagsatp_(double *p);
/* The reference atmospheric pressure [Pa] set by sagsatp_. */
KIV_API double saggatp_(void);
/* Tank set-up: *pressure [bar gauge] below absolute zero is raised to it in
 * place, with a message. */
KIV_API void tk000in_(int *instance, double *pressure);
/* Prime-mover set-up; the parameters are not examined. */
KIV_API void pm000in_(int *instance, double *real_parameters);

#ifdef __cplusplus
}
#endif

/* Submodel set-ups of the library's own folders declare their real
 * parameters in one table; hosts do not see this part. */
#if defined(__cplusplus) && defined(KIV_BUILDING)
#include <bitset>
#include <cmath>
#include <span>

namespace kiv {

// One real parameter of a submodel set-up: its position in the caller's
// array, what it is, the factor from the user's unit to SI, the rule its
// user value must meet and the message printed when it does not.  The
// message may show one number: the bound or the value itself; without one,
// the message says "The <name> must be strictly positive." (Positive) or
// "The <name> must be positive." (AtLeast 0).  A set-up that tests its
// parameters in steps says when (`when`: condition bits that must all be
// active; `stage`: the step), and may bound a value from above so that the
// evaluation stays finite (`limit`, the unit printed after the bound).
struct SetupParam {
  enum class Rule { Any, Positive, AtLeast, Above };
  enum class Shows { Bound, Value };
  // A fixed 1e6 (on the value or on its magnitude), or the size of the
  // machine itself (a length, or that length squared for an area).
  enum class Limit { None, Million, MillionBothWays, Size, SizeSquared };
  int pos;
  const char *name;
  double factor;
  Rule rule;
  double bound;
  const char *message;
  Shows shows = Shows::Bound;
  Limit limit = Limit::None;
  const char *unit = "";
  unsigned when = 0;
  int stage = 0;

  // Whether a user value meets the rule (NaN meets none but Any).
  bool accepts(double v) const {
    switch (rule) {
      case Rule::Positive: return v > 0.0;
      case Rule::AtLeast: return v >= bound;
      case Rule::Above: return v > bound;
      case Rule::Any: break;
    }
    return true;
  }
  // The bound of `limit` for a machine of the given size (0: not known).
  double upper(double size) const {
    switch (limit) {
      case Limit::Million:
      case Limit::MillionBothWays: return 1e6;
      case Limit::Size: return size;
      case Limit::SizeSquared: return size * size;
      case Limit::None: break;
    }
    return 0.0;
  }
};

// A parameter that also feeds a field of the submodel's record.
template <class Record>
struct SetupField : SetupParam {
  double Record::*field;
};

// The level a set-up's checks reached (0 none, 1 warning, 2 error; never
// lowered) and the messages that raised it.  A parameter refused once is
// not tested again, and later checks that read it may ask refused() first,
// so that one wrong value gives one message.
class SetupChecks {
 public:
  explicit SetupChecks(const double *values, unsigned active = 0)
      : values_(values), active_(active) {}
  int level() const { return level_; }
  void raise(int level) {
    if (level_ < level) level_ = level;
  }
  void warn(const char *message) {
    kivfprintf(stderr, "%s", message);
    raise(1);
  }
  // Reports an error when failed; returns failed.
  bool fail(bool failed, const char *message) {
    if (failed) {
      kivfprintf(stderr, "%s", message);
      raise(2);
    }
    return failed;
  }
  // Checks a parameter against its rule and then its limit; false (error
  // reported) when the user value breaks one.
  bool check(const SetupParam &p) {
    const double v = values_[p.pos];
    if (!p.accepts(v)) {
      if (p.message)
        kivfprintf(stderr, p.message, p.shows == SetupParam::Shows::Value ? v : p.bound);
      else
        kivfprintf(stderr, p.rule == SetupParam::Rule::Positive
                               ? "\nThe %s must be strictly positive.\n"
                               : "\nThe %s must be positive.\n",
                   p.name);
      return refuse(p.pos);
    }
    return checkLimit(p, v);
  }
  // Refuses a value that is not a finite number, naming the parameter.
  bool finite(const SetupParam &p) {
    const double v = values_[p.pos];
    if (std::isfinite(v)) return true;
    kivfprintf(stderr, "\nThe %s (%g) must be a finite number.\n", p.name, v);
    return refuse(p.pos);
  }
  // The rows of `stage` whose conditions are active, in their order; 2
  // when one was refused, else 0.
  template <class Row>
  int stage(std::span<const Row> rows, int stage) {
    int status = 0;
    for (const SetupParam &p : rows)
      if (p.stage == stage && (p.when & active_) == p.when && !refused(p.pos) && !check(p))
        status = 2;
    return status;
  }
  // The size of the machine the Size limits stand on (0: not known, those
  // limits are not tested).
  void setSize(double size) { size_ = size > 0.0 ? size : 0.0; }
  bool refused(int pos) const { return refused_.test(static_cast<size_t>(pos)); }

 private:
  bool refuse(int pos) {
    refused_.set(static_cast<size_t>(pos));
    raise(2);
    return false;
  }
  bool checkLimit(const SetupParam &p, double v) {
    using L = SetupParam::Limit;
    const double bound = p.upper(size_);
    if (p.limit == L::None || !(bound > 0.0)) return true;
    if (!((p.limit == L::MillionBothWays ? std::fabs(v) : v) > bound)) return true;
    if (p.limit == L::Million)
      kivfprintf(stderr, "\nThe %s must be lower than 1e6%s.\n", p.name, p.unit);
    else if (p.limit == L::MillionBothWays)
      kivfprintf(stderr, "\nThe %s must be in the range [-1e6; 1e6]%s.\n", p.name, p.unit);
    else
      kivfprintf(stderr, "\nThe %s must be lower than %.3f%s.\n", p.name, bound, p.unit);
    return refuse(p.pos);
  }

  const double *values_;
  unsigned active_;
  int level_ = 0;
  double size_ = 0.0;
  std::bitset<64> refused_;
};

// Converts every parameter of the table to SI in the caller's array.
template <class Table>
void convertToSI(const Table &table, double *values) {
  for (const SetupParam &p : table)
    if (p.factor != 1.0) values[p.pos] *= p.factor;
}

}  // namespace kiv
#endif

#endif

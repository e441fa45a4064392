/* Hydraulic laws of the current fluid: the chamber pressure derivative, the
 * orifice flow laws with their flow-direction and regime switches, the
 * equivalent orifice area, the round hole opened by a sliding edge, and
 * Savitzky-Golay smoothing of tabulated curves.
 *
 * SI units, gauge pressures in Pa.  Every argument is passed by pointer.
 * The laws read the current fluid: select it with sethdind_ first.
 *
 * Flows that submodels exchange are referred to 0 bar gauge: the volumetric
 * flow at the local density times rho / rho0, rho0 the current fluid's
 * density at 0 bar gauge.  The flow number is lambda = dh / nu *
 * sqrt(2 |dp| / rho).
 *
 * State words (direction, regime, open/covered, clamp regions) belong to the
 * caller, one per use site, kept between calls.  In an ordinary evaluation
 * (getofg_() == 0) a law chooses its state from the values; while the
 * integrator checks or locates a discontinuity it keeps the stored state
 * and reports a crossing through disloc_ or dishan_. */
#ifndef KIV_HYDLAWS_H
#define KIV_HYDLAWS_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Chamber pressure derivative ------------------------------------------ */

/* dp/dt [Pa/s] of a chamber at pressure p [Pa] with wall compliance a
 * [1/Pa] (V = V0 (1 + a p)), volume V0 [m3] at 0 bar and net inflow q
 * [m3/s, referred to 0 bar].  On visible evaluations the chamber's volume
 * and mass are added to the current fluid's totals.  During a stabilising
 * or consistent-state run it returns 6e9 q and does nothing else. */
KIV_API double pcdyn2_(double *p, double *a, double *V0, double *q);
/* The same (note the argument order) with three further outputs: x / a
 * (x = 1 + a p floored at 1e-10; 1e30 when a is 0), the volume V and the
 * effective bulk modulus of fluid and walls. */
KIV_API double pcdyn02_(double *p, double *V0, double *a, double *q, double *out_ratio,
                        double *out_V, double *out_Beff);

/* ---- Orifice flow laws ---------------------------------------------------- */

/* The tanh law: Cq = Cqmax tanh(2 lambda / lambda_crit), q = Cq A
 * sqrt(2 |dp| / rho), signed like dp; v is the signed jet velocity.
 * nu is the kinematic viscosity [m2/s]; the flow is at density rho. */
KIV_API double OrificeFlow(double *dp, double *rho, double *nu, double *A, double *dh,
                           double *cqmax, double *lcrit, double *cq, double *lambda, double *v);
/* Tanh law from p1 to p2 with the properties of the current fluid at the
 * mean pressure; the result is referred to 0 bar.  A == 0 or p1 == p2
 * gives 0 and zero outputs without reading the fluid. */
KIV_API double orif3f_(double *p1, double *p2, double *A, double *dh, double *cqmax,
                       double *lcrit, double *cq, double *lambda, double *v);
/* orif3f_ without the Cq, lambda and velocity outputs; flow [m3/s]. */
KIV_API double orif3_(double *p1, double *p2, double *A, double *dh, double *cqmax,
                      double *lcrit);
/* orif3f_ without the velocity output. */
KIV_API double orif3b_(double *p1, double *p2, double *A, double *dh, double *cqmax,
                       double *lcrit, double *cq, double *lambda);
/* Tanh law at a given density and kinematic viscosity; q at that density. */
KIV_API double orif2_(double *dp, double *A, double *dh, double *cqmax, double *lcrit,
                      double *rho, double *nu);
/* Short restriction of length L: Cq from an empirical fit in lambda and
 * L / dh, meant for L / dh >= 0.6; the result is referred to 0 bar. */
KIV_API double orif3sht_(double *p1, double *p2, double *A, double *dh, double *L, double *cq,
                         double *lambda, double *v);
/* Cq given by the interpreted object id as a function of lambda. */
KIV_API double orif4f_(double *p1, double *p2, double *A, double *dh, int *id, double *cq,
                       double *lambda, double *v);
/* Linear law inside |dp| < dpt, turbulent law outside (continuous at
 * |dp| = dpt); *state: 1 turbulent forward, -1 turbulent reverse, 0 band. */
KIV_API double orific_(double *dp, double *cq, double *A, double *dpt, double *rho, int *state);

/* Flow-direction switch with a hysteresis band on d = pA - pB - pg:
 * *state 1 forward, 0 reverse, -2 undetermined (d was 0 at the start). */
KIV_API void orifHandleDiscGrav_(double *pA, double *pB, double *pg, int *hdisc, int *usehyst,
                                 double *hyst, int *state);
/* orifHandleDiscGrav_ with pg = 0; hdisc and usehyst 1 turn handling and
 * hysteresis [Pa] on. */
KIV_API void orifHandleDisc_(double *pA, double *pB, int *hdisc, int *usehyst, double *hyst,
                             int *state);
/* orifHandleDisc_ with discontinuity handling and hysteresis on. */
KIV_API void hydHandleDisc_(double *p1, double *p2, double *hyst, int *state);
/* Tanh law with one (Cqmax, lambda_crit) pair per flow direction. */
KIV_API double orif3h_(double *p1, double *p2, double *A, double *dh, double *cqmax_fwd,
                       double *lcrit_fwd, double *cqmax_rev, double *lcrit_rev, double *hyst,
                       double *cq, double *lambda, double *v, int *state);

/* Work record of the equivalent-area searches. */
typedef struct OrificeAreaWork {
  double w;     /* ideal jet velocity sqrt(2 dp / rho) */
  double q;     /* target flow */
  double cqmax; /* tanh law */
  double a, b;  /* tanh law: a * b = nu * lambda_crit */
  double nu;    /* interpreted Cq law */
  int id;       /* interpreted Cq law */
  double dh;    /* diameter of the last area tried */
} OrificeAreaWork;

/* Area A [m2] (and dh = 2 sqrt(A / pi)) through which the tanh law passes
 * flow q at pressure drop dp; a * b = nu * lambda_crit.  q == 0 gives 0 and
 * 0.  When no area exists the run ends after a message. */
KIV_API void eqarea(double *rho, double *q, double *dp, double *cqmax, double *a, double *b,
                    double *A, double *dh);
/* Same as eqarea. */
KIV_API void eqarea_(double *rho, double *q, double *dp, double *cqmax, double *a, double *b,
                     double *A, double *dh);
/* The same for a Cq law given by the interpreted object id. */
KIV_API void EqGeneralArea_(double *rho, double *q, double *dp, double *nu, int *id, double *A,
                            double *dh);
/* Residuals [m3/s] of eqarea and EqGeneralArea_ at area A [m2]: target
 * flow minus the law's flow (work: an OrificeAreaWork). */
KIV_API double areaFun(double A, void *work);
KIV_API double generalAreaFun(double A, void *work);

/* ---- Round hole ----------------------------------------------------------- */

/* Open area and hydraulic diameter of a round hole of diameter d uncovered
 * by x (x < 0: the edge overlaps it by |x|) with diametral clearance c and
 * edge offset e; xmax is the largest travel.  *state: 0 open, -1 covered;
 * region1 and region2: the words of the two clamps. */
KIV_API void qhole_geom_(double *x, double *xmax, double *d, double *c, double *e, double *A,
                         double *dh, int *state, int *region1, int *region2);
/* Edge position in [0, xmax] at which the open area is A_wanted; 0 when
 * there is none. */
KIV_API void qhole_geom_x_(double *A_wanted, double *xmax, double *d, double *c, double *e,
                           double *x);

/* Work record of the edge-position search. */
typedef struct QholeWork {
  double A_wanted, d, c, e, xmax;
} QholeWork;
/* Residual of qhole_geom_x_ at edge position x [m]: A_wanted minus the open
 * area [m2]. */
KIV_API double qhole_geom_x_found(double x, void *work);

/* Flow [m3/s, referred to 0 bar] from p1 to p2 through n identical holes:
 * the tanh law when open; when covered, the law through the gap-sized
 * opening in series with the laminar leakage over the overlap.  A and q are
 * for all holes; lambda, Cq, dh and v for one. */
KIV_API void qhole2_(double *x, double *xmax, double *d, int *n, double *c, double *e,
                     double *cqmax, double *lcrit, double *p1, double *p2, double *q, double *A,
                     double *lambda, double *cq, double *dh, double *v, int *state, int *region1,
                     int *region2);
/* qhole2_ with one hole; the fourth argument is not read. */
KIV_API void qhole_(double *x, double *xmax, double *d, int *n, double *c, double *e,
                    double *cqmax, double *lcrit, double *p1, double *p2, double *q, double *A,
                    double *lambda, double *cq, double *dh, double *v, int *state, int *region1,
                    int *region2);

/* ---- Savitzky-Golay smoothing --------------------------------------------- */

/* Smooths the curve (*x, *y) of n points: a spline of it (linear == 1:
 * multilinear, else cubic of the slope method), resampled at m evenly
 * spaced abscissae over its range and convolved with the quadratic
 * Savitzky-Golay coefficients of the window (5, 7, ..., 25).  A first
 * boundary code of 3 makes the curve periodic.  *x and *y are malloc'd
 * arrays; they come back with m entries (reallocated when m != n).
 * Returns 0, or -1 after a message (arrays unchanged). */
KIV_API int savitzkygolay_filter_(int *linear, int *slope_method, int *n, int *m,
                                  int *boundary_codes, int *disc_flag, int *window, double **x,
                                  double **y);

#ifdef __cplusplus
}
#endif

/* Laws of this header by value for the library's own folders, with the
 * results of the exports; hosts do not see this part. */
#if defined(__cplusplus) && defined(KIV_BUILDING)
namespace kiv::hyd {

struct OrificeResult {
  double q;       // signed like p1 - p2
  double cq;      // >= 0
  double lambda;  // >= 0
  double v;       // signed jet velocity
};

// orif3f_: the flow referred to 0 bar and the law's outputs.
OrificeResult orifice(double p1, double p2, double A, double dh, double cqmax, double lcrit);

// pcdyn02_ (outputs left as they are while stabilising) and pcdyn2_.
double chamberRate(double p, double V0, double a, double q, double &ratio, double &V,
                   double &Beff);
double chamberRate(double p, double V0, double a, double q);

}  // namespace kiv::hyd
#endif

#endif

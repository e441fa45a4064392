/* Orifices described by tables: flow against pressure drop (and an opening
 * and a temperature), loss coefficients zeta or flow coefficients Cq
 * against the Reynolds number Re or the flow number lambda; beside them the
 * laminar leakage of an annular clearance and an orifice whose flow has
 * inertia.
 *
 * SI units, gauge pressures in Pa, flows in m3/s.  Arguments are passed by
 * pointer unless stated.  Set-up functions return a table index (0, 1, ...)
 * or -1 after messages on the error stream; an error level output, when
 * there is one, is raised (never lowered) to 1 by a warning and 2 by an
 * error.  Every table is released when the run ends; indices then start
 * again at 0.  Lookups allocate nothing.
 *
 * The scaled pressure drop X = |dp| / (rho nu^2) [1/m2] is the abscissa of
 * the coefficient tables: a point (Re, zeta) is at X = zeta Re^2 / (2 dh^2),
 * (Re, Cq) at Re^2 / (2 dh^2 Cq^2), (lambda, Cq) at lambda^2 / (2 dh^2);
 * zeta = 1 / Cq^2. */
#ifndef KIV_HYDTABLES_H
#define KIV_HYDTABLES_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Flow against pressure drop ------------------------------------------
 * text: an expression over the variable names, or a table file.
 * flow_unit 1: flows in L/min times *factor (turned into m3/s).
 * revflow 1: symmetric orifice (non-negative pressure drops, mirrored),
 * 2: one table for both directions, 3: one direction (sign -1 turns it
 * into the reverse branch).  interpolation 1 cubic, 2 linear; codes,
 * ext_modes and end_slopes hold a (low side, high side) pair per variable,
 * as the N-D splines take them.  Across the layers of a T1D or T3D table
 * (the second variable) the high-side code acts above the highest layer
 * and the low-side code below the lowest (either one 3: cyclic), as the
 * text-parameter interpreter reads the same pair. */

KIV_API int SetUpFlowdPTable2(char *text, int *flow_unit, int *revflow, int *sign, double *factor,
                              char **names, int *nnames, int *interpolation, int *codes,
                              int *ext_modes, double *end_slopes, int *disc,
                              const char *const *units, int *level);
/* SetUpFlowdPTable2 with every code and mode 1 and every end slope 0. */
KIV_API int SetUpFlowdPTable(char *text, int *flow_unit, int *revflow, int *sign, double *factor,
                             char **names, int *nnames, const char *const *units,
                             int *interpolation, int *disc, int *level);
/* Flow against an opening x, the pressure drop and a temperature: 2-D
 * (x, dp), 3-D (x, dp, T), T1D (slices per dp over x), T3D (T1D sets per
 * T).  Directions of revflow 1 and 3 are left to the caller. */
KIV_API int SetUpFlowXdPTable(char *text, int *flow_unit, int *revflow, double *factor,
                              char **names, int *nnames, int *interpolation, int *codes,
                              int *ext_modes, double *end_slopes, int *disc,
                              const char *const *units, int *level);
/* Flow at the variable values (pressure drop first): 1, or 0 after a
 * message for a bad index (flow not written). */
KIV_API int get_flow_from_table_(int *index, int *flow_unit, double *factor, double *values,
                                 double *flow);
KIV_API void DetailsFree(void);

/* ---- Loss and flow coefficient tables ------------------------------------ */

/* zeta(Re) of n points as a log-log spline of X (interpolation 1 cubic,
 * else linear); dh [m] the hydraulic diameter. */
KIV_API int SetUpZetaTable_(double *dh, double *zeta, double *re, int *interpolation, int *n);
/* zeta(Re) turned into Cq against log(1 + X). */
KIV_API int SetUpZetaTable2_(double *dh, double *zeta, double *re, int *interpolation, int *n);
KIV_API int SetUpCqTable_(double *dh, double *cq, double *re, int *interpolation, int *n);
KIV_API int createSplineCqDpScaled_(double *dh, double *cq, double *re, int *interpolation,
                                    int *n);
/* Cq against Re itself, through (0, 0). */
KIV_API int SetUpCqReTable_(double *cq, double *re, int *interpolation, int *n);
/* (Re, zeta) table file; *interpolation 1 linear, 2 cubic on entry, replaced
 * by 3 - *interpolation (the code of SetUpZetaTable2_: 1 cubic, else
 * linear).  halve 1 halves every zeta.  Returns 0, 1 (warnings) or 2
 * (failure). */
KIV_API int getZetaDpSplineFromZetaReTable1D_(char *file, double *dh, int *interpolation,
                                              int halve, int *index);
/* zeta(Re) from expression id on Re = 10 .. 10^9.9.  Returns 0 or 2. */
KIV_API int getZetaDpSplineFromZetaReExpression_(int *expression, double *dh, int *interpolation,
                                                 int halve, int *index);
/* zeta = (b / a) F(Re), F the interpreted object id. */
KIV_API int SetUpZetaFanningFactor_(double *dh, double *a, double *b, int *object);
/* zeta = 4 c (L / dh) F(Re). */
KIV_API int SetUpZetaFromFanningFactor_(double *dh, double *L, int *interpolation, int *object,
                                        double *c);
/* zeta(Re) layers along a second variable (points per layer, Re and zeta
 * of all layers one after another, one value per layer). */
KIV_API int setUpZetaTableM1D_(int *nlayers, int *npts, double *dh, double *re, double *layer,
                               double *zeta);
KIV_API void get_zeta_from_table_(double *X, double *zeta, int *index);
/* key: X, or Re for a Cq(Re) table. */
KIV_API void get_cq_from_table_(double *key, double *cq, int *index);
/* Flow q [m3/s at density rho] of area A through a zeta table at dp;
 * nu kinematic viscosity. */
KIV_API void orif_zeta_(double *dp, double *dh, double *A, double *re, double *v, double *q,
                        double *zeta, double *rho, double *nu, int *index);
KIV_API double orif_zeta_M1D_(int *index, double *dh, double *A, double *dp, double *layer,
                              double *rho, double *nu, double *zeta, double *re, double *v);
/* F = object value at x; zeta = (b / a) F. */
KIV_API void get_zeta_finarray_(double *a, double *b, int *object, double *x, double *zeta,
                                double *F);
/* Cq (dp_number 1) or zeta (2) against lambda (flow_number 1) or Re (2),
 * from an expression or a table file.  table_type 1 symmetric, 2 one-sided
 * (sign -1: reverse branch); interpolation 1 cubic, 2 linear. */
KIV_API int SetUpCqTable_disc2_(char *text, int *dp_number, int *flow_number, int *table_type,
                                int *sign, double *dh, char **names, int *nnames,
                                int *interpolation, int *disc, int *level);
KIV_API int SetUpCqTable_disc_(char *text, int *dp_number, int *flow_number, int *table_type,
                               int *sign, double *dh, int *interpolation, int *disc, int *level);
/* Cq at a signed X, odd in X. */
KIV_API void get_cq_from_table_disc2(double *X, double *dh, int *dp_number, int *index,
                                     double *cq);
/* Cq at X = (p2 - p1) / (rho nu^2), read as the table was set up. */
KIV_API void get_cq_from_table_disc(double *p1, double *p2, double *rho, double *nu, int *index,
                                    double *cq);
KIV_API void FreeAllZeta(void);

/* ---- Annular leakage and orifice inertia --------------------------------- */

/* Laminar flow [m3/s] through the clearance of a piston in a bore: mu
 * [Pa s], bore D, diametral clearance c, overlap L, eccentricity e [m];
 * shear 1 adds the flow dragged at piston speed v [m/s].  *re receives the
 * Reynolds number. */
KIV_API double fluAnnularLeakageFlow(double mu, double rho, double dp, double D, double c,
                                     double L, double e, int shear, double v, double *re);
/* Forces [N] of that flow on piston and bore (bore may be NULL); f1, f2
 * and *f3 enter as their product mu v L. */
KIV_API void fluAnnularLeakageViscousForces(double D, double c, double f1, double dp, double f2,
                                            double *f3, int shear, double *bore, double *piston);
/* dq/dt [m3/s2] of the flow q [m3/s at 0 bar, from p2 to p1] of a column
 * of length L through area A, Cq(Re) from table index; also Re, the mean
 * velocity v and Cq. */
KIV_API void orifinertia_(double *p1, double *p2, double *q, double *A, double *dh, double *L,
                          int *index, double *dqdt, double *re, double *v, double *cq);

#ifdef __cplusplus
}
#endif

#endif

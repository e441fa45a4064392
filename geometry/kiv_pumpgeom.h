/* Analytic shapes and vane-pump kinematics of the kiv model library.  Flat C
 * interface: every argument is passed by pointer.
 *
 * Shape builders: lengths in the caller's unit (millimetres on the pumps'
 * road, where the kernel's absolute tolerances and smallest kept area of
 * 0.001 fit), angles in radians counter-clockwise from +x.  Each returns a
 * new shape of one path that the caller frees with delete_shape_, or NULL
 * after a message on the error stream when a radius, width or length is not
 * finite and positive or an angle or position is not finite.
 *
 * Vane kinematics: R stator (cam ring) radius, r rotor radius, rt vane-tip
 * radius, w vane thickness, L axial width, (ex, ey) the stator centre
 * relative to the rotor centre.  Metres and radians, except where stated
 * (the displacement-spline builders take millimetres; vp_volume_ works on
 * shapes and takes millimetres).
 *
 * Vane-pump ports and forces: the analytic openings, notches, grooves,
 * forces and chamber functions take any one consistent length unit (SI on a
 * submodel's road); the shape-based tables vp_groove_to_port_ and
 * vp_udport_ work in millimetres (areas mm2).  Table entry i describes the
 * chamber between vane axes a and b: with d = |theta_t - theta_l|, a =
 * angles[i] and b = a + d when theta_l < theta_t, else b = angles[i] and a =
 * b - d.  The last entry of every table repeats the first (a single
 * entry is the chamber at angles[0]); n < 1 writes nothing.  Shape-based
 * tables report no opening as area 0, perimeter 1.0.
 *
 * Pump operating mode and efficiencies: any units, stateless. */
#ifndef KIV_PUMPGEOM_H
#define KIV_PUMPGEOM_H

#include "geometry/kiv_geometry.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Analytic helpers ---------------------------------------------------- */

/* The point where the line through (0, b) of direction theta meets the
 * circle (xc, yc, r) forward along theta; the foot of the perpendicular from
 * the centre when the line misses it.  A centre at the origin ignores b. */
KIV_API void circle_line_intersect_(const double *xc, const double *yc, const double *r,
                                    const double *theta, const double *b, double *x, double *y);
/* Polar angle, about (xc, yc), of that point, in (-pi, pi]. */
KIV_API double circle_line_correctedslope_(const double *xc, const double *yc, const double *r,
                                           const double *theta, const double *b);
/* Overlap [lo, hi] of the counter-clockwise intervals [a1, a2] and [b1, b2]
 * (unwrapped, may exceed 2 pi); kind 0 none, 1 start of A to end of B, 2 A
 * inside B, 3 B inside A, 4 start of B to end of A (lo = hi = 0 for none). */
KIV_API void vp_sort_angles_(const double *a1, const double *a2, const double *b1,
                             const double *b2, double *lo, double *hi, int *kind);

/* ---- Shape builders ------------------------------------------------------ */

/* Annular sector between circle 1 (x1, y1, r1) and circle 2 (x2, y2, r2)
 * cut by the rays at theta1 and theta2 from centre 1 (mode 0) or centre 2
 * (mode 1); arcs sampled about every degree.  NULL for another mode, for
 * angles more than a turn apart, or for centres so far out that the
 * outline's numbers would not be finite. */
KIV_API shape *create_analyticport_(const double *r1, const double *r2, const double *x1,
                                    const double *y1, const double *x2, const double *y2,
                                    const double *theta1, const double *theta2, const int *mode);
/* Polygon from the origin covering everything outside the window from
 * theta1 to theta2 out to radius R; the angles are written back folded
 * (theta2 raised by 2 pi when below theta1). */
KIV_API shape *create_screen_(double *theta1, double *theta2, const double *R);
/* The exact sector of the window itself (a true arc of radius R). */
KIV_API shape *create_screen2_(double *theta1, double *theta2, const double *R);
/* Clockwise circle (a hole) of radius r about (xc, yc). */
KIV_API shape *create_vp_stator_(const double *r, const double *xc, const double *yc);
/* Counter-clockwise circle of radius r about the origin. */
KIV_API shape *create_vp_rotor_(const double *r);
/* Vane of thickness w and length L (base to the ends of the tip arc of
 * radius rtip) on the axis at theta, pushed out until its tip touches the
 * stator of radius Rs whose centre lies at distance e in direction theta0.
 * *angle receives the polar angle of the contact point in [-pi, pi],
 * *radius the distance of the vane base from the origin. */
KIV_API shape *create_vp_vane_(const double *theta, const double *theta0, const double *e,
                               const double *w, const double *rtip, const double *Rs,
                               const double *L, double *angle, double *radius);

/* ---- Vane-pump kinematics (metres, radians) ------------------------------ */

/* Area between the rotor and the eccentric stator swept from the
 * eccentricity direction to theta. */
KIV_API double vp_ring_area_(const double *theta, const double *e, const double *R, const double *r);
/* Area of one side of a vane protruding by h beyond the rotor radius. */
KIV_API double vanehalfarea_(const double *w, const double *rt, const double *h);
/* Contact angle *phi and the point (*x, *y) on the vane axis at theta that
 * reaches the stator less l0; theta0 is the eccentricity direction and the
 * third argument is not read. */
KIV_API void calc_vane_position_(const double *theta, const double *theta0, const double *unused,
                                 const double *R, const double *rt, const double *l0,
                                 const double *e, double *x, double *y, double *phi);
/* One vane on the axis theta: tip contact angle *beta from the axis,
 * protrusion *h beyond r, distance *s of the contact point from the rotor
 * centre and its polar angle *phi in [0, 2 pi). */
KIV_API void vp_singlevane_geom_(const double *theta, const double *ex, const double *ey,
                                 const double *w, const double *rt, const double *R,
                                 const double *r, double *beta, double *h, double *s,
                                 double *phi);
/* Displacement (m3 per chamber passage) of a chamber whose vanes are
 * |theta_b - theta_a| apart.  An eccentricity beyond R - r is shortened to
 * R - r in (*ex, *ey).  0, like the gerotor displacement, after a message
 * naming the first unusable input: R, r, rt or L not finite and positive, w
 * negative or not finite (0 is a thin vane), a vane wider than 2 rt or 2 r,
 * r not below R, or an eccentricity or angle that is not finite. */
KIV_API double vp_chamber_displacement_(const double *theta_a, const double *theta_b,
                                        const double *w, const double *rt, double *ex, double *ey,
                                        const double *R, const double *r, const double *L);
/* Sum over n chambers whose first n - 1 angular widths are given (the last
 * one completes the turn); -1.0 when a chamber's displacement is negative,
 * and after a message for n < 1 or the inputs vp_chamber_displacement_
 * refuses (a width that is not finite among them). */
KIV_API double vp_uneven_chamber_displacement_(const int *n, const double *widths,
                                               const double *w, const double *rt, double *ex,
                                               double *ey, const double *R, const double *r,
                                               const double *L);
/* Linear spline (id in *id) of the displacement per radian (m3/rad) over
 * the eccentricity (m) of a sliding ring from e_min to e_max.  Lengths in
 * mm: w, rt, L, stator and rotor diameters Ds and Dr, e_min, e_max.  even 1:
 * n equal chambers; otherwise the n - 1 first widths in degrees.  Returns 1,
 * or -1 (Ds - Dr must be at least 1 mm). */
KIV_API int vp_sliding_displspl_(const int *n, const int *even, const double *angles,
                                 const double *w, const double *rt, const double *Ds,
                                 const double *Dr, const double *L, const double *e_min,
                                 const double *e_max, int *id);
/* The same over the angle (rad) of a ring turned about the pivot (px, py)
 * from a_min to a_max, its centre at (cx, cy) at angle 0 (mm); uneven
 * widths in radians.  The spline holds its end values. */
KIV_API int vp_pivot_displspl_(const int *n, const int *even, const double *angles,
                               const double *w, const double *rt, const double *Ds,
                               const double *Dr, const double *L, const double *a_min,
                               const double *a_max, const double *px, const double *py,
                               const double *cx, const double *cy, int *id);
/* Chamber volume *V (m3) and its rate *dV (m3/s) for a sliding ring; the
 * vane angles are measured from the eccentricity direction, (beta, h, s,
 * phi) of each vane come from vp_singlevane_geom_, omega is the shaft speed
 * (rad/s) and edot the eccentricity rate (m/s). */
KIV_API void vp_sliding_VdV_(const double *theta1, const double *theta2, const double *e,
                             const double *w, const double *rt, const double *R, const double *r,
                             const double *L, const double *beta1, const double *beta2,
                             const double *h1, const double *h2, const double *s1,
                             const double *s2, const double *phi1, const double *phi2,
                             const double *omega, const double *edot, double *V, double *dV);
/* The same for a ring centred at (ex, ey) turning about the pivot (px, py)
 * at the rate omega_p (rad/s); absolute angles. */
KIV_API void vp_pivot_VdV_(const double *theta1, const double *theta2, const double *ex,
                           const double *ey, const double *px, const double *py, const double *w,
                           const double *rt, const double *R, const double *r, const double *L,
                           const double *beta1, const double *beta2, const double *h1,
                           const double *h2, const double *s1, const double *s2,
                           const double *phi1, const double *phi2, const double *omega,
                           const double *omega_p, double *V, double *dV);
/* Chamber volume by angle from shapes (mm, mm3): *table receives a new
 * array of n reals (free it with free), each the chamber area at angles[i]
 * times L plus V0, the last entry equal to the first.  theta_l and theta_t
 * are the leading and trailing vane angles that fix the chamber's width.
 * Returns 0, or -1 after a message.  (*ex, *ey) are limited in place to the
 * rotor's room R - r. */
KIV_API int vp_volume_(const double *angles, double **table, const int *n, const double *theta_l,
                       const double *theta_t, const double *w, const double *rt, double *ex,
                       double *ey, const double *R, const double *r, const double *L,
                       const double *V0);

/* ---- Vane-pump ports, notches and grooves -------------------------------- */

/* Opening (*area, wetted *perim) of the chamber between vanes at a1 and a2
 * onto the analytic port from p1 to p3 (entry band p1..p2, exit band
 * p4..p3); h1, h2 vane protrusions, q1, q2 perimeter added for a vane inside
 * the port.  *out2 (*out1) set when vane 2 (1) lies outside the port; none
 * of the outputs but area and perim (both 0) is written without overlap. */
KIV_API void vp_anaport_area_(const double *w, const double *rt, const double *R, const double *r,
                              const double *a1, const double *a2, const double *ex, const double *ey,
                              const double *p1, const double *p2, const double *p3, const double *p4,
                              const double *h1, const double *h2, const double *q1, const double *q2,
                              double *area, double *perim, int *out1, int *out2);
/* Opening of a V-notch ending at angle theta_n, radius Rn, inclined by
 * delta, of length a, width b and depth c, between vane angles theta1 and
 * theta2.  *state (0 closed, 1 vane 2 in the notch, 2 open, 3 vane 1 in the
 * notch; any other value counts as closed) is chosen afresh while getofg_
 * reports 0; otherwise a vane crossing a notch edge is reported to disloc_. */
KIV_API void vp_notch_area_(const double *theta1, const double *theta2, const double *theta_n,
                            const double *Rn, const double *delta, const double *a, const double *b,
                            const double *c, double *area, double *perim, int *state);
/* Opening of an analytic groove of width g1 and depth g2 at radius Rg (over
 * q1..q2, its side over p1..p2) towards the chamber theta_a..theta_b. */
KIV_API void vp_anagroove_area_(const double *theta_a, const double *theta_b, const double *g1,
                                const double *g2, const double *Rg, const double *p1, const double *p2,
                                const double *q1, const double *q2, double *area, double *perim);
/* Notch table over n angles (vanes narrowed by the thickness w seen from
 * Rn; a trailing notch, theta_t < theta_l, mirrored); returns 0. */
KIV_API int vp_notch_(const double *angles, double *area, double *perim, const int *n,
                      const double *theta_l, const double *theta_t, const double *theta_n,
                      const double *Rn, const double *delta, const double *a, const double *b,
                      const double *c, const double *w);
/* Analytic groove table; returns 0. */
KIV_API int vp_anagroove_(const double *angles, double *area, double *perim, const int *n,
                          const double *theta_l, const double *theta_t, const double *g1,
                          const double *g2, const double *Rg, const double *p1, const double *p2,
                          const double *q1, const double *q2);
/* Table (mm, mm2) of the opening towards the chamber of the registered
 * groove shape, beyond the stator bore and outside the port p1..p2 up to
 * R + dg, at most depth deep.  0, or -1 when the id names no shape. */
KIV_API int vp_groove_to_port_(const int *groove_id, const double *angles, double *area, double *perim,
                               const int *n, const double *theta_l, const double *theta_t,
                               const double *w, const double *rt, const double *ex, const double *ey,
                               const double *R, const double *r, const double *dg,
                               const double *depth, const double *p1, const double *p2);
/* Table (mm, mm2) of the opening of the registered port shape between rotor
 * and stator.  (*ex, *ey) are limited in place to the rotor's room R - r.
 * 0, or -1 (every entry closed) when the id names no shape, its bounds
 * cannot be found, or rotor, stator and vanes cannot be built (after a
 * message: R, r, rt and w finite and positive, the vane within 2 rt and 2 r,
 * r below R, eccentricity and angles finite). */
KIV_API int vp_udport_(const int *port_id, const double *angles, double *area, double *perim,
                       const int *n, const double *theta_l, const double *theta_t, const double *w,
                       const double *rt, double *ex, double *ey, const double *R, const double *r);
/* Pivot geometry of a ring centred at (cx, cy) that turns about (px, py):
 * polar angles theta_c, theta_p and radii Rc, Rp of centre and pivot, their
 * distance l, the pivot-centre angle phi0, and the ranges [lo1, hi1] and
 * [lo2, hi2] of the pivot turn within which the eccentricity stays below
 * (Ds - Dr) / 2.  The seventh argument is not read. */
KIV_API void vp_pivot_init_(const double *px, const double *py, const double *cx, const double *cy,
                            const double *Dr, const double *Ds, const double *unused, double *theta_c,
                            double *phi0, double *Rc, double *Rp, double *l, double *theta_p,
                            double *lo1, double *hi1, double *lo2, double *hi2);

/* ---- Vane-pump forces and chamber functions ------------------------------ */

/* Forces of a chamber at pressure p on the stator centred at (ex, ey):
 * pressure force *F, the chord between the contact points (s, phi) of its
 * vanes times L p, at the angle *psiF in [0, 2 pi) of the middle of the
 * wetted stator arc seen from the stator centre: towards the chord midpoint
 * (*mx, *my) for an arc up to half a turn, away from it beyond, so that the
 * chambers round a ring at one pressure add up to no force; centrifugal
 * force *Fc of the volume V of density rho at shaft speed omega, at the
 * chamber's centroid (*gx, *gy).  The ninth and tenth arguments are not
 * read. */
KIV_API void vp_stator_forces_(const double *ex, const double *ey, const double *R, const double *r,
                               const double *L, const double *V, const double *s1, const double *s2,
                               const double *unused1, const double *unused2, const double *phi1,
                               const double *phi2, const double *p, const double *rho,
                               const double *omega, double *F, double *Fx, double *Fy, double *psiF,
                               double *mx, double *my, double *Fc, double *Fcx, double *Fcy, double *gx,
                               double *gy);
/* Pressure force of the chamber between contact angles phi1 and phi2 on the
 * rotor, pointing opposite the chamber's mid angle. */
KIV_API void vp_rotor_forces_(const double *r, const double *L, const double *phi1, const double *phi2,
                              const double *p, double *F, double *Fx, double *Fy, double *psiF);
/* Chamber between vane axes theta1 and theta2 (from the eccentricity
 * direction; theta2 below theta1 means one turn later): volume *V, its
 * derivatives by shaft angle *dVdtheta and by eccentricity *dVde (the ring's
 * part *dVde_ring), contact distances *s1, *s2, and *dV = dVdtheta * omega -
 * dVde * edot: edot counts positive when the eccentricity shrinks. */
KIV_API void vp_dev_trans_VdV_(const double *theta1, const double *theta2, const double *e,
                               const double *beta1, const double *omega, const double *edot,
                               const double *w, const double *rt, const double *R, const double *r,
                               const double *L, double *V, double *dV, double *dVde, double *dVde_ring,
                               double *dVdtheta, double *s1, double *s2);
/* Opening (*area, hydraulic diameter *dh, *perim) of the chamber onto the
 * port ps..pe (made non-negative in place) with a notch (Rn, delta, a, b,
 * c; off unless all of a, b, c are positive) at its start; n vanes.  *mode,
 * *in2, *in1, *nstate and the angle-wrap counts *m1, *m2 are the caller's
 * state: chosen afresh while getofg_ reports 0, otherwise kept and a vane
 * edge crossing a port or notch edge is reported to disloc_. */
KIV_API void vp_dev_port_area_(const double *theta1, const double *theta2, const double *e,
                               const double *beta1, const double *w, const double *rt, const double *R,
                               const double *r, const double *n, double *ps, double *pe, const double *Rn,
                               const double *delta, const double *a, const double *b, const double *c,
                               double *area, double *dh, double *perim, int *mode, int *in2, int *in1,
                               int *nstate, double *m1, double *m2);

/* ---- Pump operating mode and efficiencies -------------------------------- */

/* Direction sign *mode (+1 or -1) and *factor (1.0 pump, -1.0 motor) from
 * the signs of the three operating quantities a, b, c. */
KIV_API void xcd_pump_getmode_(const double *a, const double *b, const double *c, int *mode,
                               double *factor);
/* Volumetric and mechanical efficiencies from actual and ideal flows and
 * torques; ratios inverted unless factor is exactly 1.0 (pump); 0 for a
 * zero denominator or a negative ratio, not capped at 1. */
KIV_API void xcd_pump_efficiencies_(const double *factor, const double *q_actual, const double *q_ideal,
                                    const double *t_actual, const double *t_ideal, double *eta_v,
                                    double *eta_m);
/* The same two under the vane pump's names. */
KIV_API void vp_getmode_(const double *a, const double *b, const double *c, int *mode, double *factor);
KIV_API void vp_efficiencies_(const double *factor, const double *q_actual, const double *q_ideal,
                              const double *t_actual, const double *t_ideal, double *eta_v,
                              double *eta_m);

#ifdef __cplusplus
}
#endif

#endif

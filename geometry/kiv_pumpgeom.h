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
 * shapes and takes millimetres). */
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
 * (mode 1); arcs sampled about every degree.  NULL for another mode. */
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
 * R - r in (*ex, *ey). */
KIV_API double vp_chamber_displacement_(const double *theta_a, const double *theta_b,
                                        const double *w, const double *rt, double *ex, double *ey,
                                        const double *R, const double *r, const double *L);
/* Sum over n chambers whose first n - 1 angular widths are given (the last
 * one completes the turn); -1.0 when a chamber's displacement is negative. */
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

#ifdef __cplusplus
}
#endif

#endif

/* Axial-piston valve-plate openings and gerotor geometry of the kiv model
 * library.  Flat C interface: every argument is passed by pointer.
 *
 * Axial piston: lengths in any one unit, angles in radians counter-clockwise
 * from +x; Rp pitch radius, w slot width.  Port tables are filled over
 * angles[] (turn of the moving shape); areas and perimeters are magnitudes
 * rounded to 0.001, half away from zero, with no integer range limit.  No
 * opening is area 0, perimeter 1.0.
 *
 * Gerotor: z lobes of radius rc on the circle a about the origin, root
 * radius Ro, fillet radius X (0: none), eccentricity e (the inner gear of
 * z - 1 teeth turns about (-e, 0)), thickness b; lengths in millimetres,
 * shaft angle theta in radians (outer gear turned by theta, inner gear by
 * theta z / (z - 1)).  Areas are returned in m2, perimeters in m, volumes in
 * m3, all magnitudes.  Angle tables are 720 entries k 2 pi / 719, the last
 * entry set to the first.  Shape builders return a new shape (free it with
 * delete_shape_) or NULL after a message when a parameter is not finite or
 * the design is refused; their id forms return -1 then.
 *
 * Designs that cannot exist are refused before any geometry is built, with
 * one message naming the condition and its values (h = pi / z):
 *   inner gear (builders with e):  z e >= a (the profile passes through or
 *     loops round a lobe centre); rc at or above the smallest curvature
 *     radius of the lobe centres' path on the inner gear (the profile loops);
 *   ring (builders with Ro, X):  Ro <= a - rc; Ro >= a + rc; lobes that
 *     overlap inside the root circle (rc >= a sin h and Ro beyond their
 *     crossing a cos h - sqrt(rc^2 - a^2 sin^2 h)); a fillet X < 0 or larger
 *     than the one whose centre sits on the bisector;
 *   both in mesh (volumes, displacement, ports):  Ro < a + 2 e - rc (the
 *     inner gear's reach); a fillet that meets the lobe inside the farthest
 *     contact sqrt(a^2 + rc^2 - 2 a rc sqrt(1 - (z e / a)^2)) or cuts into
 *     the path of the inner gear's teeth; an eccentricity e below 0.002 a
 *     (chambers too thin to sample in bounded time);
 *   volumes and displacement:  an inner-gear root a - e - rc below the
 *     chamber's inner bound 0.7 (a - rc).
 * Lobes that cross only beyond the root circle are sound.  Every gerotor
 * call also refuses, with one message naming it: z below 3 or above 360;
 * an angle that is not finite or beyond 1e6 rad (a table angle that is not
 * finite, with its entry); an angle range or margin wider than two turns; a
 * step below 1e-4 rad, or an inner-gear step that would take more than a
 * million vertices; a thickness whose chamber volumes or the spline of their
 * table would overflow.  A refused call writes none of its outputs unless
 * its comment says otherwise.
 *
 * Chambers: with at least 5 lobes, where no lobe overhangs (no ray from the
 * centre meets the ring twice: the lobe meets the fillet or root inside the
 * tangent radius sqrt(a^2 - rc^2)) and the sector construction stays within
 * 1e-4 of the largest chamber at 36 probe angles, a chamber is the sector
 * between its contact rays less both sampled gears.  Otherwise, and for a
 * sector that cannot be cut, it is the loop closed by its two contacts: the
 * ring between them with true arcs and the inner gear back, sampled at fixed
 * places on each tooth so that its tangent turns by at most 0.06 rad and its
 * chords stray at most 4e-4 e from it (4e-4 times 0.005 a for a smaller e),
 * and ever closer towards each contact.  Gear and lobe touch at a contact, so
 * the loop leaves the lobe by a radial step to the first sample at least
 * 1e-8 a clear of it past which no chord dips into the lobe: it never crosses
 * itself.  Volume tables, displacement and port openings follow the chosen
 * construction; an opening is closed only where chamber and port do not
 * overlap. */
#ifndef KIV_GEROTOR_H
#define KIV_GEROTOR_H

#include "geometry/kiv_geometry.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Axial piston -------------------------------------------------------- */

/* Kidney slot of width w on the pitch circle Rp from theta_s to theta_e
 * (wrapping through pi when theta_e < theta_s); NULL with a message unless
 * 0 < w / 2 < Rp. */
KIV_API shape *create_axpp_slot_(const double *Rp, const double *w, const double *theta_s,
                                 const double *theta_e);
KIV_API int create_axpp_slot_id_(const double *Rp, const double *w, const double *theta_s,
                                 const double *theta_e);
/* V-notch of length L beyond the cap of a slot of width w, width wn at the
 * cap, at the port edge theta (side 1: port start, pointing clockwise;
 * otherwise port end), its axis turned outward by beta; arc 1 closes the
 * base along the cap.  The eighth argument is not read. */
KIV_API shape *create_axpp_notch_(const double *Rp, const int *side, const double *w,
                                  const double *theta, const double *beta, const double *L,
                                  const double *wn, const double *unused, const int *arc);
KIV_API int create_axpp_notch_id_(const double *Rp, const int *side, const double *w,
                                  const double *theta, const double *beta, const double *L,
                                  const double *wn, const double *unused, const int *arc);
/* Distance between the line through A2 and A1 and the line through B2 and
 * B1; PA and PB receive the closest points (s = 0 on A for parallel lines). */
KIV_API double distance3D_Line_to_Line(const double *A1, const double *A2, const double *B1,
                                       const double *B2, double *PA, double *PB);
/* Opening of the registered port onto the registered moving shape turned by
 * angles[i], for i = i_first .. i_last (0 <= i_first <= i_last < n).  A
 * full range repeats entry 0 in entry n - 1.  0; -1 when a shape is missing
 * or empty (range closed) or the range is invalid (nothing written). */
KIV_API int axpp_udport_custom_(const int *port_id, const double *angles, const int *i_first,
                                const int *i_last, double *area, double *perimeter, const int *n,
                                const int *moving_id);
KIV_API int axpp_udport_(const int *port_id, const double *angles, double *area, double *perimeter,
                         const int *n, const int *moving_id);
/* Opening of the registered port with a notch (side, theta, beta, L, wn, its
 * floor depth at the base rising to 0 at the tip) onto the slot (Rp, w,
 * theta_s, theta_e) turned by angles[i]; where the slot cap cuts the notch
 * its true cross-section replaces the plan view when smaller.  0, or -1 with
 * every entry closed (nothing written for n < 1). */
KIV_API int axpp_anaport_notch_(const int *port_id, const double *angles, double *area,
                                double *perimeter, const int *n, const double *Rp, const double *w,
                                const double *theta_s, const double *theta_e, const int *side,
                                const double *theta, const double *beta, const double *L,
                                const double *wn, const double *depth);

/* ---- Gerotor geometry (mm) ----------------------------------------------- */

/* Contact point (mm) of the lobe whose centre lies at angle theta, on the
 * line from its centre to the pitch point (-z e, 0). */
KIV_API void gp_get_xc_yc_(const int *z, const double *a, const double *rc, const double *e,
                           const double *theta, double *x, double *y);
/* The same in polar form about the origin: angle in [0, 2 pi), radius. */
KIV_API void gp_get_rc_thetac_(const int *z, const double *a, const double *rc, const double *e,
                               const double *theta, double *angle, double *radius);
/* Ring contour sampled every step (rad) in the window from the contact
 * angle c1 - margin to c2 + margin closed out at radius 2 Ro (a region of
 * ring material), or a whole clockwise turn when c2 - c1 >= 2 pi.  Where a
 * lobe overhangs, the ring is sampled along its contour (lobe, fillet, root)
 * about Ro step apart, and the window runs between the farthest crossings of
 * its two edges. */
KIV_API shape *create_gp_outer_gear_(const int *z, const double *a, const double *rc,
                                     const double *Ro, const double *X, const double *theta,
                                     const double *c1, const double *c2, const double *step,
                                     const double *margin);
KIV_API int create_gp_outer_gear_id_(const int *z, const double *a, const double *rc,
                                     const double *Ro, const double *X, const double *theta,
                                     const double *c1, const double *c2, const double *step,
                                     const double *margin);
/* Whole ring bore with true arcs, clockwise (a hole), turned by theta. */
KIV_API shape *create_gp_outer_gear2_(const int *z, const double *a, const double *rc,
                                      const double *Ro, const double *X, const double *theta);
KIV_API int create_gp_outer_gear2_id_(const int *z, const double *a, const double *rc,
                                      const double *Ro, const double *X, const double *theta);
/* Inner gear turned by theta0 between polar angles ta - margin and
 * tb + margin, as a sector from the origin (the whole gear when
 * |tb - ta| >= 2 pi).  Its profile parameter advances by step / 3 where the
 * contour bends, tooth tips and roots alike, and by 3 step where it runs
 * nearly straight. */
KIV_API shape *create_gp_inner_gear_(const int *z, const double *a, const double *rc,
                                     const double *e, const double *theta0, const double *ta,
                                     const double *tb, const double *step, const double *margin);
KIV_API int create_gp_inner_gear_id_(const int *z, const double *a, const double *rc,
                                     const double *e, const double *theta0, const double *ta,
                                     const double *tb, const double *step, const double *margin);
/* Chamber volume (m3) at each shaft angle; the last entry repeats the first.
 * 0; -1 (nothing written) for n < 1, unusable parameters or a refused
 * design. */
KIV_API int gp_volume_(const double *angles, double *volumes, const int *n, const int *z,
                       const double *a, const double *rc, const double *Ro, const double *e,
                       const double *X, const double *b);
/* Cyclic spline (id in *id) of the chamber volume (m3) over the shaft angle
 * (rad) on the turn table; 0, or -1 with *id = -1 (also for a refused
 * design). */
KIV_API int gp_set_up_volume_(const int *z, const double *a, const double *rc, const double *Ro,
                              const double *e, const double *X, const double *b, int *id);
/* Displacement per radian of shaft (m3/rad): (Vmax - Vmin) z / (2 pi); 0
 * after a message for unusable parameters or a refused design. */
KIV_API double gp_get_displacement_(const int *z, const double *a, const double *rc,
                                    const double *Ro, const double *e, const double *X,
                                    const double *b);
/* The same from n volumes (their unit per radian); 0 when n < 2, and for a
 * refused z. */
KIV_API double gp_ud_get_displacement_(const int *z, const int *n, const double *volumes);
/* dV/dtheta of the z chambers at the shaft angle theta (the outer gear's
 * angle, as everywhere in this interface), per radian of that angle, in
 * mm3/rad for a, rc, e, b in mm.  Chamber k lies between the lobes at
 * theta + 2 pi k / z and theta + 2 pi (k + 1) / z: out[k] is the slope of
 * the chamber volume table at theta + 2 pi k / z. */
KIV_API void gp_get_volume_derivative_(const int *z, const double *a, const double *rc,
                                       const double *e, const double *b, const double *theta,
                                       double *out);

/* ---- Gerotor ports, leakage, forces -------------------------------------- */

/* Opening (area m2, perimeter m) of the chamber at each shaft angle onto the
 * registered port; a closed window gives area 0, perimeter 0.001.  0; -1
 * (nothing written) for n < 1, unusable parameters, a refused design, or a
 * port that no intersection with a chamber succeeds for (a message names
 * the entry). */
KIV_API int gp_port_(const int *port_id, const double *angles, double *area, double *perimeter,
                     const int *n, const int *z, const double *a, const double *rc,
                     const double *Ro, const double *e, const double *X);
/* Port drawn in an XY file (mm): cyclic splines of area (m2) and perimeter
 * (m) over the shaft angle.  0, or -1 after a message (ids not written, also
 * when the port cannot be intersected with a chamber, as for gp_port_); a
 * refused design is refused before the file is read.  The file is read as
 * every table file: a UTF-8 byte-order mark at its start is passed over,
 * and a number beyond the range of a double is refused with its line. */
KIV_API int gp_set_up_flow_area_contour_(const int *z, const double *a, const double *rc,
                                         const double *Ro, const double *e, const double *X,
                                         const char *file, int *area_id, int *perimeter_id);
/* The same for the sector port between the angles start and end (degrees);
 * a refused design registers no port. */
KIV_API int gp_set_up_flow_area_analytic_(const int *z, const double *a, const double *rc,
                                          const double *Ro, const double *e, const double *X,
                                          const double *start, const double *end, int *area_id,
                                          int *perimeter_id);
/* Couette leakage over the contact at theta of a gap h wide w: sliding
 * speed *u (mm/s for mm and rad/s) and flow *q = u h w / 2 (mm3/s).  omega
 * is the inner gear's speed; the ring turns at (z - 1) omega / z.  A contact
 * on the pitch point does not slide: *u = 0 there. */
KIV_API void gp_get_leakage_couette_(const int *z, const double *a, const double *rc,
                                     const double *e, const double *h, const double *w,
                                     const double *theta, const double *omega, double *u,
                                     double *q);
/* Force (*Fx, *Fy) of the chamber at pressure p on the inner gear, in p
 * times mm2 (N for p in MPa, 1e-6 N for p in Pa), and its *torque about the
 * inner-gear centre (-e, 0) in that force unit times mm. */
KIV_API void gp_get_force_torque_ch_inner_gear_(const int *z, const double *a, const double *rc,
                                                const double *e, const double *b,
                                                const double *theta, const double *p, double *Fx,
                                                double *Fy, double *torque);
/* Node of the first path at the polar angle theta about (xc, yc) at radius
 * rmin or beyond: its index, or -1. */
KIV_API int gp_find_closest_pt_from_theta_(const shape *s, const double *theta, const double *xc,
                                           const double *yc, const double *rmin);
KIV_API int gp_find_closest_pt_from_theta_id_(const int *id, const double *theta, const double *xc,
                                              const double *yc, const double *rmin);
/* Splitter angles of a shape-defined ring about (xc, yc): 0, or -1 (nothing
 * written) for a refused z or a shape without a path. */
KIV_API int gp_ud_set_splitters_angles_(const shape *s, const int *z, const double *xc,
                                        const double *yc, double *ta, double *tmid, double *tb);
KIV_API int gp_ud_set_splitters_angles_id_(const int *id, const int *z, const double *xc,
                                           const double *yc, double *ta, double *tmid, double *tb);
/* Chamber volume (m3) and openings onto ports 1 and 2 (m2, m) of gears given
 * as registered shapes (mm), inner about (xi, yi), outer about (xo, yo).
 * The ring is used with its arcs sampled every half degree and a vertex at
 * least every half degree about (xo, yo); which of the z chambers is followed
 * is set by the ring's first node.  Rings of create_gp_outer_gear2_ at turn
 * 0 give the chamber two pitches behind: at angles[i] the one between the
 * lobes at angles[i] - 4 pi / z and angles[i] - 2 pi / z.  Rings of
 * create_gp_outer_gear_ at turn 0 over a whole turn from 0 give it one
 * pitch behind, two where a lobe overhangs (the ring is then sampled along
 * the exact one).  0, or -1 after a message (a ring with no contour: "Cannot
 * use outergear defined by shape %d."; a chamber and port that cannot be
 * intersected, naming the entry and the port). */
KIV_API int gp_ud_compute_volume_area_(const int *z, const double *xi, const double *yi,
                                       const int *inner_id, const double *xo, const double *yo,
                                       const int *outer_id, const int *port1_id,
                                       const int *port2_id, const double *b, const int *n,
                                       const double *angles, double *volume, double *area1,
                                       double *perimeter1, double *area2, double *perimeter2);

#ifdef __cplusplus
}
#endif

#endif

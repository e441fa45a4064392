/* Shapes by integer id, shapes from coordinate arrays and XY table files,
 * printed shapes and the gear-outline check.  Flat C interface.
 *
 * Ids count from 0 upward over the whole process and are never reused; -1
 * stands for no shape.  The registry lives in the current system's data
 * store under "xCD_geom" and owns the registered shapes: a shape obtained by
 * id is used in place and freed only by delete_shape_id_ or by the hook that
 * the registration installs for the end of the run.  Functions that make a
 * shape register it and return its id, or -1 (with a message on the error
 * stream where the operation has one); a boolean operation that fails
 * registers nothing.  Every argument
 * of the functions ending in "_" is passed by pointer, except where said.
 * Lengths are in the shapes' unit (millimetres for shape files), angles in
 * radians, counter-clockwise positive. */
#ifndef KIV_SHAPEID_H
#define KIV_SHAPEID_H

#include <stdio.h>

#include "geometry/kiv_geometry.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Registry ------------------------------------------------------------ */

/* Registers s (the registry takes it over): the new id, -1 for NULL. */
KIV_API int register_shape_id_(shape *s);
/* The registered shape, NULL for -1, an unknown or a deleted id. */
KIV_API shape *xCD_get_shape_(const int *id);
/* 1 when the id has a shape, else 0. */
KIV_API int xCD_shape_exists_(const int *id);
/* Frees the shape of the id; the id is not given again. */
KIV_API void delete_shape_id_(const int *id);
/* End-of-run hook of one id; code is ignored. */
KIV_API void KIVdelete_shape_(int code, int id);
/* Nodes of the first path, 0 without a shape or paths. */
KIV_API int xCD_getsize_shape_id_(const int *id);
/* check_shape on the registered shape: 0, or -2 without a shape or when the
 * check leaves it without paths. */
KIV_API int xCD_check_shape_id_(const int *id);
/* qsort comparator of doubles, ascending. */
KIV_API int cmp(const double *a, const double *b);

/* ---- Copies, measures and moves ------------------------------------------ */

/* Ids of new copies (reversed: every path runs the other way); -1 silently
 * without a shape. */
KIV_API int xCD_copy_shape_id_(const int *id);
KIV_API int xCD_copy_shape_reversed_id_(const int *id);
/* A copy moved as xCD_copy_shape_moved_ moves it. */
KIV_API int xCD_copy_shape_moved_id_(const int *id, const double *dx, const double *dy,
                                     const double *theta, const double *X, const double *Y);
/* Prints the shape to the file as xCD_fprint_shape does. */
KIV_API void xCD_fprint_shape_id_(const char *file, const int *id);
/* 0 and the signed area (perimeter), or -1 and 0 without a shape. */
KIV_API int xCD_shape_area_(const int *id, double *area);
KIV_API int xCD_shape_perimeter_(const int *id, double *perimeter);
/* Move the registered shape in place. */
KIV_API void xCD_translate_(const int *id, const double *dx, const double *dy);
KIV_API void xCD_rotate_(const int *id, const double *xc, const double *yc, const double *angle);
/* Result of find_bounds_trbl_ / find_bounds_rtheta_, -1 without a shape. */
KIV_API int find_bounds_trbl_id_(const int *id, double *top, double *right, double *bottom,
                                 double *left);
KIV_API int find_bounds_rtheta_id_(const int *id, double *rmin, double *rmax, double *thmin,
                                   double *thmax);

/* ---- Boolean operations -------------------------------------------------- */

KIV_API int xCD_union_(const int *a, const int *b);
KIV_API int xCD_intersection_(const int *a, const int *b);
/* A with B removed; a B without a shape removes nothing. */
KIV_API int xCD_remove_(const int *a, const int *b);
/* A with the n shapes of ids removed in turn; only the final shape stays
 * registered.  n <= 0 gives a copy of A. */
KIV_API int xCD_remove_shapes_(const int *a, const int *n, const int *ids);
/* The open polyline of a single-path shape from node *i1 to node *i2 (both
 * clamped into 0..n in place, n naming the first node again). */
KIV_API int xCD_getreducedshape_id_(const int *id, int *i1, int *i2);
/* The splitter of xCD_setsplitter_ between the shape's node range and the
 * n target shapes (all of a single path). */
KIV_API int xCD_setsplitter_id_(const int *id, int *from, int *to, int *side, const int *n,
                                const int *targets);

/* ---- Arrays and files ---------------------------------------------------- */

/* One closed contour of n points (arguments by value; a repeated closing
 * point is dropped) as a counter-clockwise shape, or a clockwise hole: the
 * id, -2 when it crosses itself, -1 for zero area, fewer than three distinct
 * points or coordinates that are not finite. */
KIV_API int xCD_create_shape_from_array_(const double *x, const double *y, int n);
KIV_API int xCD_create_hole_from_array_(const double *x, const double *y, int n);
/* A shape (kind 1) or a hole (any other kind) from an XY or header-less
 * table file read in millimetres: the id, -1 or -2 as above.  The files are
 * read by the XY table reader: a UTF-8 byte-order mark at the start is
 * passed over (unit lines after it count), and a coordinate beyond the range
 * of a double ("1e400") refuses the file with a message naming its line. */
KIV_API int xCD_create_object_from_datafile_(const char *file, const int *kind);
/* The same from a table of 2 or 3 columns read with the caller's
 * separators (NULL: the defaults) and per-column units; the user port wants
 * exactly 2 columns. */
KIV_API int create_shape_(const char *file, const char *separators, const char *const *units);
KIV_API int create_hole_(const char *file, const char *separators, const char *const *units);
KIV_API int create_userport_id_(const char *file, const char *separators,
                                const char *const *units);

/* ---- Printing and extraction --------------------------------------------- */

/* Writes the shape as a table file: XY for one path, T1D (paths numbered on
 * across the process) for any other count.  Arcs are sampled every half
 * degree.  A file that cannot be written whole is said so ("Error in
 * xCD_fprint_shape: cannot write <file>: <reason>"); a regular file then
 * keeps what it held before. */
KIV_API void xCD_fprint_shape(const char *file, const shape *s);
/* One path as an XY table file, written as xCD_fprint_shape writes: 0, or
 * -1 when it cannot be opened or written whole. */
KIV_API int fprint_path_alone(const char *file, const path *p);
/* The rows of one path, closed by its first point again. */
KIV_API void fprint_path(FILE *fp, const path *p);
/* Rows the path prints, without the closing one. */
KIV_API int size_path_print_(const path *p);
/* The printed points of every path without the closing ones: *npaths, the
 * count of each path in *sizes, the points in *x and *y.  The three arrays
 * are the caller's to free().  Without a shape: a message, outputs as they
 * were. */
KIV_API void extract_shape_(const int *id, double **x, double **y, int **sizes, int *npaths);
/* Does nothing. */
KIV_API void print_point_details(const point *p);

/* ---- Gear check ---------------------------------------------------------- */

/* Centroid, root and tip radii about it and number of teeth of a gear
 * outline; 0 teeth (and zeros) for an empty or zero-area shape, 0 teeth
 * when the cut that counts them fails. */
KIV_API void check_gear_(const shape *s, int *teeth, double *xc, double *yc, double *rmin,
                         double *rmax);
/* The same by id: 0, or -1 without a shape (outputs untouched) or for an
 * empty or zero-area outline. */
KIV_API int check_gear_id_(const int *id, int *teeth, double *xc, double *yc, double *rmin,
                           double *rmax);

/* ---- Analytic builders by id (see kiv_pumpgeom.h) ------------------------ */

KIV_API int create_analyticport_id_(const double *r1, const double *r2, const double *x1,
                                    const double *y1, const double *x2, const double *y2,
                                    const double *theta1, const double *theta2, const int *mode);
KIV_API int create_screen_id_(double *theta1, double *theta2, const double *R);
KIV_API int create_vp_stator_id_(const double *r, const double *xc, const double *yc);
KIV_API int create_vp_rotor_id_(const double *r);
KIV_API int create_vp_vane_id_(const double *theta, const double *theta0, const double *e,
                               const double *w, const double *rtip, const double *Rs,
                               const double *L, double *angle, double *radius);

#ifdef __cplusplus
}
#endif

/* The id functions by value for the library's own folders (the flat ones
 * above are shims over them); hosts do not see this part. */
#if defined(__cplusplus) && defined(KIV_BUILDING)
namespace kiv::geom {

// The registered shape of id, nullptr when there is none.
shape *findShape(int id);
void deleteShape(int id);
void translateId(int id, double dx, double dy);
void rotateId(int id, double xc, double yc, double angle);
// The shape of a data file of that kind: an id, -1 when unusable.
int shapeFromDataFile(const char *file, int kind);
// The gear check of check_gear_id_ (same outputs and status).
int checkGearId(int id, int *teeth, double *xc, double *yc, double *rmin, double *rmax);

}  // namespace kiv::geom
#endif

#endif

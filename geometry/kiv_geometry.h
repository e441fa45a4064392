/* Planar geometry kernel of the kiv model library: contours of straight
 * segments and circular arcs, their measures, transforms, predicates and
 * intersection primitives.  Flat C interface.
 *
 * A shape is a region bounded by closed paths; a path is a circular doubly
 * linked ring of point nodes.  An arc is three consecutive nodes: its start
 * vertex, a centre node (arc kind 1 or 2, direction, radius) whose x and y
 * are the circle's centre, and its end vertex.  Counter-clockwise paths bound
 * material, clockwise paths are holes.  Coordinates are in the caller's
 * length unit (millimetres on the gear pump's road).  Angles are in radians,
 * counter-clockwise positive.
 *
 * Tolerances.  The clean-up of shapes is absolute: vertices closer than
 * 1e-10 merge, and a result's contours of material below an area of 0.001
 * are dropped, whichever operand they come from (an operand made only of
 * such contours counts as empty).  Union, intersection and removal of
 * ordinary shapes settle where the two boundaries nearly meet (vertices on
 * vertices or on edges, arcs on one circle, tangencies, edges along each
 * other) with one tolerance relative to the largest distance from the
 * origin that either operand reaches (for an arc, its centre's distance
 * plus its radius): 2^-36 of it (1.46e-11 relative), so that operands turned
 * together about the origin give the turned result.  What a settling step
 * makes (a crossing, a vertex put on an edge) is settled in turn until
 * nothing within the tolerance is left apart.  When the boundary pieces do
 * not close into contours at that tolerance the operation is done again at
 * 1024 times it (1.49e-8 relative), and only then by the crossing walk,
 * whose own tolerances are absolute.  Needles and bridges of a result
 * narrower than the tolerance in use are left out.  What the relative
 * tolerance merges grows with the coordinates: 1.5e-5 at coordinates near
 * 1e6.
 *
 * Operands.  The contours of an operand may touch themselves and each other
 * (at a point or along a stretch) but not cross: the shape builders refuse
 * crossing contours, and the booleans do not look for them.  For an operand
 * whose contours cross, the result means nothing, whatever the status: the
 * operation may report KIV_BOOL_ENDLESS with an empty shape, or KIV_BOOL_OK
 * with the crossing contour carried into the result.
 *
 * Ownership: a shape owns its path array and its paths, a path owns the
 * nodes of its ring; the caller that creates a shape owns it.  Functions that
 * make a new shape hand it to their caller.  Allocation failure and the
 * deletion of a path's first node end the run through KivExit (1). */
#ifndef KIV_GEOMETRY_H
#define KIV_GEOMETRY_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Roles of a node in a boolean operation (point.tag). */
enum {
  KIV_TAG_PLAIN = 0,
  KIV_TAG_INTERSECTION = 1, /* paired, not classified yet */
  KIV_TAG_EXIT = 2,
  KIV_TAG_SWITCH = 3, /* entry: the walk switches to the partner */
  KIV_TAG_TOUCH = 4,
  KIV_TAG_CONSUMED = 5
};
/* Arc kinds (point.arc) and directions (point.direction). */
enum { KIV_ARC_NONE = 0, KIV_ARC_MINOR = 1, KIV_ARC_MAJOR = 2 };
enum { KIV_CW = 1, KIV_CCW = 2 };
/* Path orientations (path.orientation). */
enum { KIV_ORIENT_CCW = 0, KIV_ORIENT_CW = 1, KIV_ORIENT_NONE = 2 };

struct path;

typedef struct point {
  double x;
  double y;
  struct point *previous;
  struct point *next;
  struct point *partner; /* twin node in the other shape of a boolean operation */
  struct path *owner;    /* the path whose ring holds the node */
  int tag;
  int label;     /* edge label, -1 when unset */
  int arc;       /* 0 plain vertex; 1 centre of an arc up to a half circle; 2 beyond */
  int direction; /* arc centre: 1 clockwise, 2 counter-clockwise; else 0 */
  double radius; /* arc centre: the radius; else 0 */
} point;

typedef struct path {
  point *first;    /* entry node of the ring, NULL for a path without points */
  int active;      /* 1 when created */
  int unvisited;   /* intersection nodes not yet walked */
  int orientation; /* 0 counter-clockwise, 1 clockwise, 2 undetermined */
} path;

typedef struct shape {
  path **paths;
  int npaths;
  int kind; /* 0 ordinary; 1, 2, 10, 20 splitters */
} shape;

/* The paths of one shape sorted by nesting depth (boolean operations).  The
 * entries refer to paths owned elsewhere. */
typedef struct ordering_entry {
  path *ref;
  int depth;
} ordering_entry;

typedef struct ordering_group {
  ordering_entry *entries;
  int count;
  int kind; /* 1 shallowest path outer, 0 a hole, 2 otherwise */
} ordering_group;

/* ---- Creation and linking ------------------------------------------------ */

/* Clears every field of *p (label -1) and returns p; NULL for NULL. */
KIV_API point *initialized_point(point *p);
/* New node copied from tmpl (every field), linked just before (after) the
 * anchor in the anchor's ring; with a NULL anchor a ring of one node that
 * becomes the path's first node. */
KIV_API point *create_point_before(path *p, point *anchor, const point *tmpl);
KIV_API point *create_point_after(path *p, point *anchor, const point *tmpl);
/* A plain vertex at the end of the contour (before the first node). */
KIV_API point *add_last_xy_(path *p, double x, double y);
/* The plain vertex (r cos theta, r sin theta) at the end of the contour. */
KIV_API point *add_last_Rtheta_(path *p, double r, double theta);
/* The plain vertex (r cos theta, r sin theta) just before the anchor; returns
 * it (NULL for a NULL anchor). */
KIV_API point *add_before_Rtheta_(point *anchor, double r, double theta);
/* A new empty path (active, orientation undetermined); it belongs to the
 * shape it is added to, else free it with delete_path_ and free(). */
KIV_API path *create_path(void);
/* A new empty shape; release with delete_shape_. */
KIV_API shape *create_shape(void);
/* Index of the added path, or -1 when either argument is NULL.  Without
 * storage to add it, the path is freed and the run ends. */
KIV_API int add_path(path *p, shape *s);
/* Counter-clockwise rectangle 2e-5 wide around the segment a-b, 1e-5 longer
 * at both ends. */
KIV_API path *create_splitter_path_(const point *a, const point *b);
/* Resets the boolean-operation fields of count paths; returns 0. */
KIV_API int initialize_shape(path *paths[], int count);

/* ---- Deletion ------------------------------------------------------------ */

/* Unlinks and frees a node; a path's first node is refused (fatal). */
KIV_API void delete_point_(point *p);
/* Frees every node of the ring; the path record stays, empty. */
KIV_API void delete_path_(path *p);
/* 0 removed (its nodes and the path record are freed), 1 not held, -2 it
 * was the only path and the shape is now empty. */
KIV_API int remove_path_from_shape(path *p, shape *s);
/* Frees the shape and everything below it; NULL does nothing, and a count
 * without a path array is only reset to 0. */
KIV_API void delete_shape_(shape *s);
/* Same as delete_shape_ (kept for callers that free empty shapes). */
KIV_API void delete_shape_permissive_(shape *s);

/* ---- Copies, reversal and orientation ------------------------------------ */

/* Appends copies of src's nodes to dst (in reverse order for the reversed
 * copy, arc directions swapped and orientation flipped). */
KIV_API void copy_path_(const path *src, path *dst);
KIV_API void copy_path_reversed_(const path *src, path *dst);
/* Reverses the ring in place, arc directions swapped. */
KIV_API void reverse_path_(path *p);
/* New shapes into *out, released with delete_shape_ (a NULL source gives an
 * empty shape). */
KIV_API void xCD_copy_shape_(const shape *src, shape **out);
KIV_API void xCD_copy_shape_reversed_(const shape *src, shape **out);
/* The copy moved by (dx, dy), then turned by theta about the origin with the
 * offset turned alike, then moved by (X, Y). */
KIV_API void xCD_copy_shape_moved_(const shape *src, shape **out, double dx, double dy,
                                   double theta, double X, double Y);
/* Orientation by the signed area (0, 1, 2), stored; -2 for an empty path. */
KIV_API int orient_path2_(path *p);
/* Orientation by the turn at the lowest (then rightmost) vertex, stored;
 * -2 for an empty path. */
KIV_API int orient_path_(path *p);
/* Number of nodes of the ring, centre nodes included; 0 for NULL or empty. */
KIV_API int size_path_(const path *p);

/* ---- Cleaning and checking ----------------------------------------------- */

/* Removes plain vertices closer than tol to their successor; number of nodes
 * removed from surviving paths, or -2 when the shape became empty. */
KIV_API int clean_shape(shape *s, double tol);
/* Drops paths of at most 2 nodes and positive slivers below 0.001 and orients
 * the rest by area; 0, or -2 for NULL or an emptied shape. */
KIV_API int check_shape(shape *s);

/* ---- Measures ------------------------------------------------------------ */

/* Signed area (counter-clockwise positive, arcs included) of a path, or the
 * sum over a shape's paths (holes subtract); 0 for NULL. */
KIV_API double area2D_path_(const path *p);
KIV_API double area2D_(const shape *s);
/* Total length of the shape's paths, arcs included. */
KIV_API double perimeter2D_(const shape *s);

/* ---- Arcs ---------------------------------------------------------------- */

/* Inserts after start the centre node of the arc of radius r from start to
 * end; NULL (nothing inserted) when no such arc exists. */
KIV_API point *insertarc_(point *start, const point *end, double r, int kind, int direction);
/* Splits the arc of centre c at q (on the arc); returns the new vertex. */
KIV_API point *splitarc_(point *c, const point *q);

/* ---- Mapping one contour onto another ------------------------------------ */

/* Snaps the vertices and arc ends of the chain a_start..a_stop onto those of
 * b_start..b_stop within tol. */
KIV_API void mappathonpath_(point *a_start, point *a_stop, point *b_start, point *b_stop,
                            double tol);
/* Moves vertices of a_start..a_stop lying within 1e-10 of a segment of
 * b_start..b_stop onto it. */
KIV_API void check_mapping_(point *a_start, point *a_stop, point *b_start, point *b_stop);

/* ---- Angles and transforms ----------------------------------------------- */

KIV_API double fmod_mpp_(double x, double p); /* into [-p/2, p/2] */
KIV_API double fmod_2p_(double x, double p);  /* into [0, p) */
KIV_API double fmod_m2p_(double x, double p); /* into (-p, 0] */
KIV_API void translate2D_(shape *s, double dx, double dy);
/* Turns the shape by theta about (xc, yc), in place. */
KIV_API void rotate2D_(shape *s, double xc, double yc, double theta);

/* ---- Bounds -------------------------------------------------------------- */

/* Bounding box of the shape's nodes: 0, or -1 for an empty shape (all 0,
 * message on stderr). */
KIV_API int find_bounds_trbl_(const shape *s, double *top, double *right, double *bottom,
                              double *left);
/* Smallest and largest radius and polar angle of the shape's nodes; 0, or -1
 * as find_bounds_trbl_. */
KIV_API int find_bounds_rtheta_(const shape *s, double *rmin, double *rmax, double *thmin,
                                double *thmax);

/* ---- Predicates ---------------------------------------------------------- */

/* Codes of a point against an edge: 0 no counting crossing, 1 on the edge,
 * 2 downward edge and point left, 3 downward and right, 4 upward and left,
 * 5 upward and right.  Points are (x, y) pairs; arcs are given by their
 * centre node. */
KIV_API int ispoint_left_to_seg(const double *p, const double *a, const double *b, double tol);
KIV_API int ispoint_left_to_arc(const double *p, const point *c, double tol);
/* 6 inside the angular range of the arc of c (or at its ends), else 0. */
KIV_API int ispoint_inside_sector(double px, double py, const point *c, double tol);
/* 6 when p lies within the sector of the arc of c (radius plus tol), else 0. */
KIV_API int ispoint_inside_arc(const double *p, const point *c, double tol);
/* 1 when p lies on the arc of c within tol, else 0. */
KIV_API int ispoint_on_arc_full(const double *p, const point *c, double tol);
/* Distance from p to the arc of c (to its nearer end outside its sector). */
KIV_API double distance_to_arc(const double *p, const point *c);
/* 0 outside, 1 on the boundary, 6 inside.  Mode 1: 6 on the material side
 * of q (inside an outer contour, outside a hole or unoriented ring). */
KIV_API int isPointinsidePath(const point *p, const path *q, int mode, double tol);
/* 0 outside the material of the shape, 1 on a boundary, 6 inside: the
 * winding numbers of all paths added (so holes cut out their region). */
KIV_API int isPointinsideShape(const point *p, const shape *s, double tol);

/* ---- Intersection primitives --------------------------------------------- */

/* 0 none, 1 touch (an end on the other segment), 3 proper crossing; the
 * meeting point goes to out as a fresh plain node. */
KIV_API int computeIntersection_segseg(const point *a1, const point *a2, const point *b1,
                                       const point *b2, double tol, point *out);
/* 0 none, 3 one point (x1, y1), 4 two points. */
KIV_API int computeIntersection_arcseg(const point *c, const double *a, const double *b,
                                       double tol, double *x1, double *y1, double *x2,
                                       double *y2);
/* 0 none, 1 one point at an end, 3 one proper crossing, 2 two points at
 * ends, 6 two points with at least one not at an end. */
KIV_API int checkIntersection_arcseg(const point *c, const double *a, const double *b);
/* Meeting points of the arcs of c1 and c2 into p1 (and p2), each an (x, y)
 * pair: 0 none, 3 one, 4 two. */
KIV_API int computeIntersection_arcarc(const point *c1, const point *c2, double tol,
                                       double *p1, double *p2);
/* 5 when two paths (or one path with itself) cross, else 0. */
KIV_API int check_intersections_paths(const path *P, const path *Q);
/* The middle of the edge from a to its neighbour b (following an arc). */
KIV_API void intermpoint(point *out, const point *a, const point *b);

/* ---- Helpers of the boolean walk ----------------------------------------- */

/* The next node tagged exit from start, along the ring when its path has the
 * given orientation, else against it; NULL when there is none. */
KIV_API point *find_next_exit(point *start, int orientation);
/* Consumes entries followed by an entry and exits following an exit; returns
 * the number consumed. */
KIV_API int check_for_false_intersections(shape *s);
/* Number of coincident pairs merged into touches. */
KIV_API int check_for_double_intersections(shape *s);
/* qsort comparator of ordering_entry by ascending depth. */
KIV_API int set_path_order(const void *a, const void *b);
/* Frees the entries of a group of Ordering_createpathslist (not the paths). */
KIV_API void Ordering_free_group(ordering_group *g);

/* ---- Crossings of two shapes --------------------------------------------- */

/* Fresh working copies of A and B (B moved by dx, dy), snapped onto each
 * other, cleaned and oriented; 0, or -1 when cleaning empties a copy.  The
 * copies belong to the caller whatever the result. */
KIV_API int prepare_shapes_(const shape *A, const shape *B, shape **A_work, shape **B_work,
                            double dx, double dy);
/* Inserts a paired node (tag 1) into each copy wherever their boundaries
 * meet; *count receives the number of pairs.  -1 when more than 10000 new
 * nodes arrive on one edge pass or 10000 pairs between two paths. */
KIV_API int add_intersections_(shape *A, shape *B, double tol, int *count);
/* Classifies every pair of A's nodes with tag 1 (tag_intersection_) and
 * adds the results to *count; nothing when *count is 0. */
KIV_API void tag_intersections_(shape *A, shape *B, int *count);
/* Tags N and its partner as exit (2) or entry (3) from the middles of their
 * edges; 0, or -1 when the pair is dropped (both consumed). */
KIV_API int tag_intersection_(point *N);
/* The whole stage on working copies: the even number of crossings left,
 * -1 when preparing fails or no tolerance of the ladder succeeds, -2 for an
 * odd number.  The inputs are only read. */
KIV_API int locate_intersections_(const shape *A, const shape *B, shape **A_work,
                                  shape **B_work, double dx, double dy);

/* ---- Union, intersection and removal ------------------------------------- */

/* Outcome of a boolean operation.  On every failure the operation still
 * returns a shape and writes a message to the error stream. */
enum {
  KIV_BOOL_OK = 0,
  KIV_BOOL_UNLOCATED = 1, /* crossings not located at any tolerance: the result
                             holds only the paths that meet nothing */
  KIV_BOOL_ODD = 2,       /* odd number of crossings twice: empty result */
  KIV_BOOL_ENDLESS = 3,   /* the walk did not close: empty result */
  KIV_BOOL_UNORDERED = 4, /* no corner of a splitter's rectangle is known to lie
                             outside the other shape: empty result */
  KIV_BOOL_NOT_FINITE = 5 /* a coordinate or radius is not a finite number:
                             empty result */
};

/* 6 when p lies on the material side of q, 0 when not, 1 when p runs along
 * q (or is q). */
KIV_API int is_included2(const path *p, const path *q);
/* The paths of S sorted by nesting depth; free with Ordering_free_group. */
KIV_API ordering_group Ordering_createpathslist(const shape *S);
/* Position of a path that meets nothing against a group: 1 when it runs
 * along a path of the group (the container), else 0; *side 0 when it lies in
 * the group's material, 1 when not. */
KIV_API int Ordering_check_position(const ordering_group *G, const path *p, path **container,
                                    int *side);

/* New shapes owned by the caller; the inputs are only read. */
KIV_API shape *union_shape_(const shape *A, const shape *B);
KIV_API shape *intersection_shape_(const shape *A, const shape *B);
KIV_API shape *remove_shape_(const shape *A, const shape *B);
/* The same, with the outcome in *status (KIV_BOOL_*; status may be NULL). */
KIV_API shape *union_shape_status_(const shape *A, const shape *B, int *status);
KIV_API shape *intersection_shape_status_(const shape *A, const shape *B, int *status);
KIV_API shape *remove_shape_status_(const shape *A, const shape *B, int *status);

/* ---- Splitters ----------------------------------------------------------- */

/* The pieces of A selected by the splitter S (with their holes). */
KIV_API shape *remove_splitter_(const shape *A, const shape *S);
KIV_API shape *remove_splitter_status_(const shape *A, const shape *S, int *status);
/* A splitter from the node range from..to of the source's first path to the
 * nearest of the targets' first paths: kind side with the thin rectangle and
 * its complement, or 10 x side with one short path per crossing when a
 * target meets the range.  from and to are clamped into 0..n in place; NULL
 * when no target has a path. */
KIV_API shape *xCD_setsplitter_(const shape *source, int *from, int *to, int *side,
                                int *ntargets, const shape *const *targets);
/* The rectangle along the shortest connection between the source chain
 * from..to and the target ring; NULL (distance 0) when they cross. */
KIV_API path *find_std_splitter_(const point *from, const point *to, const point *target_from,
                                 const point *target_to, const int *side, double *distance);
/* A short two-vertex path across the middle of a splitter rectangle, the
 * vertex labelled 0 on its left. */
KIV_API path *build_complement_splitter_(const path *rect);
/* Appends to out one two-vertex path per place where the source chain
 * from..to meets the target chain (which may be snapped onto the source);
 * out's kind becomes 10 x side. */
KIV_API void find_intersection_splitter_(const point *from, const point *to, point *target_from,
                                         point *target_to, const int *side, shape *out);
/* The node of P within the positions from..to (both -1: the whole ring)
 * nearest to p, the first of equals; NULL for an empty path. */
KIV_API point *find_closest_point_(const path *P, const point *p, const int *from,
                                   const int *to);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include <memory>
namespace kiv::geom {
/* One owner per shape for C++ callers: failure paths release it without
 * hand-written frees.  The permissive delete also takes empty shapes. */
struct ShapeDeleter {
  void operator()(shape *s) const noexcept { delete_shape_permissive_(s); }
};
using ShapePtr = std::unique_ptr<shape, ShapeDeleter>;
}  // namespace kiv::geom
#endif

#endif

// The shape registry: ids counted over the whole process, shapes kept in
// the current system's data store and freed by a hook at the end of the run,
// and the operations on shapes by id.
#include <algorithm>
#include <cstdio>
#include <new>
#include <string_view>
#include <utility>

#include "geometry/boolean.hpp"
#include "geometry/pumpgeom.hpp"
#include "geometry/shapeid.hpp"
#include "runtime/datastore.hpp"

namespace kiv::geom {
namespace {

constexpr std::string_view kStore = "xCD_geom";
constexpr const char *kMissing = "Cannot retrieve shape %d.\n";

// Never reset: an id names one shape across every system and run of the
// process.
int shapeid = 0;

// A failed boolean hands back whatever it had; none of it is registered.
int registerOutcome(shape *raw, int status) {
  ShapePtr result(raw);
  return status == KIV_BOOL_OK ? registerShape(std::move(result)) : -1;
}

bool singlePath(const shape *s) { return s->paths && s->npaths == 1; }

int registerVane(Vane v, double *angle, double *radius) {
  if (v.s) {
    *angle = v.angle;
    *radius = v.radius;
  }
  return registerShape(std::move(v.s));
}

int singlePathOnly() {
  kivfprintf(stderr, "Splitter can be computed only between single-path shapes.\n");
  return -1;
}

}  // namespace

int registerShape(ShapePtr s) {
  if (!s) return -1;
  const int id = shapeid;
  // The hook first: should the store fail, the owner still frees the shape.
  KivInstallAtEnd(&KIVdelete_shape_, id);
  kiv::storeData(QOR_XB_GlobalSystem, kStore, id, s.get());
  s.release();
  ++shapeid;
  return id;
}

shape *findShape(int id) {
  const KivDataStore *e = id < 0 ? nullptr : kiv::findData(QOR_XB_GlobalSystem, kStore, id);
  return e ? static_cast<shape *>(e->pointer) : nullptr;
}

shape *findOrSay(int id, const char *format) {
  shape *s = findShape(id);
  if (!s) kivfprintf(stderr, format, id);
  return s;
}

void deleteShape(int id) {
  shape *s = findShape(id);
  if (!s) return;
  // A freed shape leaves the store: one system kept for many runs holds no
  // more than the shapes alive.
  kiv::eraseData(QOR_XB_GlobalSystem, kStore, id);
  delete_shape_permissive_(s);
}

int firstPathSize(int id) {
  const shape *s = findShape(id);
  return hasPaths(s) ? size_path_(s->paths[0]) : 0;
}

int checkShapeId(int id) {
  shape *s = findShape(id);
  // A shape the check leaves without paths is no shape, empty before or not.
  return s && check_shape(s) == 0 && hasPaths(s) ? 0 : -2;
}

int measureId(int id, double (*measure)(const shape *), double *value) {
  const shape *s = findShape(id);
  *value = s ? measure(s) : 0.0;
  return s ? 0 : -1;
}

void translateId(int id, double dx, double dy) {
  if (shape *s = findOrSay(id, "Error in translate : cannot retrieve shape %d\n")) translate2D_(s, dx, dy);
}

void rotateId(int id, double xc, double yc, double angle) {
  if (shape *s = findOrSay(id, "Error in rotate : cannot retrieve shape %d\n")) rotate2D_(s, xc, yc, angle);
}

int combineIds(int a, int b, BooleanOp op) {
  const shape *A = findOrSay(a, kMissing);
  const shape *B = A ? findOrSay(b, kMissing) : nullptr;
  if (!B) return -1;
  int status = KIV_BOOL_OK;
  return registerOutcome(op(A, B, &status), status);
}

int removeIds(int a, int b) {
  const shape *A = findOrSay(a, kMissing);
  if (!A) return -1;
  int status = KIV_BOOL_OK;
  return registerOutcome(remove_shape_status_(A, findShape(b), &status), status);
}

int removeAllIds(int a, std::span<const int> ids) {
  // Without ids, -1 names no shape: the first step is then a plain copy.
  int r = removeIds(a, ids.empty() ? -1 : ids[0]);
  for (size_t i = 1; i < ids.size() && r >= 0; ++i) {
    const int t = r;
    r = removeIds(t, ids[i]);
    deleteShape(t);
  }
  return r;
}

int reducedShapeId(int id, int &i1, int &i2) {
  const shape *s = findOrSay(id, "Cannot retrieve shape %d in utility xCD_getreducedshape_id.\n");
  if (!s) return -1;
  if (!singlePath(s)) {
    kivfprintf(stderr, "reduced shape can be computed only on a single-path shape.\n");
    return -1;
  }
  const path *P = s->paths[0];
  const int n = size_path_(P);
  i1 = std::clamp(i1, 0, n);
  i2 = std::clamp(i2, 0, n);
  ShapePtr r(create_shape());
  path *out = create_path();
  add_path(out, r.get());
  if (const point *start = P->first) {
    const point *end = advance(start, i2);
    start = advance(start, i1);
    add_last_xy_(out, start->x, start->y);
    // Up to and including the end node; the same node twice when they meet.
    const point *v = start;
    do {
      v = v == end ? v : v->next;
      add_last_xy_(out, v->x, v->y);
    } while (v != end);
  }
  return registerShape(std::move(r));
}

int splitterId(int id, int *from, int *to, int *side, int n, const int *targets) {
  const shape *s = findOrSay(id, kMissing);
  if (!s) return -1;
  if (n <= 0) {
    kivfprintf(stderr, "No targets defined for splitter.\n");
    return -1;
  }
  if (!singlePath(s)) return singlePathOnly();
  std::unique_ptr<const shape *[]> t(new (std::nothrow) const shape *[static_cast<size_t>(n)]);
  if (!t) {
    kivfprintf(stderr, "Memory allocation error.\n");
    return -1;
  }
  for (int i = 0; i < n; ++i) {
    if (!(t[i] = findOrSay(targets[i], kMissing))) return -1;
    if (!singlePath(t[i])) return singlePathOnly();
  }
  ShapePtr r(from && to && side ? setSplitter(s, *from, *to, *side, n, t.get()) : nullptr);
  if (!hasPaths(r.get())) {
    kivfprintf(stderr, "Cannot define the splitter.\n");
    return -1;
  }
  return registerShape(std::move(r));
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

int register_shape_id_(shape *s) { return registerShape(ShapePtr(s)); }

shape *xCD_get_shape_(const int *id) { return findShape(*id); }

int xCD_shape_exists_(const int *id) { return findShape(*id) ? 1 : 0; }

void delete_shape_id_(const int *id) { deleteShape(*id); }

void KIVdelete_shape_(int, int id) { deleteShape(id); }

int xCD_getsize_shape_id_(const int *id) { return firstPathSize(*id); }

int xCD_check_shape_id_(const int *id) { return checkShapeId(*id); }

int cmp(const double *a, const double *b) { return *a > *b ? 1 : *a < *b ? -1 : 0; }

int xCD_copy_shape_id_(const int *id) { return registerMade(*id, xCD_copy_shape_); }

int xCD_copy_shape_reversed_id_(const int *id) { return registerMade(*id, xCD_copy_shape_reversed_); }

int xCD_copy_shape_moved_id_(const int *id, const double *dx, const double *dy, const double *theta,
                             const double *X, const double *Y) {
  return registerMade(*id, [&](const shape *s, shape **out) { xCD_copy_shape_moved_(s, out, *dx, *dy, *theta, *X, *Y); });
}

void xCD_fprint_shape_id_(const char *file, const int *id) {
  if (const shape *s = findOrSay(*id, "Error in xCD_fprint_shape_id_ requested shape (%d) doesn't exist\n"))
    printShape(file, s, "xCD_fprint_shape_id_");
}

int xCD_shape_area_(const int *id, double *area) { return measureId(*id, area2D_, area); }

int xCD_shape_perimeter_(const int *id, double *perimeter) { return measureId(*id, perimeter2D_, perimeter); }

void xCD_translate_(const int *id, const double *dx, const double *dy) { translateId(*id, *dx, *dy); }

void xCD_rotate_(const int *id, const double *xc, const double *yc, const double *angle) {
  rotateId(*id, *xc, *yc, *angle);
}

int find_bounds_trbl_id_(const int *id, double *top, double *right, double *bottom, double *left) {
  return boundsId(*id, [=](const shape *s) { return find_bounds_trbl_(s, top, right, bottom, left); });
}

int find_bounds_rtheta_id_(const int *id, double *rmin, double *rmax, double *thmin, double *thmax) {
  return boundsId(*id, [=](const shape *s) { return find_bounds_rtheta_(s, rmin, rmax, thmin, thmax); });
}

int xCD_union_(const int *a, const int *b) { return combineIds(*a, *b, union_shape_status_); }

int xCD_intersection_(const int *a, const int *b) { return combineIds(*a, *b, intersection_shape_status_); }

int xCD_remove_(const int *a, const int *b) { return removeIds(*a, *b); }

int xCD_remove_shapes_(const int *a, const int *n, const int *ids) {
  return removeAllIds(*a, std::span<const int>(ids, *n > 0 ? static_cast<size_t>(*n) : 0));
}

int xCD_getreducedshape_id_(const int *id, int *i1, int *i2) { return reducedShapeId(*id, *i1, *i2); }

int xCD_setsplitter_id_(const int *id, int *from, int *to, int *side, const int *n, const int *targets) {
  return splitterId(*id, from, to, side, *n, targets);
}

int create_analyticport_id_(const double *r1, const double *r2, const double *x1, const double *y1, const double *x2,
                            const double *y2, const double *theta1, const double *theta2, const int *mode) {
  return registerShape(analyticPort(*r1, *r2, *x1, *y1, *x2, *y2, *theta1, *theta2, *mode));
}

int create_screen_id_(double *theta1, double *theta2, const double *R) {
  return registerShape(screen(*theta1, *theta2, *R, false));
}

int create_vp_stator_id_(const double *r, const double *xc, const double *yc) {
  return registerShape(vpStator(*r, *xc, *yc));
}

int create_vp_rotor_id_(const double *r) { return registerShape(vpRotor(*r)); }

int create_vp_vane_id_(const double *theta, const double *theta0, const double *e, const double *w, const double *rtip,
                       const double *Rs, const double *L, double *angle, double *radius) {
  return registerVane(vpVane(*theta, *theta0, *e, *w, *rtip, *Rs, *L), angle, radius);
}

}  // extern "C"

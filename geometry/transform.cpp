// Angle folding, translation, rotation and moved copies of shapes.
#include "geometry/kernel.hpp"

namespace kiv::geom {
namespace {

// Calls f(node) for every node of every path of s, arc centres included.
template <class F>
void forEveryNode(shape *s, F &&f) {
  for (int i = 0; s && s->paths && i < s->npaths; ++i)
    forEachNode(s->paths[i], [&f](point *n) {
      f(n);
      return false;
    });
}

// Adds to s the paths of src moved: shifted by (dx, dy) and turned by
// theta about the origin, the shift turned with it, then moved by (X, Y).
void fillMoved(shape *s, const shape *src, double dx, double dy, double theta, double X, double Y) {
  s->kind = src->kind;
  const bool shifted = !(dx == 0.0 && dy == 0.0);
  const double delta = std::sqrt(dx * dx + dy * dy);
  for (int i = 0; src->paths && i < src->npaths; ++i) {
    path *p = create_path();
    add_path(p, s);
    forEachNode(src->paths[i], [&](point *n) {
      const double wx = shifted ? n->x + dx : n->x, wy = shifted ? n->y + dy : n->y;
      const double rho = std::sqrt(wx * wx + wy * wy), phi = std::atan2(wy, wx);
      point t;
      initialized_point(&t);
      t.x = rho * std::cos(phi + theta);
      t.y = rho * std::sin(phi + theta);
      if (shifted) {
        t.x += delta * std::cos(theta);
        t.y += delta * std::sin(theta);
      }
      t.x += X;
      t.y += Y;
      if (isCentre(n)) {
        t.arc = n->arc;
        t.direction = n->direction;
        t.radius = n->radius;
      }
      create_point_before(p, p->first, &t);
      return false;
    });
  }
}

}  // namespace
}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

double fmod_mpp_(double x, double p) {
  double r = std::fmod(x, p);
  if (r > p / 2.0) r -= p;
  if (r < -p / 2.0) r += p;
  return r;
}

double fmod_2p_(double x, double p) {
  const double r = std::fmod(x, p);
  return r < 0.0 ? r + p : r;
}

double fmod_m2p_(double x, double p) {
  const double r = std::fmod(x, p);
  return r > 0.0 ? r - p : r;
}

void translate2D_(shape *s, double dx, double dy) {
  forEveryNode(s, [dx, dy](point *n) {
    n->x += dx;
    n->y += dy;
  });
}

void rotate2D_(shape *s, double xc, double yc, double theta) {
  if (theta == 0.0) return;
  const double c = std::cos(theta), sn = std::sin(theta);
  if (xc == 0.0 && yc == 0.0) {
    forEveryNode(s, [c, sn](point *n) {
      const double x = n->x, y = n->y;
      n->x = c * x - sn * y;
      n->y = sn * x + c * y;
    });
    return;
  }
  const double ox = xc - c * xc + sn * yc, oy = yc - sn * xc - c * yc;
  forEveryNode(s, [c, sn, ox, oy](point *n) {
    const double x = n->x, y = n->y;
    n->x = c * x - sn * y + ox;
    n->y = sn * x + c * y + oy;
  });
}

void xCD_copy_shape_moved_(const shape *src, shape **out, double dx, double dy, double theta,
                           double X, double Y) {
  if (!out) return;
  ShapePtr s(create_shape());
  if (src) fillMoved(s.get(), src, dx, dy, theta, X, Y);
  *out = s.release();
}

}  // extern "C"

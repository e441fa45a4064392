// Tooth angles, contact and intersection angles, port openings.
#include "gearpump/angles.hpp"

#include <algorithm>
#include <cmath>

namespace kiv::egp {

namespace {

// The bisections restart from the bracket's start whenever the midpoint
// touches, so they take some hundred rounds (about 540 for a tooth); the
// bound only stops a search that no longer converges.
constexpr int kMaxRounds = 4000;
constexpr int kMaxHalvings = 64;
constexpr double kWidth = 1e-14;

// Contour of the shape's first path and the index of the node that comes
// first counter-clockwise from theta_s about the gear's centre.
struct Ring {
  std::vector<double> x, y;
  int start = 0;
  int n() const { return static_cast<int>(x.size()); }
};

Ring ringFrom(const egp_build_gear &g, const shape *s, double theta_s) {
  Ring r;
  egp_shape_to_mem(s, r.x, r.y);
  double best = HUGE_VAL;
  for (int i = 0; i < r.n(); ++i) {
    const double phi = egp_mod_2pi(std::atan2(r.y[i] - g.yc, r.x[i] - g.xc) - theta_s);
    if (phi < best) best = phi, r.start = i;
  }
  return r;
}

// Bisection shared by the contact and intersection searches over
// [lo0, hi0]: touch(t) tells whether the element turned by t meets its
// target.  With first, the touching end is hi and the search closes on the
// first touch from lo0; else the touching end is lo and it closes on the
// last touch before hi0.  A touching midpoint restarts the search from the
// far end.  Stuck (no end moves) or out of rounds gives false.
template <class Touch>
bool bisect(double lo0, double hi0, bool first, Touch &&touch, double &lo, double &hi) {
  lo = lo0, hi = hi0;
  double &t = first ? hi : lo, &f = first ? lo : hi;
  const double t0 = first ? hi0 : lo0, f0 = first ? lo0 : hi0;
  for (int round = 0; round < kMaxRounds; ++round) {
    if (!(hi - lo > kWidth)) return true;
    const double was[2] = {lo, hi};
    const bool it = touch(t), jf = touch(f);
    if (it && !jf)
      f = 0.5 * (lo + hi);
    else if (it && jf)
      t = f, f = f0;
    else if (!it && !jf)
      f = t, t = t0;
    if (lo == was[0] && hi == was[1]) return false;
  }
  return false;
}

// Copies src into the scratch (same size: no allocation) and turns it.
void turnCopy(const Pelem &src, Pelem &scratch, double angle, double xc, double yc) {
  scratch.block = src.block;
  egp_poly_rotation(std::cos(angle), std::sin(angle), xc, yc, scratch);
}

double unwrapFrom(double start, double end) { return start + std::remainder(end - start, kTwoPi); }

}  // namespace

int egp_compute_teeth_axis_angle(const egp_build_gear &g, const shape *s, double &axis) {
  const double theta_s = g.kind == 1 ? kPi + g.axis - 0.5 * g.pitch : -0.5 * g.pitch;
  const Ring r = ringFrom(g, s, theta_s);
  const int n = r.n();
  const double rmid = 0.5 * (g.rmin + g.rmax);
  double X[2], Y[2];
  int found = 0;
  // Every edge but the one closing back onto the start node.
  for (int step = 0; step + 1 < n && found < 2; ++step) {
    const int p = (r.start + step) % n, q = (p + 1) % n;
    found += egp_segment_circle_intersection(r.x[p], r.y[p], r.x[q], r.y[q], g.xc, g.yc, rmid,
                                             X[found], Y[found]);
  }
  if (found < 2) return kSearchFailed;
  // About the gear's own centre: the driven gear does not turn about the
  // origin.
  axis = std::atan2(g.yc - (Y[0] + Y[1]) / 2, g.xc - (X[0] + X[1]) / 2);
  return 0;
}

void egp_compute_top_teeth_angle(const egp_build_gear &g, const shape *s, double tol, int *count,
                                 double &tta) {
  const double theta_s = referenceAngle(g) - 0.5 * g.pitch;
  const Ring r = ringFrom(g, s, theta_s);
  const int n = r.n();
  auto off = [&](int i) {
    return std::fabs(std::hypot(r.x[i] - g.xc, r.y[i] - g.yc) - g.rmax) > tol;
  };
  int S = -1, E = -1, seen = 0;
  for (int step = 0; step < n && E < 0; ++step) {
    const int p = (r.start + step) % n, prev = (p + n - 1) % n, next = (p + 1) % n;
    if (egp_mod_2pi(std::atan2(r.y[p] - g.yc, r.x[p] - g.xc) - theta_s) >= g.pitch) break;
    if (S < 0) {
      if (off(p) || !off(prev)) continue;
      S = p;
      seen = 1;
      if (off(next)) E = p;
    } else {
      ++seen;
      if (!off(p) && off(next)) E = p;
    }
  }
  tta = 0.0;
  if (count) *count = E < 0 ? 0 : seen;
  if (E < 0) return;
  const double a = std::hypot(r.x[E] - g.xc, r.y[E] - g.yc);
  const double b = std::hypot(r.x[S] - g.xc, r.y[S] - g.yc);
  const double c = std::hypot(r.x[S] - r.x[E], r.y[S] - r.y[E]);
  // Rounding may push the cosine of a nearly flat or zero angle past 1.
  if (a > 0 && b > 0) tta = std::acos(std::clamp((a * a + b * b - c * c) / (2 * a * b), -1.0, 1.0));
}

int egp_tol_vote(const int *count) {
  if (count[0] == 0) return 0;
  auto occurrences = [&](int i) {
    return static_cast<int>(std::count(count + i, count + kTolCount, count[i]));
  };
  int best = 0;
  for (int i = 1; i < kTolCount && count[i] != 0; ++i)
    if (occurrences(i) > occurrences(best)) best = i;
  // The finest tolerance that still gives the chosen count, wherever it
  // lies after the run.
  int idx = best;
  for (int j = best; j < kTolCount; ++j)
    if (count[j] == count[best]) idx = j;
  return idx;
}

int egp_calc_tol_and_tta(const egp_build_gear &g, const shape *s, double &tol, double &tta) {
  const double tols[kTolCount] = {0.1, 0.01, 0.001, 1e-4, 1e-5, 1e-6, 1e-7};
  int count[kTolCount];
  double angle[kTolCount];
  for (int i = 0; i < kTolCount; ++i)
    egp_compute_top_teeth_angle(g, s, tols[i], &count[i], angle[i]);
  const int idx = egp_tol_vote(count);
  tol = tols[idx];
  tta = angle[idx];
  return 0;
}

int egp_find_contact_angle(const egp_build_gear &g, const Pelem &a, const Pelem &b, double &angle) {
  Pelem turned = a;
  auto cross = [&](double t) {
    turnCopy(a, turned, t, g.xc, g.yc);
    return egp_poly_intersect_poly(turned, b) != 0;
  };
  double theta1 = 0.5 * g.pitch;
  int halvings = 0;
  while (!cross(theta1)) {
    if (++halvings > kMaxHalvings) return kSearchFailed;
    theta1 *= 0.5;
  }
  double lo = 0, hi = 0;
  const bool ok = bisect(0.0, theta1, true, cross, lo, hi);
  if (!ok) return kSearchFailed;
  angle = lo;
  return 0;
}

int egp_find_intersection_angle(const egp_build_gear &g, int mode, egp_circle c, const Pelem &e,
                                double &angle) {
  Pelem ref = e, turned = e;
  turnCopy(e, ref, -referenceAngle(g), g.xc, g.yc);
  const double circle[3] = {c.xc, c.yc, c.r};
  auto touch = [&](double t) {
    turnCopy(ref, turned, t, g.xc, g.yc);
    return egp_poly_intersect_circle(turned, circle) != 0;
  };
  const bool driving = g.kind == 1;
  const double lo0 = mode == 1 ? (driving ? kPi / 2 : 1.5 * kPi) : (driving ? kPi : 0.0);
  double lo = 0, hi = 0;
  const bool ok = bisect(lo0, lo0 + kPi / 2, mode == 1, touch, lo, hi);
  if (!ok) return kSearchFailed;
  angle = 0.5 * (lo + hi);
  return 0;
}

double egp_len_inout(const egp_build_gear &g, int side, double angle, int k, double edge) {
  const double R = g.rmax, w = g.pitch - g.tta, fifth = 0.2 * g.pitch;
  const bool driving = g.kind == 1;
  const double s0 = driving ? kPi - (k - 1) * g.pitch + angle + g.axis - 0.5 * g.tta
                            : (k - 0.5) * g.pitch - angle + 0.5 * g.tta;
  const double off =
      driving ? (side == 1 ? kPi + fifth : kPi - fifth) : (side == 1 ? -fifth : fifth);
  const double e = egp_mod_2pi(edge - off), s = egp_mod_2pi(s0 - off);
  if (!driving && side == 1) return e - w >= s ? R * w : e >= s ? R * (e - s) : 0.0;
  if (!driving) return e - w >= s ? 0.0 : e >= s ? R * (s + w - e) : R * w;
  if (side == 1) return e >= s ? 0.0 : e + w >= s ? R * (s - e) : R * w;
  return e >= s ? R * w : e + w >= s ? R * (e + w - s) : 0.0;
}

void egp_set_points_on_arc(int mode, double start, double end, double step, int nmax, egp_circle c,
                           std::vector<double> &x, std::vector<double> &y) {
  auto put = [&](double w) {
    x.push_back(c.xc + c.r * std::cos(w));
    y.push_back(c.yc + c.r * std::sin(w));
  };
  const double w0 = mode == 1 ? start + step : start;
  if (!(nmax - 1 < 1 || (step > 0 && w0 > end))) {
    for (int i = 0; i < nmax - 1; ++i) {
      const double w = w0 + i * step;
      if (step > 0 ? w > end : w < end) break;
      put(w);
    }
  }
  if (mode == 1) put(end);
}

int egp_inout_get_bounds(const shape *s, double *box, int &is_rect) {
  std::vector<double> x, y;
  egp_shape_to_mem(s, x, y);
  if (x.empty()) return 0;
  box[0] = *std::min_element(x.begin(), x.end());
  box[1] = *std::min_element(y.begin(), y.end());
  box[2] = *std::max_element(x.begin(), x.end());
  box[3] = *std::max_element(y.begin(), y.end());
  constexpr double kFlat = 1e-14;
  is_rect = x.size() == 4 && std::fabs(y[1] - y[0]) <= kFlat && std::fabs(x[2] - x[1]) <= kFlat &&
            std::fabs(y[3] - y[2]) <= kFlat && std::fabs(x[0] - x[3]) <= kFlat;
  return 0;
}

void egp_calc_inout_areas(int side, double angle, const egp_build_gear &g, int k, int i1, int i2,
                          const Pelem &a, const Pelem &b, egp_circle c1, double span1,
                          egp_circle c2, double span2, double ang1, double ang2, double &area1,
                          double &area2) {
  area1 = area2 = 0.0;
  const int na = a.count(), nb = b.count();
  if (i1 == -1) i1 = na - 1;
  if (i2 == -1) i2 = nb - 1;
  if (i1 < 0 || i1 >= na || i2 < 0 || i2 >= nb) return;
  const bool driving = g.kind == 1;
  const bool same = (driving && side == 1) || (!driving && side == 2);
  const int m = same ? 1 : 2;
  const double px = a.x()[i1], py = a.y()[i1], qx = b.x()[i2], qy = b.y()[i2];
  const double half = same ? 0.5 * g.tta : -0.5 * g.tta;
  const double theta_c = floor_2pi(driving ? angle + kPi - k * g.pitch + g.axis + half
                                           : (k - 0.5) * g.pitch - angle + half);
  const double phiQ = floor_2pi(std::atan2(qy - c2.yc, qx - c2.xc));
  double X = 0, Y = 0, phiX = 0;
  const bool hit = egp_segment_circle_intersection(px, py, qx, qy, c1.xc, c1.yc, c1.r, X, Y) != 0;
  if (hit) phiX = floor_2pi(std::atan2(Y - c1.yc, X - c1.xc));
  std::vector<double> x, y;
  // Each arc's end is taken on the turn of its start, so that an arc over
  // the 0 / 2 pi seam stays short instead of running the other way round.
  auto arc = [&](egp_circle c, double from, double to, double step, int nmax) {
    egp_set_points_on_arc(m, from, unwrapFrom(from, to), step, nmax, c, x, y);
  };
  auto points = [&](int first, int last) {
    for (int i = first; i <= last; ++i) x.push_back(a.x()[i]), y.push_back(a.y()[i]);
  };
  auto area = [&] {
    return x.size() >= 2 ? egp_area(static_cast<int>(x.size()), x.data(), y.data()) : 0.0;
  };
  same ? points(i1, na - 1) : points(0, i1);
  if (!hit && !same) {
    arc(c2, phiQ, ang2, -span2 / 200, 200);
    arc(c1, ang1, theta_c, span1 / 200, 200);
  } else if (!hit) {
    arc(c1, theta_c, ang1, span1 / 200, 200);
    arc(c2, ang2, phiQ, -span2 / 200, 200);
  } else if (same) {
    arc(c1, theta_c, phiX, span1 / 200, 200);
  } else {
    arc(c1, phiX, theta_c, span1 / 200, 200);
  }
  area1 = area();
  if (!hit) return;
  x.assign(1, qx);
  y.assign(1, qy);
  if (same) {
    arc(c2, phiQ, ang2, -span2 / 200, 200);
    arc(c1, ang1, phiX, -span1 / 400, 400);
  } else {
    arc(c1, phiX, ang1, -span1 / 400, 400);
    arc(c2, ang2, phiQ, -span2 / 200, 200);
  }
  area2 = area();
}

}  // namespace kiv::egp

// Involute gear generation by rack: envelope points, Newton residuals and
// the assembly of the contour from one half tooth.
#include "gearpump/rack.hpp"

#include <cmath>

#include "solver/kiv_solver.h"

namespace kiv::egp {

namespace {

// Angular step of the tip and root arcs: 0.05 degree.
constexpr double kArcStep = 0.0008726646259971648;
constexpr int kInvolutePoints = 300;
constexpr int kFilletPoints = 49;

double pitchRadius(const GearVector &g) { return 0.5 * g.z * g.m; }

// The gear-frame position of rack point (px, py) when the gear has turned by
// phi, and its velocity with respect to phi.
struct Rolled {
  double x, y, dx, dy;
};
Rolled roll(double px, double py, double phi, double r) {
  const double c = std::cos(phi), s = std::sin(phi), ty = py + r * phi;
  return {px * c + ty * s, -px * s + ty * c, s * (r - px) + c * ty, c * (r - px) - s * ty};
}

// Turns a gear-frame point into the output frame (tooth axis at pi/2).
void toOutput(const GearVector &g, double x, double y, double &X, double &Y) {
  const double gamma = 0.5 * kPi + kPi / g.z;
  const double c = std::cos(gamma), s = std::sin(gamma);
  X = c * x - s * y;
  Y = s * x + c * y;
}

// ndnr_quiet_ with the settings of every solve here; true on convergence.
bool solve(double *v, int n, KivNdnrResidual f, void *params) {
  double tol = 1e-11;
  int maxe = 300, converged = 0, print = 0;
  ndnr_quiet_(v, &n, f, nullptr, params, &tol, &tol, &maxe, &converged, nullptr, &print);
  return converged == 1;
}

GearVector &vec(void *p) { return *static_cast<GearVector *>(p); }

}  // namespace

GearVector gearVector(int z, double m, double alpha, double ha, double c, double rho, double x,
                      double ra, double rf) {
  return {static_cast<double>(z), m, alpha, ha, c, rho, x, ra, rf, 0.5 * z * m * std::cos(alpha)};
}

void egp_initialize_rackpoints(const GearVector &g, point out[3]) {
  for (int i = 0; i < 3; ++i) initialized_point(&out[i]);
  const double r = pitchRadius(g), m = g.m, ta = std::tan(g.alpha);
  const double L = g.rho * m * std::tan(0.25 * kPi - 0.5 * g.alpha);
  const double yc = -0.25 * kPi * m + (g.ha + g.c) * m * ta;
  point &A = out[0], &B = out[1], &M = out[2];
  A.x = r + (g.ha + g.x) * m;
  A.y = -0.25 * kPi * m - g.ha * m * ta;
  B.x = r - (g.ha + g.c - g.x) * m + L * std::cos(g.alpha);
  B.y = yc - L * std::sin(g.alpha);
  M.y = yc + L;
  M.x = B.x + (B.y - A.y) / (A.x - B.x) * (M.y - B.y);
}

void egp_get_xy_involute(const GearVector &g, double phi, double &X, double &Y) {
  point P[3];
  egp_initialize_rackpoints(g, P);
  const double r = pitchRadius(g);
  const Rolled a = roll(P[0].x, P[0].y, phi, r), b = roll(P[1].x, P[1].y, phi, r);
  const double ex = b.x - a.x, ey = b.y - a.y;
  const double s = ey / ex;
  const double sp = ((b.dy - a.dy) * ex - (b.dx - a.dx) * ey) / (ex * ex);
  const double x = a.x + (s * a.dx - a.dy) / sp;
  toOutput(g, x, a.y + s * (x - a.x), X, Y);
}

void egp_get_xy_fillet(const GearVector &g, double t, double &X, double &Y) {
  point P[3];
  egp_initialize_rackpoints(g, P);
  const point &M = P[2];
  const double r = pitchRadius(g), R = g.rho * g.m;
  double x, y;
  if (std::fabs(M.x - r) > 1e-12) {
    const Rolled c = roll(M.x, M.y, t, r);
    if (c.dy == 0.0) {
      x = c.x;
      y = c.dx >= 0.0 ? c.y + R : c.y - R;
    } else {
      const double q = c.dx / c.dy, k = R / std::sqrt(1.0 + q * q);
      const double sigma = (M.x > r + 1e-12 || c.dy >= 0.0) ? -1.0 : 1.0;
      x = c.x + sigma * k;
      y = c.y - sigma * k * q;
    }
  } else {
    // Centre on the pitch line: it stays put in the gear frame.
    const double t0 = -M.y / r, sigma2 = r <= M.x ? 1.0 : -1.0;
    x = M.x * std::cos(t0) + (t0 * r + M.y) * std::sin(t0) + R * std::cos(t);
    y = (t0 * r + M.y) * std::cos(t0) - M.x * std::sin(t0) + sigma2 * R * std::sin(t);
  }
  toOutput(g, x, y, X, Y);
}

void egp_nr_alphaw(double *a, int *, void *target, double *f, int *flag) {
  f[0] = std::tan(a[0]) - a[0] - *static_cast<double *>(target);
  *flag = 1;
}

void egp_nr_invbase(double *a, int *, void *params, double *f, int *flag) {
  double X, Y;
  egp_get_xy_involute(vec(params), a[0], X, Y);
  f[0] = X * X + Y * Y - vec(params).rb * vec(params).rb;
  *flag = 1;
}

void egp_nr_inter0(double *a, int *, void *params, double *f, int *flag) {
  double Y;
  egp_get_xy_involute(vec(params), a[0], f[0], Y);
  *flag = 1;
}

void egp_nr_interai(double *ua, int *, void *params, double *f, int *flag) {
  double X, Y;
  egp_get_xy_involute(vec(params), ua[1], X, Y);
  f[0] = vec(params).ra * std::cos(ua[0]) - X;
  f[1] = vec(params).ra * std::sin(ua[0]) - Y;
  *flag = 1;
}

void egp_nr_dx0tdt(double *t, int *, void *params, double *f, int *flag) {
  const double *p = static_cast<double *>(params);
  f[0] = (p[2] - p[0]) * std::sin(t[0]) + (p[2] * t[0] + p[1]) * std::cos(t[0]);
  *flag = 1;
}

void egp_nr_interif(double *at, int *, void *params, double *f, int *flag) {
  double xi, yi, xf, yf;
  egp_get_xy_involute(vec(params), at[0], xi, yi);
  egp_get_xy_fillet(vec(params), at[1], xf, yf);
  f[0] = xi - xf;
  f[1] = yi - yf;
  *flag = 1;
}

void egp_nr_interfr(double *tu, int *, void *params, double *f, int *flag) {
  double X, Y;
  egp_get_xy_fillet(vec(params), tu[0], X, Y);
  f[0] = X - vec(params).rf * std::cos(tu[1]);
  f[1] = Y - vec(params).rf * std::sin(tu[1]);
  *flag = 1;
}

namespace {

// The meeting parameters of one half tooth; false when a solve fails or
// lands outside its admissible range.
struct HalfTooth {
  double a_b, a_end, a_if, t_if, t_fr;
  int sharp;
};

bool meetingPoints(GearVector &g, HalfTooth &h) {
  if (!(g.ra > g.rb)) return false;
  const double alpha_a = std::acos(g.rb / g.ra);
  double v[2] = {g.alpha, 0.0};
  if (!solve(v, 1, egp_nr_invbase, &g) || v[0] < -alpha_a || v[0] > alpha_a) return false;
  h.a_b = v[0];
  v[0] = 0.5 * kPi;
  v[1] = alpha_a;
  if (!solve(v, 2, egp_nr_interai, &g) || v[1] < h.a_b) return false;
  if (fmod_2p_(v[0], kTwoPi) <= 0.5 * kPi) {
    // The involute crosses the tooth axis inside the tip circle.
    h.sharp = 2;
    v[0] = alpha_a;
    if (!solve(v, 1, egp_nr_inter0, &g) || v[0] < h.a_b) return false;
    h.a_end = v[0];
  } else {
    h.sharp = 1;
    h.a_end = v[1];
  }
  point P[3];
  egp_initialize_rackpoints(g, P);
  double mp[3] = {P[2].x, P[2].y, pitchRadius(g)};
  double t_r = 0.0;
  if (!solve(&t_r, 1, egp_nr_dx0tdt, mp) || t_r < -alpha_a || t_r > alpha_a) return false;

  const double if_starts[4][2] = {
      {alpha_a, -alpha_a}, {alpha_a, t_r}, {g.alpha, t_r}, {g.alpha, g.alpha}};
  bool found = false;
  for (const auto &s : if_starts) {
    v[0] = s[0];
    v[1] = s[1];
    if (solve(v, 2, egp_nr_interif, &g) && v[0] >= h.a_b && v[0] <= h.a_end) {
      found = true;
      break;
    }
  }
  if (!found) return false;
  h.a_if = v[0];
  h.t_if = v[1];

  // A root meeting beyond the tooth-space centre line belongs to the
  // neighbouring space: taking it would fold the outline over itself.
  const double centre = 0.5 * kPi + kPi / g.z, far = 0.5 * kPi + 2.0 * kPi / g.z;
  const double fr_starts[4][2] = {{h.t_if, centre}, {-alpha_a, centre}, {t_r, far}, {0.0, far}};
  for (const auto &s : fr_starts) {
    v[0] = s[0];
    v[1] = s[1];
    if (solve(v, 2, egp_nr_interfr, &g) && v[1] >= 0.5 * kPi && v[1] <= centre) {
      h.t_fr = v[0];
      return true;
    }
  }
  return false;
}

double angleOf(double X, double Y) { return fmod_2p_(std::atan2(Y, X), kTwoPi); }

// The half tooth from the tooth axis (pi/2) counter-clockwise to the
// tooth-space centre line.
bool halfTooth(GearVector &g, const HalfTooth &h, std::vector<double> &x, std::vector<double> &y) {
  double X, Y;
  egp_get_xy_involute(g, h.a_end, X, Y);
  const double theta_tip = angleOf(X, Y);
  // A pointed tooth ends on the axis below the tip circle: no tip arc.
  if (h.sharp != 2 && theta_tip - 0.5 * kPi > 0.0) {
    const int N = static_cast<int>(std::floor((theta_tip - 0.5 * kPi) / kArcStep));
    for (int i = 0; i <= N; ++i) {
      const double w = 0.5 * kPi + i * kArcStep;
      x.push_back(g.ra * std::cos(w));
      y.push_back(g.ra * std::sin(w));
    }
  }
  for (int i = 0; i < kInvolutePoints; ++i) {
    egp_get_xy_involute(g, h.a_end + i * (h.a_if - h.a_end) / (kInvolutePoints - 1), X, Y);
    x.push_back(X);
    y.push_back(Y);
  }
  for (int i = 1; i <= kFilletPoints; ++i) {
    egp_get_xy_fillet(g, h.t_if + i * (h.t_fr - h.t_if) / kFilletPoints, X, Y);
    if (X >= 0.0) return false;
    x.push_back(X);
    y.push_back(Y);
  }
  const double centre = 0.5 * kPi + kPi / g.z, theta_root = angleOf(X, Y);
  if (centre - theta_root > 0.0) {
    const int N = static_cast<int>(std::floor((centre - theta_root) / kArcStep));
    for (int i = 1; i < N; ++i) {
      x.push_back(g.rf * std::cos(theta_root + i * kArcStep));
      y.push_back(g.rf * std::sin(theta_root + i * kArcStep));
    }
  }
  x.push_back(g.rf * std::cos(centre));
  y.push_back(g.rf * std::sin(centre));
  return true;
}

}  // namespace

bool egp_gear_outline(const GearVector &gv, int nteeth, int mode, int &sharp,
                      std::vector<double> &xs, std::vector<double> &ys) {
  // A tooth count outside 1..z would size the outline from garbage.
  if (!(gv.z >= 1) || nteeth < 1 || nteeth > gv.z) return false;
  GearVector g = gv;
  HalfTooth h{};
  std::vector<double> hx, hy;
  if (!meetingPoints(g, h)) return false;
  sharp = h.sharp;
  if (!halfTooth(g, h, hx, hy)) return false;

  const int n = static_cast<int>(hx.size());
  const double beta = kTwoPi / g.z, cb = std::cos(beta), sb = std::sin(beta);
  std::vector<double> ux, uy;
  ux.reserve(2 * hx.size());
  uy.reserve(2 * hx.size());
  if (mode == 2) {
    ux = hx;
    uy = hy;
    for (int i = n - 2; i >= 0; --i) {
      ux.push_back(-cb * hx[i] - sb * hy[i]);
      uy.push_back(-sb * hx[i] + cb * hy[i]);
    }
  } else {
    for (int i = n - 1; i >= 1; --i) {
      ux.push_back(-hx[i]);
      uy.push_back(hy[i]);
    }
    ux.insert(ux.end(), hx.begin(), hx.end());
    uy.insert(uy.end(), hy.begin(), hy.end());
  }

  const size_t m = ux.size();
  xs.assign(ux.begin(), ux.end());
  ys.assign(uy.begin(), uy.end());
  xs.reserve(m * static_cast<size_t>(nteeth));
  ys.reserve(m * static_cast<size_t>(nteeth));
  for (int k = 1; k < nteeth; ++k) {
    const double c = std::cos(k * beta), s = std::sin(k * beta);
    // The whole ring closes on the first point: the last copy leaves it out.
    const size_t end = k == static_cast<int>(g.z) - 1 ? m - 1 : m;
    for (size_t i = 1; i < end; ++i) {
      xs.push_back(c * ux[i] - s * uy[i]);
      ys.push_back(s * ux[i] + c * uy[i]);
    }
  }
  if (nteeth < static_cast<int>(g.z)) {
    xs.push_back(0.0);
    ys.push_back(0.0);
  }
  return true;
}

ShapePtr egp_create_gear(int z, double m, double alpha, double ha, double c, double rho, double x,
                         double ra, double rf, int nteeth, int mode, int &sharp) {
  return orMemoryError("egp_create_gear", [&]() -> ShapePtr {
    std::vector<double> xs, ys;
    if (!egp_gear_outline(gearVector(z, m, alpha, ha, c, rho, x, ra, rf), nteeth, mode, sharp, xs,
                          ys))
      return nullptr;
    return shapeThrough(xs.data(), ys.data(), static_cast<int>(xs.size()));
  });
}

shape *egp_create_gear_(const int *z, const double *m, const double *alpha, const double *ha,
                        const double *c, const double *rho, const double *x, const double *ra,
                        const double *rf, const int *nteeth, const int *mode, int *sharp) {
  return egp_create_gear(*z, *m, *alpha, *ha, *c, *rho, *x, *ra, *rf, *nteeth, *mode, *sharp)
      .release();
}

}  // namespace kiv::egp

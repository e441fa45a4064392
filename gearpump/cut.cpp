// Cavity cut and port regions of the gear pair at one shaft angle, and the
// transition angle of a cavity.
#include "gearpump/cut.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kiv::egp {

namespace {

constexpr double kDeg = kPi / 180.0;
constexpr int kE1 = 0, kE2 = 1, kE3 = 2, kE4 = 3, kE5 = 4;
// The transition walk: 0.1 degree steps, at most 1000 of them.
constexpr double kWalkStep = 0.1;
constexpr int kWalkSteps = 1000;
constexpr int kMaxRounds = 400;

size_t Z(int k) { return static_cast<size_t>(k); }

bool sameCounts(int z1, int z2, const char *where) {
  if (z1 == z2) return true;
  kivfprintf(stderr, "\nThe gears must have the same number of teeth (%d and %d) in %s.\n", z1, z2,
             where);
  return false;
}

// Working copy of element kind e of tooth t, turned by the angle.
const Pelem &turn(egp_build_gear &g, int e, int t, double angle) {
  Pelem &w = g.e_work[Z(e)][Z(t)];
  w.block = g.e[Z(e)][Z(t)].block;
  egp_poly_rotation(std::cos(angle), std::sin(angle), g.xc, g.yc, w);
  return w;
}

bool hasTooth(const egp_build_gear &g, int e, int t) { return t >= 0 && Z(t) < g.e[Z(e)].size(); }

// Chord from (x0, y0) to (x1, y1) and its midpoint relative to the centre.
void chord(double *v, double x0, double y0, double x1, double y1, double xc, double yc) {
  v[0] = x1 - x0;
  v[1] = y1 - y0;
  v[2] = 0.5 * (x0 + x1) - xc;
  v[3] = 0.5 * (y0 + y1) - yc;
}

double px(const Pelem &e, int i) { return e.x()[i == -1 ? e.count() - 1 : i]; }
double py(const Pelem &e, int i) { return e.y()[i == -1 ? e.count() - 1 : i]; }

void put(CavityCurves &c, int i, int k, double v) {
  if (k >= 0 && i >= 0 && Z(i) < c.size() && Z(k) < c[Z(i)].size()) c[Z(i)][Z(k)] = v;
}
void put(Curve &c, int k, double v) {
  if (k >= 0 && Z(k) < c.size()) c[Z(k)] = v;
}

// One gear's side of the cut: its record, the other gear, where its indices
// sit in its set, and the turns of both gears.
struct View {
  egp_build_gear &own, &other;
  egp_index_set &set;
  int ownFirst, otherFirst, ownSecond, otherSecond;
  double ownTurn, otherTurn;
  bool driving() const { return own.kind == 1; }
  // The tooth on the cavity's far side: before it on the driving gear,
  // after it on the driven gear.
  int neighbour(int c) const { return driving() ? (c + own.z - 1) % own.z : (c + 1) % own.z; }
};

View drivingView(const egp_pair &p, double theta, double theta2) {
  return {p.g1, p.g2, p.set1, 0, 1, 2, 3, theta, -theta2};
}
View drivenView(const egp_pair &p, double theta, double theta2) {
  return {p.g2, p.g1, p.set2, 1, 0, 3, 2, -theta2, theta};
}

// A meshing cavity closed by the other gear's tooth.  Outlet-type cuts on
// the own tooth's pair with the whole other tooth, inlet-type on the
// neighbour's; a plain one between two half teeth.
enum class Closing { Plain, OwnPair, NeighbourPair };

struct CavityCut {
  Pelem elem;
  double area = 0, gapOwn = 0, gapNb = 0;
  int ownV = -1, otherV = -1, nbV = -1, otherNbV = -1;
  const Pelem *ownE = nullptr, *otherE = nullptr, *nbE = nullptr, *otherNbE = nullptr;
  bool done = false;

  // Chord on the own gear and on the other, neighbour pair to own pair.
  void chords(double *v, const View &w) const {
    chord(v, px(*nbE, nbV), py(*nbE, nbV), px(*ownE, ownV), py(*ownE, ownV), w.own.xc, w.own.yc);
    chord(v + 4, px(*otherNbE, otherNbV), py(*otherNbE, otherNbV), px(*otherE, otherV),
          py(*otherE, otherV), w.other.xc, w.other.yc);
  }
};

double vertexGap(const Pelem &a, int i, const Pelem &b, int j) {
  return std::hypot(px(a, i) - px(b, j), py(a, i) - py(b, j));
}

// Cuts cavity c against the other gear's tooth s.  A closing that leaves
// more than the free cavity's area shifts its pair one vertex at a time,
// alternately on the other tooth and on the own one, until it fits; false
// when the shift would leave an element.
bool cutCavity(View &v, int c, int s, Closing how, CavityCut &out) {
  const int nb = v.neighbour(c);
  const bool plain = how == Closing::Plain;
  const int eOwn = how == Closing::NeighbourPair ? kE3 : kE1;
  const int eNb = how == Closing::OwnPair ? kE4 : kE2;
  if (!hasTooth(v.own, eOwn, c) || !hasTooth(v.own, eNb, nb) || !hasTooth(v.other, kE5, s))
    return false;
  out.ownE = &turn(v.own, eOwn, c, v.ownTurn);
  out.nbE = &turn(v.own, eNb, nb, v.ownTurn);
  if (plain) {
    out.otherE = &turn(v.other, kE3, s, v.otherTurn);
    out.otherNbE = &turn(v.other, kE4, s, v.otherTurn);
  } else {
    out.otherE = out.otherNbE = &turn(v.other, kE5, s, v.otherTurn);
  }
  egp_get_dist_polys(*out.ownE, *out.otherE, out.ownV, out.otherV, &out.gapOwn);
  egp_get_dist_polys(*out.nbE, *out.otherNbE, out.nbV, out.otherNbV, &out.gapNb);
  // An empty tooth element closes nothing.
  if (out.ownV < 0 || out.nbV < 0) return false;
  const int limit = out.ownE->count() + out.otherE->count() + out.nbE->count() + 2;
  for (int attempt = 0;; ++attempt) {
    if (how == Closing::OwnPair)
      out.gapOwn = vertexGap(*out.ownE, out.ownV, *out.otherE, out.otherV);
    if (how == Closing::NeighbourPair)
      out.gapNb = vertexGap(*out.nbE, out.nbV, *out.otherNbE, out.otherNbV);
    out.elem = egp_create_cavity_pelem(out.ownV, out.otherV, out.nbV, out.otherNbV, *out.ownE,
                                       plain ? out.otherE : nullptr, *out.nbE, *out.otherNbE);
    out.area = egp_poly_area(out.elem);
    if (plain || out.area <= v.own.cavarea) break;
    if (attempt >= limit) return false;
    const bool otherTurnNow = attempt % 2 == 0;
    if (how == Closing::OwnPair) {
      if (otherTurnNow)
        ++out.otherV;
      else
        --out.ownV;
      if (out.otherV >= out.otherE->count() || out.ownV < 0) return false;
    } else {
      if (otherTurnNow)
        --out.otherNbV;
      else
        ++out.nbV;
      if (out.otherNbV < 0 || out.nbV >= out.nbE->count()) return false;
    }
  }
  v.set[Z(v.ownFirst)][Z(c)] = out.ownV;
  v.set[Z(v.otherFirst)][Z(s)] = out.otherV;
  v.set[Z(v.ownSecond)][Z(c)] = out.nbV;
  v.set[Z(v.otherSecond)][Z(s)] = out.otherNbV;
  out.done = true;
  return true;
}

bool boxesTouch(const double *a, const double *b) {
  return a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3];
}
bool strictlyInside(const double *in, const double *box) {
  return in[0] > box[0] && in[1] > box[1] && in[2] < box[2] && in[3] < box[3];
}

// The per-gear curves of the workspace.
struct GearCurves {
  CavityCurves &area, &out, &inl;
};

// Cut, measure and match with the ports every selected cavity of one gear.
// ownPair and nbPair: the chamber cavities already cut (at their indices).
int cutGear(egp_pump_data &w, int mode, int sel, int k, const std::vector<int> &states, View &v,
            const CavityCut &ownPair, int oOwn, const CavityCut &nbPair, int oNb, double *gapNb,
            double *gapOwn, ShapePtr *out, const shape *const ports[2], GearCurves curves,
            double *rec) {
  egp_build_gear &g = v.own;
  const int lo = sel < 0 ? 0 : sel, hi = sel < 0 ? g.z - 1 : std::min(sel, g.z - 1);
  for (int c = lo; c <= hi; ++c) {
    const int s = Z(c) < states.size() ? states[Z(c)] : -1;
    CavityCut local;
    const CavityCut *cut = nullptr;
    double area = g.cavarea;
    double chords[8] = {};
    if (s < 0) {
      egp_build_update_cavity_def(g, c, v.ownTurn);
      const Pelem &d = g.cavdef_work;
      const int n = d.count(), far = n < 201 ? n - 1 : n - 201;
      if (n > 0 && v.driving())
        chord(chords, px(d, 0), py(d, 0), px(d, far), py(d, far), g.xc, g.yc);
      if (n > 0 && !v.driving())
        chord(chords, px(d, far), py(d, far), px(d, 0), py(d, 0), g.xc, g.yc);
    } else {
      cut = c == oOwn && ownPair.done ? &ownPair : c == oNb && nbPair.done ? &nbPair : nullptr;
      if (!cut) {
        if (!cutCavity(v, c, s, Closing::Plain, local)) return kSearchFailed;
        cut = &local;
      }
      area = cut->area;
      cut->chords(chords, v);
      if (gapOwn) gapOwn[c] = cut->gapOwn;
      if (gapNb) gapNb[c] = cut->gapNb;
    }
    if (mode == 0 || mode == 2) put(curves.area, c, k, area);
    if (mode == 0 && rec) std::copy(chords, chords + 8, rec);

    // The cavity as a shape, made once: a free one refills the record's
    // cavity shape, a meshing one gets its own.
    ShapePtr own;
    const shape *cavity = nullptr;
    auto makeCavity = [&] {
      if (cavity) return;
      if (s < 0 && g.cavshape) {
        egp_poly_to_shape_copy(g.cavdef_work, g.cavshape.get());
        cavity = g.cavshape.get();
      } else {
        own = egp_poly_to_shape_copy_create(s < 0 ? g.cavdef_work : cut->elem);
        cavity = own.get();
      }
    };
    auto copyOfCavity = [&] {
      makeCavity();
      shape *copy = nullptr;
      xCD_copy_shape_(cavity, &copy);
      return ShapePtr(copy);
    };
    double cbox[4];
    egp_cav_get_bounds(g, c, v.driving() ? v.ownTurn : -v.ownTurn, cbox[0], cbox[1], cbox[2],
                       cbox[3]);
    // Port overlaps: none when the boxes are apart, the whole area when the
    // cavity lies inside a rectangular port, else the exact intersection.
    for (int side = 0; side < 2; ++side) {
      if (!ports[side]) continue;
      const double *pbox = side == 0 ? w.out_box.data() : w.inl_box.data();
      const int flag = side == 0 ? w.out_box_flag : w.inl_box_flag;
      double overlap = 0.0;
      ShapePtr region;
      if (flag && strictlyInside(cbox, pbox)) {
        overlap = area;
        if (mode == 1) region = copyOfCavity();
      } else if (boxesTouch(cbox, pbox)) {
        makeCavity();
        int status = KIV_BOOL_OK;
        region.reset(intersection_shape_status_(cavity, ports[side], &status));
        if (status != KIV_BOOL_OK) return kSearchFailed;
        overlap = region ? std::fabs(area2D_(region.get())) : 0.0;
      }
      if (mode == 0 || mode == 2) put(side == 0 ? curves.out : curves.inl, c, k, overlap);
      if (mode == 1 && out) out[1 + side] = std::move(region);
    }
    if (mode == 1 && out) {
      makeCavity();
      out[0] = own ? std::move(own) : copyOfCavity();
    }
  }
  return 0;
}

}  // namespace

void egp_index_sets_size(egp_index_set &set1, egp_index_set &set2, int z1, int z2) {
  for (int i = 0; i < 4; ++i) {
    set1[Z(i)].assign(Z(i % 2 == 0 ? z1 : z2), 0);
    set2[Z(i)].assign(Z(i % 2 == 0 ? z1 : z2), 0);
  }
}

namespace {

// Boxes [xmin, ymin, xmax, ymax] of runs of kRun consecutive vertices.
constexpr int kRun = 16;

std::vector<double> runBoxes(const Pelem &e) {
  const int n = e.count(), runs = (n + kRun - 1) / kRun;
  const double *x = e.x(), *y = e.y();
  std::vector<double> box(Z(4 * runs));
  for (int r = 0; r < runs; ++r) {
    double *b = &box[Z(4 * r)];
    b[0] = b[2] = x[r * kRun];
    b[1] = b[3] = y[r * kRun];
    for (int v = r * kRun + 1, end = std::min(n, (r + 1) * kRun); v < end; ++v) {
      b[0] = std::min(b[0], x[v]), b[2] = std::max(b[2], x[v]);
      b[1] = std::min(b[1], y[v]), b[3] = std::max(b[3], y[v]);
    }
  }
  return box;
}

// Squared gap between two boxes (a point is a box of no size); never more
// than the computed squared distance of any two vertices inside them.
double boxGap2(const double *a, const double *b) {
  const double dx = std::max({b[0] - a[2], a[0] - b[2], 0.0});
  const double dy = std::max({b[1] - a[3], a[1] - b[3], 0.0});
  return dx * dx + dy * dy;
}

double dist2(const Pelem &p, int a, const Pelem &q, int b) {
  const double ex = q.x()[b] - p.x()[a], ey = q.y()[b] - p.y()[a];
  return ex * ex + ey * ey;
}

}  // namespace

int egp_get_dist_polys(const Pelem &p, const Pelem &q, int &i, int &j, double *dist) {
  i = j = -1;
  double best = 1e30;
  const int np = p.count(), nq = q.count();
  if (np > 0 && nq > 0) {
    // First the smallest distance: the run pair of the nearest boxes gives
    // a bound that culls most others.  Then the first pair in order at that
    // distance, which is the pair a plain scan keeps.
    const std::vector<double> bp = runBoxes(p), bq = runBoxes(q);
    const int rp = static_cast<int>(bp.size() / 4), rq = static_cast<int>(bq.size() / 4);
    std::vector<double> gaps(Z(rp * rq));
    size_t nearest = 0;
    for (int a = 0; a < rp; ++a)
      for (int b = 0; b < rq; ++b) {
        const size_t at = Z(a * rq + b);
        gaps[at] = boxGap2(&bp[Z(4 * a)], &bq[Z(4 * b)]);
        if (gaps[at] < gaps[nearest]) nearest = at;
      }
    auto scan = [&](size_t at) {
      const int ra = static_cast<int>(at) / rq, rb = static_cast<int>(at) % rq;
      double low = best;
      for (int a = ra * kRun; a < std::min(np, ra * kRun + kRun); ++a) {
        const double pt[4] = {p.x()[a], p.y()[a], p.x()[a], p.y()[a]};
        if (boxGap2(pt, &bq[Z(4 * rb)]) >= low) continue;
        for (int b = rb * kRun; b < std::min(nq, rb * kRun + kRun); ++b)
          low = std::min(low, dist2(p, a, q, b));
      }
      best = low;
    };
    scan(nearest);
    for (size_t at = 0; at < gaps.size(); ++at)
      if (gaps[at] < best) scan(at);
    std::vector<int> near;
    for (int ra = 0; ra < rp && i < 0; ++ra) {
      near.clear();
      for (int rb = 0; rb < rq; ++rb)
        if (gaps[Z(ra * rq + rb)] <= best) near.push_back(rb);
      for (int a = ra * kRun; a < std::min(np, ra * kRun + kRun) && i < 0; ++a) {
        const double pt[4] = {p.x()[a], p.y()[a], p.x()[a], p.y()[a]};
        for (size_t r = 0; r < near.size() && i < 0; ++r) {
          const int rb = near[r];
          if (boxGap2(pt, &bq[Z(4 * rb)]) > best) continue;
          for (int b = rb * kRun; b < std::min(nq, rb * kRun + kRun); ++b)
            if (dist2(p, a, q, b) == best) {
              i = a, j = b;
              break;
            }
        }
      }
    }
  }
  if (dist) *dist = std::sqrt(best);
  return 0;
}

Pelem egp_setup_cav_poly(const egp_build_gear &A, const egp_build_gear &B, double angle) {
  const int zA = A.z, k = A.kind == 1 ? zA - 1 : 1;
  if (!sameCounts(A.z, B.z, "egp_setup_cav_poly")) return Pelem();
  if (!hasTooth(A, kE5, 0) || !hasTooth(A, kE5, k) || !hasTooth(B, kE5, 0)) return Pelem();
  const double phi = -A.dir * angle;
  auto turned = [](const egp_build_gear &g, int t, double a) {
    Pelem e = g.e[kE5][Z(t)];
    egp_poly_rotation(std::cos(a), std::sin(a), g.xc, g.yc, e);
    return e;
  };
  const Pelem a0 = turned(A, 0, phi), ak = turned(A, k, phi), b = turned(B, 0, -phi);
  int ia0, ib0, iak, ibk;
  egp_get_dist_polys(a0, b, ia0, ib0, nullptr);
  egp_get_dist_polys(ak, b, iak, ibk, nullptr);
  if (ia0 < 0 || iak < 0 || !(ib0 < ibk)) return Pelem();
  Pelem cav = egp_create_cavity_pelem(ia0, ib0, iak, ibk, a0, nullptr, ak, b);
  if (egp_poly_intersect_seg(cav, px(a0, ia0), py(a0, ia0), px(b, ib0), py(b, ib0))) return Pelem();
  return cav;
}

int egp_find_transition_angle(const egp_build_gear &A, const egp_build_gear &B, int direction,
                              double angle, double &result) {
  if (!sameCounts(A.z, B.z, "egp_find_transition_angle")) return kCountsDiffer;
  const double refB = B.kind == 1 ? kPi + B.axis : -0.5 * B.pitch;
  double u = angle - refB;
  if (A.kind == 1) u *= -(static_cast<double>(B.z) / A.z);
  u = floor_2pi(u);
  const double d = direction == 1 ? -1.0 : 1.0, udeg = u / kDeg;
  const double start = d < 0 ? std::ceil(udeg) : std::floor(udeg);
  // Area of the cavity at an angle in degrees; false when none is closed.
  auto cavity = [&](double deg, double &area) {
    const Pelem e = egp_setup_cav_poly(A, B, deg * kDeg);
    area = egp_poly_area(e);
    return e.count() > 0;
  };
  double prev = 0, area = 0;
  if (!cavity(start, prev)) return kSearchFailed;
  double good = udeg, bad = 0;
  bool stopped = false;
  for (int step = 1; step <= kWalkSteps && !stopped; ++step) {
    const double deg = start + d * kWalkStep * step;
    if (!(d * (deg - udeg) > 0)) continue;
    if (!cavity(deg, area) || area >= A.cavarea || area < prev) {
      bad = deg;
      stopped = true;
    } else {
      prev = area;
      good = deg;
    }
  }
  if (!stopped) return kSearchFailed;
  double lo = good * kDeg, hi = bad * kDeg;
  for (int round = 0; std::fabs(hi - lo) > 1e-14; ++round) {
    if (round >= kMaxRounds) return kSearchFailed;
    const double mid = 0.5 * (lo + hi);
    if (!cavity(mid / kDeg, area) || area >= A.cavarea)
      hi = mid;
    else
      lo = mid;
  }
  result = floor_2pi(0.5 * (lo + hi));
  return 0;
}

int egp_build_at_angle_cavs(egp_pump_data &w, int mode, int z1, int z2, int c1, int c2,
                            double theta, double theta2, int k, const egp_meshing &m,
                            const egp_pair &pair, const egp_gaps &gaps, ShapePtr *out,
                            const shape *outlet, const shape *inlet, double *rec) {
  if (!sameCounts(z1, z2, "egp_build_at_angle_cavs")) return kCountsDiffer;
  if (out)
    for (int i = 0; i < 6; ++i) out[i].reset();
  View drv = drivingView(pair, theta, theta2), drn = drivenView(pair, theta, theta2);
  // The meshing cavities open to the chambers, each closed by the tooth
  // that cuts it; in modes 1 and 2 only the selected ones.
  CavityCut cuts[4];
  auto wanted = [&](int o, int sel) { return o >= 0 && (mode == 0 || sel < 0 || sel == o); };
  auto state = [](const std::vector<int> &s, int o) { return Z(o) < s.size() ? s[Z(o)] : -1; };
  struct {
    View &v;
    int o, sel;
    const std::vector<int> &states;
    Closing how;
  } jobs[4] = {{drv, m.o1, c1, m.s1, Closing::OwnPair},
               {drv, m.o3, c1, m.s1, Closing::NeighbourPair},
               {drn, m.o4, c2, m.s2, Closing::OwnPair},
               {drn, m.o2, c2, m.s2, Closing::NeighbourPair}};
  for (int j = 0; j < 4; ++j) {
    if (!wanted(jobs[j].o, jobs[j].sel)) continue;
    const int s = state(jobs[j].states, jobs[j].o);
    if (s < 0) continue;
    if (!cutCavity(jobs[j].v, jobs[j].o, s, jobs[j].how, cuts[j])) return kSearchFailed;
  }
  const shape *ports[2] = {outlet, inlet};
  int rc = cutGear(w, mode, c1, k, m.s1, drv, cuts[0], m.o1, cuts[1], m.o3, gaps.drv_neighbour,
                   gaps.drv_own, out, ports, {w.drv_area_cav, w.drv_area_out, w.drv_area_inl}, rec);
  if (rc == 0)
    rc = cutGear(w, mode, c2, k, m.s2, drn, cuts[2], m.o4, cuts[3], m.o2, gaps.drn_neighbour,
                 gaps.drn_own, out ? out + 3 : nullptr, ports,
                 {w.drn_area_cav, w.drn_area_out, w.drn_area_inl}, rec ? rec + 8 : nullptr);
  return rc;
}

int egp_build_at_angle_io(egp_pump_data &w, int z1, int z2, double theta, int k,
                          const egp_meshing &m, const egp_pair &pair, double *rec16) {
  if (!sameCounts(z1, z2, "egp_build_at_angle_io")) return kCountsDiffer;
  const egp_build_gear &g1 = pair.g1, &g2 = pair.g2;
  double v[16] = {};
  // Tip-circle point of a gear at tooth n's cavity angle plus an offset.
  auto tip = [&](const egp_build_gear &g, int n, double offset, double &x, double &y) {
    const double a =
        (g.kind == 1 ? kPi - n * g.pitch + theta + g.axis : (n - 0.5) * g.pitch - theta) + offset;
    x = g.xc + g.rmax * std::cos(a);
    y = g.yc + g.rmax * std::sin(a);
  };
  auto state = [](const std::vector<int> &s, int o) {
    return o >= 0 && Z(o) < s.size() ? s[Z(o)] : -1;
  };
  auto valid = [](const Pelem &e, int i) { return e.count() > 0 && i >= -1 && i < e.count(); };
  // One meshing region: the holding gear h (element a of tooth t, closing
  // vertex i1) against the other gear o (element b of tooth s, vertex i2).
  // toEnd: the holding chord runs from the closing vertex to the element's
  // end (outlet) instead of from its start to the closing vertex (inlet).
  auto region = [&](int side, const egp_build_gear &h, const egp_build_gear &o, int t, int s,
                    const Pelem &a, const Pelem &b, int i1, int i2, double *out, double &area1,
                    double &area2) {
    if (!valid(a, i1) || !valid(b, i2)) return;
    const egp_circle ch{h.xc, h.yc, h.rmax}, co{o.xc, o.yc, o.rmax};
    const bool outlet = side == 1;
    egp_calc_inout_areas(side, theta, h, t, i1, i2, a, b, ch, h.pitch, co, o.pitch,
                         outlet ? h.cross_hi : h.cross_lo, outlet ? o.cross_hi : o.cross_lo, area1,
                         area2);
    const bool drivingHolds = h.kind == 1;
    // The holding element runs from the other tooth's side to its own on
    // the outlet, the other way round on the inlet.
    const int end = outlet == drivingHolds ? -1 : 0;
    double tx, ty;
    tip(o, s, (outlet == drivingHolds ? 0.5 : -0.5) * o.tta, tx, ty);
    if (outlet) {
      chord(out, px(a, i1), py(a, i1), px(a, end), py(a, end), h.xc, h.yc);
      chord(out + 4, px(b, i2), py(b, i2), tx, ty, o.xc, o.yc);
    } else {
      chord(out, px(a, end), py(a, end), px(a, i1), py(a, i1), h.xc, h.yc);
      chord(out + 4, tx, ty, px(b, i2), py(b, i2), o.xc, o.yc);
    }
  };
  auto work = [](const egp_build_gear &g, int e, int t) -> const Pelem * {
    return t >= 0 && Z(t) < g.e_work[Z(e)].size() ? &g.e_work[Z(e)][Z(t)] : nullptr;
  };
  double a1 = 0, a2 = 0;
  if (m.o1 >= 0) {
    const int s = state(m.s1, m.o1);
    const Pelem *a = work(g1, kE1, m.o1), *b = work(g2, kE5, s);
    if (a && b)
      region(1, g1, g2, m.o1, s, *a, *b, pair.set1[0][Z(m.o1)], pair.set1[1][Z(s)], v, a1, a2);
  } else if (m.o2 >= 0) {
    const int t = (m.o2 + 1) % z2, s = state(m.s2, m.o2);
    const Pelem *a = work(g2, kE2, t), *b = work(g1, kE5, s);
    if (a && b)
      region(1, g2, g1, t, s, *a, *b, pair.set2[3][Z(m.o2)], pair.set2[2][Z(s)], v, a1, a2);
  }
  put(w.out_area1, k, a1);
  put(w.out_area2, k, a2);
  a1 = a2 = 0;
  if (m.o4 < 0 && m.o3 >= 0) {
    const int t = (m.o3 + z1 - 1) % z1, s = state(m.s1, m.o3);
    const Pelem *a = work(g1, kE2, t), *b = work(g2, kE5, s);
    if (a && b)
      region(2, g1, g2, t, s, *a, *b, pair.set1[2][Z(m.o3)], pair.set1[3][Z(s)], v + 8, a1, a2);
  } else if (m.o4 >= 0) {
    const int s = state(m.s2, m.o4);
    const Pelem *a = work(g2, kE1, m.o4), *b = work(g1, kE5, s);
    if (a && b)
      region(2, g2, g1, m.o4, s, *a, *b, pair.set2[1][Z(m.o4)], pair.set2[0][Z(s)], v + 8, a1, a2);
  }
  put(w.inl_area1, k, a1);
  put(w.inl_area2, k, a2);
  std::copy(v, v + 16, rec16);
  return 0;
}

int egp_build_at_angle(egp_pump_data &w, int z1, int z2, int c1, int c2, double theta,
                       double theta2, const egp_meshing &m, const egp_pair &pair, double *rec) {
  const int rc = egp_build_at_angle_cavs(w, 0, z1, z2, c1, c2, theta, theta2, -1, m, pair, {},
                                         nullptr, nullptr, nullptr, rec);
  return rc != 0 ? rc : egp_build_at_angle_io(w, z1, z2, theta, -1, m, pair, rec + 16);
}

}  // namespace kiv::egp

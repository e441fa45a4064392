// The geometry build: placement and checks, transition angles, the sweep
// over one revolution and the hand-off to the tables by angle.
#include "gearpump/build.hpp"

#include <cmath>

#include "gearpump/pelem.hpp"
#include "gearpump/rungeom.hpp"
#include "gearpump/tables.hpp"
#include "geometry/kiv_shapeid.h"
#include "tables/kiv_splinend.h"

namespace kiv::egp {

namespace {

constexpr double kDeg = kPi / 180.0;
constexpr double kEdge = 1e-11;  // force-data windows start and end just inside
constexpr int kE1 = 0, kE2 = 1, kE3 = 2, kE4 = 3, kE5 = 4;

size_t Z(int k) { return static_cast<size_t>(k); }

ShapePtr copyOf(const shape *s) {
  shape *c = nullptr;
  if (s) xCD_copy_shape_(s, &c);
  return ShapePtr(c);
}

// First and last sample of a cavity's meshing run; a run that wraps
// through angle 0 has entry > exit.  The driven cavity is followed the same
// way: were its run opened at the first meshing sample, one meshing at
// angle 0 would lose the part of its run that ends the revolution.
struct Run {
  int entry = -1, exit = -1;
  bool freeAt0 = false;
  void mark(int k, bool isFree) {
    if (k == 0) freeAt0 = isFree;
    if (isFree && exit == -1 && (!freeAt0 || entry != -1)) exit = k - 1;
    if (!isFree && entry == -1 && (freeAt0 || exit != -1)) entry = k;
  }
};

class Builder {
 public:
  Builder(egp_pump_data &w, const egp_params &p, const egp_build_args &a)
      : w_(w), p_(p), a_(a), mode_(a.mode), z1_(p.teeth_driving), z2_(p.teeth_driven) {}

  int run() {
    int rc = place();
    if (rc == 0) rc = prepare();
    if (rc == 0) rc = mode_ == 1 ? sample(-1, a_.angle) : sweep();
    if (rc == 0 && mode_ != 1) rc = handOff();
    return rc;
  }

 private:
  egp_pair pair() { return {g1_, g2_, set1_, set2_}; }
  bool drivenWay() const { return p_.gear_definition == 2; }

  int place();
  int prepare();
  int sweep();
  int sample(int k, double theta);
  void forces(int k, const double *rec);
  void chambers(int k, const double *v);
  void openings(int k, double theta, double theta2);
  void gapTables(int k);
  void closeCurves();
  int handOff();
  int forceData();
  int curvesOut();

  egp_pump_data &w_;
  const egp_params &p_;
  const egp_build_args &a_;
  const int mode_, z1_, z2_;
  int c1_ = 0, c2_ = 0, n_ = 0;
  double step_ = 0, a_dist_ = 0;
  bool symmetric_ = false;
  ShapePtr gear1_, gear2_, outlet_, inlet_;  // copies on the build frame
  egp_build_gear g1_, g2_;
  egp_index_set set1_, set2_;
  egp_transitions t_;
  egp_chamber_limits lim_;  // degrees
  egp_meshing m_;
  std::vector<double> gapNb1_, gapOwn1_, gapOwn2_, gapNb2_;
  Run run1_, run2_;
  int outLo_ = -1, outHi_ = -1, inLo_ = -1, inHi_ = -1;
  bool holdOut_ = false, holdIn_ = false;
  Curve x_;
};

// Steps up to the checks: shapes by id, the build frame, the records'
// scalars, top-teeth angles and drainage radii.
int Builder::place() {
  step_ = egp_step_of_ppd(a_.ppd);
  if (z1_ < 1 || z2_ < 1 || (mode_ != 1 && step_ <= 0)) return kSearchFailed;
  n_ = mode_ == 1 ? 1 : 360 * a_.ppd + 1;
  symmetric_ = p_.gear_definition == -1 ||
               (p_.gear_definition == 1 && p_.profile_shift_driving == p_.profile_shift_driven);
  // One cavity per gear is swept; a negative index means every cavity only
  // for the shapes at one angle, the middle one otherwise.
  auto pick = [&](int c, int z) { return mode_ == 1 ? c : c < 0 ? z / 2 : c % z; };
  c1_ = pick(a_.c1, z1_), c2_ = pick(a_.c2, z2_);
  const shape *s1 = xCD_get_shape_(&a_.driving), *s2 = xCD_get_shape_(&a_.driven);
  if (!s1 || !s2) return kSearchFailed;
  if (mode_ == 0 && egp_shape_intersect_shape(s1, s2)) return kBuildGearsIntersect;

  double x1, y1, x2, y2;
  egp_get_centroid(s1, x1, y1);
  egp_get_centroid(s2, x2, y2);
  const double a = a_dist_ = std::hypot(x2 - x1, y2 - y1);
  egp_get_radius_from_gear_shape(s1, x1, y1, g1_.rmin, g1_.rmax);
  egp_get_radius_from_gear_shape(s2, x2, y2, g2_.rmin, g2_.rmax);
  const double R1 = g1_.rmax, R2 = g2_.rmax;
  // Tip circles that do not cross leave no mesh (and no crossing point).
  if (!(a < R1 + R2) || !(a > std::fabs(R1 - R2))) return kSearchFailed;

  // The build frame: driving centre at the origin, driven centre at (-a,
  // 0).  The ports move with the gears.
  const double turn = kPi - floor_2pi(std::atan2(y2 - y1, x2 - x1));
  gear1_ = copyOf(s1), gear2_ = copyOf(s2);
  outlet_ = copyOf(xCD_get_shape_(&a_.outlet)), inlet_ = copyOf(xCD_get_shape_(&a_.inlet));
  for (shape *s : {gear1_.get(), gear2_.get(), outlet_.get(), inlet_.get()})
    if (s) {
      translate2D_(s, -x1, -y1);
      rotate2D_(s, 0, 0, turn);
    }

  if (mode_ == 0) {
    const double h =
        std::sqrt((R1 + a + R2) * (R1 - a + R2) * (R2 - a - R1) * (R1 - a - R2)) / (2 * a);
    const double b2 = std::asin(h / R2), b1 = kPi - std::asin(h / R1);
    g1_.cross_hi = floor_2pi(b1), g1_.cross_lo = floor_2pi(-b1);
    g2_.cross_hi = floor_2pi(b2), g2_.cross_lo = floor_2pi(-b2);
  }
  g1_.kind = 1, g1_.dir = -1, g1_.z = z1_, g1_.pitch = kTwoPi / z1_;
  g2_.kind = 2, g2_.dir = 1, g2_.z = z2_, g2_.xc = -a, g2_.pitch = kTwoPi / z2_;

  double tol1 = 1e-6, tol2 = 1e-6;
  if (drivenWay()) {
    // Gears from files: align the teeth, then turn the driving gear to
    // its first contact.
    double alpha1 = 0, alpha2 = 0, gamma = 0;
    if (egp_compute_teeth_axis_angle(g2_, gear2_.get(), alpha2)) return kSearchFailed;
    rotate2D_(gear2_.get(), -a, 0, alpha2);
    rotate2D_(gear1_.get(), 0, 0, -alpha2);
    if (egp_compute_teeth_axis_angle(g1_, gear1_.get(), alpha1)) return kSearchFailed;
    g1_.axis = alpha1, g2_.axis = alpha2;
    egp_calc_tol_and_tta(g1_, gear1_.get(), tol1, g1_.tta);
    egp_calc_tol_and_tta(g2_, gear2_.get(), tol2, g2_.tta);
    egp_shape_to_mem(gear1_.get(), g1_.xs, g1_.ys);
    egp_shape_to_mem(gear2_.get(), g2_.xs, g2_.ys);
    const Pelem e1 = egp_create_pelem(g1_, kPi + alpha1, 1, 0, tol1);
    const Pelem e2 = egp_create_pelem(g2_, -0.5 * g2_.pitch, 1, 0, tol2);
    if (egp_find_contact_angle(g1_, e1, e2, gamma)) return kSearchFailed;
    rotate2D_(gear1_.get(), 0, 0, gamma);
    g1_.axis = alpha1 + gamma;
    egp_build_gear_delete(g1_);
    egp_build_gear_delete(g2_);
  } else {
    egp_compute_top_teeth_angle(g1_, gear1_.get(), 1e-6, nullptr, g1_.tta);
    egp_compute_top_teeth_angle(g2_, gear2_.get(), 1e-6, nullptr, g2_.tta);
  }
  if (!(g1_.tta > 0) && p_.leakage_mode == 1) return kBuildTopDriving;
  if (!(g2_.tta > 0) && p_.leakage_mode == 1) return kBuildTopDriven;
  egp_shape_to_mem(gear1_.get(), g1_.xs, g1_.ys);
  egp_shape_to_mem(gear2_.get(), g2_.xs, g2_.ys);
  gear1_.reset(), gear2_.reset();

  // Drainage radii are in metres, the outlines in millimetres.
  if (p_.identical_gears == 1) {
    const double rd = p_.drainage_radius * 1000;
    if (!(g1_.rmin > rd)) return kBuildDrainCommonDriving;
    if (!(g2_.rmin > rd)) return kBuildDrainCommonDriven;
  } else {
    if (!(g1_.rmin > p_.drainage_radius_driving * 1000)) return kBuildDrainDriving;
    if (!(g2_.rmin > p_.drainage_radius_driven * 1000)) return kBuildDrainDriven;
  }
  egp_build_gear_alloc(g1_);
  egp_build_gear_alloc(g2_);
  if (outlet_ || inlet_) {
    egp_pump_create_cav_bounds(g1_);
    egp_pump_create_cav_bounds(g2_);
    if (outlet_) egp_inout_get_bounds(outlet_.get(), w_.out_box.data(), w_.out_box_flag);
    if (inlet_) egp_inout_get_bounds(inlet_.get(), w_.inl_box.data(), w_.inl_box_flag);
  }
  egp_pump_create_pelems(drivenWay() ? tol1 : 1e-6, g1_);
  egp_pump_create_pelems(drivenWay() ? tol2 : 1e-6, g2_);
  egp_build_create_cavity_def(g1_);
  egp_build_create_cavity_def(g2_);
  return 0;
}

// Transition angles, the curves of the selected cavities and the special
// positions.
int Builder::prepare() {
  const double a = a_dist_, R1 = g1_.rmax, R2 = g2_.rmax;
  double i1 = 0, i2 = 0, i3 = 0, i4 = 0;
  int rc = egp_find_intersection_angle(g2_, 0, {0, 0, R1}, g2_.e[kE2][0], i1);
  if (rc == 0) rc = egp_find_transition_angle(g1_, g2_, 1, i1, t_.t1);
  if (rc != 0) return rc;
  if (symmetric_) {
    t_.t2 = kTwoPi - t_.t1 - kTwoPi / z1_;
    t_.t3 = t_.t1 + kPi / z2_;
    t_.t4 = kTwoPi - t_.t1 - kPi / z2_;
  } else {
    rc = egp_find_intersection_angle(g1_, 1, {-a, 0, R2}, g1_.e[kE1][0], i2);
    if (rc == 0) rc = egp_find_transition_angle(g2_, g1_, 1, i2, t_.t3);
    if (rc != 0) return rc;
    if (!drivenWay()) {
      t_.t4 = kTwoPi - t_.t3;
      t_.t2 = kTwoPi - t_.t1 - kTwoPi / z1_;
    } else {
      rc = egp_find_intersection_angle(g1_, 0, {-a, 0, R2}, g1_.e[kE2][0], i3);
      if (rc == 0) rc = egp_find_intersection_angle(g2_, 1, {0, 0, R1}, g2_.e[kE1][0], i4);
      if (rc == 0) rc = egp_find_transition_angle(g1_, g2_, 2, i4, t_.t2);
      if (rc == 0) rc = egp_find_transition_angle(g2_, g1_, 2, i3, t_.t4);
      if (rc != 0) return rc;
    }
  }
  egp_index_sets_size(set1_, set2_, z1_, z2_);
  for (auto *g : {&gapNb1_, &gapOwn1_}) g->assign(Z(z1_), 0.0);
  for (auto *g : {&gapOwn2_, &gapNb2_}) g->assign(Z(z2_), 0.0);
  if (mode_ == 1) return 0;

  egp_pump_data_size(w_, z1_, z2_);
  const Curve zeros(Z(n_), 0.0);
  const size_t c1 = Z(c1_), c2 = Z(c2_);
  w_.drv_area_cav[c1] = w_.drn_area_cav[c2] = zeros;
  w_.drv_area_out[c1] = w_.drv_area_inl[c1] = w_.drn_area_out[c2] = w_.drn_area_inl[c2] = zeros;
  if (mode_ == 2) return 0;
  w_.drv_len_out[c1] = w_.drv_len_inl[c1] = w_.drn_len_out[c2] = w_.drn_len_inl[c2] = zeros;
  w_.drv_gapn_x[c1] = w_.drv_gapn[c1] = w_.drv_gapo_x[c1] = w_.drv_gapo[c1] = zeros;
  for (auto &f : w_.drv_border) f[c1] = zeros;
  for (auto &f : w_.drv_center) f[c1] = zeros;
  for (auto &f : w_.drn_border) f[c2] = zeros;
  for (auto &f : w_.drn_center) f[c2] = zeros;
  for (auto *c : {&w_.out_area1, &w_.out_area2, &w_.inl_area1, &w_.inl_area2}) *c = zeros;
  for (auto *set : {&w_.out_a, &w_.out_b, &w_.inl_c, &w_.inl_d})
    for (auto &c : *set) c = zeros;

  const egp_transitions deg{t_.t1 / kDeg, t_.t2 / kDeg, t_.t3 / kDeg, t_.t4 / kDeg};
  lim_ = egp_chamber_limits_of(deg, 360.0 / z1_, 360.0 / z2_);
  return egp_setup_special_positions(w_, c1_, c2_, pair(), t_);
}

int Builder::sweep() {
  // The last sample, a revolution on, is closed from the first.
  for (int k = 0; k < n_ - 1; ++k)
    if (const int rc = sample(k, k * step_ * kDeg); rc != 0) return rc;
  closeCurves();
  return 0;
}

int Builder::sample(int k, double theta) {
  const double theta2 = static_cast<double>(z1_) / z2_ * theta;
  egp_meshing_at(theta, g1_, g2_, t_, m_);
  if (k == 0) holdOut_ = m_.o1 >= 0, holdIn_ = m_.o3 >= 0;
  if (mode_ != 1) {
    run1_.mark(k, m_.s1[Z(c1_)] < 0);
    run2_.mark(k, m_.s2[Z(c2_)] < 0);
  }
  double rec[32] = {};
  const egp_gaps gaps{gapNb1_.data(), gapOwn1_.data(), gapOwn2_.data(), gapNb2_.data()};
  int rc = egp_build_at_angle_cavs(w_, mode_, z1_, z2_, c1_, c2_, theta, theta2, k, m_, pair(),
                                   gaps, mode_ == 1 ? a_.shapes : nullptr, outlet_.get(),
                                   inlet_.get(), rec);
  if (rc != 0 || mode_ == 1) return rc;
  if (mode_ == 0) {
    forces(k, rec);
    rc = egp_build_at_angle_io(w_, z1_, z2_, theta, k, m_, pair(), rec + 16);
    if (rc != 0) return rc;
    chambers(k, rec + 16);
    gapTables(k);
  }
  openings(k, theta, theta2);
  return 0;
}

// Cavity force curves; while a cavity is free its centre curves hold the
// special record just inside the meshing interval it comes to next.
void Builder::forces(int k, const double *rec) {
  const size_t c1 = Z(c1_), c2 = Z(c2_), K = Z(k);
  const double *cen1 = m_.s1[c1] >= 0 ? rec : w_.special[run1_.entry == -1 ? 2 : 3].data();
  const double *cen2 =
      m_.s2[c2] >= 0 ? rec + 8 : w_.special[run2_.entry == -1 ? 6 : 7].data() + 8;
  for (size_t f = 0; f < 4; ++f) {
    w_.drv_border[f][c1][K] = rec[f];
    w_.drn_border[f][c2][K] = rec[8 + f];
  }
  for (size_t f = 0; f < 8; ++f) {
    w_.drv_center[f][c1][K] = cen1[f];
    w_.drn_center[f][c2][K] = cen2[f];
  }
}

// Chamber force sets: the port step's values go to the set of the gear
// that holds the meshing cavity; the other set, while the holder is the one
// of angle 0, takes the special record of the nearer chamber limit.
void Builder::chambers(int k, const double *v) {
  const double deg = k * step_;
  if (outLo_ == -1 && deg > lim_.out_lo) outLo_ = k;
  if (outHi_ == -1 && deg > lim_.out_hi) outHi_ = k - 1;
  if (inLo_ == -1 && deg > lim_.in_lo) inLo_ = k;
  if (inHi_ == -1 && deg > lim_.in_hi) inHi_ = k - 1;
  auto put = [&](bool drivingHolds, bool heldAt0, std::array<Curve, 8> &first,
                 std::array<Curve, 8> &second, const double *vals, double lo, double hi,
                 const double *atLo, const double *atHi) {
    auto &own = drivingHolds ? first : second, &other = drivingHolds ? second : first;
    const double *spare = deg <= lo ? atLo : deg >= hi ? atHi : nullptr;
    for (size_t f = 0; f < 8; ++f) {
      own[f][Z(k)] = vals[f];
      if (drivingHolds == heldAt0 && spare) other[f][Z(k)] = spare[f];
    }
  };
  put(m_.o1 >= 0, holdOut_, w_.out_a, w_.out_b, v, lim_.out_lo, lim_.out_hi,
      w_.special[8].data() + 16, w_.special[9].data() + 16);
  put(m_.o3 >= 0, holdIn_, w_.inl_c, w_.inl_d, v + 8, lim_.in_lo, lim_.in_hi,
      w_.special[12].data() + 24, w_.special[13].data() + 24);
}

// Opening lengths of the selected cavities towards the ports: a tooth gap
// while the cavity meshes at a chamber, the tip arc beyond the port edge
// while it is free.  Mode 2 turns them into areas with the thickness and
// adds the groove.
void Builder::openings(int k, double theta, double theta2) {
  const int i = c1_, j = c2_;
  const bool free1 = m_.s1[Z(i)] < 0, free2 = m_.s2[Z(j)] < 0;
  const bool outFromO2 = i == m_.o2 && !symmetric_;
  const bool outFromO1 = m_.o1 >= 0 && j == m_.o1 - 1 && !symmetric_;
  auto tip = [](const egp_build_gear &g, bool isFree, int side, double angle, int c, double edge) {
    return isFree ? egp_len_inout(g, side, angle, c, edge) : 0.0;
  };
  const double out1 = i == m_.o1 || outFromO2
                          ? gapOwn1_[Z(i)]
                          : tip(g1_, free1, 1, theta, i, p_.outlet_start_driving);
  const double inl1 = i == m_.o3 || (outFromO2 && m_.o4 >= 0 && i == m_.o4 + 1)
                          ? gapNb1_[Z(i)]
                          : tip(g1_, free1, 2, theta, i, p_.inlet_end_driving);
  const double out2 = j == m_.o2 || outFromO1
                          ? gapNb2_[Z(j)]
                          : tip(g2_, free2, 1, theta2, j, p_.outlet_start_driven);
  const double inl2 = j == m_.o4 || (outFromO1 && j == m_.o3)
                          ? gapOwn2_[Z(j)]
                          : tip(g2_, free2, 2, theta2, j, p_.inlet_end_driven);
  const size_t K = Z(k), c1 = Z(i), c2 = Z(j);
  if (mode_ == 0) {
    w_.drv_len_out[c1][K] = out1, w_.drv_len_inl[c1][K] = inl1;
    w_.drn_len_out[c2][K] = out2, w_.drn_len_inl[c2][K] = inl2;
    return;
  }
  // The record is in metres, the outlines in millimetres.
  const double b = p_.gear_thickness * 1000, gw = p_.groove_width * 1000;
  w_.drv_area_out[c1][K] += out1 * b, w_.drv_area_inl[c1][K] += inl1 * b;
  w_.drn_area_out[c2][K] += out2 * b, w_.drn_area_inl[c2][K] += inl2 * b;
  if (p_.groove != 1) return;
  // Both gears measure the sector from the cavity's start, half a tip land
  // before the tooth angle, as the run does.
  const double s1 = kPi - (i - 1) * g1_.pitch + theta + g1_.axis - 0.5 * g1_.tta;
  const double s2 = (j + 0.5) * g2_.pitch - theta - 0.5 * g2_.tta;
  w_.drv_area_out[c1][K] += egp_cav_to_out_sector(s1, g1_.pitch, g1_.tta, p_.groove_start_driving,
                                                  p_.groove_end_driving) *
                            0.5 * gw * (2 * g1_.rmax - gw);
  w_.drn_area_out[c2][K] += egp_cav_to_out_sector(s2, g2_.pitch, g2_.tta, p_.groove_start_driven,
                                                  p_.groove_end_driven) *
                            0.5 * gw * (2 * g2_.rmax - gw);
}

// Tooth gaps of the selected driving cavity while it meshes, measured
// between the closing edges (outlines from files) or taken from the cut.
void Builder::gapTables(int k) {
  const int i = c1_, s = m_.s1[Z(i)];
  if (s < 0) return;
  double own = gapOwn1_[Z(i)], nb = gapNb1_[Z(i)];
  if (p_.gear_definition != -1) {
    const size_t I = Z(i), P = Z((i + z1_ - 1) % z1_), S = Z(s);
    const auto &e1 = g1_.e_work, &e2 = g2_.e_work;
    const bool o1 = i == m_.o1, o3 = i == m_.o3;
    const Pelem &ownA = o1 ? e1[kE1][I] : o3 ? e1[kE3][I] : e1[kE1][I];
    const Pelem &ownB = o1 || o3 ? e2[kE5][S] : e2[kE3][S];
    const Pelem &nbA = o1 ? e1[kE4][P] : e1[kE2][P];
    const Pelem &nbB = o1 || o3 ? e2[kE5][S] : e2[kE4][S];
    own = egp_poly_poly_min_distance_at_indexes(ownA, set1_[0][I], ownB, set1_[1][S], own);
    nb = egp_poly_poly_min_distance_at_indexes(nbA, set1_[2][I], nbB, set1_[3][S], nb);
  }
  const size_t c = Z(i);
  const size_t at = Z(w_.drv_gapo_n[c]++);
  w_.drv_gapo_x[c][at] = k * step_, w_.drv_gapo[c][at] = own;
  w_.drv_gapn_n[c]++;
  w_.drv_gapn_x[c][at] = k * step_, w_.drv_gapn[c][at] = nb;
}

// The last sample is the first one again, a revolution on.
void Builder::closeCurves() {
  const size_t K = Z(n_ - 1);
  auto close = [&](Curve &c) {
    if (c.size() > K) c[K] = c[0];
  };
  for (auto *c : {&w_.out_area1, &w_.out_area2, &w_.inl_area1, &w_.inl_area2}) close(*c);
  for (auto *set : {&w_.out_a, &w_.out_b, &w_.inl_c, &w_.inl_d})
    for (auto &c : *set) close(c);
  for (auto *per : {&w_.drv_len_out, &w_.drv_len_inl, &w_.drv_area_out, &w_.drv_area_inl,
                    &w_.drv_area_cav, &w_.drn_len_out, &w_.drn_len_inl, &w_.drn_area_out,
                    &w_.drn_area_inl, &w_.drn_area_cav})
    for (auto &c : *per) close(c);
  for (auto *centre : {&w_.drv_center, &w_.drn_center})
    for (size_t f = 4; f < 8; ++f)
      for (auto &c : (*centre)[f])
        if (c.size() > K) c[K] = c[K - 1];
}

int Builder::handOff() {
  x_.resize(Z(n_));
  for (int k = 0; k < n_; ++k) x_[Z(k)] = k * step_;
  const double start1 = egp_modulo_deg(t_.t1 / kDeg + c1_ * 360.0 / z1_);
  const double end1 = egp_modulo_deg(t_.t2 / kDeg + c1_ * 360.0 / z1_);
  const double start2 = egp_modulo_deg(t_.t3 / kDeg + c2_ * 360.0 / z2_);
  const double end2 = egp_modulo_deg(t_.t4 / kDeg + c2_ * 360.0 / z2_);
  if (egp_pump_data_cav_vol(p_.gear_definition, c1_, run1_.entry, run1_.exit, start1, end1,
                            g1_.cavarea, n_, a_.ppd, x_.data(), w_.drv_area_cav[Z(c1_)].data(),
                            w_.drv_vol_x, w_.drv_vol_y, w_.drv_vol_n) ||
      egp_pump_data_cav_vol(p_.gear_definition, c2_, run2_.entry, run2_.exit, start2, end2,
                            g2_.cavarea, n_, a_.ppd, x_.data(), w_.drn_area_cav[Z(c2_)].data(),
                            w_.drn_vol_x, w_.drn_vol_y, w_.drn_vol_n))
    return kSearchFailed;
  return mode_ == 0 ? forceData() : curvesOut();
}

int Builder::forceData() {
  const double dx = step_;
  const size_t c1 = Z(c1_), c2 = Z(c2_);
  Curve bx1, cx1, bx2, cx2;
  // One gear's border and centre data over its meshing run.
  auto gear = [&](const Run &r, double start, double end, std::array<CavityCurves, 4> &border,
                  std::array<CavityCurves, 8> &center, size_t c, int rec, int first, Curve &bx,
                  Curve &cx) {
    Curve cols[8];
    for (size_t f = 0; f < 4; ++f) cols[f] = std::move(border[f][c]);
    const int mid = (r.entry + r.exit) / 2;
    double vm[4];
    for (size_t f = 0; f < 4; ++f) vm[f] = mid >= 0 && mid < n_ ? cols[f][Z(mid)] : 0.0;
    const auto &sp = w_.special;
    int rc = egp_setup_force_data_border(n_, dx, r.entry, r.exit, start + kEdge, end - kEdge,
                                         mid * dx, sp[Z(rec)].data() + first,
                                         sp[Z(rec + 1)].data() + first, vm, 4, x_.data(), bx, cols);
    for (size_t f = 0; f < 4; ++f) border[f][c] = std::move(cols[f]), cols[f] = std::move(center[f][c]);
    if (rc == 0)
      rc = egp_setup_force_data_center(n_, dx, r.entry, r.exit, start + kEdge, end - kEdge,
                                       sp[Z(rec + 2)].data() + first,
                                       sp[Z(rec + 3)].data() + first, 1, 4, x_.data(), cx, cols);
    for (size_t f = 0; f < 4; ++f) center[f][c] = std::move(cols[f]);
    return rc;
  };
  // One chamber's border data (seeded with the mean of the two border
  // records) and centre data, each into one of its two force sets.
  auto chamber = [&](int lo, int hi, double xlo, double xhi, int rec, int first, bool heldAt0,
                     std::array<Curve, 8> &set1, Curve &x1, std::array<Curve, 8> &set2, Curve &x2) {
    auto &border = heldAt0 ? set1 : set2, &center = heldAt0 ? set2 : set1;
    Curve &bx = heldAt0 ? x1 : x2, &cx = heldAt0 ? x2 : x1;
    const auto &sp = w_.special;
    const double *b0 = sp[Z(rec + 2)].data() + first, *b1 = sp[Z(rec + 3)].data() + first;
    double vm[8];
    for (int f = 0; f < 8; ++f) vm[f] = 0.5 * (b0[f] + b1[f]);
    const int mid = (lo + hi) / 2;
    int rc = egp_setup_force_data_border(n_, dx, lo, hi, xlo + kEdge, xhi - kEdge, mid * dx, b0, b1,
                                         vm, 8, x_.data(), bx, border.data());
    if (rc == 0)
      rc = egp_setup_force_data_center(n_, dx, lo, hi, xlo + kEdge, xhi - kEdge,
                                       sp[Z(rec)].data() + first, sp[Z(rec + 1)].data() + first, 1,
                                       8, x_.data(), cx, center.data());
    return rc;
  };
  int rc = gear(run1_, egp_modulo_deg(t_.t1 / kDeg + c1_ * 360.0 / z1_),
                egp_modulo_deg(t_.t2 / kDeg + c1_ * 360.0 / z1_), w_.drv_border, w_.drv_center, c1, 0, 0,
                bx1, cx1);
  if (rc == 0)
    rc = gear(run2_, egp_modulo_deg(t_.t3 / kDeg + c2_ * 360.0 / z2_),
              egp_modulo_deg(t_.t4 / kDeg + c2_ * 360.0 / z2_), w_.drn_border, w_.drn_center, c2, 4, 8,
              bx2, cx2);
  if (rc == 0)
    rc = chamber(outLo_, outHi_, lim_.out_lo, lim_.out_hi, 8, 16, holdOut_, w_.out_a, w_.out_a_x,
                 w_.out_b, w_.out_b_x);
  if (rc == 0)
    rc = chamber(inLo_, inHi_, lim_.in_lo, lim_.in_hi, 12, 24, holdIn_, w_.inl_c, w_.inl_c_x,
                 w_.inl_d, w_.inl_d_x);
  if (rc == 0 && a_.inst)
    rc = egp_pump_data_init_tables(w_, c1_, c2_, n_, x_.data(), {&bx1, &cx1, &bx2, &cx2},
                                   *a_.inst);
  if (rc != 0) return kSearchFailed;
  if (double *s = a_.store) {
    const double head[10] = {p_.outlet_start_driving, p_.outlet_start_driven,
                             p_.inlet_end_driving,    p_.inlet_end_driven,
                             t_.t1, t_.t2, t_.t4, t_.t3, g1_.tta, g2_.tta};
    std::copy(head, head + 10, s);
    if (p_.groove != 0) s[10] = g1_.rmax / 1000, s[11] = g2_.rmax / 1000;
    if (p_.leakage_mode > 0) s[12] = g1_.rmin / 1000, s[13] = g2_.rmin / 1000;
    s[14] = g1_.axis, s[15] = g2_.axis;
  }
  return 0;
}

// Mode 2: cavity volumes from the cavity area tables, and the curves of
// the selected cavities passed to the caller.
int Builder::curvesOut() {
  if (!a_.curves) return 0;
  const double b = p_.gear_thickness * 1000;
  auto one = [&](const Curve &vx, const Curve &vy, int vn, Curve &area, Curve &out, Curve &inl,
                 egp_cavity_curves &r) {
    SplineOwner sp;
    if (egp_init_table_bcond(1, -1, &sp.id, &vx, &vy, &vn, 1, 2) != 0) return false;
    nd::Memory mem;
    for (int k = 0; k < n_; ++k) area[Z(k)] = nd::SplineEvalAt(sp.id, &x_[Z(k)], 0, 1, mem) * b;
    r.n = n_, r.x = x_, r.volume = std::move(area), r.outlet = std::move(out);
    r.inlet = std::move(inl);
    return true;
  };
  const size_t c1 = Z(c1_), c2 = Z(c2_);
  const bool ok = one(w_.drv_vol_x[c1], w_.drv_vol_y[c1], w_.drv_vol_n[c1], w_.drv_area_cav[c1],
                      w_.drv_area_out[c1], w_.drv_area_inl[c1], a_.curves[0]) &&
                  one(w_.drn_vol_x[c2], w_.drn_vol_y[c2], w_.drn_vol_n[c2], w_.drn_area_cav[c2],
                      w_.drn_area_out[c2], w_.drn_area_inl[c2], a_.curves[1]);
  return ok ? 0 : kSearchFailed;
}

}  // namespace

int egp_internal_build(egp_pump_data &w, const egp_params &p, const egp_build_args &a) {
  if (a.shapes)
    for (int i = 0; i < 6; ++i) a.shapes[i].reset();
  if (a.curves) a.curves[0] = a.curves[1] = egp_cavity_curves();
  // Released on every way out, a fatal exit included.
  struct Clear {
    egp_pump_data &w;
    ~Clear() { egp_pump_data_clear_curves(w); }
  } clear{w};
  Builder b(w, p, a);
  return orMemoryError("egp_internal_build", [&] { return b.run(); });
}

}  // namespace kiv::egp

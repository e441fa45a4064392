// The gear pump's per-step calculation for a 12-tooth pump on synthetic
// tables, the shaft advancing one degree per evaluation, and beside it the
// floor: as many spline reads and fluid-property, orifice and chamber calls
// as the calculation makes at each angle, made alone.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "gearpump/calc.hpp"
#include "gearpump/rungeom.hpp"
#include "hydraulics/kiv_hydlaws.h"
#include "runtime/kiv_runtime.h"
#include "tests/gearpump/synthetic.hpp"

namespace {

using namespace kiv::egp;

constexpr int kZ = 12, kTurn = 360;
constexpr double kRad = std::numbers::pi / 180;

// One table read: slot, element, read site, angle [deg], slope or value.
struct Read {
  int slot, elem, site;
  double deg;
  int slope;
};

// Calls of one evaluation at one angle.
struct Counts {
  std::vector<Read> reads;
  int mu = 0, q0 = 0, orifices = 0, chambers = 0;
};

double Turn(double deg) { return deg - 360.0 * std::floor(deg / 360.0); }

struct Bench {
  KIVSystem *sys = KivCreateSystem();
  synth::Pump pump;
  std::array<Counts, kTurn> counts;

  Bench() {
    KivMakeCurrent(sys);
    pump.build();
    pump.pressures(50e5, 20e5);
    pump.in.speed = 150;
    const int z = kZ, cavities = 2 * z;
    for (int step = 0; step < kTurn; ++step) {
      pump.in.theta = step * kRad;
      pump.run();
      const egp_calc_out &o = pump.out;
      Counts &c = counts[size_t(step)];
      int o1, o2, o3, o4;
      const double pitch = 2 * std::numbers::pi / z, *st = pump.store;
      std::vector<int> m1(kZ), m2(kZ);
      egp_run_get_inout(pump.in.theta, m1, m2, pitch, pitch, {st[4], st[5]}, {st[7], st[6]}, o1, o2,
                        o3, o4);
      // The tables the calculation reads, in its order.
      const int m = z / 2;
      const double thetad = step, ac = std::fmod(thetad, 360.0 / z);
      auto at = [&](int k) { return Turn(thetad - (k - m) * 360.0 / z); };
      for (int g = 0; g < 2; ++g)
        for (int k = 0; k < z; ++k) {
          for (int s : {0, 2, 4, 6}) c.reads.push_back({s + g, m, k, at(k), 0});
          if (g == 0) c.reads.insert(c.reads.end(), {{8, m, k, at(k), 0}, {9, m, k, at(k), 0}});
        }
      for (int s = 10; s < 14; ++s)
        c.reads.insert(c.reads.end(), {{s, 0, 0, thetad, 0}, {s, 0, 0, thetad, 1}});
      for (int g = 0; g < 2; ++g)
        for (int k = 0; k < z; ++k)
          c.reads.insert(c.reads.end(), {{14 + g, m, k, at(k), 0}, {14 + g, m, k, at(k), 1}});
      for (int g = 0; g < 2; ++g)
        for (int k = 0; k < z; ++k) {
          const bool meshes = (g ? m2 : m1)[size_t(k)] != -1;
          for (int f = 0; f < (meshes ? 8 : 4); ++f)
            c.reads.push_back({18 + 12 * g + (meshes ? 4 : 0) + f, m, k, at(k), 0});
        }
      for (int f = 0; f < 8; ++f)
        c.reads.insert(c.reads.end(), {{(o1 >= 0 ? 42 : 50) + f, 0, 0, ac, 0},
                                       {(o3 >= 0 ? 58 : 66) + f, 0, 0, ac, 0}});
      c.mu = 2 * cavities + 1;  // tooth leakage, drainage, meshing zone
      c.q0 = 2 * cavities + 1 + 2 + (o1 >= 0 || o2 >= 0) + (o3 >= 0 || o4 >= 0);
      c.chambers = cavities + 2;
      c.orifices = 2;
      for (const double *a : {o.areaoutradr, o.areaoutradn, o.areainlradr, o.areainlradn,
                              o.areaoutortr, o.areaoutortn, o.areainlortr, o.areainlortn,
                              o.areaload, o.areafree, o.areaoutgrvr, o.areaoutgrvn})
        for (int k = 0; k < z; ++k) c.orifices += a[k] != 0.0;
    }
  }
  ~Bench() { KivReleaseSystem(sys); }

  void report(benchmark::State &state) const {
    Counts sum;
    size_t reads = 0;
    for (const Counts &c : counts) {
      reads += c.reads.size(), sum.mu += c.mu, sum.q0 += c.q0;
      sum.orifices += c.orifices, sum.chambers += c.chambers;
    }
    state.counters["spline_reads"] = double(reads) / kTurn;
    state.counters["fluid_calls"] = double(sum.mu + sum.q0) / kTurn;
    state.counters["orifices"] = double(sum.orifices) / kTurn;
    state.counters["chambers"] = double(sum.chambers) / kTurn;
  }
};

void GearPumpCalc12(benchmark::State &state) {
  Bench b;
  int step = 0;
  for (auto _ : state) {
    step = step + 1 == kTurn ? 0 : step + 1;
    b.pump.in.theta = step * kRad;
    b.pump.run();
    benchmark::DoNotOptimize(b.pump.out.dpout);
  }
  b.report(state);
}
BENCHMARK(GearPumpCalc12)->Unit(benchmark::kMicrosecond);

// The same calls alone: the same tables read at the same angles, and the
// fluid laws at the cavity pressures.
void GearPumpCalc12Floor(benchmark::State &state) {
  Bench b;
  egp_instance &inst = *b.pump.inst;
  double *pr = b.pump.pr.data(), *pn = b.pump.pn.data();
  double cqmax = 0.7, lcrit = 1000, A = 1e-5, dh = 3.5e-3, a = 0, V = 1e-6, q = 1e-4, cq, lambda, v;
  int step = 0;
  for (auto _ : state) {
    step = step + 1 == kTurn ? 0 : step + 1;
    const Counts &c = b.counts[size_t(step)];
    double sum = 0;
    for (const Read &r : c.reads)
      sum += r.slope ? egp_table_slope(inst, r.slot, r.elem, r.site, r.deg)
                     : egp_table_value(inst, r.slot, r.elem, r.site, r.deg);
    for (int k = 0; k < c.mu; ++k) sum += muatp_(pr + k % kZ);
    for (int k = 0; k < c.q0; ++k) sum += q0top_(pn + k % kZ);
    for (int k = 0; k < c.orifices; ++k)
      sum += orif3f_(pr + k % kZ, pn + k % kZ, &A, &dh, &cqmax, &lcrit, &cq, &lambda, &v);
    for (int k = 0; k < c.chambers; ++k) sum += pcdyn2_(pr + k % kZ, &a, &V, &q);
    benchmark::DoNotOptimize(sum);
  }
  b.report(state);
}
BENCHMARK(GearPumpCalc12Floor)->Unit(benchmark::kMicrosecond);

}  // namespace

// Lookups of the table-defined orifices as a submodel makes them at every
// evaluation: flow against pressure drop, Cq of a symmetric coefficient
// table, a loss-coefficient orifice and the orifice with inertia.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"

#include <cmath>
#include <random>
#include <vector>

#include "hydraulics/kiv_hydtables.h"
#include "tables/kiv_tablefiles.h"

namespace {

class Tables {
 public:
  Tables() : sys_(KivCreateSystem()) {
    KivMakeCurrent(sys_);
    HydFluidRecord r = kiv::bench::oil(0, 850.0, 0.0);
    kiv::hyd::addGeneral(r, "bench");
    int zero = 0;
    sethdind_(&zero);
    KivSetFirstCall(0);
    std::vector<double> dp, q;
    for (int k = 0; k <= 20; ++k) {
      dp.push_back(k * 1e5);
      q.push_back(1e-4 * std::sqrt(k));
    }
    const int n = 21;
    std::vector<double> both = dp;
    rtablend_add("bench_flow", 1, &n, both.data(), q.data(), nullptr);
    char flow[] = "bench_flow", dpname[] = "dp";
    char *names[] = {dpname};
    int unit = 0, revflow = 1, sign = 1, nnames = 1, linear = 2, disc = 0, level = 0;
    double factor = 1.0;
    flow_ = SetUpFlowdPTable(flow, &unit, &revflow, &sign, &factor, names, &nnames, nullptr,
                             &linear, &disc, &level);
    const double lambda[] = {10.0, 30.0, 100.0, 300.0, 1000.0},
                 cq[] = {0.2, 0.4, 0.6, 0.68, 0.7};
    const int five = 5;
    rtablend_add("bench_cq", 1, &five, lambda, cq, nullptr);
    char cqname[] = "bench_cq";
    int one = 1, cubic = 1;
    double dh = 1e-3;
    cq_ = SetUpCqTable_disc_(cqname, &one, &one, &one, &sign, &dh, &cubic, &disc, &level);
    double re[] = {20.0, 100.0, 1000.0, 1e4}, c[] = {0.3, 0.55, 0.68, 0.7};
    int four = 4;
    zeta_ = SetUpCqTable_(&dh, c, re, &cubic, &four);
    by_re_ = SetUpCqReTable_(c, re, &cubic, &four);
    std::mt19937 gen(99);
    std::uniform_real_distribution<double> p(-3e6, 3e6);
    for (auto &x : p_) x = p(gen);
  }
  ~Tables() { KivReleaseSystem(sys_); }
  double pressure(size_t i) const { return p_[i & (p_.size() - 1)]; }
  int flow_, cq_, zeta_, by_re_;

 private:
  KIVSystem *sys_;
  std::vector<double> p_ = std::vector<double>(4096);
};

void FlowFromTable(benchmark::State &state) {
  Tables t;
  int unit = 0;
  double factor = 1.0, q = 0.0;
  size_t i = 0;
  for (auto _ : state) {
    double dp = t.pressure(i++);
    get_flow_from_table_(&t.flow_, &unit, &factor, &dp, &q);
    benchmark::DoNotOptimize(q);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FlowFromTable);

void CqFromSymmetricTable(benchmark::State &state) {
  Tables t;
  double rho = 850.0, nu = 4e-5, p1 = 0.0, cq = 0.0;
  size_t i = 0;
  for (auto _ : state) {
    double p2 = t.pressure(i++);
    get_cq_from_table_disc(&p1, &p2, &rho, &nu, &t.cq_, &cq);
    benchmark::DoNotOptimize(cq);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CqFromSymmetricTable);

void CoefficientOrifice(benchmark::State &state) {
  Tables t;
  double dh = 1e-3, A = 1e-6, rho = 850.0, nu = 4e-5, re, v, q, zeta;
  size_t i = 0;
  for (auto _ : state) {
    double dp = t.pressure(i++);
    orif_zeta_(&dp, &dh, &A, &re, &v, &q, &zeta, &rho, &nu, &t.zeta_);
    benchmark::DoNotOptimize(q);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CoefficientOrifice);

void OrificeInertia(benchmark::State &state) {
  Tables t;
  double A = 1e-6, dh = 1e-3, L = 0.05, dqdt, re, v, cq;
  size_t i = 0;
  for (auto _ : state) {
    double p1 = 1e7 + t.pressure(i), p2 = 1e7 + t.pressure(i + 1), q = 1e-6 * t.pressure(i) / 3e6;
    ++i;
    orifinertia_(&p1, &p2, &q, &A, &dh, &L, &t.by_re_, &dqdt, &re, &v, &cq);
    benchmark::DoNotOptimize(dqdt);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(OrificeInertia);

}  // namespace

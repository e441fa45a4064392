// Cost of one evaluation of a stored parameter expression, of its first
// derivative, and of checking the text into the forest.
#include <benchmark/benchmark.h>

#include "params/kiv_expr.h"

namespace {

// A polynomial, one with functions, one with comparisons and max/min.
const char *const kTexts[] = {
    "3.2*p^3-2.1*p^2+0.5*p*q-7.4*q+1",
    "sqrt(abs(p))*exp(-q/300)+log10(1+p^2)*sin(2*pi*q/50)",
    "(p>1e5)*max(q,1e-4*p,2)+(p<=1e5)*min(q,3)-(q>=p&&p!=0)",
};

struct System {
  System() : sys(KivCreateSystem()) { KivMakeCurrent(sys); }
  ~System() { KivReleaseSystem(sys); }
  int check(const char *text) { return CheckExpression(text, 2, names); }
  KIVSystem *sys;
  char p[2] = "p", q[2] = "q";
  char *names[2] = {p, q};
};

void BM_ExpEval(benchmark::State &state) {
  System s;
  int id = s.check(kTexts[state.range(0)]);
  double v[2] = {0.9e5, 40.0}, r = 0.0;
  for (auto _ : state) {
    v[0] += 1.0;
    expeval_(&id, v, &r);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_ExpEval)->DenseRange(0, 2);

void BM_ExpEvalD(benchmark::State &state) {
  System s;
  int id = s.check(kTexts[state.range(0)]), k = 1;
  double v[2] = {0.9e5, 40.0}, r = 0.0;
  for (auto _ : state) {
    v[0] += 1.0;
    expevald_(&id, &k, v, &r);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_ExpEvalD)->DenseRange(0, 2);

void BM_CheckExpression(benchmark::State &state) {
  System s;
  for (auto _ : state) {
    int id = s.check(kTexts[state.range(0)]);
    benchmark::DoNotOptimize(id);
    expfree_(&id);
  }
}
BENCHMARK(BM_CheckExpression)->DenseRange(0, 2);

}  // namespace

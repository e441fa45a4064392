// Side-by-side rows against widely used libraries doing the same work:
// expressions against muParser's bytecode, a periodic cubic spline of 721
// knots against GSL's periodic cubic with an accelerator, smoothing against
// a plain sliding-window loop.  Rows are "<case>/kiv" and "<case>/ref"; the
// driver prints their ratios.  Without a library its rows are left out.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "hydraulics/kiv_hydlaws.h"
#include "params/kiv_expr.h"
#include "runtime/kiv_runtime.h"
#include "tables/kiv_splinend.h"
#include "tables/kiv_splines.h"
#include "tables/splines1d.hpp"
#include "tables/splinend.hpp"

#ifdef KIV_BENCH_MUPARSER
#include <muParser.h>
#endif
#ifdef KIV_BENCH_GSL
#include <gsl/gsl_errno.h>
#include <gsl/gsl_spline.h>
#endif

namespace {

KIVSystem *benchSystem() {
  static KIVSystem *sys = [] {
    KIVSystem *s = KivCreateSystem();
    KivMakeCurrent(s);
    KivSetFirstCall(0);
    return s;
  }();
  KivMakeCurrent(sys);
  return sys;
}

// ---- Expressions ------------------------------------------------------------

const char *const kExpr[] = {"a*x^2+b*x+c", "sin(x)*exp(-y)+sqrt(abs(x))",
                             "max(x,y)+(x>y)*min(x,y)"};

struct Vars {
  double v[5] = {1.5, -2.25, 0.75, 0.3, 0.6};  // a b c x y
  void step() {
    v[3] += 1e-3;
    if (v[3] > 2.0) v[3] = -2.0;
  }
};

void Expr_kiv(benchmark::State &state) {
  benchSystem();
  static char a[] = "a", b[] = "b", c[] = "c", x[] = "x", y[] = "y";
  char *names[] = {a, b, c, x, y};
  int id = CheckExpression(kExpr[state.range(0)], 5, names);
  Vars in;
  double r = 0.0;
  for (auto _ : state) {
    in.step();
    expeval_(&id, in.v, &r);
    benchmark::DoNotOptimize(r);
  }
  expfree_(&id);
}
BENCHMARK(Expr_kiv)->Name("expr/0/kiv")->Arg(0);
BENCHMARK(Expr_kiv)->Name("expr/1/kiv")->Arg(1);
BENCHMARK(Expr_kiv)->Name("expr/2/kiv")->Arg(2);

#ifdef KIV_BENCH_MUPARSER
void Expr_ref(benchmark::State &state) {
  Vars in;
  mu::Parser p;
  const char *names[] = {"a", "b", "c", "x", "y"};
  for (int k = 0; k < 5; ++k) p.DefineVar(names[k], &in.v[k]);
  p.SetExpr(kExpr[state.range(0)]);
  double r = p.Eval();
  for (auto _ : state) {
    in.step();
    r = p.Eval();
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(Expr_ref)->Name("expr/0/ref")->Arg(0);
BENCHMARK(Expr_ref)->Name("expr/1/ref")->Arg(1);
BENCHMARK(Expr_ref)->Name("expr/2/ref")->Arg(2);
#endif

// ---- Periodic cubic spline of 721 knots by shaft angle ----------------------

constexpr int kKnots = 721;

struct Curve {
  std::vector<double> x, y;
  Curve() {
    for (int k = 0; k < kKnots; ++k) {
      const double a = 360.0 * k / (kKnots - 1);
      x.push_back(a);
      y.push_back(std::sin(a * M_PI / 180) + 0.3 * std::cos(12 * a * M_PI / 180));
    }
    y.back() = y.front();
  }
};

const Curve &curve() {
  static const Curve c;
  return c;
}

int spline1d() {
  benchSystem();
  static const int id = [] {
    const int n = kKnots, periodic = 3, cubic = 2;
    const double zero = 0.0;
    return splinit_(&n, curve().x.data(), curve().y.data(), &periodic, &zero, &periodic, &zero,
                    &cubic, &cubic);
  }();
  return id;
}

int createNd() {
  const int method = 1, dim = 1, n = kKnots, codes[2] = {3, 3}, ext[2] = {2, 2}, disc = 0;
  const double slopes[2] = {0.0, 0.0};
  double *axes[1] = {const_cast<double *>(curve().x.data())};
  return kivsplinitnd_(&method, &dim, &n, axes, curve().y.data(), codes, slopes, ext, &disc);
}

int splineNd() {
  benchSystem();
  static const int id = createNd();
  return id;
}

// Abscissas of the reading patterns: a slow sweep of 0.37 degree per read,
// random angles over several turns, 24 sites one pitch (15 degrees) apart
// moving together.
enum Pattern { kSweep, kRandom, kSites };

struct Angles {
  std::vector<double> random;
  double sweep = 0.0;
  int site = 0;
  size_t i = 0;
  Angles() : random(4096) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-720.0, 1080.0);
    for (double &a : random) a = u(rng);
  }
  double next(int pattern) {
    switch (pattern) {
      case kSweep: return sweep += 0.37;
      case kRandom: return random[i++ & 4095];
      default:
        if (site == 24) site = 0;
        if (site == 0) sweep += 0.37;
        return sweep + 15.0 * site++;
    }
  }
};

void Spline1d_kiv(benchmark::State &state) {
  const int id = spline1d();
  Angles in;
  for (auto _ : state) {
    const double a = in.next(static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(getspl_(&id, &a));
  }
}

void SplineNd_kiv(benchmark::State &state) {
  const int id = splineNd();
  Angles in;
  double v = 0.0;
  for (auto _ : state) {
    const double a = in.next(static_cast<int>(state.range(0)));
    spleval_(&id, &a, &v);
    benchmark::DoNotOptimize(v);
  }
}

// Value and slope: two calls (argument 0) or one (1).
void Slope1d_kiv(benchmark::State &state) {
  const int id = spline1d();
  Angles in;
  double d = 0.0;
  for (auto _ : state) {
    const double a = in.next(static_cast<int>(state.range(0)));
    if (state.range(1)) {
      benchmark::DoNotOptimize(kiv::sp1::CubicValueAndSlope(id, a, &d));
      benchmark::DoNotOptimize(d);
    } else {
      benchmark::DoNotOptimize(getspl_(&id, &a));
      benchmark::DoNotOptimize(getspd_(&id, &a));
    }
  }
}

// Value and slope: the public calls (argument 0) or one internal pass (1),
// as the gear pump reads its splines.
void SlopeNd_kiv(benchmark::State &state) {
  const int id = splineNd(), dir = 1;
  kiv::nd::NDSpline *s = kiv::nd::FindSpline(id);
  Angles in;
  double v = 0.0, d = 0.0;
  for (auto _ : state) {
    const double a = in.next(static_cast<int>(state.range(0)));
    if (state.range(1)) {
      v = kiv::nd::SplineEval(*s, &a, kiv::nd::kValueFirst, &dir, s->memory, &d);
    } else {
      spleval_(&id, &a, &v);
      splevald_(&id, &dir, &a, &d);
    }
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(d);
  }
}

void Build1d_kiv(benchmark::State &state) {
  benchSystem();
  const int n = kKnots, periodic = 3, cubic = 2;
  const double zero = 0.0;
  for (auto _ : state) {
    const int id = splinit_(&n, curve().x.data(), curve().y.data(), &periodic, &zero, &periodic,
                            &zero, &cubic, &cubic);
    benchmark::DoNotOptimize(id);
    freespl_(&id);
  }
}

void BuildNd_kiv(benchmark::State &state) {
  benchSystem();
  for (auto _ : state) {
    const int id = createNd();
    benchmark::DoNotOptimize(id);
    splfree_(&id);
  }
}

BENCHMARK(Spline1d_kiv)->Name("spline1d-sweep/kiv")->Arg(kSweep);
BENCHMARK(Spline1d_kiv)->Name("spline1d-random/kiv")->Arg(kRandom);
BENCHMARK(Spline1d_kiv)->Name("spline1d-24sites/kiv")->Arg(kSites);
BENCHMARK(SplineNd_kiv)->Name("splineNd-sweep/kiv")->Arg(kSweep);
BENCHMARK(SplineNd_kiv)->Name("splineNd-random/kiv")->Arg(kRandom);
BENCHMARK(SplineNd_kiv)->Name("splineNd-24sites/kiv")->Arg(kSites);
BENCHMARK(Slope1d_kiv)->Name("slope1d-sweep/kiv")->Args({kSweep, 1});
BENCHMARK(Slope1d_kiv)->Name("slope1d-random/kiv")->Args({kRandom, 1});
BENCHMARK(Slope1d_kiv)->Name("slope1d-sweep-two-calls/kiv")->Args({kSweep, 0});
BENCHMARK(Slope1d_kiv)->Name("slope1d-random-two-calls/kiv")->Args({kRandom, 0});
BENCHMARK(SlopeNd_kiv)->Name("slopeNd-sweep/kiv")->Args({kSweep, 1});
BENCHMARK(SlopeNd_kiv)->Name("slopeNd-random/kiv")->Args({kRandom, 1});
BENCHMARK(SlopeNd_kiv)->Name("slopeNd-sweep-two-calls/kiv")->Args({kSweep, 0});
BENCHMARK(SlopeNd_kiv)->Name("slopeNd-random-two-calls/kiv")->Args({kRandom, 0});
BENCHMARK(Build1d_kiv)->Name("build1d/kiv");
BENCHMARK(BuildNd_kiv)->Name("buildNd/kiv");

#ifdef KIV_BENCH_GSL
// The library's own folding of angles, done by the caller here.
double fold(double a) {
  const double f = std::fmod(a, 360.0);
  return f < 0.0 ? f + 360.0 : f;
}

struct GslSpline {
  gsl_spline *s = gsl_spline_alloc(gsl_interp_cspline_periodic, kKnots);
  gsl_interp_accel *acc = gsl_interp_accel_alloc();
  GslSpline() { gsl_spline_init(s, curve().x.data(), curve().y.data(), kKnots); }
  ~GslSpline() {
    gsl_interp_accel_free(acc);
    gsl_spline_free(s);
  }
};

void Spline_ref(benchmark::State &state) {
  GslSpline g;
  Angles in;
  for (auto _ : state) {
    const double a = fold(in.next(static_cast<int>(state.range(0))));
    benchmark::DoNotOptimize(gsl_spline_eval(g.s, a, g.acc));
  }
}

void Slope_ref(benchmark::State &state) {
  GslSpline g;
  Angles in;
  for (auto _ : state) {
    const double a = fold(in.next(static_cast<int>(state.range(0))));
    benchmark::DoNotOptimize(gsl_spline_eval(g.s, a, g.acc));
    benchmark::DoNotOptimize(gsl_spline_eval_deriv(g.s, a, g.acc));
  }
}

// Allocation and release included, as the library's own build does both.
void Build_ref(benchmark::State &state) {
  for (auto _ : state) {
    gsl_spline *s = gsl_spline_alloc(gsl_interp_cspline_periodic, kKnots);
    gsl_spline_init(s, curve().x.data(), curve().y.data(), kKnots);
    benchmark::DoNotOptimize(s);
    gsl_spline_free(s);
  }
}

BENCHMARK(Spline_ref)->Name("spline1d-sweep/ref")->Arg(kSweep);
BENCHMARK(Spline_ref)->Name("spline1d-random/ref")->Arg(kRandom);
BENCHMARK(Spline_ref)->Name("spline1d-24sites/ref")->Arg(kSites);
BENCHMARK(Spline_ref)->Name("splineNd-sweep/ref")->Arg(kSweep);
BENCHMARK(Spline_ref)->Name("splineNd-random/ref")->Arg(kRandom);
BENCHMARK(Spline_ref)->Name("splineNd-24sites/ref")->Arg(kSites);
BENCHMARK(Slope_ref)->Name("slope1d-sweep/ref")->Arg(kSweep);
BENCHMARK(Slope_ref)->Name("slope1d-random/ref")->Arg(kRandom);
BENCHMARK(Slope_ref)->Name("slope1d-sweep-two-calls/ref")->Arg(kSweep);
BENCHMARK(Slope_ref)->Name("slope1d-random-two-calls/ref")->Arg(kRandom);
BENCHMARK(Slope_ref)->Name("slopeNd-sweep/ref")->Arg(kSweep);
BENCHMARK(Slope_ref)->Name("slopeNd-random/ref")->Arg(kRandom);
BENCHMARK(Slope_ref)->Name("slopeNd-sweep-two-calls/ref")->Arg(kSweep);
BENCHMARK(Slope_ref)->Name("slopeNd-random-two-calls/ref")->Arg(kRandom);
BENCHMARK(Build_ref)->Name("build1d/ref");
BENCHMARK(Build_ref)->Name("buildNd/ref");
#endif

// ---- Smoothing: window 25, 25 passes over 1440 periodic samples -------------

constexpr int kSamples = 1440, kPasses = 25, kWindow = 25;

struct Noisy {
  std::vector<double> x, y;
  Noisy() {
    for (int k = 0; k < kSamples; ++k) {
      x.push_back(360.0 * k / (kSamples - 1));
      y.push_back(std::sin(x.back() * M_PI / 180) + 0.05 * std::sin(1.3 * k * k));
    }
    y.back() = y.front();
  }
};

// Argument 2: the samples sit slightly off the even grid, so the first pass
// resamples through its spline (the later ones are on the grid).
void Smooth_kiv(benchmark::State &state) {
  benchSystem();
  Noisy in;
  if (state.range(1))
    for (int k = 1; k < kSamples - 1; ++k) in.x[static_cast<size_t>(k)] += 0.01 * std::sin(k);
  const size_t bytes = sizeof(double) * kSamples;
  auto *x = static_cast<double *>(std::malloc(bytes));
  auto *y = static_cast<double *>(std::malloc(bytes));
  for (auto _ : state) {
    std::memcpy(x, in.x.data(), bytes);
    std::memcpy(y, in.y.data(), bytes);
    int kind = static_cast<int>(state.range(0)), method = 4, n = kSamples, codes[2] = {3, 3},
        disc = 0, window = kWindow;
    for (int p = 0; p < kPasses; ++p)
      savitzkygolay_filter_(&kind, &method, &n, &n, codes, &disc, &window, &x, &y);
    benchmark::DoNotOptimize(y[0]);
  }
  std::free(x);
  std::free(y);
}
BENCHMARK(Smooth_kiv)->Name("smooth-linear/kiv")->Args({1, 0});
BENCHMARK(Smooth_kiv)->Name("smooth-cubic/kiv")->Args({2, 0});
BENCHMARK(Smooth_kiv)->Name("smooth-cubic-offgrid/kiv")->Args({2, 1});

// The periodic curve extended by half a window on each side, then one
// weighted sum per sample.
void Smooth_ref(benchmark::State &state) {
  const Noisy in;
  constexpr int h = kWindow / 2, period = kSamples - 1;
  double c[kWindow];
  const double den = (2.0 * h - 1) * (2.0 * h + 1) * (2.0 * h + 3);
  for (int i = -h; i <= h; ++i) c[i + h] = (3.0 * (3 * h * h + 3 * h - 1) - 15.0 * i * i) / den;
  std::vector<double> ext(kSamples + 2 * h), out(kSamples), v(kSamples);
  for (auto _ : state) {
    v = in.y;
    for (int p = 0; p < kPasses; ++p) {
      for (int k = -h; k < kSamples + h; ++k)
        ext[static_cast<size_t>(k + h)] = v[static_cast<size_t>((k % period + period) % period)];
      for (int j = 0; j < kSamples; ++j) {
        double s = 0;
        for (int i = 0; i < kWindow; ++i) s += c[i] * ext[static_cast<size_t>(j + i)];
        out[static_cast<size_t>(j)] = s;
      }
      v.swap(out);
    }
    benchmark::DoNotOptimize(v[0]);
  }
}
BENCHMARK(Smooth_ref)->Name("smooth-linear/ref");
BENCHMARK(Smooth_ref)->Name("smooth-cubic/ref");
BENCHMARK(Smooth_ref)->Name("smooth-cubic-offgrid/ref");

}  // namespace

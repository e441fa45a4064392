// N-D spline evaluation: extrapolation, held ends, interval locking through
// the runtime's driver calls, time axes, integrals and the other operations.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tables/interp.hpp"
#include "tables/spline_support.hpp"
#include "tables/splinend.hpp"

namespace {

using kiv::test::deriv;
using kiv::test::deriv2;
using kiv::test::gradient;
using kiv::test::Grid;
using kiv::test::hessian;
using kiv::test::linspace;
using kiv::test::value;

class SplineEval : public kiv::test::SystemTest {
 public:
  // One value in this evaluation mode, and the answer word after it (not
  // looked at when -1).
  void step(int id, int mode, std::vector<double> x, double want, int answer = -1) {
    KivBeginEvaluation(mode);
    EXPECT_DOUBLE_EQ(value(id, x), want) << "mode " << mode << " x " << x[0];
    if (answer >= 0) { EXPECT_EQ(KivGetAnswerWord(), answer) << "mode " << mode << " x " << x[0]; }
  }
  static constexpr int O = KIV_EVAL_ORDINARY, L = KIV_EVAL_LOCATE, C = KIV_EVAL_CHECK;
};

TEST_F(SplineEval, CubicExtrapolationModes) {
  Grid g({linspace(0, 1, 6)});
  g.fill([](auto &v) { return v[0] * v[0] * v[0]; });
  g.codes = {2, 2};
  g.slopes = {0.0, 3.0};
  g.ext = {1, 1};
  const int lin = g.cubic();
  g.ext = {2, 2};
  const int cub = g.cubic();
  for (double x : {1.2, 2.0}) {
    EXPECT_NEAR(value(lin, {x}), 1 + 3 * (x - 1), 1e-12);
    EXPECT_EQ(deriv2(lin, 1, 1, {x}), 0.0);
    EXPECT_NEAR(value(cub, {x}), x * x * x, 1e-12);
    EXPECT_NEAR(deriv(cub, 1, {x}), 3 * x * x, 1e-11);
    EXPECT_NEAR(deriv2(cub, 1, 1, {x}), 6 * x, 1e-10);
  }
  EXPECT_NEAR(value(lin, {-0.5}), 0.0, 1e-15);
  EXPECT_NEAR(value(cub, {-0.5}), -0.125, 1e-12);
  // Value and slope in one pass, also through a linear spline.
  Grid line({linspace(0, 1, 6)});
  line.fill([](auto &v) { return 2 * v[0] + 1; });
  const int straight = line.linear(), dir = 1;
  for (double x : {0.3, 1.2, 2.0}) {
    const struct {
      int id;
      double value, slope;
    } cases[] = {{lin, x > 1 ? 1 + 3 * (x - 1) : x * x * x, x > 1 ? 3.0 : 3 * x * x},
                 {cub, x * x * x, 3 * x * x},
                 {straight, 2 * x + 1, 2.0}};
    for (const auto &c : cases) {
      kiv::nd::NDSpline *s = kiv::nd::FindSpline(c.id);
      double d = 0.0;
      EXPECT_NEAR(kiv::nd::SplineEval(*s, &x, kiv::nd::kValueFirst, &dir, s->memory, &d), c.value, 1e-11);
      EXPECT_NEAR(d, c.slope, 1e-10) << x;
    }
  }
}

// Along a held axis nothing varies, through every evaluator.
TEST_F(SplineEval, LinearAndConstantHeldEnds) {
  auto f = [](auto &v) { return 1 + 2 * v[0] + 3 * v[1] + 4 * v[0] * v[1]; };
  Grid g({{0, 1, 2}, {0, 0.5, 2}});
  g.fill(f);
  g.codes = {1, 2, 1, 1};  // x held above, else extended
  const int id = g.linear();
  const std::vector<double> in = {0.5, 1.0}, held = {3.0, 1.0}, edge = {2.0, 1.0}, ext = {-1.0, 3.0};
  EXPECT_DOUBLE_EQ(value(id, in), f(in));
  EXPECT_EQ(hessian(id, in), (std::vector<double>{0, 4, 0}));
  EXPECT_DOUBLE_EQ(value(id, held), f(edge));
  EXPECT_EQ(gradient(id, held), (std::vector<double>{0, 3 + 4 * 2.0}));
  EXPECT_EQ(hessian(id, held)[1], 0.0);
  EXPECT_DOUBLE_EQ(value(id, ext), f(ext));  // extended in x below and in y above
  EXPECT_DOUBLE_EQ(deriv(id, 2, ext), 3 + 4 * -1.0);
  EXPECT_DOUBLE_EQ(deriv2(id, 2, 1, ext), 4.0);

  Grid c({{0, 1, 2}, {10, 20}});
  c.values = {1, 2, 3, 4, 5, 6};
  const int cid = c.constant();
  for (auto [x, y, want] : {std::tuple{-5.0, 0.0, 1.0}, {1.5, 15.0, 2.0}, {9.0, 15.0, 3.0}, {9.0, 25.0, 6.0}})
    EXPECT_EQ(value(cid, {x, y}), want);
  EXPECT_EQ(gradient(cid, {0.5, 15}), (std::vector<double>{0, 0}));
  // The one-by-one form writes its zero too.
  const int one = 1;
  double x = 0.5, y = 15, r = 99;
  EXPECT_EQ(splevalvd_(&cid, &one, &x, &y, &r), 1);
  EXPECT_EQ(r, 0.0);
}

TEST_F(SplineEval, LinearIntervalHeldWhileLocating) {
  Grid g({{0, 1, 2, 4}});
  g.values = {0, 2, 1, 5};
  g.disc = 1;
  const int id = g.linear();
  step(id, O, {0.5}, 1.0);
  step(id, L, {1.5}, 3.0, 4);  // the first segment continues
  step(id, C, {1.5}, 3.0);
  step(id, O, {1.5}, 1.5);
  step(id, L, {1.7}, 1.3, 2);  // same segment: nothing to report
  // A memory outside the axis is none: fresh interval, nothing reported.
  for (int garbage : {-2, -9, 4, 57}) {
    kiv::nd::FindSpline(id)->memory.interval[0] = garbage;
    step(id, L, {3.0}, 3.0, 2);
    EXPECT_EQ(kiv::nd::FindSpline(id)->memory.interval[0], 2);
  }
  // Without the flag nothing is held.
  g.disc = 0;
  const int free_id = g.linear();
  step(free_id, O, {0.5}, 1.0);
  step(free_id, L, {1.5}, 1.5, 2);
}

TEST_F(SplineEval, TimeAxisAnnouncesKnots) {
  Grid g({{0, 1, 2, 3}, {0, 1}});
  g.fill([](auto &v) { return v[0] * v[0] + v[1]; });
  g.codes = {2, 2, 1, 1};
  g.disc = 1;
  const int id = g.linear();
  const int axis = 0, on = 1, neg = -1, two = 2;
  EXPECT_EQ(splxtime_(&id, &axis, &on), 1);
  EXPECT_EQ(splxtime_(&id, &neg, &on), 0);
  EXPECT_EQ(splxtime_(&id, &two, &on), 0);
  EXPECT_EQ(takeErr(),
            "\n\nCall to splxtime with invalid axis index -1\n"
            "\n\nCall to splxtime with invalid axis index 2\n");
  KivSetTime(0.5);
  step(id, O, {0.5, 0.5}, 1.0);
  step(id, L, {1.7, 0.5}, 0.5 + 1.7, 2);  // first segment y = x; a time knot is not a located crossing
  double t = 0;
  ASSERT_EQ(KivGetTimeEvent(&t), 1);
  EXPECT_EQ(t, 1.0);
  // Before the first knot (the held first segment continues): no knot to
  // announce, nothing read.
  KivClearTimeEvent();
  step(id, L, {-1.0, 0.5}, -0.5, 2);
  EXPECT_EQ(KivGetTimeEvent(&t), 0);
  // A cyclic axis never becomes a time axis.
  Grid c({{0, 1, 2}});
  c.values = {0, 1, 0};
  c.codes = {3, 3};
  const int cid = c.linear();
  EXPECT_EQ(splxtime_(&cid, &axis, &on), 1);
  EXPECT_EQ(kiv::nd::FindSpline(cid)->time_axis[0], 0);
}

// Integral from 0 of the piecewise-linear (or constant) function, summed
// segment by segment over the knots between 0 and x.
double pieceIntegral(const std::vector<double> &xs, const std::vector<double> &ys, double x, bool linear) {
  auto f = [&](double v) {
    if (v <= xs.front()) return ys.front();
    if (v >= xs.back()) return ys.back();
    size_t i = 0;
    while (v >= xs[i + 1]) ++i;
    return linear ? ys[i] + (ys[i + 1] - ys[i]) * (v - xs[i]) / (xs[i + 1] - xs[i]) : ys[i];
  };
  std::vector<double> pts = {0.0, x};
  for (double k : xs)
    if (k > std::min(0.0, x) && k < std::max(0.0, x)) pts.push_back(k);
  std::sort(pts.begin(), pts.end());
  double sum = 0;
  for (size_t i = 0; i + 1 < pts.size(); ++i) {
    const double a = pts[i], b = pts[i + 1];
    sum += linear ? (b - a) * (f(a) + f(b)) / 2 : (b - a) * f(a + (b - a) * 1e-9);
  }
  return x >= 0 ? sum : -sum;
}

double integral(int id, double x) {
  double out = -12345;
  EXPECT_EQ(splevali_(&id, &x, &out), 1);
  return out;
}

TEST_F(SplineEval, IntegralsOfOneAxisSplines) {
  const std::vector<double> xs = {-1, 0.5, 1, 2.5, 4}, ys = {3, -1, 2, 2.5, 0};
  Grid g({xs});
  g.values = ys;
  g.codes = {2, 2};  // hold
  const int lin = g.linear();
  g.codes = {1, 1};  // hold, for the constant kind
  const int con = g.constant();
  for (double x : {-3.0, -1.0, -0.2, 0.0, 0.7, 2.0, 4.0, 6.5}) {
    EXPECT_NEAR(integral(lin, x), pieceIntegral(xs, ys, x, true), 1e-12) << x;
    EXPECT_NEAR(integral(con, x), pieceIntegral(xs, ys, x, false), 1e-12) << x;
  }
  // Extended ends: the end segments continue.
  const int ext = g.linear();
  EXPECT_NEAR(integral(ext, 5.0), pieceIntegral(xs, ys, 4.0, true) + (0 + (0 - 2.5 / 1.5)) / 2, 1e-12);
  // Axis entirely above 0: y(0) = -1 on the extended first segment, so the
  // integral over 0..1 is 0, then 2 + 1.375.
  Grid p({{1, 2, 3}});
  p.values = {1, 3, 2};
  EXPECT_NEAR(integral(p.linear(), 2.5), 0.0 + 2.0 + 0.5 * (3 + 2.5) / 2, 1e-12);
  // A cyclic axis counts whole periods.
  Grid c({{0, 1, 2}});
  c.values = {1, 3, 1};
  c.codes = {2, 2};
  const int cyc = c.constant();
  EXPECT_NEAR(integral(cyc, 5.5), 2 * 4.0 + 1.0 + 1.5, 1e-12);
  EXPECT_NEAR(integral(cyc, -0.5), -1.5, 1e-12);  // -(integral from 1.5 to 2 of 3)
  // Linear and cyclic: one period integrates to 4, however many periods
  // lie between 0 and x, also more than an int counts.
  c.codes = {3, 3};
  const int lcyc = c.linear();
  for (double k : {3.0, 1e10, -1e10, 1e20}) EXPECT_EQ(integral(lcyc, 2 * k), 4 * k) << k;
  EXPECT_NEAR(integral(lcyc, 1e300) / 2e300, 1.0, 1e-15);
  // A single point is never cyclic.
  Grid one(std::vector<std::vector<double>>{{2.0}});
  one.values = {4.5};
  one.codes = {2, 2};
  const int sid = one.constant();
  for (double x : {-1e9, 2.0, 3.0, 1e9}) EXPECT_EQ(value(sid, {x}), 4.5);
  EXPECT_DOUBLE_EQ(integral(sid, 10.0), 45.0);
}

TEST_F(SplineEval, ExtrapolationStates) {
  Grid g({{0, 1}});
  g.values = {0, 1};
  const int id = g.linear();
  auto at = [&](double x) { return splextrapol_(&id, &x); };
  for (auto [x, want] : {std::pair{0.5, 0}, {1.5, 1}, {2.0, 0}, {-1.0, 1}, {0.5, 0}, {1.5, 1}})
    EXPECT_EQ(at(x), want) << x;
  KivBeginEvaluation(KIV_EVAL_LOCATE);
  EXPECT_EQ(at(1.2), 0);
  EXPECT_EQ(KivGetAnswerWord(), 2);
  EXPECT_EQ(at(0.9), 0);  // back in range: reported, state kept
  EXPECT_EQ(KivGetAnswerWord(), 4);
}

// ---- Reads of cubic tables, bit for bit against a plain read ---------------

uint64_t bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Same bits, or both NaN.
::testing::AssertionResult sameBits(double got, double want) {
  if (bits(got) == bits(want) || (std::isnan(got) && std::isnan(want)))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hexfloat << got << " instead of " << want;
}

// A cubic read the plain way: every cyclic coordinate folded by the shared
// fold, the cell found by a linear scan, the ends clamped, the patch taken
// as stored, continued linearly along the axes whose extrapolation is linear.
struct PlainRead {
  double value, slope;  // slope along internal axis 0
  int interval[kiv::nd::kMaxCubicDim];
};
PlainRead plainRead(const kiv::nd::NDSpline &s, const double *x) {
  using kiv::nd::EvalNcubic;
  using kiv::nd::EvalNcubicDerivative;
  using kiv::nd::EvalNcubicSecondDerivative;
  const int d = s.dim;
  double t[kiv::nd::kMaxCubicDim] = {}, h[kiv::nd::kMaxCubicDim] = {}, delta[kiv::nd::kMaxCubicDim] = {};
  bool flag[kiv::nd::kMaxCubicDim] = {};
  PlainRead r{};
  long rank = 0;
  for (int k = 0; k < d; ++k) {
    const double *a = s.axes[k].data();
    const int n = s.sizes[k];
    double v = x[s.pivot[k]];
    if (s.cyclic(k)) {
      double turns;
      kiv::interp::fold(x[s.pivot[k]], a[0], a[n - 1], v, turns);
    }
    int i = -1;  // a NaN stays below every knot
    while (i + 1 < n && a[i + 1] <= v) ++i;
    r.interval[k] = i;
    double c = v;
    flag[k] = false;
    if (i < 0) {
      i = 0;
      if (s.ext[2 * k] == 1) flag[k] = true, c = a[0];
    } else if (i >= n - 1) {
      i = n - 2;
      if (s.ext[2 * k + 1] == 1) flag[k] = true, c = a[n - 1];
    }
    h[k] = a[i + 1] - a[i];
    t[k] = (c - a[i]) / h[k];
    delta[k] = v - c;
    rank += i * s.vstride[k];
  }
  const double *p = s.patches[static_cast<size_t>(rank)];
  const int stride = 1 << (2 * (d - 1));
  r.value = EvalNcubic(t, h, p, d, stride);
  for (int k = 0; k < d; ++k)
    if (flag[k]) r.value += EvalNcubicDerivative(t, h, p, d, stride, k + 1) * delta[k];
  r.slope = EvalNcubicDerivative(t, h, p, d, stride, 1);
  if (!flag[0])
    for (int k = 1; k < d; ++k)
      if (flag[k]) r.slope += EvalNcubicSecondDerivative(t, h, p, d, stride, 1, k + 1) * delta[k];
  return r;
}

// Angles that test the folding and the cell search: random ones over many
// turns either side, knots and the period seam shifted by whole turns, and
// their neighbours, tiny, huge and non-finite values.
std::vector<double> foldingAngles(const std::vector<double> &a, std::mt19937 &rng) {
  const double a0 = a.front(), an = a.back(), P = an - a0, inf = std::numeric_limits<double>::infinity();
  std::vector<double> xs;
  std::uniform_real_distribution<double> turns(-6 * P, 9 * P), wide(-1e7, 1e7);
  std::uniform_int_distribution<size_t> knot(0, a.size() - 1);
  std::uniform_int_distribution<int> shift(-40, 40);
  for (int j = 0; j < 1500; ++j) xs.push_back(turns(rng));
  for (int j = 0; j < 300; ++j) xs.push_back(wide(rng));
  for (int j = 0; j < 800; ++j) {
    const double on = a[knot(rng)] + shift(rng) * P;
    xs.insert(xs.end(), {on, std::nextafter(on, -inf), std::nextafter(on, inf)});
  }
  // The seam m turns away, read after an angle in the turn below it and
  // after one in the turn above it.
  for (int m = -400; m <= 400; ++m)
    for (double e : {a0 + m * P, an + (m - 1) * P})
      for (double before : {m - 0.5, m + 0.5})
        xs.insert(xs.end(), {a0 + before * P, e, std::nextafter(e, -inf), std::nextafter(e, inf)});
  for (double e : {0.0, -0.0, 1e-300, -1e-300, 1e300, -1e300, 1e15 * P, 1e17, -3e16, 2147483648.0 * P,
                   inf, -inf, std::nan("")})
    xs.push_back(e);
  return xs;
}

void expectPlainReads(int id, const std::vector<double> &xs, size_t dims) {
  kiv::nd::NDSpline &s = *kiv::nd::FindSpline(id);
  const int dir = 1;
  std::vector<double> x(dims, 0.3);
  // Through the public read with the spline's own memory, in this order and
  // in steps one pitch apart with a memory per site.
  kiv::nd::Memory sites[24];
  for (size_t j = 0; j < xs.size(); ++j) {
    x[0] = xs[j];
    if (dims > 1) x[dims - 1] = xs[xs.size() - 1 - j] / 400;
    const PlainRead want = plainRead(s, x.data());
    double got = 0, slope = 0;
    ASSERT_EQ(spleval_(&id, x.data(), &got), 1);
    EXPECT_TRUE(sameBits(got, want.value)) << "x " << std::hexfloat << x[0];
    if (!std::isnan(x[0])) {
      EXPECT_EQ(s.memory.interval[0], want.interval[0]) << std::hexfloat << x[0];
    }
    ASSERT_EQ(splevald_(&id, &dir, x.data(), &slope), 1);
    EXPECT_TRUE(sameBits(slope, want.slope)) << "x " << std::hexfloat << x[0];
    kiv::nd::Memory &m = sites[j % 24];
    const double both = kiv::nd::SplineEval(s, x.data(), kiv::nd::kValueFirst, &dir, m, &slope);
    EXPECT_TRUE(sameBits(both, want.value)) << "x " << std::hexfloat << x[0];
    EXPECT_TRUE(sameBits(slope, want.slope)) << "x " << std::hexfloat << x[0];
    x[0] = xs[j] + 15.0 * static_cast<double>(j % 24);
    EXPECT_TRUE(sameBits(kiv::nd::SplineEvalAt(id, x.data(), kiv::nd::kValue, 1, m), plainRead(s, x.data()).value))
        << "x " << std::hexfloat << x[0];
  }
}

TEST_F(SplineEval, CyclicCubicReadsMatchAPlainReadBitForBit) {
  std::mt19937 rng(11);
  // Even knots over one turn, and uneven knots over periods that no decimal
  // fraction divides cleanly.
  std::vector<double> even = linspace(0, 360, 721), uneven = {-37.3}, fromZero = {0.0};
  std::uniform_real_distribution<double> step(0.05, 1.9);
  while (uneven.size() < 400) uneven.push_back(uneven.back() + step(rng));
  while (fromZero.size() < 300) fromZero.push_back(fromZero.back() + step(rng));
  for (const auto &axis : {even, uneven, fromZero}) {
    Grid g({axis});
    g.fill([](auto &v) { return std::sin(v[0] * 0.0174) + 0.3 * std::cos(v[0] * 0.21); });
    g.values.back() = g.values.front();
    g.codes = {3, 3};
    const int id = g.cubic();
    ASSERT_GE(id, 0);
    auto xs = foldingAngles(axis, rng);
    expectPlainReads(id, xs, 1);
    std::shuffle(xs.begin(), xs.end(), rng);
    expectPlainReads(id, xs, 1);
  }
}

// Ends continued linearly or along the end cubic, on a one-axis table and
// on a 2-D table cyclic along its first axis.
TEST_F(SplineEval, CubicEndsAndTwoAxisReadsMatchAPlainReadBitForBit) {
  std::mt19937 rng(12);
  Grid line({linspace(-2, 3, 41)});
  line.fill([](auto &v) { return v[0] * v[0] * v[0] - v[0]; });
  for (int left : {1, 2})
    for (int right : {1, 2}) {
      line.ext = {left, right};
      std::vector<double> xs;
      std::uniform_real_distribution<double> u(-9, 9);
      for (int j = 0; j < 600; ++j) xs.push_back(u(rng));
      for (double e : line.axes[0]) xs.insert(xs.end(), {e, std::nextafter(e, -10.0), std::nextafter(e, 10.0)});
      expectPlainReads(line.cubic(), xs, 1);
    }
  Grid g({linspace(0, 360, 73), linspace(0, 1, 5)});
  g.fill([](auto &v) { return std::sin(v[0] * 0.0174533) * (1 + v[1] * v[1]); });
  for (size_t j = 0; j < 5; ++j) g.values[j * 73 + 72] = g.values[j * 73];
  g.codes = {3, 3, 1, 1};
  g.ext = {2, 2, 1, 1};
  const int id = g.cubic();
  ASSERT_GE(id, 0);
  auto xs = foldingAngles(g.axes[0], rng);
  xs.pop_back();  // NaN: its second coordinate would be NaN too
  expectPlainReads(id, xs, 2);
}

}  // namespace

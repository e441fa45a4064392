// Savitzky-Golay smoothing of a tabulated curve given at arbitrary
// abscissae: interpolated by a 1-D spline, resampled on an even grid and
// convolved with the quadratic smoothing coefficients of the window.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "hydraulics/kiv_hydlaws.h"
#include "tables/kiv_splinend.h"

namespace {

// Least-squares quadratic (equally cubic) smoothing weights of a window of
// w = 2h + 1 points, i = -h..h:
//   c_i = (3 (3h^2 + 3h - 1) - 15 i^2) / ((2h - 1)(2h + 1)(2h + 3)).
// Numerator and denominator are exact integers, so every weight is the
// correctly rounded value of the rational.
template <int W>
constexpr std::array<double, W> sgFactors() {
  constexpr int h = (W - 1) / 2;
  std::array<double, W> c{};
  const double den = (2.0 * h - 1.0) * (2.0 * h + 1.0) * (2.0 * h + 3.0);
  for (int i = -h; i <= h; ++i) c[i + h] = (3.0 * (3 * h * h + 3 * h - 1) - 15.0 * i * i) / den;
  return c;
}

constexpr auto SG5factors = sgFactors<5>();
constexpr auto SG7factors = sgFactors<7>();
constexpr auto SG9factors = sgFactors<9>();
constexpr auto SG11factors = sgFactors<11>();
constexpr auto SG13factors = sgFactors<13>();
constexpr auto SG15factors = sgFactors<15>();
constexpr auto SG17factors = sgFactors<17>();
constexpr auto SG19factors = sgFactors<19>();
constexpr auto SG21factors = sgFactors<21>();
constexpr auto SG23factors = sgFactors<23>();
constexpr auto SG25factors = sgFactors<25>();

// Weights of an odd window of 5 to 25 points, or nullptr.
const double *factorsOf(int window) {
  static constexpr const double *table[] = {
      SG5factors.data(),  SG7factors.data(),  SG9factors.data(),  SG11factors.data(),
      SG13factors.data(), SG15factors.data(), SG17factors.data(), SG19factors.data(),
      SG21factors.data(), SG23factors.data(), SG25factors.data()};
  if (window < 5 || window > 25 || window % 2 == 0) return nullptr;
  return table[(window - 5) / 2];
}

// The spline of the input curve, freed when the filter is done with it:
// nobody else knows its id, and set-ups call the filter many times.
class CurveSpline {
 public:
  CurveSpline(int linear, int *slope_method, int *n, int *codes, int *disc, double *x,
              double *y) {
    const int dim = 1;
    double *axes[1] = {x};
    if (linear == 1) {
      id_ = lsplinitnd_(&dim, n, axes, y, codes, disc);
    } else {
      const double end_slopes[2] = {0.0, 0.0};
      const int ext_modes[2] = {2, 2};
      id_ = kivsplinitnd_(slope_method, &dim, n, axes, y, codes, end_slopes, ext_modes, disc);
    }
  }
  ~CurveSpline() {
    if (id_ >= 0) kiv::nd::FreeSpline(id_);
  }
  CurveSpline(const CurveSpline &) = delete;
  CurveSpline &operator=(const CurveSpline &) = delete;
  bool valid() const { return id_ >= 0; }
  double at(double x) const {
    double v = 0.0;
    kiv::nd::SplineValue(id_, &x, &v);
    return v;
  }

 private:
  int id_ = -1;
};

// A periodic curve whose samples already sit on the output grid (a smoothed
// curve passed again) is its own resampling, since an interpolating spline
// goes through its knots; only a curve the spline would accept qualifies.
bool onGrid(const double *x, const double *y, int n, int m, double xmin, double dx) {
  if (n != m || y[n - 1] != y[0]) return false;
  const double tol = 1e-12 * std::fabs(dx) * m;
  for (int j = 0; j < n; ++j)
    if (!(std::fabs(x[j] - (xmin + j * dx)) <= tol) || !std::isfinite(y[j])) return false;
  return true;
}

// out[j] = sum over i of c[i] e[j + i], each sum taken in window order from
// zero; blocks of outputs share the loads of the weights.
void convolve(const double *e, const double *c, int w, int n, double *out) {
  constexpr int B = 8;
  int j = 0;
  for (; j + B <= n; j += B) {
    double acc[B] = {};
    for (int i = 0; i < w; ++i) {
      const double ci = c[i];
      const double *src = e + j + i;
      for (int k = 0; k < B; ++k) acc[k] += ci * src[k];
    }
    for (int k = 0; k < B; ++k) out[j + k] = acc[k];
  }
  for (; j < n; ++j) {
    double acc = 0.0;
    for (int i = 0; i < w; ++i) acc += c[i] * e[j + i];
    out[j] = acc;
  }
}

int refuse(const char *message) {
  kivfprintf(stderr, "%s", message);
  return -1;
}

}  // namespace

extern "C" {

int savitzkygolay_filter_(int *linear, int *slope_method, int *n, int *m, int *boundary_codes,
                          int *disc_flag, int *window, double **x, double **y) {
  const int w = *window;
  const double *c = factorsOf(w);
  if (!c) {
    kivfprintf(stderr,
               "Call with an invalid number of points (%d).\nExpected values are 5, 7, 9, 11, "
               "13, 15, 17, 19, 21, 23 or 25.\nNo filter applied.\n",
               w);
    return -1;
  }
  const int nin = *n, nout = *m;
  const bool periodic = boundary_codes[0] == 3;
  if (!x || !y || !*x || !*y) return refuse("Call without a curve.\nNo filter applied.\n");
  if (nin < 2 || nout < 2) {
    kivfprintf(stderr,
               "Call with too few points (%d in, %d out); at least 2 of each are needed.\n"
               "No filter applied.\n",
               nin, nout);
    return -1;
  }
  if (periodic && nout < w) {
    kivfprintf(stderr,
               "Call on a periodic curve of %d points, fewer than the window (%d).\n"
               "No filter applied.\n",
               nout, w);
    return -1;
  }
  // Every sample position must be an int.
  if (static_cast<long long>(nout) + w - 1 > std::numeric_limits<int>::max())
    return refuse("Error during memory allocation.\n");
  const int h = (w - 1) / 2;
  // A periodic curve is sampled over one period; otherwise h samples beyond
  // each end complete the windows of the end points.
  const int N = periodic ? nout : nout + w - 1;
  const int s = periodic ? 0 : h;

  const auto [lo, hi] = std::minmax_element(*x, *x + nin);
  const double xmin = *lo, dx = (*hi - xmin) / (nout - 1);
  const bool same = periodic && onGrid(*x, *y, nin, nout, xmin, dx);
  std::optional<CurveSpline> spline;
  if (!same) {
    spline.emplace(*linear, slope_method, n, boundary_codes, disc_flag, *x, *y);
    if (!spline->valid()) return refuse("Error defining spline.\n");
  }

  // e[k + h] is the sample of grid position k = -h .. m-1+h.  A periodic
  // curve folds positions outside 0..m-1 by its period of m - 1 intervals.
  std::vector<double> e;
  try {
    e.resize(static_cast<size_t>(nout + w - 1));
  } catch (const std::bad_alloc &) {
    return refuse("Error during memory allocation.\n");
  }
  if (same)
    std::copy(*y, *y + nout, e.data() + h);
  else
    for (int k = -s; k < N - s; ++k) e[static_cast<size_t>(k + h)] = spline->at(xmin + k * dx);
  if (periodic) {
    double *v = e.data() + h;  // v[0..m-1]
    v[nout - 1] = v[0];
    for (int k = 1; k <= h; ++k) {
      v[-k] = v[nout - 1 - k];
      v[nout - 1 + k] = v[k];
    }
  }

  // New arrays first, so that a failure leaves the caller's curve whole.
  // The samples are in e, so the caller's own arrays take the result.
  double *nx = *x, *ny = *y;
  if (nout != nin) {
    nx = static_cast<double *>(std::malloc(sizeof(double) * static_cast<size_t>(nout)));
    if (!nx) return refuse("Memory allocation error while resizing *x array.\n");
    ny = static_cast<double *>(std::malloc(sizeof(double) * static_cast<size_t>(nout)));
    if (!ny) {
      std::free(nx);
      return refuse("Memory allocation error while resizing *y array.\n");
    }
    std::free(*x);
    std::free(*y);
    *x = nx;
    *y = ny;
  }
  for (int j = 0; j < nout; ++j) nx[j] = xmin + j * dx;
  convolve(e.data(), c, w, nout, ny);
  return 0;
}

}  // extern "C"

// Inline interval search and cyclic folding, shared by the flat functions of
// kiv_interp.h and by every interpolant's evaluation path.
//
// The searches assume a non-decreasing axis.  The search from a remembered
// interval gives exactly the result of a plain linear scan from it (NaN
// included) but takes only a few local steps before it brackets the value
// and bisects, so a value far from the remembered interval costs O(log n).
#pragma once

#include <climits>
#include <cmath>

#include "runtime/kiv_runtime.h"

namespace kiv::interp {

// Last i in [lo, hi) with a[i] <= x, knowing a[lo] <= x < a[hi] (x not
// NaN).  Branch-free halving: the result is the unique such i.
inline int lastAtOrBelowIn(double x, const double *a, int lo, int hi) {
  int base = lo, len = hi - lo;
  while (len > 1) {
    const int half = len >> 1;
    base = a[base + half] <= x ? base + half : base;
    len -= half;
  }
  return base;
}

// The same bracket search, first trying the point where x would lie on an
// evenly spaced axis (one or two comparisons on the angle and time axes that
// are usually tabulated); the result is the same unique i.
// From a guess g in [lo, hi): any guess gives that i, a good one at once.
inline int locateFrom(double x, const double *a, int lo, int hi, int g) {
  if (a[g] <= x) {
    if (x < a[g + 1]) return g;
    lo = g + 1;  // a[lo] <= x < a[hi], so lo < hi
    if (x < a[lo + 1]) return lo;
  } else {
    if (a[g - 1] <= x) return g - 1;  // g > lo since a[lo] <= x < a[g]
    hi = g - 1;
  }
  return lastAtOrBelowIn(x, a, lo, hi);
}

inline int locate(double x, const double *a, int lo, int hi) {
  if (hi - lo > 8) {
    const double f = (x - a[lo]) / (a[hi] - a[lo]);
    if (f >= 0.0 && f < 1.0) {
      const int g = lo + static_cast<int>(f * (hi - lo));
      return locateFrom(x, a, lo, hi, g > hi - 1 ? hi - 1 : g);
    }
  }
  return lastAtOrBelowIn(x, a, lo, hi);
}

// Interval of x: -1 below a[0], n-1 at or above a[n-1], else a[i] <= x < a[i+1].
inline int bisect(double x, const double *a, int n) {
  if (n < 1 || a[0] > x) return -1;
  if (x >= a[n - 1]) return n - 1;
  if (std::isnan(x)) return 0;  // where halving on "x >= a[mid]" ends
  return locate(x, a, 0, n - 1);
}

// The same as bisect, the guess taken with scale = (n - 1) / (a[n-1] - a[0])
// kept by the caller, so that no division precedes the comparisons.
inline int bisectScaled(double x, const double *a, int n, double scale) {
  if (n < 1 || a[0] > x) return -1;
  if (x >= a[n - 1]) return n - 1;
  if (std::isnan(x)) return 0;
  if (n - 1 <= 8) return lastAtOrBelowIn(x, a, 0, n - 1);
  const double f = (x - a[0]) * scale;
  return locateFrom(x, a, 0, n - 1, !(f > 0.0) ? 0 : f < n - 2 ? static_cast<int>(f) : n - 2);
}

inline constexpr int kLocalSteps = 4;

// First j in [j0, n) with a[j] > x, n when none; a[j0-1] <= x is known.
inline int firstAbove(double x, const double *a, int n, int j0) {
  int j = j0;
  for (int s = 0; s < kLocalSteps && j < n; ++s, ++j)
    if (a[j] > x) return j;
  if (j >= n || !(a[n - 1] > x)) return n;  // NaN is never below a point
  return locate(x, a, j - 1, n - 1) + 1;
}

// Last j in [0, j0] with x >= a[j], -1 when none; x < a[j0+1] is known.
inline int lastAtOrBelow(double x, const double *a, int j0) {
  int j = j0;
  for (int s = 0; s < kLocalSteps && j >= 0; ++s, --j)
    if (x >= a[j]) return j;
  if (j < 0 || !(x >= a[0])) return -1;
  return locate(x, a, 0, j + 1);
}

// Moves the remembered interval i to the interval of x; 1 when it changed
// or had to be put back in range.
inline int checkInterval(double x, const double *a, int n, int &i) {
  if (n < 1) {
    const int changed = i != -1;
    i = -1;
    return changed;
  }
  int put_back = 0;
  if (i < -1) {
    i = -1;
    if (x < a[0]) return 1;
    i = firstAbove(x, a, n, 1) - 1;
    return 1;
  }
  if (i >= n) {
    i = n - 1;
    put_back = 1;
  }
  if (i == -1) {
    if (x < a[0]) return put_back;
    i = firstAbove(x, a, n, 1) - 1;
    return 1;
  }
  if (i < n - 1) {
    if (a[i] <= x && x < a[i + 1]) return put_back;
    if (x < a[i]) {
      i = lastAtOrBelow(x, a, i - 1);
      return 1;
    }
    i = firstAbove(x, a, n, i + 2) - 1;
    return 1;
  }
  if (x >= a[n - 1]) return put_back;
  i = lastAtOrBelow(x, a, n - 2);
  return 1;
}

// Folds x into [a0, an): y and the whole number of periods k taken off
// (y = x - k*P for ordinary values).  Returns false, with y = x and k = 0,
// when there is no positive period or x is not finite.  Values so large
// that the period no longer divides them cleanly fold with fmod instead of
// stepping period by period; their count is a double, which no integer
// type could hold.
inline bool fold(double x, double a0, double an, double &y, double &k) {
  const double P = an - a0;
  y = x;
  k = 0;
  if (!(P > 0) || !std::isfinite(P) || !std::isfinite(x)) return false;
  // Already in range: the quotient below is then < 1 and y = x exactly.
  if (x >= a0 && x < an && x - a0 < P) {
    y = x;
    return true;
  }
  // One period above, the usual case, takes no division: the quotient of
  // P <= d < 2P is in [1, 2) after rounding too.
  const double d0 = x - a0;
  const double q = d0 >= P && d0 < 2 * P ? 1.0 : std::trunc(d0 / P);
  if (std::fabs(q) < 1e15) {
    double v = x - q * P;
    long long c = static_cast<long long>(q);
    int steps = 0;
    bool ok = true;
    while (v < a0) {
      if (++steps > 4) {
        ok = false;
        break;
      }
      v += P;
      --c;
    }
    while (ok && v >= an) {
      if (++steps > 8) {
        ok = false;
        break;
      }
      v -= P;
      if (v < a0) v = a0;
      ++c;
    }
    if (ok) {
      y = v;
      k = static_cast<double>(c);
      return true;
    }
  }
  const double d = x - a0;
  if (!std::isfinite(d)) return false;
  double r = std::fmod(d, P);
  if (r < 0) r += P;
  double v = a0 + r;
  if (!(v < an) || v < a0) v = a0;
  y = v;
  k = std::nearbyint((d - r) / P);
  return true;
}

inline int saturateInt(double v) {
  return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// x minus k periods.  Ordinary evaluation (held false): k becomes the count
// that folds x into [a[0], a[n-1]).  Held: k is kept and a differing count
// is reported with disloc_, so the result may lie outside the range.
// Without a positive period: x, with a count of 0 unless held.
inline double foldCounted(double x, const double *a, int n, int &k, bool held) {
  double y, c;
  if (n < 2 || !fold(x, a[0], a[n - 1], y, c)) {
    if (!held) k = 0;
    return x;
  }
  const double P = a[n - 1] - a[0];
  const int kp = saturateInt(c);
  if (held) {
    int cond = kp != k;
    if (cond) disloc_(&cond);
    return x - k * P;
  }
  k = kp;
  // A count too large for an int cannot give x back exactly: use the fold.
  return kp != c ? y : x - kp * P;
}

}  // namespace kiv::interp

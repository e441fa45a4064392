// Pieces shared by the 1-D, multi-1-D, multi-multi-1-D and 2-D splines: the
// registry with its end-of-run hook, the search from a remembered interval,
// the seam rule of held cyclic axes, input checks, and the linear
// interpolation across a stack of curves or surfaces.
#pragma once

#include <cmath>
#include <new>
#include <vector>

#include "runtime/kiv_runtime.h"
#include "tables/interp.hpp"
#include "tables/kiv_interp.h"

namespace kiv::sp1 {

// The message on an id never created (or freed) given to an evaluator, and
// the end of the run.
[[noreturn]] inline void invalidId(const char *first_line, const char *who, int id, bool freed,
                                   const char *kind) {
  kivfprintf(stderr, first_line, who, id);
  if (freed)
    kivfprintf(stderr, "This %s has been freed.\n", kind);
  else
    kivfprintf(stderr, "No %s with this index has been created.\n", kind);
  kivfprintf(stderr, "Terminating program.\n\n");
  KivExit(1);
}

// Out-of-range codes 1..3, else "<who> the <side> data out of range
// indicator must be 1, 2 or 3.".
inline bool checkCode(int code, const char *who, const char *side) {
  if (code >= 1 && code <= 3) return true;
  kivfprintf(stderr, "%s the %s data out of range", who, side);
  kivfprintf(stderr, " indicator must be 1, 2 or 3.\n\n");
  return false;
}

// A process-wide registry whose release-all routine is installed once per
// run (again only after it has run).
template <class T>
struct Registry {
  std::vector<T> items;
  bool hooked = false;

  int count() const { return static_cast<int>(items.size()); }
  bool inRange(int id) const { return id >= 0 && id < count(); }
  void hook(KivAtEndFn at_end) {
    if (hooked) return;
    KivInstallAtEnd(at_end, 0);
    hooked = true;
  }
  void clear() {
    std::vector<T>().swap(items);
    hooked = false;
  }

  // For registries that keep freed records as holes (T has `freed`): the
  // record of a live id; an id never created or freed ends the run.
  T &live(int id, const char *who, const char *kind) {
    if (!inRange(id) || items[static_cast<size_t>(id)].freed)
      invalidId("\n\nCall to %s with invalid index %d\n", who, id, inRange(id), kind);
    return items[static_cast<size_t>(id)];
  }

  // Frees one record (a warning for an id never created or already freed).
  // Only the last record leaves the array; others stay as holes.
  void release(int id, const char *who, const char *kind) {
    if (!inRange(id) || items[static_cast<size_t>(id)].freed) {
      if (inRange(id)) {
        kivfprintf(stderr, "\n\nWarning.\n\nCall to %s with index %d\n", who, id);
        kivfprintf(stderr, "This %s has already been freed.\n", kind);
      } else {
        kivfprintf(stderr, "\n\nWarning.\n\nCall to %s with invalid index %d\n", who, id);
        kivfprintf(stderr, "No %s with this index has been created.\n", kind);
      }
      kivfprintf(stderr, "Non-fatal error.\n\n");
      return;
    }
    items[static_cast<size_t>(id)] = T{};
    items[static_cast<size_t>(id)].freed = true;
    if (id == count() - 1) {
      items.pop_back();
      if (items.empty()) std::vector<T>().swap(items);
    }
  }

  // For registries of stacks (T has `stack`, empty in a free slot, reused):
  bool isFree(int id) const { return items[static_cast<size_t>(id)].stack.size() == 0; }

  // The record of a live id; an id never created or freed ends the run.
  T &liveStack(int id, const char *who, const char *kind) {
    if (!inRange(id) || isFree(id))
      invalidId("\n\nCall to %s with invalid index %d.\n", who, id, inRange(id), kind);
    return items[static_cast<size_t>(id)];
  }

  // The record to free, or nullptr after a message.
  T *toFree(int id, const char *who, const char *kind) {
    if (inRange(id) && !isFree(id)) return &items[static_cast<size_t>(id)];
    kivfprintf(stderr, "\nCall to %s with invalid index %d\n", who, id);
    if (inRange(id))
      kivfprintf(stderr, "This %s has already been freed.\n", kind);
    else
      kivfprintf(stderr, "No %s with this index has been created.\n", kind);
    return nullptr;
  }

  // Moves rec into the first free slot (or a new one): its id, or -1 with
  // rec untouched when the registry cannot grow.
  int place(T &rec, KivAtEndFn at_end) {
    size_t slot = 0;
    while (slot < items.size() && !isFree(static_cast<int>(slot))) ++slot;
    if (slot == items.size()) {
      try {
        items.emplace_back();
      } catch (const std::bad_alloc &) {
        return -1;
      }
    }
    items[slot] = std::move(rec);
    hook(at_end);
    return static_cast<int>(slot);
  }
};

// A remembered interval that can start a search or be held: -1..n-1.
inline bool validMemory(int mem, int n) { return mem >= -1 && mem <= n - 1; }

// Interval of x: afresh on the first evaluation of a run or without a usable
// memory, otherwise searched from the memory (which is not changed).
inline int searchFrom(double x, const double *a, int n, int mem) {
  if (firstc_() || !validMemory(mem, n)) return interp::bisect(x, a, n);
  interp::checkInterval(x, a, n, mem);
  return mem;
}

// Folds x onto a cyclic axis [a0, an); k counts the periods taken off.
// Non-finite values stay as they are.
inline double foldOnAxis(double x, double a0, double an, double &k) {
  double y;
  interp::fold(x, a0, an, y, k);
  // A periodic curve has no value at infinity: NaN, not an end value.
  if (std::isinf(x) && an > a0) y = std::numeric_limits<double>::quiet_NaN();
  return y;
}

// While regions are held on a cyclic axis the remembered interval m stays in
// use although the search found `found`.  Crossing the seam from the last
// interval to the first (or back) keeps the remembered piece going on the
// other side: the coordinate must move by +1 (or -1) period, which is
// returned.  A larger jump from an end interval asks for a smaller step.
inline int seamShift(int m, int found, int last) {
  if (m == last && found == 0) return 1;
  if (m == 0 && found == last) return -1;
  const int jump = found > m ? found - m : m - found;
  if (jump > 1 && (m == 0 || m == last)) stepdn_();
  return 0;
}

inline void reportCrossing() {
  int one = 1;
  disloc_(&one);
}

// 1-based position of the first NaN or infinity among a[0..n-1], 0 if none.
inline int firstBad(const double *a, long n) {
  for (long i = 0; i < n; ++i)
    if (!std::isfinite(a[i])) return static_cast<int>(i + 1);
  return 0;
}

// Refuses non-finite values with "<who> the <what>-values must be finite
// numbers (see item %d which value is %g).".
inline bool refuseBad(const char *who, const char *what, const double *a, long n) {
  const int bad = firstBad(a, n);
  if (!bad) return false;
  kivfprintf(stderr, "%s the %s-values must be finite numbers (see item %d which value is %g).\n\n",
             who, what, bad, a[bad - 1]);
  return true;
}

// Refuses an axis that is not strictly monotonic, naming the first offending
// pair (1-based) and its values after "<who> the <what>-values".
inline bool refuseNonMonotonic(const char *who, const char *what, const double *a, int n,
                               int &increasing) {
  int brk = 0;
  if (CheckMonotonicity(a, n, &increasing, &brk)) return false;
  kivfprintf(stderr,
             "%s the %s-values must be strictly monotonic (see items %d and %d which values are "
             "%g and %g).\n\n",
             who, what, brk + 1, brk + 2, a[brk], a[brk + 1]);
  return true;
}

// Linear interpolation across a stack of members (curves or surfaces) placed
// at increasing abscissas `at` along one axis.  top: above the last member
// 1 extrapolate, 2 hold, 3 cyclic; bottom: below the first 1 extrapolate,
// anything else hold.
struct Stack {
  std::vector<double> at;  // empty: a free slot
  std::vector<int> ids;
  int top = 2, bottom = 2;
  double period = 0.0;

  int size() const { return static_cast<int>(at.size()); }
  bool cyclic() const { return top == 3; }

  // Interval along the stack for s (moved onto the cycle, or across its
  // seam while held).  disc 1 holds the memory while the runtime holds
  // regions and reports a move; otherwise the memory takes the interval.
  // disc other than 1 leaves the memory alone.
  int locate(double &s, int disc, int &mem) const {
    const int n = size();
    double k = 0;
    if (cyclic()) s = foldOnAxis(s, at[0], at[static_cast<size_t>(n - 1)], k);
    const int i = searchFrom(s, at.data(), n, mem);
    if (disc != 1) return i;
    if (getofg_() != 0 && validMemory(mem, n)) {
      if (i != mem) {
        reportCrossing();
        if (cyclic()) s += seamShift(mem, i, n - 2) * period;
      }
      return mem;
    }
    mem = i;
    return i;
  }

  // The pair (a, a+1) that interval i uses, or -1 for a held end member
  // (whose index goes to `end`).
  int pair(int i, int &end) const {
    const int n = size();
    if (i <= -1) {
      end = 0;
      return bottom == 1 ? 0 : -1;
    }
    if (i >= n - 1) {
      end = n - 1;
      return top == 1 ? n - 2 : -1;
    }
    return i;
  }

  // f(k) is member k's value at the fixed other coordinates.  A coordinate
  // that is no number (a cyclic one at infinity too) has no value.
  template <class F>
  double interpolate(int i, double s, F &&f) const {
    if (std::isnan(s)) return s;
    int end = 0;
    const int a = pair(i, end);
    if (a < 0) return f(end);
    const size_t ua = static_cast<size_t>(a);
    const double fa = f(a), fb = f(a + 1);
    return (fb * (s - at[ua]) + fa * (at[ua + 1] - s)) / (at[ua + 1] - at[ua]);
  }

  // Slope along the stack at s: the difference quotient of the pair in
  // use, 0 where an end member is held, NaN where the value is.
  template <class F>
  double slope(int i, double s, F &&f) const {
    if (std::isnan(s)) return s;
    int end = 0;
    const int a = pair(i, end);
    if (a < 0) return 0.0;
    const size_t ua = static_cast<size_t>(a);
    return (f(a + 1) - f(a)) / (at[ua + 1] - at[ua]);
  }
};

// Second derivatives M[0..n-1] of the C2 cubic through (x, y), x
// increasing: end codes 1 natural, 2 given end slope, 3 periodic (left code
// decides; y[0] == y[n-1]), 4 equal second derivatives on the end interval.
// false when a periodic system gives no finite solution.
bool SecondDerivatives(const double *x, const double *y, int n, int left, double left_slope,
                       int right, double right_slope, double *M);

// Value and (into *slope) first derivative of cubic spline id in one
// search: the numbers of getspl_ and getspd_.
double CubicValueAndSlope(int id, double x, double *slope);

}  // namespace kiv::sp1

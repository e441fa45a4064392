// Inside view of the flow tables: the preparations that make a table give
// zero flow at zero pressure drop and extend or turn it for reverse flow,
// shared with the coefficient tables.
#pragma once

#include <cmath>
#include <cstddef>
#include <new>
#include <vector>

#include "runtime/kiv_runtime.h"

namespace kiv::hyd {

// Values over a pressure-drop axis: rows of dp.size() values, row after
// row (the N-D layout with the pressure drop as axis 0); `other` holds the
// further axes, carried along unchanged.
struct DpTable {
  std::vector<double> dp;
  std::vector<double> other;
  std::vector<double> values;
  int n() const { return static_cast<int>(dp.size()); }
  int rows() const { return dp.empty() ? 0 : static_cast<int>(values.size() / dp.size()); }
};

inline void raiseLevel(int &level, int to) {
  if (level < to) level = to;
}

// Position of the first NaN or infinity among a[0..n-1], -1 when none.
// Tables are screened with it before any other check: a NaN passes every
// sign test and would be reported as some other fault.
inline long firstNonFinite(const double *a, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!std::isfinite(a[i])) return static_cast<long>(i);
  return -1;
}

// Looks for the zero pressure drop: -1 (level 2, messages) when the flow
// there is not zero; else 0 with position -1 when present, or the place
// that keeps the axis order (level 1, messages) when it is missing.
int check_point_in_zero_1D_2D(const char *name, const DpTable &t, int &position, int &found,
                              int &level);
// Inserts a zero pressure drop with zero flows at position (>= 0).
void add_point_in_zero_1D_2D(DpTable &t, int position);
// Odd mirror of a table whose pressure drops are all >= 0 and hold 0.
void symmetry_1D_2D_table(DpTable &t);
// The reverse branch: x'[k] = -x[n-1-k], y'[k] = -y[n-1-k].
void change_sign_1D_2D(DpTable &t);

// T1D tables: one (pressure drop, flow) curve per slice.
struct SliceTable {
  std::vector<DpTable> slices;  // each of one row
  std::vector<double> at;       // slice values
};
// Every slice gets its zero point: -1 when one has a non-zero flow there.
int check_point_in_zero_M1D_table(const char *name, SliceTable &t, int &level);
void symmetry_M1D_table(SliceTable &t);
void change_sign_M1D_table(SliceTable &t);

// A process-wide table registry: indices are positions, records are never
// removed one by one, and the whole is released by the end-of-run hook
// installed with the first record of a run.
template <class T>
struct TableRegistry {
  std::vector<T> items;
  bool hooked = false;

  bool valid(int index) const { return index >= 0 && index < static_cast<int>(items.size()); }
  T &operator[](int index) { return items[static_cast<size_t>(index)]; }
  int add(const T &record, const char *label, KivAtEndFn at_end) {
    kiv::guardAllocation(label, [&] {
      if (items.size() == items.capacity()) items.reserve(items.size() + 10);
      items.push_back(record);
    });
    if (!hooked) KivInstallAtEnd(at_end, 0);
    hooked = true;
    return static_cast<int>(items.size()) - 1;
  }
  void clear() {
    std::vector<T>().swap(items);
    hooked = false;
  }
};

// Where a zero inserted into an axis keeps its order.
int zeroPosition(const std::vector<double> &axis);

}  // namespace kiv::hyd

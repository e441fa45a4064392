// A submodel's parameters declared once: position in the packed array,
// name as the messages spell it, factor from the user's unit to SI, the
// range a value must lie in and when that range is tested, and the record
// field the value feeds.  Checking, conversion and the record all walk the
// same rows, so one parameter's facts live in one place.
#pragma once

#include <bitset>
#include <span>

namespace kiv::param {

// One-sided ranges of the real parameters; the message says "strictly
// positive" for the first, "positive" for the second.
enum class Range : unsigned char { any, above_zero, from_zero };

// Upper bounds that keep the evaluation finite: a fixed 1e6 (in the user's
// unit, on the value or on its magnitude), or the size of the machine
// itself (a length, or that length squared for an area).
enum class Limit : unsigned char { none, million, million_both_ways, size, size_squared };

// Conditions under which a row's range is tested: bits that must all be
// set in the caller's active mask (0: always).
using Mask = unsigned;

template <class Record>
struct RealRow {
  int pos;
  const char *name;  // "The <name> must be ..."
  double factor;     // user unit to SI
  Range range;
  Mask when;
  int stage;  // the point of the set-up where the range is tested
  double Record::*field;
  Limit limit = Limit::none;
  const char *unit = "";  // printed after the bound: " [mm]"
};

template <class Record>
struct IntRow {
  int pos;
  const char *title;  // "<title> must be in range [lo..hi]."
  int lo, hi;
  int Record::*field;
};

// The single-value messages; each returns 2 when it printed, else 0.
int check_finite(const char *name, double value);
int check_real_range(const char *name, Range range, double value);
// `size` is the machine's size in the user's length unit; a bound made
// from a size that is not known (not positive or NaN) is not tested.
int check_real_limit(const char *name, Limit limit, const char *unit, double size, double value);

inline constexpr int kMaxReals = 64;

// The real checks of one set-up over one table.  A value refused once is
// not tested again, and later checks that read it ask refused() first, so
// that one wrong value gives one message.
template <class Record>
class RealChecks {
 public:
  RealChecks(std::span<const RealRow<Record>> rows, const double *values, Mask active)
      : rows_(rows), values_(values), active_(active) {}

  // Every value that is not a finite number, whatever its conditions.
  int finite() {
    int status = 0;
    for (const auto &row : rows_)
      if (check_finite(row.name, values_[row.pos]) != 0) status = refuse(row.pos);
    return status;
  }
  // The range and then the bound of every row of `stage` whose condition
  // holds, in the rows' order.
  int stage(int stage, double size = 0.0) {
    int status = 0;
    for (const auto &row : rows_) {
      if (row.stage != stage || (row.when & active_) != row.when || refused(row.pos)) continue;
      if (check_real_range(row.name, row.range, values_[row.pos]) != 0 ||
          check_real_limit(row.name, row.limit, row.unit, size, values_[row.pos]) != 0)
        status = refuse(row.pos);
    }
    return status;
  }
  bool refused(int pos) const { return refused_.test(static_cast<size_t>(pos)); }
  template <class... P>
  bool any_refused(P... pos) const {
    return (refused(pos) || ...);
  }
  int refuse(int pos) {
    refused_.set(static_cast<size_t>(pos));
    return 2;
  }

 private:
  std::span<const RealRow<Record>> rows_;
  const double *values_;
  Mask active_;
  std::bitset<kMaxReals> refused_;
};

// The integer ranges: "\n<title> must be in range [lo..hi].\n".
int check_int_range(const char *title, int lo, int hi, int value);
template <class Record>
int check_ints(std::span<const IntRow<Record>> rows, const int *values) {
  int status = 0;
  for (const auto &row : rows)
    status |= check_int_range(row.title, row.lo, row.hi, values[row.pos]);
  return status;
}
// Whether the value at `pos` lies in its row's range (no message).
template <class Record>
bool int_in_range(std::span<const IntRow<Record>> rows, const int *values, int pos) {
  for (const auto &row : rows)
    if (row.pos == pos) return values[pos] >= row.lo && values[pos] <= row.hi;
  return true;
}

// Multiplies every value in place by its row's factor.
template <class Record>
void convert_reals(std::span<const RealRow<Record>> rows, double *values) {
  for (const auto &row : rows) values[row.pos] *= row.factor;
}

// Copies the packed values into the record's fields.
template <class Record>
void fill_record(std::span<const RealRow<Record>> reals, std::span<const IntRow<Record>> ints,
                 Record &rec, const double *r, const int *i) {
  for (const auto &row : reals) rec.*row.field = r[row.pos];
  for (const auto &row : ints) rec.*row.field = i[row.pos];
}

}  // namespace kiv::param

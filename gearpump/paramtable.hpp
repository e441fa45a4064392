// A submodel's parameters declared once: position in the packed array,
// name as the messages spell it, factor from the user's unit to SI, the
// range a value must lie in and when that range is tested, and the record
// field the value feeds.  Checking, conversion and the record all walk the
// same rows, so one parameter's facts live in one place.
#pragma once

#include <span>

namespace kiv::param {

// One-sided ranges of the real parameters; the message says "strictly
// positive" for the first, "positive" for the second.
enum class Range : unsigned char { any, above_zero, from_zero };

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
};

template <class Record>
struct IntRow {
  int pos;
  const char *title;  // "<title> must be in range [lo..hi]."
  int lo, hi;
  int Record::*field;
};

// Prints the message of every row of `stage` whose condition holds and
// whose value is out of its range; 2 when one was, else 0.
int check_real_range(const char *name, Range range, double value);
template <class Record>
int check_reals(std::span<const RealRow<Record>> rows, int stage, Mask active,
                const double *values) {
  int status = 0;
  for (const auto &row : rows)
    if (row.stage == stage && (row.when & active) == row.when)
      status |= check_real_range(row.name, row.range, values[row.pos]);
  return status;
}

// The same for the integer ranges: "\n<title> must be in range [lo..hi].\n".
int check_int_range(const char *title, int lo, int hi, int value);
template <class Record>
int check_ints(std::span<const IntRow<Record>> rows, const int *values) {
  int status = 0;
  for (const auto &row : rows)
    status |= check_int_range(row.title, row.lo, row.hi, values[row.pos]);
  return status;
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

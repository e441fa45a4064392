// A submodel's parameters declared once: the real ones as rows of the
// library's set-up parameters with the record field each feeds
// (kiv::SetupField), the integer ones below with their ranges.  Checking,
// conversion and the record all walk the same rows, so one parameter's
// facts live in one place.
#pragma once

#include <span>

#include "hydraulics/kiv_hydraulics.h"

namespace kiv::param {

// Conditions under which a row's range is tested: bits that must all be
// set in the caller's active mask (0: always).
using Mask = unsigned;

template <class Record>
struct IntRow {
  int pos;
  const char *title;  // "<title> must be in range [lo..hi]."
  int lo, hi;
  int Record::*field;
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

// Copies the packed values into the record's fields.
template <class Record>
void fill_record(std::span<const SetupField<Record>> reals, std::span<const IntRow<Record>> ints,
                 Record &rec, const double *r, const int *i) {
  for (const auto &row : reals) rec.*row.field = r[row.pos];
  for (const auto &row : ints) rec.*row.field = i[row.pos];
}

}  // namespace kiv::param

// Typed view of the two response-surface registries, for the interpreter,
// and the field rule their two readers share.
#pragma once

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "tables/numtext.hpp"

namespace kiv::rsm {

// What a field of a value line begins with.  A number must fill its field:
// "3.0kg" or "1.0D+03" would otherwise read as 3.0 and 1.0.
enum class Field {
  kNumber,      // a number ended by a blank, the line's end or one of the stops
  kText,        // no number
  kIncomplete,  // a number cut short: "1e", "2E+"
  kGlued,       // a number with text glued to it
};

// The field at s (blanks skipped) in [s, last); *end past the number.
inline Field fieldIn(const char *s, const char *last, const char *stops, double &v,
                     const char **end) {
  switch (tables::numberIn(s, last, v, end)) {
    case tables::NumberKind::kNone: return Field::kText;
    case tables::NumberKind::kIncomplete: return Field::kIncomplete;
    default: break;
  }
  const char c = *end < last ? **end : '\0';
  if (c == '\0' || std::isspace(static_cast<unsigned char>(c)) || std::strchr(stops, c))
    return Field::kNumber;
  return Field::kGlued;
}

// What the older file holds: coefficient block k (rows x columns, row after
// row) belongs to response k.
struct OldFile {
  int type = -1, n = 0, responses = 0;
  std::vector<std::string> inputs, outputs, unusedNames, unusedValues;
  std::vector<std::vector<double>> blocks;
};

// Rows and columns of a block; false when the size does not fit an int.
bool blockShape(int type, int n, int &rows, int &columns);
// true when the file was read, one block per response.
bool readOld(const char *path, OldFile &file);
// The id of a new evaluator, or -1.
int createOld(const OldFile &file);
// response -1 for all, axes 1-based; results 1 or 0 as the flat functions.
int evalOld(int id, int response, const double *x, double *out);
int evalOldD(int id, int response, int axis, const double *x, double *out);
int evalOldD2(int id, int response, int a, int b, const double *x, double *out);
void freeOld(int id);

int createTitled(const char *file, int mode, int disc);
int evalTitled(int id, const int *axes, int count, const double *x, double *out);
int titledInputs(int id);
int titledOutputs(int id);
int freeTitled(int id);

}  // namespace kiv::rsm

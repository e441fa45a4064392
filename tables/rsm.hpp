// Typed view of the two response-surface registries, for the interpreter.
#pragma once

#include <string>
#include <vector>

#include "tables/numtext.hpp"

namespace kiv::rsm {

// The readers' field rule (a number fills its field) is the table files'.
using tables::Field;
using tables::fieldIn;

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

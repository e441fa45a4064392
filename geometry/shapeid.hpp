// Typed core of the shape-id interface and of the shape files: the flat
// functions of kiv_shapeid.h are one-line shims over these and over the
// ones its in-library part declares.
#pragma once

#include <span>

#include "geometry/kernel.hpp"
#include "geometry/kiv_shapeid.h"

namespace kiv::geom {

// ---- Registry (shapeid.cpp) ------------------------------------------------

// Takes the shape over and registers it: its id, -1 for none.
int registerShape(ShapePtr s);
// findShape, writing `format` (one %d, the id) to the error stream when there
// is none.
shape *findOrSay(int id, const char *format);

int firstPathSize(int id);
int checkShapeId(int id);

// Registers what make(shape, &out) builds from the shape of id; -1 silently
// when the id has none.
template <class F>
int registerMade(int id, F &&make) {
  const shape *s = findShape(id);
  if (!s) return -1;
  shape *out = nullptr;
  make(s, &out);
  return registerShape(ShapePtr(out));
}

// 0 and measure(shape) in *value, or -1 and 0 without a shape.
int measureId(int id, double (*measure)(const shape *), double *value);

template <class F>
int boundsId(int id, F &&bounds) {
  const shape *s = findOrSay(id, "Cannot retrieve shape %d\n");
  return s ? bounds(s) : -1;
}

using BooleanOp = shape *(*)(const shape *, const shape *, int *);
// The union or the intersection: both shapes must exist.
int combineIds(int a, int b, BooleanOp op);
// A with B removed; a B without a shape removes nothing.
int removeIds(int a, int b);
int removeAllIds(int a, std::span<const int> ids);
int reducedShapeId(int id, int &i1, int &i2);
int splitterId(int id, int *from, int *to, int *side, int n, const int *targets);

// ---- Arrays, files, printing and the gear check (shapefile.cpp) -----------

// An id, -2 for a self-crossing contour, -1 for an unusable one.
int shapeFromArrays(const double *x, const double *y, int n, bool hole);
// Columns 1 and 2 of a table of 2 (or, unless exactColumns, 3) columns.
int shapeFromTable(const char *file, const char *separators, const char *const *units, bool hole,
                   bool exactColumns);

void printShape(const char *file, const shape *s, const char *fn);
int printPathAlone(const char *file, const path *p);
void printRows(FILE *fp, const path *p);
int printedSize(const path *p);
void extractShape(int id, double **x, double **y, int **sizes, int *npaths);

struct GearOutline {
  bool measured = false;  // false, with zeros, for an empty or zero-area shape
  int teeth = 0;
  double xc = 0.0, yc = 0.0, rmin = 0.0, rmax = 0.0;
};
GearOutline checkGear(const shape *s);
// Writes g through the pointers: 0, or -1 when it was not measured.
int handOver(const GearOutline &g, int *teeth, double *xc, double *yc, double *rmin, double *rmax);

}  // namespace kiv::geom

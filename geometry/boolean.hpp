// Machinery shared by the union, the intersection and the removal of
// shapes: crossing location with its retry, and the operation itself.
#pragma once

#include "geometry/kernel.hpp"

namespace kiv::geom {

inline bool hasPaths(const shape *s) { return s && s->paths && s->npaths > 0; }

// Nodes of every path of s, centres included.
int nodeCount(const shape *s);

// A new shape of copies of the paths of src, orientations and kind kept
// (an empty shape for NULL).
shape *copyOf(const shape *src);
// The same with every path run the other way round.
ShapePtr reversedCopy(const shape *src);

inline void setStatus(int *status, int value) {
  if (status) *status = value;
}

// The location stage; `unlocated` tells that every tolerance of the ladder
// failed (as opposed to a copy emptied by its preparation).  -3 when a
// splitter's crossings could not be ordered.
int locateCrossings(const shape *A, const shape *B, ShapePtr &A_work, ShapePtr &B_work, double dx,
                    double dy, bool *unlocated);

// The location stage with the retry on an odd count (B moved by 1e-6 in x
// and y).  Returns the count, -1, or -2 after two odd counts or unordered
// splitter crossings (the copies are then deleted and null).  Failures are reported for the operation fn.
int locateRetrying(const shape *A, const shape *B, ShapePtr &A_work, ShapePtr &B_work,
                   const char *fn, int *status);

enum class Rule { unite, intersect, remove };

// The clean-up of every result: tags and partners reset, tiny vertices and
// paths dropped (contours of material below an area of 0.001 among them),
// what remains oriented.
void cleanUp(shape *result);

// The result when cleaning has emptied an operand, which was negligible: a
// copy of the one left (A, or null; B, or null) without its contours of
// material below 0.001, which go as the emptied operand's did.
shape *withoutNegligible(Rule rule, const shape *A, const shape *B);

// The union or the removal of two shapes with paths, at least one of them
// ordinary: location, placement, walk and clean-up.
shape *combine(Rule rule, const shape *A, const shape *B, const char *fn, int *status);

// Whether both shapes are ordinary (or a splitter's rectangle alone), which
// the overlay combines; splitters go through the crossing walk.
bool overlaid(const shape *A, const shape *B);

// The union, intersection or removal of two ordinary shapes with paths by
// overlaying their boundaries; null when the boundaries cannot be joined
// into contours (shapes that are not regions), which is left to the
// crossing walk.
shape *overlay(Rule rule, const shape *A, const shape *B);

// The splitter of xCD_setsplitter_ (from and to come back clamped to the
// source's first path), and its two kinds: the rectangle towards one target
// with its distance, and the pieces where the range crosses a target.  side
// 1 takes the first orientation of the splitter.
shape *setSplitter(const shape *source, int &from, int &to, int side, int ntargets,
                   const shape *const *targets);
path *stdSplitter(const point *from, const point *to, const point *target_from, const point *target_to,
                  int side, double &distance);
void intersectionSplitter(const point *from, const point *to, point *target_from, point *target_to, int side,
                          shape *out);
// The node of P within positions from..to (both -1: the whole ring)
// nearest to p, the first of equals; nullptr for an empty path.
point *closestPoint(const path *P, const point *p, int from, int to);

}  // namespace kiv::geom

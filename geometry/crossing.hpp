// Whether contours cross: the test by pairs of edges and the sweeps that
// pick the pairs worth testing.
#pragma once

#include <optional>

#include "geometry/kiv_geometry.h"

namespace kiv::geom {

// Whether the edge starting at x (a segment, or the arc of the centre x)
// crosses the edge starting at y; touches at ends are no crossing.
bool edgesCross(const point *x, const point *y);

// Whether an edge of P crosses an edge of Q by edgesCross (P may be Q): the
// same answer as testing every pair, in n log n for contours of segments
// that meet only at their shared vertices (repeated points included).
bool pathsCross(const path *P, const path *Q);

// The sweep's own answer to pathsCross(p, p); empty when p has an arc or a
// coordinate that is not finite, or when two of its edges touch, overlap or
// cross within the pairwise test's tolerance, which pathsCross then leaves
// to the pairwise test.
std::optional<bool> contourSweep(const path *p);

}  // namespace kiv::geom

// Whether contours cross: the test by pairs of edges and the sweeps that
// pick the pairs worth testing.
#pragma once

#include "geometry/kiv_geometry.h"

namespace kiv::geom {

// Whether the edge starting at x (a segment, or the arc of the centre x)
// crosses the edge starting at y; touches at ends are no crossing.
bool edgesCross(const point *x, const point *y);

// Whether an edge of P crosses an edge of Q by edgesCross (P may be Q): the
// same answer as testing every pair, in n log n for contours of segments
// that meet only at their shared vertices.
bool pathsCross(const path *P, const path *Q);

}  // namespace kiv::geom

#pragma once

namespace kiv {

// LU with partial pivoting of the column-major n x n A (overwritten), then
// x = A^-1 b. pivot needs n ints. False when A is singular.
bool luSolve(int n, double *A, const double *b, double *x, int *pivot);

}  // namespace kiv

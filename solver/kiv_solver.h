/* Small linear and nonlinear solves used by the tables, hydraulics and
 * gear-pump code: a row-sparse or dense matrix object, LU and tridiagonal
 * solves, a bracketing scalar root finder and a quiet Newton iteration. */
#ifndef KIV_SOLVER_H
#define KIV_SOLVER_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct SparseMatrix SparseMatrix;

/* A zero-filled rows x columns matrix: kind 1 row-sparse, any other kind
 * dense. Allocation failure ends the run (MemoryError "GetSparseMatrixPtr"). */
KIV_API SparseMatrix *GetSparseMatrixPtr(int rows, int columns, int kind);
/* Frees a matrix of GetSparseMatrixPtr; NULL is ignored. */
KIV_API void FreeSparseMatrix(SparseMatrix *m);
/* y = transpose(m) * x: y has `columns` entries, x has `rows`. */
KIV_API void SparseMatVectMultiply(const SparseMatrix *m, const double *x, double *y);

/* A x = b for an n x n column-major A (overwritten by its LU factors); 1, or
 * 0 with x zeroed when A is singular. */
KIV_API int matsol_(int *n, double *A, double *b, double *x);
/* Tridiagonal solve without pivoting; b and r are overwritten. */
KIV_API void thomas_(int *n, double *a, double *b, double *c, double *r, double *x);
/* Periodic tridiagonal solve by 15 corrected passes; inputs unchanged. */
KIV_API void modthomas(int n, const double *a, const double *b, const double *c, const double *r,
                       double *x);

typedef double (*KivNLFunction)(double x, void *data);
/* Root of f(x, data) = 0 bracketed by [*xl, *xr] into *x; *ok 1 when it
 * converged within *max_iterations evaluations, 0 when not or after a
 * message (bad limit, equal ends, f of one sign at both ends). */
KIV_API void kivNLSolve_(double *xl, double *x, double *xr, KivNLFunction f, void *data,
                         int *max_iterations, int *ok);
/* The same from the start value *x with the caller's *fl = f(*xl) and *fr =
 * f(*xr); *x unchanged when refused. */
KIV_API void kivNLSolveB_(double *xl, double *x, double *xr, double *fl, double *fr,
                          KivNLFunction f, void *data, int *max_iterations, int *ok);

/* Residual f(x) of n equations; the Jacobian (column-major n x n) is
 * optional. Each sets *flag (1 when it could evaluate). */
typedef void (*KivNdnrResidual)(double *x, int *n, void *params, double *f, int *flag);
typedef void (*KivNdnrJacobian)(double *x, int *n, void *params, double *jac, int *flag);
/* Newton-Raphson with full steps; returns the number of iterations done. */
KIV_API int ndnr_quiet_(double *x, int *n, KivNdnrResidual residual, KivNdnrJacobian jacobian,
                        void *params, double *ftol, double *xtol, int *max_evaluations,
                        int *converged, double *history, int *print);

#ifdef __cplusplus
}
#endif

#endif

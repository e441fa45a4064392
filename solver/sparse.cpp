// The matrix object: row-sparse (kind 1) or dense.
#include <cstdlib>
#include <new>

#include "solver/sparse.hpp"

extern "C" {

SparseMatrix *GetSparseMatrixPtr(int rows, int columns, int kind) {
  if (rows < 0) rows = 0;
  if (columns < 0) columns = 0;
  auto *m = new (std::nothrow) SparseMatrix();
  if (!m) MemoryError("GetSparseMatrixPtr");
  m->rows = rows;
  m->columns = columns;
  m->kind = kind;
  const size_t r = static_cast<size_t>(rows) + 1;  // never a zero-size request
  if (kind == 1) {
    m->rowval = static_cast<double **>(std::calloc(r, sizeof(double *)));
    m->rowcol = static_cast<int **>(std::calloc(r, sizeof(int *)));
    m->rowcount = static_cast<int *>(std::calloc(r, sizeof(int)));
    if (!m->rowval || !m->rowcol || !m->rowcount) {
      FreeSparseMatrix(m);
      MemoryError("GetSparseMatrixPtr");
    }
  } else {
    m->dense = static_cast<double *>(
        std::calloc(static_cast<size_t>(rows) * static_cast<size_t>(columns) + 1, sizeof(double)));
    if (!m->dense) {
      FreeSparseMatrix(m);
      MemoryError("GetSparseMatrixPtr");
    }
  }
  return m;
}

void FreeSparseMatrix(SparseMatrix *m) {
  if (!m) return;
  if (m->owns_row_arrays && m->rowval && m->rowcol) {
    for (int r = 0; r < m->rows; ++r) {
      std::free(m->rowval[r]);
      std::free(m->rowcol[r]);
    }
  }
  if (m->owns_row_pointers) {
    std::free(m->rowval);
    std::free(m->rowcol);
  }
  if (m->owns_rowcount) std::free(m->rowcount);
  std::free(m->dense);
  delete m;
}

void SparseMatVectMultiply(const SparseMatrix *m, const double *x, double *y) {
  if (!m || !x || !y) return;
  // y is the product with the transpose: it has one entry per column.
  for (int j = 0; j < m->columns; ++j) y[j] = 0.0;
  if (m->kind == 1) {
    for (int r = 0; r < m->rows; ++r) {
      const double xr = x[r];
      const double *v = m->rowval[r];
      const int *c = m->rowcol[r];
      for (int k = 0, n = m->rowcount[r]; k < n; ++k) y[c[k]] += v[k] * xr;
    }
  } else {
    for (int j = 0; j < m->columns; ++j) {
      const double *col = m->dense + static_cast<size_t>(j) * static_cast<size_t>(m->rows);
      double s = 0.0;
      for (int r = 0; r < m->rows; ++r) s += col[r] * x[r];
      y[j] = s;
    }
  }
}

}  // extern "C"

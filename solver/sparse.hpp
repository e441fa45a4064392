// Inside view of the matrix object, for the code that fills it directly.
#pragma once

#include "solver/kiv_solver.h"

struct SparseMatrix {
  int rows = 0;
  int columns = 0;
  int kind = 0;  // 1 row-sparse, else dense
  // Row-sparse storage: per row its values, column indices and entry count.
  // A caller may point any of these at constant arrays; the owns_* flags say
  // what FreeSparseMatrix releases.
  double **rowval = nullptr;
  int **rowcol = nullptr;
  int *rowcount = nullptr;
  bool owns_row_pointers = true;  // the rowval and rowcol arrays themselves
  bool owns_row_arrays = true;    // the per-row value and column arrays
  bool owns_rowcount = true;
  // Dense storage, column-major rows x columns.
  double *dense = nullptr;
};

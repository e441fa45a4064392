/* Table files: format codes, the "#" header, opening by name, the readers of
 * every numeric format (0D, 1D..8D, T1D, T3D, XY), the line-list and
 * state-space readers, and the process-wide in-memory table store.
 *
 * Functions whose names end in "_" take every argument by reference.  Arrays
 * that a reader or a store read hands back are allocated with malloc and
 * owned by the caller, who releases them with free(); string lists are
 * released string by string, then the array.
 *
 * Wanted-unit lists (the `units` arguments) hold one unit text per slot of
 * the format: slot 0 for the table values and slot k for axis k (T1D: 1 x,
 * 2 y; T3D: 1 x, 2 y, 3 z); for XY, slot k-1 for column k.  A list ends at
 * its first null entry or at the slot count of the table, whichever comes
 * first: slots past its end are left unconverted.  An empty text leaves its
 * slot unconverted too.  A wanted unit followed by " is_difference" converts
 * differences of values: the factor is applied and the offset is not.
 *
 * The store answers for the reader cache (origin 2: what readers read from
 * files, kept unconverted so that each file is read once per run; not what
 * a named pipe gives, read afresh from each writer) and for
 * tables that callers add by program (origin 1, used when no file of that
 * name opens).  Names beginning with "${full_circuit_name}" or containing
 * "${circuit_name}" are expanded before they are stored or looked up. */
#ifndef KIV_TABLEFILES_H
#define KIV_TABLEFILES_H

#include <stdint.h>
#include <stdio.h>

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Format codes -------------------------------------------------------- */

typedef int TableFormat;
enum {
  KIV_TABLE_1D = 0, /* .. 7 for "8D" */
  KIV_TABLE_T1D = 8,
  KIV_TABLE_XY = 9,
  KIV_TABLE_0D = 10,
  KIV_TABLE_T3D = 11,
  KIV_TABLE_OLD_RSM = 12, /* older response-surface text, known by content */
  KIV_TABLE_MULTILINES = 13,
  KIV_TABLE_RSM = 14,
  KIV_TABLE_UNKNOWN = -1,
  KIV_TABLE_NOT_FOUND = -2
};

/* The parsed header of a table file.  Units: for every format but XY, slot 0
 * is the unit of the table values and slot k that of axis k; for XY, slot
 * k-1 that of column k.  Tokens: slot k-1 names axis k.  Absent entries are
 * null. */
typedef struct TableHeader {
  int format;  /* -1 until a format line is seen */
  int rows;    /* -1 when absent */
  int columns; /* -1 when absent */
  char **units;
  int nunits;
  char **tokens;
  int ntokens;
  char *line; /* the current line */
  int64_t lineCapacity;
  int verbose; /* 1 in a new header and in one filled from the store: each
                  conversion then prints a note on standard output (the
                  readers' own headers are new, so their notes print) */
} TableHeader;

/* A new empty header (release with _prt2, which frees it and its texts). */
KIV_API TableHeader *_prt1(void);
KIV_API void _prt2(TableHeader *header);
/* Parses the header at the stream's position: 1 parsed (the next read gives
 * the first data line: the stream must seek back to it, as CommonFopen's
 * do), 0 on a header error (message printed).  At the start of the stream a
 * UTF-8 byte-order mark is passed over. */
KIV_API int _prt5(FILE *fp, TableHeader *header);
/* One cleaned non-empty line into header->line: 1, or 0 at end of file. */
KIV_API int _prt14(FILE *fp, TableHeader *header);
/* nvalues reals then nints integers, white-space separated: 1 when all were
 * read (a real beyond the range of a double is not). */
KIV_API int _prt11(FILE *fp, double *values, int nvalues, int *ints, int nints,
                   TableHeader *header);
/* Converts n values in place from the unit `from` to `to`: 1 converted, 0
 * nothing to do, -1 error (message printed). */
KIV_API int _prt4(const char *from, const char *to, double *values, int n, const char *label,
                  int verbose);
/* Writes the header name of a code into text (at least 11 bytes): 1, or 0
 * and "unknown". */
KIV_API int _prt7(char *text, int code);
/* Prints the format-mismatch message; returns 0. */
KIV_API int _prt8(const char *file, int expected, int found);
/* Grows (or shrinks) a string list to count entries, new ones null. */
KIV_API void ResizeTheList(char ***list, int *count, int newcount);

/* Opens a table file by name: "\\" read as "/", environment and circuit-name
 * references expanded, and the run's working directory tried when the name
 * as given does not open.  NULL when it cannot be opened.  Opened for reading
 * text ("r"), a regular file is streamed as it stands; a named pipe (or
 * /dev/stdin, a device) is read whole into memory and reads as a file with
 * the same text does.  Each opening of a pipe reads what its writer writes
 * then; a pipe that no writer has open makes the opening wait for one, as
 * Unix does.  GetTableFormat and kiv_get_table_tokens hand the text they read
 * from a pipe to the next opening of a text file, so that a reader opening
 * the same name after them reads it: any other opening drops it, and so does
 * the end of the run; the library's readers that open a name more than once
 * read a pipe once.  A file holding a zero byte is no text: NULL after a
 * message naming it, without reading further (/dev/zero is refused at
 * once); a zero byte written into the file after that check fails the
 * stream where it is met (ferror set), after the same message.  Lines end in
 * LF, CRLF or CR alone, in any mix: a CR that no LF follows reads as LF, so
 * that a text reads as the same text with LF line ends.  A read that fails
 * midway gives NULL after a message naming the file.  The stream takes no
 * lock of its own: read it from one thread at a time.  The stream starts
 * after a UTF-8 byte-order mark (EF BB BF) that an editor may have written
 * first: every reader of this header, and of the units, response-surface,
 * fluid and shape files built on it, reads such a file as the same file
 * without one.  A mark anywhere else is text. */
KIV_API FILE *CommonFopen(const char *name, const char *mode);
/* The format code of a "# Table format: ..." line, -1 for any other line. */
KIV_API TableFormat ExtractFormatFromString(const char *line);
/* The format of a table file (or of a caller-added table of that name);
 * -1 unknown or no header, -2 not found (message printed, also for a NULL
 * name).  A byte-order mark before the header changes nothing. */
KIV_API TableFormat GetTableFormat(const char *name);
/* Format code of *dim axes (1..8), -1 outside; TableFormatToDim_: axes of a
 * format code (1 for codes without axes). */
KIV_API int DimToTableFormat_(int *dim);
KIV_API int TableFormatToDim_(int *code);
/* A copy of the axis tokens of a table; 1, or 0 after a message. */
KIV_API int kiv_get_table_tokens(const char *name, char ***tokens, int *ntokens);

/* ---- Numeric readers ----------------------------------------------------- */

/* Bodies, after the "#" header, for every reader below.  A "#" begins a note
 * that runs to the end of its line, wherever it stands: after the data,
 * after a row, or on a line of its own inside the body.  Where the data end
 * at a word (text that does not begin with a number), that word's line is a
 * note whatever it holds, and so is every later line that begins with a
 * word.  Refused, with a message naming the line, the file and the text:
 * a number cut short ("1e", "2E+"); a number run into any character other
 * than a blank, a tab, a line end, "#" or one of the caller's separators
 * ("1.0D+03", "0,5", "2.5mm"); a number beyond the range of a double
 * ("1e400", "-1e400"; one that rounds to a subnormal or to 0 reads as such,
 * a written "inf" as infinity); text where a number is due; and a line that
 * begins with a number after the data ended.  The arrays handed out are
 * malloc'd and owned by the caller (NULL when empty). */

/* Examples (unit and token lines come after the format line).  A 1D file,
 * x y pairs; read with units {"Pa", "K", NULL} it gives x = 273.15 323.15
 * 373.15 [K] and y = 150000 200000 280000 [Pa]:
 *   # Table format: 1D
 *   # table_unit = bar
 *   # axis1_unit = degC
 *   0    1.5
 *   50   2.0
 *   100  2.8
 * A 2D file: the number of points of each axis, the values of axis 1 then
 * those of axis 2, then the table values with axis 1 varying fastest (the
 * order of the N-D splines; this table holds 5.3 at 1000 rev/min, 100 bar):
 *   # Table format: 2D
 *   # table_unit = N.m
 *   # axis1_unit = rev/min
 *   # axis2_unit = bar
 *   3 2
 *   0 1000 2000
 *   0 100
 *   0.1 0.2 0.3
 *   5.1 5.3 5.5
 * An N-D file is laid out alike, axis after axis; a token line names an
 * axis for the interpreter, which matches it with the caller's variables:
 *   # Table format: 3D
 *   # axis3_unit = mm
 *   # axis3_token = gap
 *   2 2 2
 *   0 1
 *   0 1
 *   0 10
 *   1 2 3 4 5 6 7 8 */

/* One value per line, the first number of each line (the rest of the line a
 * note); the first line that begins with a word ends the body; any header
 * format is accepted.  *n values, 0 for an empty body (-1 on failure);
 * returns *n. */
KIV_API int rtable0du_(const char *name, int *n, double **values, const char *const *units);
/* The same without unit conversion. */
KIV_API int rtable0d_(const char *name, int *n, double **values);
/* x y pairs, which may run across lines: *n pairs (-1 on failure, also
 * for a body without data or one ending in an x without its y); returns *n. */
KIV_API int rtable1du_(const char *name, int *n, double **x, double **y, const char *const *units);
/* The same without unit conversion. */
KIV_API int rtable1d_(const char *name, int *n, double **x, double **y);
/* 1D..8D: *dim in/out (below 1: the file decides); sizes per axis, the axis
 * values axis after axis, the table values.  1 success, 0 failure. */
KIV_API int rtablend_(const char *name, int *dim, int **sizes, double **axes, double **values,
                      const char *const *units);
/* 2-D tables: *nx, *ny the sizes; *x receives all axis values (the x then
 * the y values), *y a copy of the y values, *z the nx * ny table values; 1
 * success, 0 failure (sizes -1). */
KIV_API int rtable2du_(const char *name, int *nx, int *ny, double **x, double **y, double **z,
                       const char *const *units);
/* Without unit conversion. */
KIV_API int rtable2d_(const char *name, int *nx, int *ny, double **x, double **y, double **z);
/* 3-D tables: *x receives all axis values (x, y, then z), *y and *z copies
 * of their own axis, *values the table values; results as rtable2du_. */
KIV_API int rtable3du_(const char *name, int *nx, int *ny, int *nz, double **x, double **y,
                       double **z, double **values, const char *const *units);
/* Without unit conversion. */
KIV_API int rtable3d_(const char *name, int *nx, int *ny, int *nz, double **x, double **y,
                      double **z, double **values);
/* T1D: slices (y, n, then n pairs x z) until a word or the end: the number
 * of slices, 0 for an empty body (-1 on failure). */
KIV_API int rtablemd_(const char *name, int **sizes, double **x, double **y, double **z,
                      const char *const *units);
/* T3D: parts (z, m, then m T1D slices) until a word or the end: the total
 * number of slices, 0 with *nparts 0 for an empty body (-1 on failure). */
KIV_API int rtablem3d_(const char *name, int *nparts, int **pointsPerSlice, int **slicesPerPart,
                       double **x, double **y, double **z, double **values,
                       const char *const *units);
/* XY: one row per line; a word after a row's numbers makes the rest of the
 * line a note (a number after it there is refused), and a line without
 * numbers is no row.  rows x columns (the widest row) column after column;
 * cells of shorter rows are NaN; an empty body gives 0 x 0.  separators:
 * extra separator characters, or NULL.  1 success, 0 failure (then rows =
 * columns = -1 and data NULL). */
KIV_API int rtablexy_(const char *name, int *nrows, int *ncols, double **data,
                      const char *separators, const char *const *units);

/* ---- Line lists and state-space files ------------------------------------ */

/* Sets the reader-cache switch to *flag when it is 0 or 1 (other values
 * change nothing); returns *flag, or the switch for a NULL flag.  What a
 * reader reads from a named pipe (or a device) is never cached: the next
 * reading of that name reads what the pipe's writer writes then. */
KIV_API int rtableStoreToCache_(int *flag);
/* A file as a list of cleaned non-empty lines (comment lines, those
 * beginning with "#", left out when *skipComments is nonzero).  *nlines: the
 * count, -1 when nothing could be opened, 0 for an empty file (then NULL). */
KIV_API char **rtableml_quiet(const char *name, int *nlines, int *skipComments, int verbose);
KIV_API char **rtableml_(const char *name, int *nlines, int *skipComments);
/* Linear state-space models: A n*n, B n*m, C n*p, D m*p, x0 n (or NULL),
 * each a new array (release with free); 1, or 0 after a message, also at a
 * number beyond the range of a double (the message names its line). */
KIV_API int kivreadjac_(const char *name, int *n, int *m, int *p, double **A, double **B,
                        double **C, double **D, double **x0);
/* The same from a state-space file. */
KIV_API int kivreadssp_(const char *name, int *n, int *m, int *p, double **A, double **B,
                        double **C, double **D, double **x0);

/* ---- In-memory table store ----------------------------------------------- */

/* Origins of stored tables. */
enum { KIV_TABLE_BY_CALLER = 1, KIV_TABLE_BY_READER = 2 };

/* Adds copy the arrays they are given and return 1 (0 for bad arguments).
 * Reads return freshly allocated copies; they fill the header's units and
 * tokens when a header is given. */
KIV_API int rtable0d_add(const char *name, int n, const double *values);
KIV_API int rtable0d_add2(const char *name, int n, const double *values,
                          const char *const *units, int origin);
/* *n values and a new copy (release with free); returns *n, or -1 when no
 * table of that name and origin.  Exist: 1 when the caller added one. */
KIV_API int rtable0d_from_memory(const char *name, int *n, double **values, int origin);
KIV_API int rtable0d_exist(const char *name);

KIV_API int rtablend_add(const char *name, int dim, const int *sizes, const double *axes,
                         const double *values, const char *const *units);
KIV_API int rtablend_add2(const char *name, int dim, const int *sizes, const double *axes,
                          const double *values, const char *const *units, int origin);
/* *dim above 0 must match the stored dimension; otherwise it receives it.
 * Returns the number of table values, or -1. */
KIV_API int rtablend_from_memory(const char *name, int *dim, int **sizes, double **axes,
                                 double **values, TableHeader *header, int origin);
/* 1 when the caller added a table of that name (*dim: its dimension). */
KIV_API int rtablend_exist(const char *name, int *dim);

KIV_API int rtable1d_add(const char *name, int n, const double *x, const double *y);
KIV_API int rtable1d_add2(const char *name, int n, const double *x, const double *y,
                          const char *const *units, int origin);
/* The stored 1-D, 2-D or 3-D table: sizes, new copies of each axis and of
 * the values (release with free); returns the number of values, or -1 (sizes
 * -1). */
KIV_API int rtable1d_from_memory(const char *name, int *n, double **x, double **y,
                                 TableHeader *header, int origin);
KIV_API int rtable2d_add(const char *name, int nx, int ny, const double *x, const double *y,
                         const double *values);
KIV_API int rtable2d_from_memory(const char *name, int *nx, int *ny, double **x, double **y,
                                 double **values, int origin);
KIV_API int rtable3d_add(const char *name, int nx, int ny, int nz, const double *x,
                         const double *y, const double *z, const double *values);
KIV_API int rtable3d_from_memory(const char *name, int *nx, int *ny, int *nz, double **x,
                                 double **y, double **z, double **values, int origin);

KIV_API int rtablemd_add(const char *name, int nslices, const int *sizes, const double *x,
                         const double *y, const double *z, const char *const *units);
KIV_API int rtablemd_add2(const char *name, int nslices, const int *sizes, const double *x,
                          const double *y, const double *z, const char *const *units,
                          int origin);
/* New copies (release with free); returns the number of slices, or -1. 
 * Exist: 1 when the caller added one. */
KIV_API int rtablemd_from_memory(const char *name, int **sizes, double **x, double **y,
                                 double **z, TableHeader *header, int origin);
KIV_API int rtablemd_exist(const char *name);

KIV_API int rtablem3d_add(const char *name, int nparts, int nslices, const int *pointsPerSlice,
                          const int *slicesPerPart, const double *x, const double *y,
                          const double *z, const double *values, const char *const *units);
KIV_API int rtablem3d_add2(const char *name, int nparts, int nslices, const int *pointsPerSlice,
                           const int *slicesPerPart, const double *x, const double *y,
                           const double *z, const double *values, const char *const *units,
                           int origin);
/* New copies (release with free); returns the number of slices, or -1 (then
 * *nparts -1).  Exist: 1 when the caller added one. */
KIV_API int rtablem3d_from_memory(const char *name, int *nparts, int **pointsPerSlice,
                                  int **slicesPerPart, double **x, double **y, double **z,
                                  double **values, TableHeader *header, int origin);
KIV_API int rtablem3d_exist(const char *name);

KIV_API int rtable_multi_line_add(const char *name, const char *const *lines, int n);
KIV_API int rtable_multi_line_add2(const char *name, const char *const *lines, int n,
                                   int origin);
/* New lines (release each, then the array, with free); *count their number,
 * -1 when no such table.  Exist: 1 when the caller added one. */
KIV_API char **rtableml_from_memory(const char *name, int *count, int *skipComments, int origin);
KIV_API int rtableml_exist(const char *name);

KIV_API int rtablexy_add(const char *name, int rows, int cols, const double *data,
                         const char *const *units);
KIV_API int rtablexy_add2(const char *name, int rows, int cols, const double *data,
                          const char *const *units, int origin);
/* *rows, *cols and a new copy of the data (release with free); returns the
 * number of cells, or -1 (rows and cols -1).  Exist: 1 when the caller added
 * one. */
KIV_API int rtablexy_from_memory(const char *name, int *rows, int *cols, double **data,
                                 TableHeader *header, int origin);
KIV_API int rtablexy_exist(const char *name);

/* Tokens of the record of that name in the list of the format (0..7 N-D, 8
 * T1D, 9 XY, 11 T3D; other codes do nothing). */
KIV_API void rtable_add_tokens(const char *name, int format, const char *const *tokens, int n);
KIV_API void rtable_add_tokens2(const char *name, int format, const char *const *tokens, int n,
                                int origin);
/* A new copy of the stored table's axis tokens (release each, then the
 * array, with free): 1, or 0 for no such table. */
KIV_API int kiv_get_table_tokens_from_memory(const char *name, char ***tokens, int *n,
                                             int origin);

#ifdef __cplusplus
}
#endif

#endif

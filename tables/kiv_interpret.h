/* Response surfaces (polynomials of the inputs, from the older text file or
 * from the "RSM" table file with titled inputs) and the interpreter that
 * turns a submodel's text parameter (an expression, a table file or a
 * response-surface file) into one id evaluated with derivatives.
 *
 * Functions whose names end in "_" take every argument by reference unless
 * stated.  Ids are 0-based slots of process-wide registries, released at the
 * end of the run; creation returns -1 after a message on the error stream.
 * Evaluations allocate nothing. */
#ifndef KIV_INTERPRET_H
#define KIV_INTERPRET_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Response surfaces of the older file ---------------------------------
 * type 0..2: r = z.M.z with z = (1, x1..xn) and an (n+1) x (n+1) matrix M
 * per response; type p >= 3: one coefficient per monomial of degree <= p. */

/* Reads the file: 1 when it holds one coefficient block per response, else
 * 0 (nothing is handed back).  A UTF-8 byte-order mark at the start of the
 * file is passed over; a coefficient beyond the range of a double ("1e400"),
 * cut short or not finite refuses the file, quoting its line.  Name lists
 * (NULL pointers: not wanted) and
 * the coefficients (coef[response][row][column]) are malloc'd: release the
 * names with free() and the coefficients with rsmfreelist_. */
KIV_API int rsmread_(const char *path, int *n, int *responses, char ***input_names,
                     char ***response_names, double ****coef, char ***unused_names,
                     char ***unused_values, int *type);
KIV_API void rsmfreelist_(int *type, int *n, int *responses, double ***coef);
/* Copies the coefficients and the given names (NULL: none): id or -1. */
KIV_API int rsminit_(int *type, int *n, int *responses, double ***coef, char **input_names,
                     char **response_names);
/* response 1..responses writes out[0]; -1 writes every response.  1 or 0. */
KIV_API int rsmeval_(int *id, int *response, double *x, double *out);
/* d r / d x_axis (axis 1..n). */
KIV_API int rsmevald_(int *id, int *response, int *axis, double *x, double *out);
/* d2 r / d x_a d x_b, axes = {a, b}. */
KIV_API int rsmevald2_(int *id, int *response, int *axes, double *x, double *out);
/* Gradient, n values per response. */
KIV_API int rsmevalalld_(int *id, int *response, double *x, double *out);
/* Upper triangle of the Hessian row by row, n (n + 1) / 2 values per response. */
KIV_API int rsmevalalld2_(int *id, int *response, double *x, double *out);
KIV_API void rsmfree_(int *id);
KIV_API void FreeAllRSM(void);
/* Number of non-constant monomials of degree <= p in n inputs (by value). */
KIV_API int rsmGetNewInputDim(int n, int p);

/* ---- Response surfaces with titled inputs --------------------------------
 * Output k is the sum of its terms c * prod (x_i - o_k,i)^e_i.  mode: 0 no
 * limits, 1 limits reported only, 2 inputs and outputs clamped (through the
 * region-locking limiter when disc is 1). */

/* File name, mode and disc by value: id or -1.  The term lines of an output
 * run from its "# RSM" line to the next key line ("# output<k>", "# offset",
 * "# minmax", "# RSM", a size, title or unit line) or the end; another line
 * beginning with "#" among them is a note.  Notes may also stand between
 * "# offset" and its values (a key line there is taken for the values, as
 * ever).  A UTF-8 byte-order mark at the start of the file is passed over; a
 * number beyond the range of a double ("1e400") refuses the file with a
 * message naming its line and the file (a literal "inf" limit bounds
 * nothing). */
KIV_API int kivRsmInit_(const char *file, int mode, int disc);
/* Every output into out: 1, -1 when a limit message was written, 0 for a
 * bad id. */
KIV_API int kivRsmEval_(int *id, double *x, double *out);
/* The derivative along axes[0..count-1] (1-based inputs) of every output;
 * count <= 0 gives the values without output limits.  Results as above. */
KIV_API int kivRsmEvalDeriv_(int *id, int *axes, int *count, double *x, double *out);
/* Sizes, or -1 for a bad id. */
KIV_API int kivRsmGetNumInputs_(int *id);
KIV_API int kivRsmGetNumOutputs_(int *id);
/* 1 freed (the id is handed out again), 0 for a bad id. */
KIV_API int kivRsmFree_(int *id);
KIV_API void FreeAllRSM2(void);

/* ---- Interpreted text parameters -----------------------------------------
 * names/nnames: the caller's variables.  A table file's axis tokens are
 * matched against them; bound, ext and slopes hold two entries (low side,
 * high side) per variable in the caller's order; units: NULL, or the unit
 * wanted for the table values and then one per variable. */

/* dim: wanted table dimension, or -1 to receive it; interp 1 constant, 2
 * linear, 3 and up cubic (slope method interp - 2); disc 1 reports interval
 * changes to the integrator.  Id or -1. */
KIV_API int strinitu_(char *text, int *dim, char **names, int *nnames, int *interp, int *bound,
                      int *ext, double *slopes, int *disc, char **units);
KIV_API int strinit_(char *text, int *dim, char **names, int *nnames, int *interp, int *bound,
                     int *ext, double *slopes, int *disc);
/* Value at the caller's variables x: 1, or 0 after a message. */
KIV_API int streval_(int *id, double *x, double *y);
/* d y / d x_k, k 1-based in the caller's order. */
KIV_API int strevald_(int *id, int *k, double *x, double *dy);
/* d2 y / d x_k d x_l, kl = {k, l}. */
KIV_API int strevald2_(int *id, int *kl, double *x, double *d2y);
/* The same as streval_ / strevald_ with one double pointer per input, then
 * one per output (at most 512 of each). */
KIV_API int strevalv_(int *id, ...);
KIV_API int strevalvd_(int *id, int *k, ...);
/* 0 expression, 1 table, 2 older response surface, 3 titled response
 * surface; -1 freed; -2 for a bad id. */
KIV_API int kivstrtype_(int *id);
/* What the text would give: 0 expression, 1 table, 2 or 3 response
 * surface, -1 no such file. */
KIV_API int kivstrtypefromstring_(char *text, char **names, int *nnames);
/* Releases the object and its slot: 1, or 0 after a message. */
KIV_API int kivstrfree_(int *id);
/* Expression or table of one or two variables (dim and codes by value):
 * codes 1, 2 are the x out-of-range codes, 3, 4 those of y.  Id or -1. */
KIV_API int InterpretExpression(char *text, int dim, char **names, int code1, int code2,
                                int code3, int code4);
/* Value of such an id (a bad id ends the run). */
KIV_API double ComputeExpression(int id, double x1, double x2);
KIV_API void FreeAllExpressStructures(void);
/* -1 when the n names differ, else the position of the first repeated one. */
KIV_API int kiv_list_items_are_unique(char **list, int n);

#ifdef __cplusplus
}
#endif

/* streval_ by value of the id, and the interpreter's rule for layer codes,
 * for the library's own folders; hosts do not see this part. */
#if defined(__cplusplus) && defined(KIV_BUILDING)
namespace kiv::text {
int Evaluate(int id, double *x, double *y);
// Out-of-range codes of stacked layers (top above the highest, bottom below
// the lowest) from the low and high codes of the stacking variable, as
// tables read by the interpreter take them.
void StackCodes(int low, int high, int &top, int &bottom);
}  // namespace kiv::text
#endif

#endif

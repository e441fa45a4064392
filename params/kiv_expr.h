/* Expressions over named variables: checking a text into the current
 * system's expression forest (an integer id), evaluation with discontinuity
 * locking, first and second partial derivatives, and the integer evaluation
 * of unit powers.  Functions whose names end in "_" take every argument by
 * reference.  An id lives until expfree_ or the end of the run; a freed id
 * is reused by the next check.  Evaluation allocates nothing.
 *
 * Grammar.  Blanks (spaces) are ignored; other characters allowed are
 * letters, digits and ! & ( ) * + , - . / < = > ^ _ |.
 *   Binary operators, loosest first (all left-associative but ^):
 *     ||   &&   == !=   > >= < <=   + -   * /   ^ ** (same, right-assoc.)
 *   so 2^3^2 = 512, 8/4/2 = 1, 1<2 && 3>4 || 1 = ((1<2)&&(3>4))||1.
 *   Comparisons, && and || give 1 or 0; && and || take nonzero as true.
 *   A leading "+" is dropped; a leading "-" multiplies what follows, so
 *   -a^b = -(a^b) and -a*b = (-a)*b.  After an operator, "-" applies to the
 *   run of letters, digits and . _ ^ / that follows: a*-b^2 = a*(-(b^2)),
 *   a/-b*c = a/(-b)*c; bracket anything else: a*(-1e-5), a*(-(b+c)).
 *   "!" only first in a text, bracket or argument: !x = (0 == x), binding
 *   like ==, so !a+b = !(a+b).
 *   Numbers: digits, optional "." and fraction (".5", "5."), optional
 *   exponent e, E, d or D with optional sign and up to 3 digits
 *   (1.5d3 = 1500).  "pi" is 3.141592653589793.
 *   Functions (a name directly followed by "("; angles in radians):
 *     sin cos tan asin acos atan sinh cosh tanh asinh acosh atanh
 *     exp log (natural) log10 sqrt abs fabs floor ceil
 *     round(x)       nearest whole number, halves toward +infinity
 *     atan2(y, x)    sign(a, b) = |a| with the sign of b (b >= 0: +)
 *     max(a, ...)  min(a, ...)  one or more arguments (a lone one-character
 *                    argument is refused: max((a)))
 *     mod(a, b)      a folded into [0, b]; b < 1e-6 gives a
 *     lsqrta(x, c)   sign(x) sqrt|x|, linear for |x| < c (kiv_math.h)
 *     smin(a, b) smax(a, b)  smooth min/max, band (|b| + 1) 1e-6
 *     sabs(a, d)     smooth |a| of half-width d
 *   Case: function names, "pi", variable names and global-parameter names
 *   match whatever their case (SIN(X) reads sin(x)).  A name is looked up as
 *   "pi", then as a variable, then as a numeric global parameter, whose value
 *   is taken at check time; a variable hides a parameter of the same name.
 *   Out-of-domain arguments give substitutes and a failed evaluation
 *   (expeval_ 0): x/0 is 1e30 for x > 0, else -1e30; sqrt(x < 0) is -sqrt(-x);
 *   log(x <= 0) is -1e30; asin and acos clamp x to [-1, 1]; acosh(x < 1) is
 *   0; atanh is +-1e30 outside (-1, 1); 0^(negative) and an overflowing
 *   power give +-1e30, other powers that are no number 0 ((-8)^(1/3)).
 *   Constant parts are folded at check time, where such a fault fails the
 *   check at quiet level 0.
 *   Limits: brackets and function calls nest at most 1000 deep, and a tree
 *   is at most 4000 deep (a chain a-b-...-z of 4000 terms); deeper texts
 *   fail the check ("Expression nested too deeply" unless quiet).  A
 *   derivative of more than 2000000 nodes is not built: expevald_ and
 *   expevald2_ return 0 and DifferExpression -1, after "derivative exceeds
 *   2000000 nodes" (nested calls or products reach it well before the
 *   limits above).
 *
 * Stack.  No call recurses on the machine stack along an expression: even
 * at the limits, checking, evaluation and derivatives take a few KiB of
 * stack (under 16 KiB), so every call runs on a worker thread of 512 KiB. */
#ifndef KIV_EXPR_H
#define KIV_EXPR_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Checking a text: the new expression id (>= 0), or -1 after the
 * diagnostics on stderr.  names are the n variables (letters, digits, "_",
 * first a letter), in the order their values will be passed; they are
 * copied and stay the caller's.  With name checking on (all but
 * check_names 0), blanks are removed from them in place.  quiet nonzero
 * silences the diagnostics that point into the text.  The system argument
 * is not used: the forest is the current system's. */
KIV_API int CheckExpression(const char *text, int n, char **names);
KIV_API int CheckExpressionQuietly(KIVSystem *system, const char *text, int n, char **names,
                                   int quiet);
KIV_API int CheckExpressionAndTokens(const char *text, int n, char **names, int check_names);
KIV_API int CheckExpressionAndTokensQuietly(KIVSystem *system, const char *text, int n,
                                            char **names, int check_names, int quiet);

/* The value for values[0..n-1] (one per variable); an evaluation fault
 * gives its substitute without notice.  An unknown id is a fatal error
 * (KivExit(1)). */
KIV_API double EvaluateExpression(int id, double *values);
/* The value into *result; 1 success, 0 an evaluation fault (the substitute
 * is in *result, the variables are listed on stderr) or an unknown id
 * (*result unchanged). */
KIV_API int expeval_(int *id, double *values, double *result);
/* d f / d x_k, k from 1 to n, into *result; 1 success, 0 as expeval_ or k
 * out of range.  The derivative is built at the first call and kept. */
KIV_API int expevald_(int *id, int *k, double *values, double *result);
/* d2 f / d x_k d x_l, kl = {k, l} each 1..n, into *result; as expevald_. */
KIV_API int expevald2_(int *id, int *kl, double *values, double *result);
/* Discontinuity locking of the expression: flag 1 (the default) on, 0 off;
 * 1 success, 0 bad id or flag. */
KIV_API int exphandledisc_(int *id, int *flag);
/* Quiet level of the current system's expressions: 0 (default) every
 * message; 1 the same, but a constant part that cannot be folded is stored
 * with its substitute instead of failing the check; 2 as 1 with evaluation
 * and folding silent.  1 success, 0 level outside 0..2. */
KIV_API int expsetquieteval_(int *level);
/* The level set by expsetquieteval_. */
KIV_API int expgetquieteval_(void);
/* Frees the expression and its derivatives; 1 success, 0 unknown id. */
KIV_API int expfree_(int *id);
/* Obsolete: prints a note and does nothing. */
KIV_API void BeQuiet(void);
/* Integer value of a product of powers of the variables, powers[i] being
 * the power carried by variable i (m/s^2 with powers {1, 0} gives 1), into
 * *result; 1 success, 0 unknown id or a tree with other than * / ^. */
KIV_API int EvaluateUnitPowers(int id, int *powers, int *result);
/* Checks the text (names checked as above), then replaces the stored tree
 * by its derivative with respect to indexes[0], ..., indexes[*count - 1]
 * (1-based) in turn; the new id, or -1 (nothing kept).  count may be null
 * (no derivative). */
KIV_API int DifferExpression(const char *text, int n, char **names, int *count, int *indexes);

#ifdef __cplusplus
}
#endif

#endif

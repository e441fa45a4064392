/* Expressions over named variables: checking a text into the current
 * system's expression forest (an integer id), evaluation with discontinuity
 * locking, first and second partial derivatives, and the integer evaluation
 * of unit powers.  Functions whose names end in "_" take every argument by
 * reference. */
#ifndef KIV_EXPR_H
#define KIV_EXPR_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Checking a text: the new expression id, or -1 after the diagnostics.  The
 * names are the variables, in the order their values will be passed; with
 * name checking on, blanks are removed from them in place. */
KIV_API int CheckExpression(const char *text, int n, char **names);
KIV_API int CheckExpressionQuietly(KIVSystem *system, const char *text, int n, char **names,
                                   int quiet);
KIV_API int CheckExpressionAndTokens(const char *text, int n, char **names, int check_names);
KIV_API int CheckExpressionAndTokensQuietly(KIVSystem *system, const char *text, int n,
                                            char **names, int check_names, int quiet);

/* Evaluation by id; values holds one value per variable. */
KIV_API double EvaluateExpression(int id, double *values);
KIV_API int expeval_(int *id, double *values, double *result);
/* d f / d x_k, k from 1 to n. */
KIV_API int expevald_(int *id, int *k, double *values, double *result);
/* d2 f / d x_k d x_l, kl = {k, l}. */
KIV_API int expevald2_(int *id, int *kl, double *values, double *result);
KIV_API int exphandledisc_(int *id, int *flag);
KIV_API int expsetquieteval_(int *level);
KIV_API int expgetquieteval_(void);
KIV_API int expfree_(int *id);
KIV_API void BeQuiet(void);
/* Integer value of a product of powers of the variables, powers[i] being
 * the power carried by variable i. */
KIV_API int EvaluateUnitPowers(int id, int *powers, int *result);
/* Checks the text, then replaces the stored tree by its derivative with
 * respect to indexes[0], indexes[1], ... (1-based). */
KIV_API int DifferExpression(const char *text, int n, char **names, int *count, int *indexes);

#ifdef __cplusplus
}
#endif

#endif

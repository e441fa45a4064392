/* The fluid-properties submodel: checks its parameters, defines its fluid at
 * set-up and, at every evaluation, selects it and clears the two totals that
 * the chambers using the fluid then fill. */
#ifndef KIV_FP04_H
#define KIV_FP04_H

#include "hydraulics/kiv_hydraulics.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Set-up.  real_parameters[20] in user units (bar, cP, cSt, per cent, degC);
 * the unit-bearing entries are converted to SI in place.  integer_parameters:
 * property type 1..7, fuel type 1..12, fluid property file 1..49, bulk
 * modulus type 1..2, fluid index 0..100.  text_parameters[1] is the data file
 * of fluid property file 1. */
KIV_API void fp04in_(int *instance, double *real_parameters, int *integer_parameters,
                     char **text_parameters);
/* Evaluation: volume [L] and mass [kg] are set to 0 and, at the first
 * evaluation of a run, become the totals of the fluid. */
KIV_API void fp04_(int *instance, double *volume, double *mass, double *real_parameters,
                   int *integer_parameters);

#ifdef __cplusplus
}
#endif

#endif

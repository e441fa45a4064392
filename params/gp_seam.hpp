// What the expression parser asks of the global-parameter store: numeric
// global-parameter names read as constants.
#pragma once

namespace kiv {

// Names of the numeric global parameters of the current system, in store
// order; *count gets their number (0 and null when there are none).
char **numericGlobalParamNames(int *count);

// The current value of numeric global parameter index, when it has been
// evaluated or set directly; false otherwise.
bool numericGlobalParamValue(int index, double *value);

}  // namespace kiv

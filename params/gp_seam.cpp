// Expressions read numeric global parameters from the current system's store.
#include "params/gp_seam.hpp"

#include "params/kiv_globalparams.h"

namespace kiv {

char **numericGlobalParamNames(int *count) { return GetGlobalParamTokens(count); }

bool numericGlobalParamValue(int index, double *value) {
  if (!IsGlobalParamValid(index)) return false;
  int count = 0;
  *value = GetGlobalParamValues(&count)[index];
  return true;
}

}  // namespace kiv

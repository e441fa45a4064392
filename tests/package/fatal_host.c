/* A C host that asks for a fluid property before any fluid is defined,
 * outside any recovery point: the library must end the process with the
 * fatal error's code and message. */
#include <stdio.h>

#include "hydraulics/kiv_hydraulics.h"
#include "runtime/kiv_runtime.h"

int main(void) {
  int index = 1;
  double p = 1e5;
  sethdind_(&index);
  printf("density %g\n", rhoatp_(&p));
  return 0;
}

// Inside view of the coefficient tables, for the laws built on them.
#pragma once

namespace kiv::hyd {

// Cq of table index at key (X, or Re for a Cq(Re) table); a bad index or a
// table that holds no Cq ends the run.  Allocation-free.
double cqFromTable(double key, int index);

struct InertiaResult {
  double dqdt, re, v, cq;
};
InertiaResult orificeInertia(double p1, double p2, double q, double A, double dh, double L,
                             int index);

}  // namespace kiv::hyd

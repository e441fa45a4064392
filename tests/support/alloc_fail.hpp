// Allocations that fail on demand, for the programs linked with the seam
// (alloc_fail.cpp replaces operator new and wraps the C allocation calls of
// everything linked statically): each allocation is counted, and the k-th
// one after arming can be refused.
#pragma once

namespace kiv::test {

enum class Refuse {
  kOnce,        // the k-th allocation fails, the later ones succeed
  kFromThenOn,  // the k-th and every later one fail
};

// Arms the seam while it lives: counting starts at 1 with the first
// allocation after construction.  One at a time.
class FailingAllocations {
 public:
  FailingAllocations(long k, Refuse mode);
  ~FailingAllocations();
  FailingAllocations(const FailingAllocations &) = delete;
  FailingAllocations &operator=(const FailingAllocations &) = delete;

  // Allocations asked for since arming, refused ones included.
  long seen() const;
  // Whether one was refused.
  bool refused() const;
};

// Whether the process holds heap blocks that nothing points to, by the
// sanitizer's leak check (which does not end the program); it reports every
// block lost so far.  Without the sanitizer there is no such check: false.
bool heapLeaked();
// Whether heapLeaked can answer true.
bool leakCheckAvailable();

}  // namespace kiv::test

#include "support/alloc_fail.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIV_LEAK_CHECK 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define KIV_LEAK_CHECK 1
#endif
#ifdef KIV_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

// The library's own calls reach these through the linker's --wrap; the
// real ones are the C library's (or the sanitizer's).
extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *p, size_t size);
char *__real_strdup(const char *s);
}

namespace {

std::atomic<bool> armed{false};
std::atomic<long> sinceArmed{0};
std::atomic<bool> refusedOne{false};
long failAt = 0;
kiv::test::Refuse refuseMode = kiv::test::Refuse::kOnce;

// Counts one allocation; true when it must fail.
bool refuse() {
  if (!armed.load(std::memory_order_relaxed)) return false;
  const long n = ++sinceArmed;
  const bool no = n == failAt || (refuseMode == kiv::test::Refuse::kFromThenOn && n > failAt);
  if (no) refusedOne = true;
  return no;
}

void *take(size_t size) { return refuse() ? nullptr : __real_malloc(size ? size : 1); }

void *takeAligned(size_t size, std::align_val_t align) {
  if (refuse()) return nullptr;
  void *p = nullptr;
  const size_t a = std::max(static_cast<size_t>(align), sizeof(void *));
  return ::posix_memalign(&p, a, size ? size : 1) == 0 ? p : nullptr;
}

}  // namespace

extern "C" {
void *__wrap_malloc(size_t size) { return refuse() ? nullptr : __real_malloc(size); }
void *__wrap_calloc(size_t count, size_t size) { return refuse() ? nullptr : __real_calloc(count, size); }
void *__wrap_realloc(void *p, size_t size) { return refuse() ? nullptr : __real_realloc(p, size); }
char *__wrap_strdup(const char *s) { return refuse() ? nullptr : __real_strdup(s); }
}

void *operator new(size_t size) {
  if (void *p = take(size)) return p;
  throw std::bad_alloc();
}
void *operator new[](size_t size) {
  if (void *p = take(size)) return p;
  throw std::bad_alloc();
}
void *operator new(size_t size, const std::nothrow_t &) noexcept { return take(size); }
void *operator new[](size_t size, const std::nothrow_t &) noexcept { return take(size); }
void *operator new(size_t size, std::align_val_t a) {
  if (void *p = takeAligned(size, a)) return p;
  throw std::bad_alloc();
}
void *operator new[](size_t size, std::align_val_t a) {
  if (void *p = takeAligned(size, a)) return p;
  throw std::bad_alloc();
}
void *operator new(size_t size, std::align_val_t a, const std::nothrow_t &) noexcept { return takeAligned(size, a); }
void *operator new[](size_t size, std::align_val_t a, const std::nothrow_t &) noexcept {
  return takeAligned(size, a);
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }
void operator delete[](void *p, size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete(void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void *p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void *p, size_t, std::align_val_t) noexcept { std::free(p); }

namespace kiv::test {

FailingAllocations::FailingAllocations(long k, Refuse mode) {
  failAt = k;
  refuseMode = mode;
  sinceArmed = 0;
  refusedOne = false;
  armed = true;
}

FailingAllocations::~FailingAllocations() { armed = false; }

long FailingAllocations::seen() const { return sinceArmed; }

bool FailingAllocations::refused() const { return refusedOne; }

bool heapLeaked() {
#ifdef KIV_LEAK_CHECK
  return __lsan_do_recoverable_leak_check() != 0;
#else
  return false;
#endif
}

bool leakCheckAvailable() {
#ifdef KIV_LEAK_CHECK
  return true;
#else
  return false;
#endif
}

}  // namespace kiv::test

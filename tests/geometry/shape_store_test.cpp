// One system kept for many runs, as a host keeps it: the shapes a run made
// by id leave nothing behind, and finding a shape costs the same whether
// the run or the system is young or old.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <string>
#include <vector>

#include "geometry/kiv_shapeid.h"
#include "support/kiv_test.hpp"

namespace {

using ShapeStore = kiv::test::SystemTest;
using Clock = std::chrono::steady_clock;

// Heap and times mean something in the optimised build alone.
bool measurable() {
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__)
  return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return false;
#else
  return true;
#endif
#else
  return true;
#endif
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A right triangle of legs a and 1 by id.
int triangle(double a) {
  const double x[] = {0, a, 0}, y[] = {0, 0, 1};
  return xCD_create_shape_from_array_(x, y, 3);
}

// The fastest of the stretches of `each` runs between from and to: a busy
// machine slows some stretches, the cost of a run slows them all.
struct Blocks {
  int from, to, each;
  double fastest = std::numeric_limits<double>::infinity();
};

TEST_F(ShapeStore, OneSystemOverManyRunsStaysFlatAndFast) {
  if (!measurable()) GTEST_SKIP() << "heap and time are measured in the optimised build";
  constexpr int kRuns = 40000;
  Blocks first{0, 10000, 1000}, last{30000, 40000, 1000};
  size_t heapAt10k = 0;
  int bad = 0;
  Clock::time_point start = Clock::now();
  for (int run = 0; run < kRuns; ++run) {
    const int id = triangle(2.0);
    double area = 0;
    bad += id < 0 || xCD_shape_area_(&id, &area) != 0 || area != 1.0;
    KivEndRun(0);
    bad += xCD_shape_exists_(&id);
    for (Blocks *b : {&first, &last})
      if (run >= b->from && run < b->to && (run + 1 - b->from) % b->each == 0) {
        const Clock::time_point now = Clock::now();
        b->fastest = std::min(b->fastest, seconds(now - start));
      }
    if ((run + 1) % 1000 == 0) start = Clock::now();
    if (run + 1 == 10000) heapAt10k = mallinfo2().uordblks;
  }
  const size_t heapAt40k = mallinfo2().uordblks;
  RecordProperty("heap_at_10000_runs", std::to_string(heapAt10k));
  RecordProperty("heap_at_40000_runs", std::to_string(heapAt40k));
  RecordProperty("fastest_1000_runs_first_last_s", std::to_string(first.fastest) + " " + std::to_string(last.fastest));
  EXPECT_EQ(bad, 0);
  EXPECT_LE(heapAt40k, heapAt10k + 64 * 1024) << "grew from " << heapAt10k;
  EXPECT_LE(last.fastest, 3 * first.fastest) << "first " << first.fastest << " s, last " << last.fastest << " s";

  // Within one run: the oldest of many shapes is found as fast as the
  // oldest of a few.
  auto oldestLookups = [&](int shapes) {
    std::vector<int> ids;
    for (int i = 0; i < shapes; ++i) ids.push_back(triangle(1.0 + i % 7));
    double fastest = std::numeric_limits<double>::infinity(), area = 0;
    for (int round = 0; round < 5; ++round) {
      const Clock::time_point t = Clock::now();
      for (int k = 0; k < 2000; ++k) bad += xCD_shape_area_(&ids[static_cast<size_t>(k % 10)], &area) != 0;
      fastest = std::min(fastest, seconds(Clock::now() - t));
    }
    KivEndRun(0);
    return fastest;
  };
  const double few = oldestLookups(100), many = oldestLookups(20000);
  RecordProperty("lookups_among_100_20000_s", std::to_string(few) + " " + std::to_string(many));
  EXPECT_EQ(bad, 0);
  EXPECT_LE(many, 3 * few) << "100 shapes " << few << " s, 20000 shapes " << many << " s";
}

}  // namespace

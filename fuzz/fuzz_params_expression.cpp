// Checks arbitrary texts as expressions over x, y and z; what is accepted is
// evaluated (free and held, on and off print steps), differentiated and read
// as unit powers.  The first byte picks the quiet level.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "params/binarytree.hpp"
#include "runtime/system.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {


int nodes(const kiv::BinaryTree *n) { return n ? 1 + nodes(n->left) + nodes(n->right) : 0; }

void exercise(int id) {
  const std::vector<std::vector<double>> points = {
      {0, 0, 0}, {1.5, -2, 0.25}, {-1e300, 1e-300, 7}, {NAN, INFINITY, -0.0}, {3, 3, 3}};
  const bool small = nodes(kiv::GetForest()->slots[static_cast<size_t>(id)].tree.get()) <= 60;
  KIVRunFlags flags{};
  for (int print = 0; print < 2; ++print) {
    flags.printing = print;
    KivSetRunFlags(&flags);
    for (int mode : {KIV_EVAL_ORDINARY, KIV_EVAL_LOCATE, KIV_EVAL_CHECK}) {
      KivBeginEvaluation(mode);
      for (auto v : points) {
        double r;
        expeval_(&id, v.data(), &r);
        EvaluateExpression(id, v.data());
        if (!small) continue;
        for (int k = 1; k <= 3; ++k) expevald_(&id, &k, v.data(), &r);
        int kl[][2] = {{1, 1}, {1, 2}, {3, 2}};
        for (auto &p : kl) expevald2_(&id, p, v.data(), &r);
      }
    }
  }
  int powers[3] = {1, -2, 3}, result;
  EvaluateUnitPowers(id, powers, &result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  KIVSystem *sys = kiv::fuzz::quietSystem();
  int level = data[0] % 3;
  const std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
  kiv::guarded(sys, [&] {
    expsetquieteval_(&level);
    std::string x = "x", y = "y", z = "z";
    char *names[] = {x.data(), y.data(), z.data()};
    const int id = CheckExpression(text.c_str(), 3, names);
    if (id >= 0) {
      exercise(id);
      int count = 2, indexes[] = {1, 3};
      if (nodes(kiv::GetForest()->slots[static_cast<size_t>(id)].tree.get()) <= 30) {
        int d = DifferExpression(text.c_str(), 3, names, &count, indexes);
        double v[3] = {0.5, -1, 2}, r;
        if (d >= 0) expeval_(&d, v, &r);
      }
      int copy = id;
      expfree_(&copy);
    }
    return 0;
  });
  KivReleaseSystem(sys);
  return 0;
}

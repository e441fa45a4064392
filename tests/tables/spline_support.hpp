// Building N-D spline tables from functions in the tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/kiv_test.hpp"
#include "tables/kiv_splinend.h"

namespace kiv::test {

// Fixture of the spline tests: refusals and fatal errors compared whole.
class SplineTest : public SystemTest {
 public:
  void refused(int id, const std::string &msg) {
    EXPECT_EQ(id, -1);
    EXPECT_EQ(takeErr(), msg);
  }
  // f ends the run with code 1 after this message.
  template <class F>
  void fatal(F &&f, const std::string &msg) {
    EXPECT_EQ(guarded([&] {
                f();
                return 0;
              }),
              -2);
    EXPECT_EQ(exitCode(), 1);
    EXPECT_EQ(takeErr(), msg);
  }
};

struct Grid {
  std::vector<std::vector<double>> axes;
  std::vector<double> values;
  std::vector<int> codes;     // default 1 on every side
  std::vector<double> slopes;  // default 0
  std::vector<int> ext;       // default 2 (cubic)
  int disc = 0;

  explicit Grid(std::vector<std::vector<double>> a) : axes(std::move(a)) {
    const size_t d = axes.size();
    codes.assign(2 * d, 1);
    slopes.assign(2 * d, 0.0);
    ext.assign(2 * d, 2);
  }
  int dim() const { return static_cast<int>(axes.size()); }
  std::vector<int> sizes() const {
    std::vector<int> s;
    for (const auto &a : axes) s.push_back(static_cast<int>(a.size()));
    return s;
  }
  // Values of f at every grid point, axis 0 fastest.
  Grid &fill(const std::function<double(const std::vector<double> &)> &f) {
    values.clear();
    std::vector<int> idx(axes.size(), 0);
    std::vector<double> x(axes.size());
    while (true) {
      for (size_t k = 0; k < axes.size(); ++k) x[k] = axes[k][static_cast<size_t>(idx[k])];
      values.push_back(f(x));
      size_t k = 0;
      for (; k < axes.size(); ++k) {
        if (++idx[k] < static_cast<int>(axes[k].size())) break;
        idx[k] = 0;
      }
      if (k == axes.size()) break;
    }
    return *this;
  }
  int cubic(int method = 1) {
    return make([&](auto d, auto s, auto p) {
      return kivsplinitnd_(&method, d, s, p, values.data(), codes.data(), slopes.data(), ext.data(), &disc);
    });
  }
  int linear() {
    return make([&](auto d, auto s, auto p) { return lsplinitnd_(d, s, p, values.data(), codes.data(), &disc); });
  }
  int constant() {
    return make([&](auto d, auto s, auto p) { return csplinitnd_(d, s, p, values.data(), codes.data(), &disc); });
  }

 private:
  template <class F>
  int make(F &&create) {
    const int d = dim();
    auto s = sizes();
    std::vector<double *> p;
    for (auto &a : axes) p.push_back(a.data());
    return create(&d, s.data(), p.data());
  }
};

inline std::vector<double> linspace(double a, double b, int n) {
  std::vector<double> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = a + (b - a) * i / (n - 1);
  return v;
}

inline double value(int id, std::vector<double> x) {
  double r = -12345.0;
  EXPECT_EQ(spleval_(&id, x.data(), &r), 1);
  return r;
}
inline double deriv(int id, int dir, std::vector<double> x) {
  double r = -12345.0;
  EXPECT_EQ(splevald_(&id, &dir, x.data(), &r), 1);
  return r;
}
inline double deriv2(int id, int a, int b, std::vector<double> x) {
  double r = -12345.0;
  const int dirs[2] = {a, b};
  EXPECT_EQ(splevald2_(&id, dirs, x.data(), &r), 1);
  return r;
}
inline std::vector<double> gradient(int id, std::vector<double> x) {
  std::vector<double> g(x.size(), -12345.0);
  EXPECT_EQ(splevalalld_(&id, x.data(), g.data()), 1);
  return g;
}
inline std::vector<double> hessian(int id, std::vector<double> x) {
  std::vector<double> h(x.size() * (x.size() + 1) / 2, -12345.0);
  EXPECT_EQ(splevalalld2_(&id, x.data(), h.data()), 1);
  return h;
}

}  // namespace kiv::test

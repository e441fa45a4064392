// Fixture of the table-file and units tests: a fresh system per test, a
// scratch directory for files written by the test, and helpers to free what
// the readers hand back.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/kiv_test.hpp"
#include "tables/kiv_tablefiles.h"
#include "tables/kiv_units.h"

namespace kiv::test {

class TableTest : public SystemTest {
 public:
  void SetUp() override {
    SystemTest::SetUp();
    std::string templ = (std::filesystem::temp_directory_path() / "kivtab.XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir_ = templ;
  }
  void TearDown() override {
    SystemTest::TearDown();  // ends the run: the store and the units go
    int on = 1;
    rtableStoreToCache_(&on);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Writes a file in the scratch directory and returns its path.
  std::string write(const std::string &name, const std::string &content) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  static std::string data(const std::string &name) { return dataDir() + "/tables/" + name; }

  // Each file content is written and read; the reader must answer `want`
  // with this message ("%s" stands for the file's path).
  struct Refusal {
    std::string content;
    int want;
    std::string msg;
  };
  template <class R>
  void refusals(R &&read, const std::vector<Refusal> &cases) {
    int k = 0;
    for (const Refusal &c : cases) {
      const std::string f = write("refused" + std::to_string(k++) + ".txt", c.content);
      EXPECT_EQ(read(f), c.want) << c.content;
      std::string msg = c.msg;
      if (const size_t p = msg.find("%s"); p != std::string::npos) msg.replace(p, 2, f);
      EXPECT_EQ(takeErr(), msg) << c.content;
    }
  }

  // Replaces the units manager by one read from these lines.
  void useUnits(const std::vector<std::string> &lines) {
    FreeAllUnitStuff();
    std::vector<const char *> p;
    for (const auto &l : lines) p.push_back(l.c_str());
    rtable_multi_line_add("./KIV.units", p.data(), static_cast<int>(p.size()));
    InitUnitsManager("/nonexistent-kiv-root");
  }

  std::string dir_;
};

// Owns a malloc'd array handed back by a reader.
template <class T>
struct Owned {
  T *p = nullptr;
  ~Owned() { std::free(p); }
  T **operator&() { return &p; }
  T &operator[](size_t i) const { return p[i]; }
  std::vector<T> vec(size_t n) const { return p ? std::vector<T>(p, p + n) : std::vector<T>(); }
};

struct OwnedLines {
  char **p = nullptr;
  int n = 0;
  ~OwnedLines() {
    for (int i = 0; p && i < n; ++i) std::free(p[i]);
    std::free(p);
  }
  std::vector<std::string> vec() const {
    std::vector<std::string> v;
    for (int i = 0; p && i < n; ++i) v.emplace_back(p[i] ? p[i] : "<null>");
    return v;
  }
};

}  // namespace kiv::test

// Helpers of the global-parameter tests: a scratch directory, whole-file
// reads and writes, and a record list that destroys its records.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "params/GpManager_private.hpp"
#include "support/kiv_test.hpp"

namespace kiv::test {

class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kivgp_XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  const std::string &str() const { return path_; }
  std::string operator/(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void writeFile(const std::string &path, const std::string &content) {
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Records {
  KIVGP_GPList *list = KIVGP_GPList_Create();
  ~Records() {
    KIVGPPrivate_Algo_DestroyGPListItems(list);
    KIVGP_GPList_Destroy(&list);
  }
  unsigned size() const { return list->count; }
  KIVGP_GP *operator[](unsigned i) const { return list->items[i]; }
  void add(KIVGP_GP *gp) { KIVGP_GPList_Append(list, gp); }
};

// A field that may be absent, for comparisons.
inline std::string text(const char *s) { return s ? s : "<absent>"; }

inline std::vector<std::string> names(const KIVGP_StringList list, int count) {
  std::vector<std::string> v;
  for (int i = 0; i < count; ++i) v.push_back(text(list[i]));
  return v;
}

}  // namespace kiv::test

// Helpers of the global-parameter tests: a scratch directory, whole-file
// reads and writes, a record list that destroys its records, and records and
// name lists as comparable texts.
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
  const char *c_str() const { return path_.c_str(); }
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

inline std::string text(const char *s) { return s ? s : "<absent>"; }

// "type order name|title|value|unit|min|max|default|scope id|data path",
// then "|" and the enumeration strings joined by ",".
inline std::string describe(const KIVGP_GP *gp) {
  std::string s = std::to_string(gp->type) + " " + std::to_string(gp->eval_order) + " " + text(gp->name);
  for (const char *f : {gp->title, gp->value, gp->unit, gp->min_value, gp->max_value, gp->default_value,
                        gp->circuit_scope_id, gp->data_path})
    s += "|" + text(f);
  for (unsigned k = 0; k < gp->enum_count; ++k) s += (k ? "," : "|") + text(gp->enum_strings[k]);
  return s;
}

inline std::vector<std::string> names(const KIVGP_StringList list, int count) {
  std::vector<std::string> v;
  for (int i = 0; i < count; ++i) v.push_back(text(list[i]));
  return v;
}

// What a names reader gives for model "m" in dir, the list freed; a failed
// read must hand out nothing and gives {"<failed>"}.
template <class Reader>
std::vector<std::string> readNames(Reader reader, const ScratchDir &dir, const char *ext = "") {
  KIVGP_StringList list = nullptr;
  int count = 0;
  if (reader("m", dir.c_str(), ext, &list, &count) != 0) {
    EXPECT_EQ(count, 0);
    EXPECT_EQ(list, nullptr);
    return {"<failed>"};
  }
  std::vector<std::string> v = names(list, count);
  KIVGP_StringList_Free(&list, count);
  return v;
}

// A scratch directory for the files of model "m".
class GpFileTest : public SystemTest {
 protected:
  ScratchDir dir;
  std::string path(const std::string &kind) const { return dir / ("m_" + kind); }
  int read(const char *ext, Records &r) { return KIVGP_IO_ReadGPs("m", dir.c_str(), ext, r.list); }
  int write(const char *ext, const Records &r) { return KIVGP_IO_WriteGPs("m", dir.c_str(), ext, r.list); }
};

}  // namespace kiv::test

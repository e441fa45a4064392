// What the tests of the writers hand them: leaves as long as a folder takes,
// and a group other than the process's own that it may still give a file.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace kiv::test {

// A leaf of exactly `bytes` bytes that ends in `tail`.
inline std::string leafOf(size_t bytes, const std::string &tail = "") {
  return std::string(bytes - tail.size(), 'n') + tail;
}

// A group the process may give its files though it is not its own: nogroup
// (65534) for root, else one of its supplementary groups; -1 when there is
// none.
inline gid_t otherGroup() {
  const gid_t mine = ::getegid();
  if (::geteuid() == 0) return mine == 65534 ? 65533 : 65534;
  const int n = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(n > 0 ? static_cast<size_t>(n) : 0);
  if (n > 0 && ::getgroups(n, groups.data()) == n)
    for (gid_t g : groups)
      if (g != mine) return g;
  return static_cast<gid_t>(-1);
}

inline struct stat statOf(const std::string &path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) st.st_ino = 0;
  return st;
}

}  // namespace kiv::test

// Output files that a failed write cannot leave cut.
#include "runtime/atomicfile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <utility>

namespace kiv {
namespace {

// The errno of the call that just failed; EIO when it left none.
int failure() { return errno != 0 ? errno : EIO; }

// 0 once everything written has left the stream's buffer.  The error state
// covers a write that failed before: its errno is still the one set.
int flushChecked(FILE *fp) {
  if (std::fflush(fp) != 0 || std::ferror(fp)) return failure();
  return 0;
}

// Flushes and closes fp, its error state included: after a failed write
// the C library may drop its buffer, so that the later writes and the close
// succeed over a hole.  0, or the errno of the failure.
int closeChecked(FILE *fp) {
  int e = flushChecked(fp);
  if (std::fclose(fp) != 0 && e == 0) e = failure();
  return e;
}

// A temporary's name in the folder of path: short and of fixed length
// whatever the leaf, so that every name the folder takes has one beside
// it.  The letters only make a clash unlikely; O_EXCL settles it.
std::string besideName(const std::string &path) {
  static std::atomic<std::uint64_t> serial{0};
  std::uint64_t x = (static_cast<std::uint64_t>(::getpid()) << 32) ^ ++serial ^
                    static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  // splitmix64's finaliser, so that neighbouring inputs spread.
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  x ^= x >> 31;
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  name += ".kiv";
  for (int i = 0; i < 12; ++i, x /= 36) name += "0123456789abcdefghijklmnopqrstuvwxyz"[x % 36];
  return name;
}

// Gives the new file fd what the file at path has, so that replacing it
// changes its content only: owner and group first (changing them may clear
// mode bits), then the permission bits.  0, or the errno of an owner or
// group the process may not give (the caller then has to write the file in
// place).
int takeOver(int fd, const std::string &path) {
  struct stat old {}, mine {};
  if (::stat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return 0;
  if (::fstat(fd, &mine) != 0) return failure();
  if (old.st_uid != mine.st_uid || old.st_gid != mine.st_gid) {
    const uid_t uid = old.st_uid == mine.st_uid ? static_cast<uid_t>(-1) : old.st_uid;
    const gid_t gid = old.st_gid == mine.st_gid ? static_cast<gid_t>(-1) : old.st_gid;
    if (::fchown(fd, uid, gid) != 0) return failure();
  }
  if (::fchmod(fd, old.st_mode & 0777) != 0) return failure();
  return 0;
}

}  // namespace

AtomicFile::~AtomicFile() {
  if (fp_) std::fclose(fp_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

FILE *AtomicFile::open() {
  for (int attempt = 0; attempt < 100 && !fp_; ++attempt) {
    std::string temp = besideName(path_);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error_ = failure();
      return nullptr;
    }
    int e = takeOver(fd, path_);
    if (e == 0 && !(fp_ = ::fdopen(fd, "w"))) e = failure();
    if (e != 0) {
      error_ = e;
      ::close(fd);
      ::unlink(temp.c_str());
      return nullptr;
    }
    temp_ = std::move(temp);
  }
  if (!fp_ && error_ == 0) error_ = EEXIST;
  return fp_;
}

bool AtomicFile::commit() {
  if (!fp_) {
    if (error_ == 0) error_ = EBADF;
    return false;
  }
  FILE *fp = std::exchange(fp_, nullptr);
  int e = flushChecked(fp);
  if (e == 0 && ::fsync(::fileno(fp)) != 0) e = failure();
  const int closed = closeChecked(fp);
  if (e == 0) e = closed;
  if (e == 0 && std::rename(temp_.c_str(), path_.c_str()) != 0) e = failure();
  if (e != 0) {
    error_ = e;
    ::unlink(temp_.c_str());
  }
  temp_.clear();
  return e == 0;
}

OutputFile::~OutputFile() {
  if (direct_) std::fclose(direct_);
}

FILE *OutputFile::open() {
  if (path_.empty()) {
    error_ = ENOENT;
    return nullptr;
  }
  struct stat st {};
  errno = 0;
  if (::lstat(path_.c_str(), &st) == 0)
    replacing_ = S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid();
  else
    replacing_ = errno == ENOENT;
  if (replacing_) {
    if (FILE *fp = atomic_.open()) {
      errno = 0;  // what a failed write sets is what close() reports
      return fp;
    }
    // A folder that takes no new file, or a file whose group the process
    // may not give a new one, may still be rewritten where it is.
    error_ = atomic_.error();
    if (error_ != EACCES && error_ != EPERM && error_ != ENAMETOOLONG) return nullptr;
    replacing_ = false;
  }
  errno = 0;
  direct_ = std::fopen(path_.c_str(), "w");
  if (!direct_) {
    error_ = failure();
    return nullptr;
  }
  errno = 0;
  return direct_;
}

bool OutputFile::close() {
  if (replacing_) {
    replacing_ = false;
    if (atomic_.commit()) return true;
    error_ = atomic_.error();
    return false;
  }
  if (!direct_) {
    if (error_ == 0) error_ = EBADF;
    return false;
  }
  error_ = closeChecked(std::exchange(direct_, nullptr));
  return error_ == 0;
}

}  // namespace kiv

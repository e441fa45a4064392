// Output files that a failed write cannot leave cut.
#include "runtime/atomicfile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

AtomicFile::~AtomicFile() {
  if (fp_) std::fclose(fp_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

FILE *AtomicFile::open() {
  static unsigned serial = 0;
  for (int attempt = 0; attempt < 100 && !fp_; ++attempt) {
    std::string temp = path_ + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error_ = failure();
      return nullptr;
    }
    temp_ = temp;
    // Rewriting a file in place keeps its permissions; so does replacing it.
    struct stat old {};
    if (::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 0777);
    fp_ = ::fdopen(fd, "w");
    if (!fp_) {
      error_ = failure();
      ::close(fd);
      return nullptr;
    }
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
    // A folder that takes no new file may still let its file be rewritten.
    error_ = atomic_.error();
    if (error_ != EACCES && error_ != EPERM) return nullptr;
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

// A named pipe written once, as a shell hands "reader <(cat file)" its
// text: a writer thread waits for a reader to open the pipe, writes the text
// and closes it.  A reader that opens the pipe a second time would wait for
// a second writer forever; the feed lets such a reader go (it reads nothing)
// and counts it, so that its test fails instead of hanging the suite.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <utility>

namespace kiv::test {

class PipeFeed {
 public:
  // How long a reader may keep the pipe open after the text was written
  // before it counts as waiting for another writer.
  static constexpr std::chrono::milliseconds kGrace{1000};

  // Makes the pipe at path, or takes the one there.
  PipeFeed(std::string path, std::string text) : path_(std::move(path)), text_(std::move(text)) {
    made_ = ::mkfifo(path_.c_str(), 0600) == 0 || errno == EEXIST;
    if (made_) writer_ = std::thread([this] { run(); });
  }
  ~PipeFeed() { finish(); }
  PipeFeed(const PipeFeed &) = delete;
  PipeFeed &operator=(const PipeFeed &) = delete;

  struct Outcome {
    bool made = false;     // the pipe was made
    bool written = false;  // a reader took the whole text
    int waits = 0;         // readers let go while waiting for another writer
  };

  // Call once the reader has returned.
  Outcome finish() {
    done_ = true;
    if (writer_.joinable()) writer_.join();
    return {made_, written_, waits_};
  }

 private:
  static void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

  void run() {
    // A reader that closes early makes write fail with EPIPE, not kill the
    // test program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    // Without blocking: the open succeeds once a reader has the pipe open
    // (or waits in its own open).
    int fd = -1;
    while (!done_ && (fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0 && errno == ENXIO) pause();
    if (fd >= 0) {
      size_t at = 0;
      while (at < text_.size() && !done_) {
        const ssize_t n = ::write(fd, text_.data() + at, text_.size() - at);
        if (n > 0) {
          at += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
          pollfd p{fd, POLLOUT, 0};
          ::poll(&p, 1, 10);
        } else {
          break;
        }
      }
      written_ = at == text_.size();
      ::close(fd);
    }
    auto quiet = std::chrono::steady_clock::now() + kGrace;
    while (!done_) {
      if (std::chrono::steady_clock::now() >= quiet) {
        const int w = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (w >= 0) {
          ++waits_;
          ::close(w);
          quiet = std::chrono::steady_clock::now() + kGrace;
        }
      }
      pause();
    }
  }

  std::string path_, text_;
  bool made_ = false;
  std::atomic<bool> done_{false};
  std::atomic<bool> written_{false};
  std::atomic<int> waits_{0};
  std::thread writer_;
};

// Standard input made a pipe that holds the text, its writer gone, as a
// shell hands "reader /dev/stdin" a command's output, until the feed goes.
// A reader that opens /dev/stdin a second time reads nothing there.
class StdinFeed {
 public:
  explicit StdinFeed(const std::string &text)
      : saved_(::fcntl(0, F_DUPFD_CLOEXEC, 3)), closed_(saved_ < 0 && errno == EBADF) {
    int fds[2];
    // A page, the least a pipe holds, takes a short text before any read.
    // Without a standard input, the pipe's read end may come as 0 itself.
    if ((saved_ < 0 && !closed_) || text.size() > 4096 || ::pipe(fds) != 0) return;
    ok_ = ::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::dup2(fds[0], 0) == 0;
    if (fds[0] != 0) ::close(fds[0]);
    ::close(fds[1]);
  }
  ~StdinFeed() {
    if (saved_ >= 0)
      ::dup2(saved_, 0), ::close(saved_);
    else if (closed_)
      ::close(0);
  }
  StdinFeed(const StdinFeed &) = delete;
  StdinFeed &operator=(const StdinFeed &) = delete;
  bool ok() const { return ok_; }  // the text is there to read

 private:
  int saved_;
  bool closed_;  // there was no standard input
  bool ok_ = false;
};

}  // namespace kiv::test

// Files written whole or not at all: a writer that fails half-way (a full
// disk, a failed close) leaves the name as it was, never a cut file that a
// reader would take for the whole.
#pragma once

#include <cstdio>
#include <string>

namespace kiv {

// A file written beside its final path and renamed over it only once every
// write, the sync and the close succeeded, so a failed write leaves the old
// file or no file at all.  The temporary is a hidden name of 16 bytes in
// the same folder, so any leaf up to NAME_MAX has one.  A file replaced
// keeps its owner, group and permission bits.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path) : path_(std::move(path)) {}
  AtomicFile(const AtomicFile &) = delete;
  AtomicFile &operator=(const AtomicFile &) = delete;
  // Removes a temporary never committed.
  ~AtomicFile();
  // The open temporary file, or NULL when it cannot be created or cannot
  // be given the old file's owner and group (error() says why: EPERM for
  // an owner or group the process may not give).
  FILE *open();
  // Flushes, syncs, closes and renames; false (temporary removed) on any
  // failure.
  bool commit();
  // The errno of the step that failed, 0 while none did.
  int error() const { return error_; }

 private:
  std::string path_, temp_;
  FILE *fp_ = nullptr;
  int error_ = 0;
};

// A named output for writers that may be handed any name.  A regular file
// of the writer's own, or a name not there yet, is written as an
// AtomicFile.  Anything a rename would change the meaning of (a pipe, a
// device, a symbolic link such as /dev/stdout, a file of several links or
// of another owner, a file of a group the process may not give), or a name
// whose folder takes no new file, is written in place, through a link to
// its target: a failure there is still reported, but what was written
// stays.  Every writer of the library that may be handed a name goes
// through this class, so that they all follow the one rule.
class OutputFile {
 public:
  explicit OutputFile(std::string path) : atomic_(path), path_(std::move(path)) {}
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  ~OutputFile();
  // The stream to write, or NULL (error() says why).
  FILE *open();
  // Finishes the file; false on any failure, error() saying why.
  bool close();
  int error() const { return error_; }

 private:
  AtomicFile atomic_;
  std::string path_;
  FILE *direct_ = nullptr;
  bool replacing_ = false;
  int error_ = 0;
};

}  // namespace kiv

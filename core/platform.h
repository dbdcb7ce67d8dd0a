// The seam between the core and a system: a platform opens folders, a folder
// opens inputs and creates outputs by their names inside it, and every call
// returns a Status that says whether it worked and, if not, in which step.
// The POSIX, Win32 and page platforms implement it, and so does the tests'
// fault injector. No call keeps hidden state for a later one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/paths.h"
#include "core/status.h"

namespace tarnvell {

// What tells one file from another, and one version of it from the next: the
// volume and the file's number on it (the same through any name or link),
// its size and its last modification.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t size = 0;
  int64_t modified = 0;  // in the platform's own ticks
};

inline bool SameFile(const FileIdentity& a, const FileIdentity& b) {
  return a.volume == b.volume && a.index == b.index;
}

inline bool SameVersion(const FileIdentity& a, const FileIdentity& b) {
  return SameFile(a, b) && a.size == b.size && a.modified == b.modified;
}

// An open input file. Closed by its destructor.
class Input {
 public:
  virtual ~Input() = default;

  // Reads up to `count` bytes from `offset`, without moving any position;
  // fewer (or none) only at the end of the file, and *delivered says how many
  // arrived. Step kRead on failure.
  virtual Status ReadAt(uint64_t offset, void* buffer, uint32_t count,
                        uint32_t* delivered) = 0;

  // The identity of the file as it is now, its full size included. Step kRead
  // on failure.
  virtual Status Identify(FileIdentity* identity) = 0;
};

// A new file being written in a folder, to take its final name only once
// whole; readable by nobody else until then. Until Publish succeeds nothing
// stands at the final name that was not there before, and an output that is
// never published is removed by its destructor, leaving no trace.
class Output {
 public:
  virtual ~Output() = default;

  // Appends all `count` bytes. Step kWrite on failure.
  virtual Status Write(const void* buffer, uint32_t count) = 0;

  // Appends the bytes of `input` from `offset`, up to `length` of them or to
  // the input's end, whichever comes first; *copied says how many. The
  // platform copies them the cheapest way it has. Step kRead or kWrite.
  virtual Status CopyRange(Input& input, uint64_t offset, uint64_t length,
                           uint64_t* copied) = 0;

  // Puts the whole file in place under its final name, replacing whatever
  // stands there (a link itself, never its target): it takes over the
  // replaced file's permissions and owner (a new file gets what the folder
  // gives a new file), reaches the disk, moves into place and makes the
  // folder's entry durable. A failure names its step: kPermissions, kFlush
  // and kPlace leave the earlier file as it was; kSync comes after the move.
  // Call once.
  virtual Status Publish() = 0;

  // The part of Publish that can fail before anything is placed (taking over
  // permissions, reaching the disk), done now so that several outputs can all
  // be made ready before the first is placed; Publish then only places it.
  // Same steps as Publish; call at most once, before it.
  virtual Status Prepare() { return Ok(); }

  // The bare name of a scratch file that a failed Publish had to leave beside
  // the placed file (step kSync), or "" when it left none.
  virtual std::string Leftover() const { return ""; }
};

// An open folder. Every name is a bare name inside it. Closed by its
// destructor; outputs and inputs made through it must go first.
class Folder {
 public:
  virtual ~Folder() = default;

  // Opens an existing regular file for reading; others may read it
  // meanwhile. Anything else (a folder, a pipe, a device) is refused at once,
  // without waiting on it. Step kOpen on failure.
  virtual Status OpenInput(const std::string& name,
                           std::unique_ptr<Input>* input) = 0;

  // The identity of whatever stands at the name, a link itself rather than
  // its target; *exists is false (and the call succeeds) when nothing does.
  // Step kOpen on failure.
  virtual Status Lookup(const std::string& name, FileIdentity* identity,
                        bool* exists) = 0;

  // Starts a new file that is to become `name` (see Output). With kReplace
  // it refuses an existing file at `name` that the user may not write (step
  // kPermissions) and a folder there (step kPlace); with kKeep its Publish
  // never replaces anything, and fails in step kPlace with Reason::kExists
  // when something stands at `name` by then. Step kCreate on other failures.
  enum class Existing { kReplace, kKeep };
  virtual Status CreateOutput(const std::string& name, Existing existing,
                              std::unique_ptr<Output>* output) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // How this platform spells paths.
  virtual PathRules Rules() const = 0;

  // Opens a folder by its path ("" is the current folder, taken once, here)
  // for looking names up and making files in it; it need not be listable.
  // Step kOpen on failure.
  virtual Status OpenFolder(const std::string& path,
                            std::unique_ptr<Folder>* folder) = 0;
};

// The bare name of the nth candidate scratch file, alike on every platform so
// that a leftover is recognised.
std::string ScratchName(uint32_t n);

}  // namespace tarnvell

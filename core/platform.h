// The few file and memory operations the core needs, behind one interface so
// that the same logic runs over POSIX, over Win32, and over a fault injector.
// Outputs are made through an open folder, never through the current one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/outcome.h"
#include "core/paths.h"

namespace tarnvell {

// An open file and an open folder, opaque to the core.
struct File;
struct Folder;

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

class Platform {
 public:
  virtual ~Platform() = default;

  virtual PathRules Rules() const = 0;

  // Opens an existing regular file by its path for reading; others may read
  // it meanwhile. Anything else (a folder, a pipe, a device) is refused at
  // once, without waiting on it. Null on failure.
  virtual File* OpenRead(const char* path) = 0;

  // Opens the folder outputs are made in ("" is the current folder, taken
  // once, here). Null on failure.
  virtual Folder* OpenFolder(const char* path) = 0;
  virtual void CloseFolder(Folder* folder) = 0;

  // The identity of whatever stands at a name in the folder, a link itself
  // rather than its target; *exists is false (and the call succeeds) when
  // nothing does.
  virtual bool IdentifyName(Folder* folder, const char* name,
                            FileIdentity* identity, bool* exists) = 0;

  // Creates a new scratch file for writing in the folder, to become
  // `finalName` once it is whole; readable by nobody else until then. Never
  // opens an existing file or follows a link. Null on failure.
  virtual File* CreateTemp(Folder* folder, const char* finalName) = 0;

  // Moves to an absolute offset from the start.
  virtual bool Seek(File* file, uint32_t offset) = 0;

  // Reads up to `count` bytes; fewer (or none) only at the end of the file,
  // and *delivered says how many arrived.
  virtual bool Read(File* file, void* buffer, uint32_t count,
                    uint32_t* delivered) = 0;

  // Writes all `count` bytes; false when any of them could not be written.
  virtual bool Write(File* file, const void* buffer, uint32_t count) = 0;

  // The identity of an open file, its full size included.
  virtual bool Identify(File* file, FileIdentity* identity) = 0;

  // Readies a scratch file to replace what stands at `finalName` in its
  // folder: refuses a file the user may not write, and gives the scratch file
  // the permissions (and, where the process may set it, the owner) of the one
  // it replaces, or the usual ones for a new file.
  virtual bool Adopt(File* file, const char* finalName) = 0;

  // Flushes a whole scratch file to the disk and closes it; *tempName gets
  // the name it then has in its folder (empty when it has none). The file is
  // released whatever the result.
  virtual bool Finish(File* file, std::string* tempName) = 0;

  // Releases a scratch file that failed: it is never given a name, and one
  // it had is removed.
  virtual void Abandon(File* file) = 0;

  // Moves a finished scratch file to its final name in the folder, replacing
  // any file (or link) of that name; a link's target is untouched.
  virtual bool Commit(Folder* folder, const char* tempName,
                      const char* finalName) = 0;

  // Removes a finished scratch file that will not be committed.
  virtual void Discard(Folder* folder, const char* tempName) = 0;

  // Makes the folder's entries durable, so a file moved into place stays
  // there after a power cut.
  virtual bool SyncDir(Folder* folder) = 0;

  // Closes an input.
  virtual bool Close(File* file) = 0;

  // A zero-filled block of `size` bytes (a usable pointer for 0 too), or null.
  virtual void* Alloc(uint32_t size) = 0;
  virtual void Free(void* block) = 0;

  // The code of the most recent failed call: the system's error number, or
  // one of the program's own reasons.
  virtual int LastError() const = 0;

  // A system error number in words.
  virtual std::string SystemErrorText(int code) const = 0;
};

// The bare name of the nth candidate scratch file, alike on every platform so
// that a leftover is recognised.
inline std::string ScratchName(uint32_t n) {
  char name[32];
  std::snprintf(name, sizeof name, ".tarnvell-%08x.tmp", static_cast<unsigned>(n));
  return name;
}

}  // namespace tarnvell

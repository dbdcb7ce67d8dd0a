// The few file and memory operations the core needs, behind one interface so
// that the same logic runs over POSIX, over Win32, and over a fault injector.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tarnvell {

// How the platform spells paths: the one separator byte, and which bytes open
// a double-byte character (whose second byte then never separates).
struct PathRules {
  char separator;
  bool (*isLeadByte)(unsigned char byte);  // null: no double-byte characters
};

// An open file, opaque to the core.
struct File;

class Platform {
 public:
  virtual ~Platform() = default;

  virtual PathRules Rules() const = 0;

  // Opens an existing file by its full path for reading; others may read it
  // meanwhile. Null on failure.
  virtual File* OpenRead(const char* path) = 0;

  // Creates a new, uniquely named scratch file for writing in the current
  // directory, to become `finalName` once it is whole; its bare name goes to
  // *tempName. Never opens an existing file or follows a link. Null on failure.
  virtual File* CreateTemp(const char* finalName, std::string* tempName) = 0;

  // Moves to an absolute offset from the start.
  virtual bool Seek(File* file, uint32_t offset) = 0;

  // Reads up to `count` bytes; fewer (or none) at the end of the file is not a
  // failure, and *delivered says how many arrived.
  virtual bool Read(File* file, void* buffer, uint32_t count,
                    uint32_t* delivered) = 0;

  // Writes all `count` bytes; false when any of them could not be written.
  virtual bool Write(File* file, const void* buffer, uint32_t count) = 0;

  // The full size of an open file in bytes.
  virtual bool Size(File* file, uint64_t* size) = 0;

  // Closes the file; for a file being written, true only once its bytes are
  // safely in the file.
  virtual bool Close(File* file) = 0;

  // Moves a whole scratch file to its final name in the current directory,
  // replacing any file (or link) of that name; a link's target is untouched.
  virtual bool Commit(const char* tempName, const char* finalName) = 0;

  // Removes a scratch file that will not be committed.
  virtual void Discard(const char* tempName) = 0;

  virtual bool SetCurrentDir(const char* dir) = 0;

  // A zero-filled block of `size` bytes (a usable pointer for 0 too), or null.
  virtual void* Alloc(uint32_t size) = 0;
  virtual void Free(void* block) = 0;

  // Why the most recent failed call failed, in words.
  virtual std::string LastError() const = 0;
};

// The bare name of the nth candidate scratch file: short, so a long final
// name still fits beside it, and alike on every platform, so a leftover is
// recognised.
inline std::string ScratchName(uint32_t n) {
  char name[32];
  std::snprintf(name, sizeof name, ".tarnvell-%08x.tmp", static_cast<unsigned>(n));
  return name;
}

}  // namespace tarnvell

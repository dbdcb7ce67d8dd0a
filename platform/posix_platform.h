// The platform over POSIX files: the slash separates paths, names are bytes.
#pragma once

#include <string>

#include "core/platform.h"

namespace tarnvell {

class PosixPlatform : public Platform {
 public:
  PathRules Rules() const override;
  File* OpenRead(const char* path) override;
  File* CreateTemp(const char* finalName, std::string* tempName) override;
  bool Seek(File* file, uint32_t offset) override;
  bool Read(File* file, void* buffer, uint32_t count,
            uint32_t* delivered) override;
  bool Write(File* file, const void* buffer, uint32_t count) override;
  bool Identify(File* file, FileIdentity* identity) override;
  bool IdentifyName(const char* name, FileIdentity* identity,
                    bool* exists) override;
  bool Adopt(File* file, const char* finalName) override;
  bool Close(File* file) override;
  bool Commit(const char* tempName, const char* finalName) override;
  bool SyncDir() override;
  void Discard(const char* tempName) override;
  bool SetCurrentDir(const char* dir) override;
  void* Alloc(uint32_t size) override;
  void Free(void* block) override;
  std::string LastError() const override;

 private:
  int error_ = 0;      // an errno value, or one of the platform's own below
  bool Fail();         // records errno, returns false
  bool Fail(int why);  // records why, returns false
};

// Helpers of the POSIX front ends.

// A CP932 notice in UTF-8; bytes that cannot be converted are kept as they are.
std::string Utf8FromCp932(const char* text);

// The process's current folder, or "" when it cannot be told.
std::string CurrentDir();

// A path as a full path: relative ones are taken from `cwd`.
std::string AbsolutePath(const std::string& path, const std::string& cwd);

// Sets up a front end's process so that no signal leaves a scratch file
// behind: interrupting signals remove the pending scratch file and then end
// the process as usual (unless they were ignored when it started), a broken
// pipe becomes a failed write, and a file-size limit a failed write (EFBIG)
// that the usual clean-up follows.
void HandleSignalsForCleanUp();

// Removes the scratch file being written, if any; safe in a signal handler.
void RemovePendingScratchFile();

}  // namespace tarnvell

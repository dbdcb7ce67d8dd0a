// The platform over POSIX files: the slash separates paths, names are bytes.
#pragma once

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
  bool Size(File* file, uint64_t* size) override;
  bool Close(File* file) override;
  bool Commit(const char* tempName, const char* finalName) override;
  void Discard(const char* tempName) override;
  bool SetCurrentDir(const char* dir) override;
  void* Alloc(uint32_t size) override;
  void Free(void* block) override;
  std::string LastError() const override;

 private:
  int error_ = 0;
  bool Fail();  // records errno, returns false
};

// Removes the scratch file being written, if any; safe in a signal handler,
// so an interrupted program leaves nothing behind.
void RemovePendingScratchFile();

}  // namespace tarnvell

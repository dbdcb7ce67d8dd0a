// The platform over Win32 files: the backslash separates paths, and names are
// bytes in the ANSI code page, whose lead bytes the system tells.
#pragma once

#include <cstdint>

#include "core/platform.h"

namespace tarnvell {

class Win32Platform : public Platform {
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
  unsigned long error_ = 0;  // a Win32 error code
  bool Fail();               // records GetLastError(), returns false
};

}  // namespace tarnvell

// The platform over Win32 files. The core spells paths in UTF-8 and the
// system in UTF-16: every name is converted at this edge, so any name works on
// any Windows, and since UTF-8 never hides a backslash the rules need no lead
// bytes.
#pragma once

#include <cstdint>
#include <string>

#include "core/platform.h"

namespace tarnvell {

class Win32Platform : public Platform {
 public:
  PathRules Rules() const override;
  File* OpenRead(const char* path) override;
  // The folder is kept as its full path: nothing holds it open, and the
  // process's own current folder never changes.
  Folder* OpenFolder(const char* path) override;
  void CloseFolder(Folder* folder) override;
  bool IdentifyName(Folder* folder, const char* name, FileIdentity* identity,
                    bool* exists) override;
  File* CreateTemp(Folder* folder, const char* finalName) override;
  bool Seek(File* file, uint32_t offset) override;
  bool Read(File* file, void* buffer, uint32_t count,
            uint32_t* delivered) override;
  bool Write(File* file, const void* buffer, uint32_t count) override;
  bool Identify(File* file, FileIdentity* identity) override;
  bool Adopt(File* file, const char* finalName) override;
  bool Finish(File* file, std::string* tempName) override;
  void Abandon(File* file) override;
  bool Commit(Folder* folder, const char* tempName,
              const char* finalName) override;
  void Discard(Folder* folder, const char* tempName) override;
  bool SyncDir(Folder* folder) override;
  bool Close(File* file) override;
  void* Alloc(uint32_t size) override;
  void Free(void* block) override;
  int LastError() const override { return static_cast<int>(error_); }
  std::string SystemErrorText(int code) const override;

 protected:
  // The system's replacement of an earlier file by a scratch file; tests put
  // in the failures Wine cannot make.
  virtual bool Replace(const std::wstring& replaced,
                       const std::wstring& replacement);

 private:
  bool Fail();  // records GetLastError(), returns false
  // A core path in UTF-16, made full (a relative one taken in the process's
  // current folder).
  bool FullPath(const char* path, std::wstring* out);
  // The same, in the \\?\ form where it is too long for the plain calls.
  bool SystemPath(const char* path, std::wstring* out);
  // A name in the folder, the same way.
  bool PathIn(const Folder* folder, const char* name, std::wstring* out);

  unsigned long error_ = 0;  // a Win32 error code
  std::string onlyCopy_;     // a scratch file holding the only copy of an output
};

// UTF-16 as the system gives it to UTF-8 as the core takes it, and back. Every
// UTF-16 string survives the round trip, unpaired surrogates too (as 3-byte
// forms); bytes that are not UTF-8 are refused.
std::string Utf8FromWide(const std::wstring& wide);
bool WideFromUtf8(const std::string& utf8, std::wstring* wide);

// The full form of a path, a relative one taken in the process's current
// folder; false (with the system's error) when there is none.
bool FullWidePath(const std::wstring& path, std::wstring* full);

}  // namespace tarnvell

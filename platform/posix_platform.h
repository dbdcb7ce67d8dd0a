// The platform over POSIX files: the slash separates paths, names are bytes,
// and outputs are made relative to an open folder.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "core/platform.h"

namespace tarnvell {

class PosixPlatform : public Platform {
 public:
  PosixPlatform();
  PathRules Rules() const override;
  File* OpenRead(const char* path) override;
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
  int LastError() const override { return error_; }
  std::string SystemErrorText(int code) const override;

 protected:
  // An unnamed scratch file in the folder, where the system has them; null
  // (with errno set) where it has not.
  virtual File* CreateUnnamed(Folder* folder);

 private:
  bool Fail();         // records errno, returns false
  bool Fail(int why);  // records why, returns false
  bool KeepOwnerAndMode(File* file, const struct stat& earlier);

  int error_ = 0;      // an errno value, or one of the program's own reasons
  mode_t newMode_;     // what a new file gets: 0666 less the umask
};

// Removes the scratch file that has a name but is not yet in place, if any,
// and keeps any other from being named; the clean-up of a signal that ends
// the process.
void RemovePendingScratchFile();

}  // namespace tarnvell

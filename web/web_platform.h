// The platform inside the page: the files of one drop are the inputs, read
// through the page's script, and outputs are collected in the page for
// download. There is one folder, the drop's own; names carry no folders.
#pragma once

#include <string>
#include <vector>

#include "core/platform.h"

namespace tarnvell {

// An output whose name is final, as the page offers it for download.
struct WebOutput {
  int handle;  // the page's number for the collected bytes
  std::string name;
};

class WebPlatform : public Platform {
 public:
  // `names`: the dropped files' names, in the page's order.
  explicit WebPlatform(std::vector<std::string> names);
  ~WebPlatform() override;
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

  // The outputs in place once the drop is over, in the order they were made.
  const std::vector<WebOutput>& Outputs() const { return placed_; }

 private:
  bool Fail(int code);
  FileIdentity OutputIdentity(int handle) const;
  static int TakeOut(std::vector<WebOutput>& list, const char* name);

  // The most recent read: where its bytes went and where they came from.
  struct LastRead {
    const void* buffer = nullptr;
    int input = -1;
    uint64_t position = 0;
    uint32_t delivered = 0;
  };

  std::vector<std::string> names_;
  LastRead lastRead_;
  std::vector<WebOutput> finished_;  // whole, under their scratch names
  std::vector<WebOutput> placed_;    // under their final names
  int error_ = 0;
};

}  // namespace tarnvell

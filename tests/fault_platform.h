// A platform that passes every call to another one but can make any single
// call fail, so tests can prove what a failing disk or allocator leaves behind.
// It also names each call it passes on, for the table of steps.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "core/platform.h"

namespace tarnvell {

enum class Op {
  kOpenRead,
  kOpenFolder,
  kIdentifyName,
  kCreateTemp,
  kSeek,
  kRead,
  kWrite,
  kIdentify,
  kAdopt,
  kFinish,
  kCommit,
  kSyncDir,
  kClose,
  kAlloc,
  kCount
};

const char* NameOf(Op op);

// The code an injected failure reports.
constexpr int kInjected = 9999;

class FaultPlatform : public Platform {
 public:
  explicit FaultPlatform(Platform& inner) : inner_(inner) {}

  // Makes the nth call (from 1) of op fail; 0 fails none. A failing write
  // first writes half its bytes, as a filling disk does.
  void FailAt(Op op, int nth) {
    failOp_ = op;
    failAt_ = nth;
  }
  int Calls(Op op) const { return calls_[static_cast<int>(op)]; }
  // Runs `action` just before the nth call of op is passed on, as another
  // program acting at that moment would.
  void Before(Op op, int nth, std::function<void()> action) {
    actionOp_ = op;
    actionAt_ = nth;
    action_ = std::move(action);
  }
  // Lets no output grow past this many bytes, as a small disk would.
  void LimitOutputs(uint64_t largest) { outputLimit_ = largest; }
  // Leaves finished scratch files in place when asked to remove them, as a
  // failing unlink would; Discards() counts the requests.
  void KeepScratchFiles() { keepScratch_ = true; }
  int Discards() const { return discards_; }
  // What each call did, in words, by (op, nth call).
  const std::map<std::pair<Op, int>, std::string>& Steps() const { return steps_; }

  PathRules Rules() const override { return inner_.Rules(); }
  File* OpenRead(const char* path) override;
  Folder* OpenFolder(const char* path) override;
  void CloseFolder(Folder* folder) override { inner_.CloseFolder(folder); }
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
  void Free(void* block) override { inner_.Free(block); }
  int LastError() const override;
  std::string SystemErrorText(int code) const override;

 private:
  // Counts and names the call; true when it is the one to fail.
  bool Fails(Op op, const std::string& what);
  const std::string& WhatIs(File* file) { return files_[file]; }

  Platform& inner_;
  Op failOp_ = Op::kCount;
  int failAt_ = 0;
  Op actionOp_ = Op::kCount;
  int actionAt_ = 0;
  std::function<void()> action_;
  int calls_[static_cast<int>(Op::kCount)] = {};
  uint64_t outputLimit_ = UINT64_MAX;
  std::map<File*, uint64_t> written_;
  bool lastInjected_ = false;
  bool keepScratch_ = false;
  int discards_ = 0;
  std::map<std::pair<Op, int>, std::string> steps_;
  std::map<File*, std::string> files_;  // what each open file is, in words
};

}  // namespace tarnvell

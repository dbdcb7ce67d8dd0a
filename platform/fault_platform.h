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
  kCreateTemp,
  kSeek,
  kRead,
  kWrite,
  kIdentify,
  kIdentifyName,
  kAdopt,
  kClose,
  kCommit,
  kSyncDir,
  kSetCurrentDir,
  kAlloc,
  kCount
};

const char* NameOf(Op op);

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
  // Grants only allocations up to this many bytes, as a small machine would.
  void LimitAlloc(uint32_t largest) { allocLimit_ = largest; }
  // Leaves scratch files in place when asked to remove them, as a failing
  // unlink would; Discards() counts the requests.
  void KeepScratchFiles() { keepScratch_ = true; }
  int Discards() const { return discards_; }
  // What each call did, in words, by (op, nth call).
  const std::map<std::pair<Op, int>, std::string>& Steps() const { return steps_; }

  PathRules Rules() const override { return inner_.Rules(); }
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
  void Free(void* block) override { inner_.Free(block); }
  std::string LastError() const override;

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
  uint32_t allocLimit_ = UINT32_MAX;
  bool lastInjected_ = false;
  bool keepScratch_ = false;
  int discards_ = 0;
  std::map<std::pair<Op, int>, std::string> steps_;
  std::map<File*, std::string> files_;  // what each open file is, in words
};

}  // namespace tarnvell

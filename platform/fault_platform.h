// A platform that passes every call to another one but can make any single
// call fail, so tests can prove what a failing disk or allocator leaves behind.
#pragma once

#include "core/platform.h"

namespace tarnvell {

enum class Op {
  kOpenRead,
  kCreateTemp,
  kSeek,
  kRead,
  kWrite,
  kSize,
  kClose,
  kCommit,
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
  // Grants only allocations up to this many bytes, as a small machine would.
  void LimitAlloc(uint32_t largest) { allocLimit_ = largest; }

  PathRules Rules() const override { return inner_.Rules(); }
  File* OpenRead(const char* path) override;
  File* CreateTemp(const char* finalName, std::string* tempName) override;
  bool Seek(File* file, uint32_t offset) override;
  bool Read(File* file, void* buffer, uint32_t count,
            uint32_t* delivered) override;
  bool Write(File* file, const void* buffer, uint32_t count) override;
  bool Size(File* file, uint64_t* size) override;
  bool Close(File* file) override;
  bool Commit(const char* tempName, const char* finalName) override;
  void Discard(const char* tempName) override { inner_.Discard(tempName); }
  bool SetCurrentDir(const char* dir) override;
  void* Alloc(uint32_t size) override;
  void Free(void* block) override { inner_.Free(block); }
  std::string LastError() const override;

 private:
  bool Fails(Op op);  // counts the call; true when it is the one to fail

  Platform& inner_;
  Op failOp_ = Op::kCount;
  int failAt_ = 0;
  int calls_[static_cast<int>(Op::kCount)] = {};
  uint32_t allocLimit_ = UINT32_MAX;
  bool lastInjected_ = false;
};

}  // namespace tarnvell

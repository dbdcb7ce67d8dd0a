#include "platform/fault_platform.h"

namespace tarnvell {

const char* NameOf(Op op) {
  static const char* const kNames[] = {"open",  "create", "move",  "read",
                                       "write", "size",   "close", "commit",
                                       "chdir", "alloc"};
  return op < Op::kCount ? kNames[static_cast<int>(op)] : "none";
}

bool FaultPlatform::Fails(Op op) {
  int n = ++calls_[static_cast<int>(op)];
  lastInjected_ = op == failOp_ && n == failAt_;
  return lastInjected_;
}

File* FaultPlatform::OpenRead(const char* path) {
  return Fails(Op::kOpenRead) ? nullptr : inner_.OpenRead(path);
}

File* FaultPlatform::CreateTemp(const char* finalName, std::string* tempName) {
  return Fails(Op::kCreateTemp) ? nullptr
                                : inner_.CreateTemp(finalName, tempName);
}

bool FaultPlatform::Seek(File* file, uint32_t offset) {
  return !Fails(Op::kSeek) && inner_.Seek(file, offset);
}

bool FaultPlatform::Read(File* file, void* buffer, uint32_t count,
                         uint32_t* delivered) {
  if (Fails(Op::kRead)) {
    *delivered = 0;
    return false;
  }
  return inner_.Read(file, buffer, count, delivered);
}

bool FaultPlatform::Write(File* file, const void* buffer, uint32_t count) {
  if (Fails(Op::kWrite)) {
    inner_.Write(file, buffer, count / 2);
    return false;
  }
  return inner_.Write(file, buffer, count);
}

bool FaultPlatform::Size(File* file, uint64_t* size) {
  return !Fails(Op::kSize) && inner_.Size(file, size);
}

bool FaultPlatform::Close(File* file) {
  bool injected = Fails(Op::kClose);
  bool ok = inner_.Close(file);  // the file is released either way
  lastInjected_ = injected;
  return ok && !injected;
}

bool FaultPlatform::Commit(const char* tempName, const char* finalName) {
  return !Fails(Op::kCommit) && inner_.Commit(tempName, finalName);
}

bool FaultPlatform::SetCurrentDir(const char* dir) {
  return !Fails(Op::kSetCurrentDir) && inner_.SetCurrentDir(dir);
}

void* FaultPlatform::Alloc(uint32_t size) {
  if (Fails(Op::kAlloc) || size > allocLimit_) {
    lastInjected_ = true;
    return nullptr;
  }
  return inner_.Alloc(size);
}

std::string FaultPlatform::LastError() const {
  return lastInjected_ ? "injected failure" : inner_.LastError();
}

}  // namespace tarnvell

#include "tests/fault_platform.h"

#include "tests/support.h"

using testing_support::Leaf;

namespace tarnvell {

namespace {

const char* const kNames[] = {
    "open",  "open folder", "lookup", "create", "move",   "read",  "write",
    "identify", "adopt",    "finish", "commit", "sync",   "close", "alloc"};
static_assert(sizeof kNames / sizeof kNames[0] == static_cast<int>(Op::kCount),
              "one name for each operation");

}  // namespace

const char* NameOf(Op op) {
  return op < Op::kCount ? kNames[static_cast<int>(op)] : "none";
}

bool FaultPlatform::Fails(Op op, const std::string& what) {
  int n = ++calls_[static_cast<int>(op)];
  steps_[{op, n}] = what;
  if (op == actionOp_ && n == actionAt_ && action_) action_();
  lastInjected_ = op == failOp_ && n == failAt_;
  return lastInjected_;
}

File* FaultPlatform::OpenRead(const char* path) {
  if (Fails(Op::kOpenRead, "open " + Leaf(path))) return nullptr;
  File* file = inner_.OpenRead(path);
  files_[file] = Leaf(path);
  return file;
}

Folder* FaultPlatform::OpenFolder(const char* path) {
  if (Fails(Op::kOpenFolder, "open the output folder")) return nullptr;
  return inner_.OpenFolder(path);
}

bool FaultPlatform::IdentifyName(Folder* folder, const char* name,
                                 FileIdentity* identity, bool* exists) {
  return !Fails(Op::kIdentifyName, std::string("check what stands at ") + name) &&
         inner_.IdentifyName(folder, name, identity, exists);
}

File* FaultPlatform::CreateTemp(Folder* folder, const char* finalName) {
  const std::string what = std::string("the scratch file for ") + finalName;
  if (Fails(Op::kCreateTemp, "create " + what)) return nullptr;
  File* file = inner_.CreateTemp(folder, finalName);
  files_[file] = what;
  return file;
}

bool FaultPlatform::Seek(File* file, uint32_t offset) {
  return !Fails(Op::kSeek, "move to " + std::to_string(offset) + " in " + WhatIs(file)) &&
         inner_.Seek(file, offset);
}

bool FaultPlatform::Read(File* file, void* buffer, uint32_t count,
                         uint32_t* delivered) {
  *delivered = 0;
  return !Fails(Op::kRead, "read " + std::to_string(count) + " bytes of " + WhatIs(file)) &&
         inner_.Read(file, buffer, count, delivered);
}

// A failing write first writes half its bytes, as a filling disk does.
bool FaultPlatform::Write(File* file, const void* buffer, uint32_t count) {
  const bool injected =
      Fails(Op::kWrite, "write " + std::to_string(count) + " bytes to " + WhatIs(file));
  if ((written_[file] += count) > outputLimit_) lastInjected_ = true;
  if (!lastInjected_) return inner_.Write(file, buffer, count);
  if (injected) inner_.Write(file, buffer, count / 2);
  return false;
}

bool FaultPlatform::Identify(File* file, FileIdentity* identity) {
  return !Fails(Op::kIdentify, "check which file and version " + WhatIs(file) + " is") &&
         inner_.Identify(file, identity);
}

bool FaultPlatform::Adopt(File* file, const char* finalName) {
  return !Fails(Op::kAdopt, std::string("take the mode and owner of ") + finalName) &&
         inner_.Adopt(file, finalName);
}

bool FaultPlatform::Finish(File* file, std::string* tempName) {
  const bool injected = Fails(Op::kFinish, "flush and close " + WhatIs(file));
  files_.erase(file);
  written_.erase(file);
  if (injected) {
    inner_.Abandon(file);  // as a failing flush: the file gets no name
    tempName->clear();
    return false;
  }
  return inner_.Finish(file, tempName);
}

void FaultPlatform::Abandon(File* file) {
  files_.erase(file);
  written_.erase(file);
  inner_.Abandon(file);
}

bool FaultPlatform::Commit(Folder* folder, const char* tempName,
                           const char* finalName) {
  return !Fails(Op::kCommit,
                std::string("move the scratch file into place as ") + finalName) &&
         inner_.Commit(folder, tempName, finalName);
}

void FaultPlatform::Discard(Folder* folder, const char* tempName) {
  ++discards_;
  if (!keepScratch_) inner_.Discard(folder, tempName);
}

bool FaultPlatform::SyncDir(Folder* folder) {
  return !Fails(Op::kSyncDir, "flush the output folder") && inner_.SyncDir(folder);
}

bool FaultPlatform::Close(File* file) {
  const bool injected = Fails(Op::kClose, "close " + WhatIs(file));
  files_.erase(file);
  const bool ok = inner_.Close(file);  // the file is released either way
  lastInjected_ = injected;
  return ok && !injected;
}

void* FaultPlatform::Alloc(uint32_t size) {
  if (Fails(Op::kAlloc, "allocate " + std::to_string(size) + " bytes")) return nullptr;
  return inner_.Alloc(size);
}

int FaultPlatform::LastError() const {
  return lastInjected_ ? kInjected : inner_.LastError();
}

std::string FaultPlatform::SystemErrorText(int code) const {
  return code == kInjected ? "injected failure" : inner_.SystemErrorText(code);
}

}  // namespace tarnvell

#include "tests/fault_platform.h"

#include <algorithm>
#include <cerrno>

namespace tarnvell {
namespace {

class InjectedCategoryImpl : public std::error_category {
 public:
  const char* name() const noexcept override { return "injected"; }
  std::string message(int) const override { return "injected failure"; }
};

Status Injected(Step step) { return {std::error_code(1, InjectedCategory()), step}; }

class FaultInput : public Input {
 public:
  FaultInput(FaultPlatform& faults, std::unique_ptr<Input> inner, std::string name)
      : faults_(faults), inner_(std::move(inner)), name_(std::move(name)) {}

  Status ReadAt(uint64_t offset, void* buffer, uint32_t count,
                uint32_t* delivered) override {
    *delivered = 0;
    const std::string what = "read " + std::to_string(count) +
                             (count == 1 ? " byte of " : " bytes of ") + name_;
    const Status s = faults_.Call(Op::kRead, what, Step::kRead);
    return s.ok() ? inner_->ReadAt(offset, buffer, count, delivered) : s;
  }
  Status Identify(FileIdentity* identity) override {
    const Status s = faults_.Call(
        Op::kIdentify, "check which file and version " + name_ + " is", Step::kRead);
    return s.ok() ? inner_->Identify(identity) : s;
  }
  Input& inner() { return *inner_; }
  const std::string& name() const { return name_; }

 private:
  FaultPlatform& faults_;
  std::unique_ptr<Input> inner_;
  std::string name_;
};

class FaultOutput : public Output {
 public:
  FaultOutput(FaultPlatform& faults, std::unique_ptr<Output> inner, std::string name)
      : faults_(faults), inner_(std::move(inner)), name_(std::move(name)) {}

  Status Write(const void* buffer, uint32_t count) override {
    const Status s = faults_.Call(
        Op::kWrite, "write " + std::to_string(count) + " bytes to the new " + name_,
        Step::kWrite);
    const uint64_t room = Room();
    if (s.ok() && count <= room) return Pass(inner_->Write(buffer, count), count);
    const uint32_t part = static_cast<uint32_t>(s.ok() ? room : count / 2);
    if (part > 0) Pass(inner_->Write(buffer, part), part);
    return s.ok() ? FailedErrno(Step::kWrite, ENOSPC) : s;
  }

  Status CopyRange(Input& input, uint64_t offset, uint64_t length,
                   uint64_t* copied) override {
    *copied = 0;
    auto& from = static_cast<FaultInput&>(input);
    const Status s = faults_.Call(Op::kCopy,
                                  "copy " + std::to_string(length) + " bytes of " +
                                      from.name() + " into the new " + name_,
                                  Step::kWrite);
    const uint64_t allowed = s.ok() ? std::min(length, Room()) : length / 2;
    const Status c = inner_->CopyRange(from.inner(), offset, allowed, copied);
    written_ += *copied;
    if (!c.ok()) return c;
    if (!s.ok()) return s;
    return *copied < length && *copied == allowed ? FailedErrno(Step::kWrite, ENOSPC)
                                                   : Ok();
  }

  Status Prepare() override { return inner_->Prepare(); }

  Status Publish() override {
    const Status s = faults_.Call(Op::kPublish, "publish the new " + name_, Step::kPlace);
    if (s.ok()) return inner_->Publish();
    if (s.step != Step::kSync) return s;
    const Status placed = inner_->Publish();
    return placed.ok() ? s : placed;
  }

  std::string Leftover() const override { return inner_->Leftover(); }

 private:
  uint64_t Room() const {
    return written_ < faults_.outputLimit() ? faults_.outputLimit() - written_ : 0;
  }
  Status Pass(const Status& s, uint64_t n) {
    if (s.ok()) written_ += n;
    return s;
  }

  FaultPlatform& faults_;
  std::unique_ptr<Output> inner_;
  std::string name_;
  uint64_t written_ = 0;
};

class FaultFolder : public Folder {
 public:
  FaultFolder(FaultPlatform& faults, std::unique_ptr<Folder> inner)
      : faults_(faults), inner_(std::move(inner)) {}

  Status OpenInput(const std::string& name, std::unique_ptr<Input>* input) override {
    Status s = faults_.Call(Op::kOpenInput, "open " + name, Step::kOpen);
    std::unique_ptr<Input> inner;
    if (s.ok()) s = inner_->OpenInput(name, &inner);
    if (s.ok()) input->reset(new FaultInput(faults_, std::move(inner), name));
    return s;
  }
  Status Lookup(const std::string& name, FileIdentity* identity, bool* exists) override {
    const Status s = faults_.Call(Op::kLookup, "check what stands at " + name, Step::kOpen);
    return s.ok() ? inner_->Lookup(name, identity, exists) : s;
  }
  Status CreateOutput(const std::string& name, Existing existing,
                      std::unique_ptr<Output>* output) override {
    Status s = faults_.Call(Op::kCreate, "create the new " + name, Step::kCreate);
    std::unique_ptr<Output> inner;
    if (s.ok()) s = inner_->CreateOutput(name, existing, &inner);
    if (s.ok()) output->reset(new FaultOutput(faults_, std::move(inner), name));
    return s;
  }

 private:
  FaultPlatform& faults_;
  std::unique_ptr<Folder> inner_;
};

}  // namespace

const std::error_category& InjectedCategory() {
  static const InjectedCategoryImpl category;
  return category;
}

Status FaultPlatform::Call(Op op, const std::string& what, Step step) {
  const int n = ++calls_[static_cast<int>(op)];
  steps_[{op, n}] = what;
  if (op == actionOp_ && n == actionAt_ && action_) action_();
  if (op != failOp_ || n != failAt_) return Ok();
  return Injected(failStep_ != Step::kNone ? failStep_ : step);
}

Status FaultPlatform::OpenFolder(const std::string& path,
                                 std::unique_ptr<Folder>* folder) {
  Status s = Call(Op::kOpenFolder, "open the folder", Step::kOpen);
  std::unique_ptr<Folder> inner;
  if (s.ok()) s = inner_.OpenFolder(path, &inner);
  if (s.ok()) folder->reset(new FaultFolder(*this, std::move(inner)));
  return s;
}

}  // namespace tarnvell

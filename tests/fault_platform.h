// A platform that passes every call to another one but can make any single
// call fail, so tests can prove what a failing disk leaves behind. It also
// names each call it passes on, for the table of steps.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "core/platform.h"

namespace tarnvell {

enum class Op {
  kOpenFolder,
  kOpenInput,
  kLookup,
  kCreate,
  kRead,
  kIdentify,
  kWrite,
  kCopy,
  kPublish,
  kCount
};

// The category of injected failures, apart from every real one.
const std::error_category& InjectedCategory();

class FaultPlatform : public Platform {
 public:
  explicit FaultPlatform(Platform& inner) : inner_(inner) {}

  // Makes the nth call (from 1) of op fail, in `step` when one is given, else
  // in the call's own; 0 fails none. A failing write or copy first moves half
  // its bytes, as a filling disk does; a copy may fail in kRead or kWrite (its
  // own). A publish failing before the move (kPermissions, kFlush, kPlace, its
  // own) places nothing; one failing in kSync has put the file in place.
  void FailAt(Op op, int nth, Step step = Step::kNone) {
    failOp_ = op;
    failAt_ = nth;
    failStep_ = step;
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
  // What each call did, in words, by (op, nth call).
  const std::map<std::pair<Op, int>, std::string>& Steps() const { return steps_; }

  PathRules Rules() const override { return inner_.Rules(); }
  Status OpenFolder(const std::string& path,
                    std::unique_ptr<Folder>* folder) override;

  // Counts and names the call; a failure in `step` when it is the one to fail.
  Status Call(Op op, const std::string& what, Step step);
  uint64_t outputLimit() const { return outputLimit_; }

 private:
  Platform& inner_;
  Op failOp_ = Op::kCount;
  int failAt_ = 0;
  Step failStep_ = Step::kNone;
  Op actionOp_ = Op::kCount;
  int actionAt_ = 0;
  std::function<void()> action_;
  int calls_[static_cast<int>(Op::kCount)] = {};
  uint64_t outputLimit_ = UINT64_MAX;
  std::map<std::pair<Op, int>, std::string> steps_;
};

}  // namespace tarnvell

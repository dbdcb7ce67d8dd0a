#include "core/status.h"

#include <string>

namespace tarnvell {

const char* StepText(Step step) {
  switch (step) {
    case Step::kNone: break;
    case Step::kOpen: return "opening";
    case Step::kRead: return "reading";
    case Step::kCreate: return "creating the new file";
    case Step::kWrite: return "writing the new file";
    case Step::kFlush: return "flushing the new file to the disk";
    case Step::kPermissions: return "taking over the permissions";
    case Step::kPlace: return "putting the new file in place";
    case Step::kSync: return "recording the new file in its folder";
  }
  return "";
}

namespace {

class ReasonCategoryImpl : public std::error_category {
 public:
  const char* name() const noexcept override { return "tarnvell"; }
  std::string message(int code) const override {
    switch (static_cast<Reason>(code)) {
      case Reason::kInputItself: return "is the input itself";
      case Reason::kChanged: return "the file changed while it was being read";
      case Reason::kTooLarge: return "too large for a container member";
      case Reason::kNotRegular: return "not a regular file";
      case Reason::kNoMemory: return "not enough memory";
    }
    return "unknown reason";
  }
};

}  // namespace

const std::error_category& ReasonCategory() {
  static const ReasonCategoryImpl category;
  return category;
}

std::error_code make_error_code(Reason reason) {
  return {static_cast<int>(reason), ReasonCategory()};
}

}  // namespace tarnvell

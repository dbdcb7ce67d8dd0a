#include "core/notice.h"

namespace tarnvell {
namespace {

const char kWarning[] = "Warning";
const char kConfirmation[] = "Information";

// In notice order, from notice 1.
const Notice kNotices[] = {
    {NoticeId::kReadError, "Read error 1: not a font container", kWarning},
    {NoticeId::kSplitDone, "The split is complete.", kConfirmation},
    {NoticeId::kNotContainer,
     "This is not an fnt file.\nTo join, drop the pcx and the txt together.",
     kWarning},
    {NoticeId::kCannotHandle,
     "This file cannot be handled.\nDrop fnt files one at a time.", kWarning},
    {NoticeId::kJoinDone, "The join is complete.", kConfirmation},
    {NoticeId::kWrongCount,
     "Too many files.\nDrop one fnt file to split it, or the pcx and the txt "
     "together to join them.",
     kConfirmation},
};

static_assert(sizeof kNotices / sizeof kNotices[0] ==
                  static_cast<int>(NoticeId::kWrongCount),
              "one text for each notice");

}  // namespace

const Notice& NoticeFor(NoticeId id) {
  return kNotices[static_cast<int>(id) - 1];
}

}  // namespace tarnvell

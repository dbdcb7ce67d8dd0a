// The six notices, numbered as users and documentation know them, with their
// English texts and captions; the catalogs hold every other language.
#pragma once

namespace tarnvell {

enum class NoticeId {
  kReadError = 1,     // the container's signature or member table is bad
  kSplitDone = 2,
  kNotContainer = 3,  // one file dropped that is not a container
  kCannotHandle = 4,  // a file of a two-file drop that is neither kind
  kJoinDone = 5,
  kWrongCount = 6,    // none, or three or more files
};

struct Notice {
  NoticeId id;
  const char* text;     // "\n" breaks the line
  const char* caption;
  int Number() const { return static_cast<int>(id); }
  bool Completes() const {
    return id == NoticeId::kSplitDone || id == NoticeId::kJoinDone;
  }
};

const Notice& NoticeFor(NoticeId id);

}  // namespace tarnvell

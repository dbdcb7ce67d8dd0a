// One drop of files: what it means (split, join or refusal), the path helpers
// that name the outputs, and the fixed notices shown to the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/platform.h"

namespace tarnvell {

// The files of one drop, in the order the front end reports them. Paths are
// only needed for drops of one or two files.
struct DropList {
  uint32_t count = 0;
  std::vector<std::string> paths;
};

// Shows one notice and returns when the user has dismissed it.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(const char* text, const char* caption) = 0;
};

// The six notices, numbered as users and documentation know them.
enum class Notice {
  kReadError = 1,     // the container's signature or member table is bad
  kSplitDone = 2,
  kNotContainer = 3,  // one file dropped that is not a container
  kCannotHandle = 4,  // a file of a two-file drop that is neither kind
  kJoinDone = 5,
  kWrongCount = 6,    // none, or three or more files
};

struct NoticeText {
  const char* text;     // CP932 bytes
  const char* caption;  // CP932 bytes
};

const NoticeText& TextOf(Notice notice);
void ShowNotice(MessageSink& sink, Notice notice);

// How a drop ended, for front ends that report more than the notices.
enum class Outcome { kCompleted, kRefused, kStopped };

struct DropResult {
  Outcome outcome = Outcome::kRefused;
  std::string file;    // kStopped: the file or folder that failed
  std::string reason;  // kStopped: why, in words
};

// Handles one drop completely and returns once its last notice is dismissed.
DropResult HandleDrop(const DropList& drop, MessageSink& sink,
                      Platform& platform);

// True when the first n bytes of a and b match after ASCII lowercasing; NULs
// compare like any other byte.
bool EqualsIgnoringCase(const char* a, const char* b, size_t n);

// True when the last four bytes of path are ext (".fnt", ".pcx", ".txt"),
// ignoring case.
bool HasExtension(const std::string& path, const char* ext);

// The path up to and including its last separator ("" when it has none).
std::string DirectoryPart(const std::string& path, const PathRules& rules);

// The path after its last separator (the whole path when it has none).
std::string FileNamePart(const std::string& path, const PathRules& rules);

// A file name less its last four bytes (its extension).
std::string BaseName(const std::string& fileName);

}  // namespace tarnvell

// A look inside a container without writing anything: its member table, what
// the image's PCX header and the text's bytes say, and what is wrong with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/plan.h"
#include "core/platform.h"

namespace tarnvell {

// What makes a file fail a check, in the order they are looked for.
enum class Problem {
  kBadSignature,         // not a container
  kShortHeader,          // not a container: it ends inside its member table
  kImagePastEnd,         // a member runs past the end of the file
  kTextPastEnd,
  kImageOverlapsHeader,  // a member takes bytes of the 64-byte header
  kTextOverlapsHeader,
  kMembersOverlap,
  kNotPcx,               // the image member does not start with a PCX header
};

// What the 128-byte header at the start of a PCX image says.
struct PcxHeader {
  uint8_t version = 0;
  bool runLength = false;  // encoding 1; 0 is uncompressed
  uint8_t bitsPerPixel = 0;
  uint8_t planes = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

enum class TextKind { kEmpty, kAscii, kUtf8, kCp932, kOther };

struct MemberView {
  uint32_t offset = 0;
  uint32_t length = 0;
  uint32_t pastEnd = 0;            // its bytes beyond the end of the file
  std::optional<Location> output;  // where a split writes it; none when a
                                   // split refuses the file's name
};

struct Inspection {
  std::string file;   // as given
  Status status;      // a failure to open or read the file
  uint64_t size = 0;
  bool container = false;  // signature and member table were read
  MemberView image, text;
  std::optional<PcxHeader> pcx;
  TextKind textKind = TextKind::kEmpty;
  uint64_t lines = 0;
  uint64_t uncovered = 0;  // bytes after the header that no member covers
  std::vector<Problem> problems;

  bool ok() const { return status.ok() && problems.empty(); }
};

// Reads the file at `path` as a container; the outputs are named as a split
// with these options would name them.
Inspection InspectContainer(const std::string& path, Platform& platform,
                            const DropOptions& options = {});

}  // namespace tarnvell

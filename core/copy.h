// The bounded copy every platform can fall back on: a range of an input
// passes through one buffer a piece at a time, so memory does not grow with
// the members.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/platform.h"

namespace tarnvell {

// The most a member holds in memory at once.
constexpr uint32_t kCopyPiece = uint32_t{1} << 20;

// The copy buffer: big enough for a piece of a member of `length` bytes,
// never more than kCopyPiece; data is null when memory ran out.
class MemberBuffer {
 public:
  explicit MemberBuffer(uint64_t length);
  std::unique_ptr<uint8_t[]> data;
  uint32_t length = 0;
};

// Reads `length` bytes of `input` from `offset` a piece at a time and hands
// each piece to `take`; stops early at the end of the input, with `*done`
// the bytes read.
using TakePiece = std::function<Status(const uint8_t* piece, uint32_t size)>;
Status ReadInPieces(Input& input, uint64_t offset, uint64_t length,
                    const TakePiece& take, uint64_t* done);

// Output::CopyRange done by reading pieces of `input` and writing them to
// `output`.
Status CopyInPieces(Input& input, uint64_t offset, uint64_t length,
                    Output& output, uint64_t* copied);

}  // namespace tarnvell

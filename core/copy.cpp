#include "core/copy.h"

#include <algorithm>
#include <new>

namespace tarnvell {

MemberBuffer::MemberBuffer(uint64_t size) {
  const uint32_t want =
      static_cast<uint32_t>(std::max<uint64_t>(1, std::min<uint64_t>(size, kCopyPiece)));
  data.reset(new (std::nothrow) uint8_t[want]);
  length = data ? want : 0;
}

Status ReadInPieces(Input& input, uint64_t offset, uint64_t length,
                    const TakePiece& take, uint64_t* done) {
  *done = 0;
  if (length == 0) return Ok();
  MemberBuffer buffer(length);
  if (!buffer.data) return Failed(Step::kRead, Reason::kNoMemory);
  while (*done < length) {
    const uint32_t want =
        static_cast<uint32_t>(std::min<uint64_t>(length - *done, buffer.length));
    uint32_t got = 0;
    Status s = input.ReadAt(offset + *done, buffer.data.get(), want, &got);
    if (!s.ok()) return s;
    if (got > 0) s = take(buffer.data.get(), got);
    if (!s.ok()) return s;
    *done += got;
    if (got < want) break;  // the end of the input
  }
  return Ok();
}

Status CopyInPieces(Input& input, uint64_t offset, uint64_t length,
                    Output& output, uint64_t* copied) {
  return ReadInPieces(input, offset, length,
                      [&output](const uint8_t* piece, uint32_t size) {
                        return output.Write(piece, size);
                      },
                      copied);
}

}  // namespace tarnvell

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

Status CopyInPieces(Input& input, uint64_t offset, uint64_t length,
                    Output& output, uint64_t* copied) {
  *copied = 0;
  if (length == 0) return Ok();
  MemberBuffer buffer(length);
  if (!buffer.data) return Failed(Step::kRead, Reason::kNoMemory);
  while (*copied < length) {
    const uint32_t want =
        static_cast<uint32_t>(std::min<uint64_t>(length - *copied, buffer.length));
    uint32_t got = 0;
    Status s = input.ReadAt(offset + *copied, buffer.data.get(), want, &got);
    if (!s.ok()) return s;
    if (got > 0) s = output.Write(buffer.data.get(), got);
    if (!s.ok()) return s;
    *copied += got;
    if (got < want) break;  // the end of the input
  }
  return Ok();
}

}  // namespace tarnvell

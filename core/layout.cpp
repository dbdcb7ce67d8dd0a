#include "core/layout.h"

#include <cstring>

#include "core/paths.h"
#include "core/platform.h"

namespace tarnvell {

const char kSignature[12] = {'E', 'l', 'e', 'c', 'b', 'y', 't', 'e', 'F', 'n', 't', '\0'};

namespace {

uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

bool SignatureMatches(const uint8_t* bytes) {
  return EqualsIgnoringCase(reinterpret_cast<const char*>(bytes), kSignature,
                            sizeof kSignature);
}

Status RecognizeContainer(Input& in, Recognition* r) {
  uint8_t head[kMemberTableEnd] = {};
  uint32_t delivered = 0;
  const Status s = in.ReadAt(0, head, sizeof head, &delivered);
  if (!s.ok()) return s;
  r->signature = SignatureMatches(head);
  r->wholeTable = delivered >= kMemberTableEnd;
  r->header = {LoadLe32(head + 16), LoadLe32(head + 20), LoadLe32(head + 24),
               LoadLe32(head + 28)};
  return Ok();
}

ContainerHeader HeaderFor(uint32_t imageSize, uint32_t textSize) {
  return {kHeaderSize, imageSize, kHeaderSize + imageSize, textSize};
}

void EncodeHeader(const ContainerHeader& header, uint8_t out[kHeaderSize]) {
  std::memset(out, 0, kHeaderSize);  // the reserved bytes are zero
  std::memcpy(out, kSignature, sizeof kSignature);
  StoreLe32(out + 12, kFormatWord);
  StoreLe32(out + 16, header.imageOffset);
  StoreLe32(out + 20, header.imageSize);
  StoreLe32(out + 24, header.textOffset);
  StoreLe32(out + 28, header.textSize);
}

}  // namespace tarnvell

#include "core/layout.h"

#include <cstring>

#include "core/paths.h"

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

ContainerHeader DecodeHeader(const uint8_t* bytes) {
  ContainerHeader h = {};
  std::memcpy(h.signature, bytes, sizeof h.signature);
  h.formatWord = LoadLe32(bytes + 12);
  h.imageOffset = LoadLe32(bytes + 16);
  h.imageSize = LoadLe32(bytes + 20);
  h.textOffset = LoadLe32(bytes + 24);
  h.textSize = LoadLe32(bytes + 28);
  return h;
}

ContainerHeader HeaderFor(uint32_t imageSize, uint32_t textSize) {
  ContainerHeader h = {};
  std::memcpy(h.signature, kSignature, sizeof kSignature);
  h.formatWord = kFormatWord;
  h.imageOffset = kHeaderSize;
  h.imageSize = imageSize;
  h.textOffset = kHeaderSize + imageSize;
  h.textSize = textSize;
  return h;
}

void EncodeHeader(const ContainerHeader& header, uint8_t out[kHeaderSize]) {
  std::memcpy(out, header.signature, sizeof header.signature);
  StoreLe32(out + 12, header.formatWord);
  StoreLe32(out + 16, header.imageOffset);
  StoreLe32(out + 20, header.imageSize);
  StoreLe32(out + 24, header.textOffset);
  StoreLe32(out + 28, header.textSize);
  std::memcpy(out + 32, header.reserved, sizeof header.reserved);
}

}  // namespace tarnvell

// The container's layout: a 64-byte header (signature, format word, member
// table, reserved bytes), then the members. Every word is little-endian.
#pragma once

#include <cstdint>

namespace tarnvell {

constexpr uint32_t kHeaderSize = 64;
constexpr uint32_t kMemberTableEnd = 32;  // the header bytes the split needs
constexpr uint32_t kFormatWord = 256;
// The largest image whose text member still starts at a 32-bit offset.
constexpr uint32_t kLargestImage = UINT32_MAX - kHeaderSize;
extern const char kSignature[12];  // "ElecbyteFnt" and its NUL

// The header as it lies in the file.
struct ContainerHeader {
  char signature[12];
  uint32_t formatWord;
  uint32_t imageOffset;
  uint32_t imageSize;
  uint32_t textOffset;
  uint32_t textSize;
  uint8_t reserved[32];
};

// True when the first 12 bytes match the signature, ignoring letter case.
bool SignatureMatches(const uint8_t* bytes);

// Decodes the first 32 bytes of a container (signature and member table).
ContainerHeader DecodeHeader(const uint8_t* bytes);

// The header the join writes for members of these sizes.
ContainerHeader HeaderFor(uint32_t imageSize, uint32_t textSize);
void EncodeHeader(const ContainerHeader& header, uint8_t out[kHeaderSize]);

}  // namespace tarnvell

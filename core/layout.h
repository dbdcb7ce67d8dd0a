// The container's layout: a 64-byte header (signature, format word, member
// table, reserved bytes), then the members. Every word is little-endian.
#pragma once

#include <cstdint>

#include "core/status.h"

namespace tarnvell {

class Input;

constexpr uint32_t kHeaderSize = 64;
constexpr uint32_t kMemberTableEnd = 32;  // the header bytes the split needs
constexpr uint32_t kFormatWord = 256;
// The largest image whose text member still starts at a 32-bit offset.
constexpr uint32_t kLargestImage = UINT32_MAX - kHeaderSize;
extern const char kSignature[12];  // "ElecbyteFnt" and its NUL

// The header's member table; the signature, the format word and the
// reserved bytes are fixed.
struct ContainerHeader {
  uint32_t imageOffset;
  uint32_t imageSize;
  uint32_t textOffset;
  uint32_t textSize;
};

// True when the first 12 bytes match the signature, ignoring letter case.
bool SignatureMatches(const uint8_t* bytes);

// What the start of a file says: whether its signature matches, whether it
// holds the whole member table, and that table.
struct Recognition {
  bool signature = false;
  bool wholeTable = false;
  ContainerHeader header = {};
  bool container() const { return signature && wholeTable; }
};

// Reads the first 32 bytes of `in` (a short file reads as if padded with
// zeros) and tells whether it is a container.
Status RecognizeContainer(Input& in, Recognition* recognition);

// The header the join writes for members of these sizes.
ContainerHeader HeaderFor(uint32_t imageSize, uint32_t textSize);
void EncodeHeader(const ContainerHeader& header, uint8_t out[kHeaderSize]);

}  // namespace tarnvell

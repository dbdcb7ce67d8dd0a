// The font container: a 64-byte header, then an image member and a text
// member, and the split and join that move members out of it and into it.
#pragma once

#include <cstdint>
#include <string>

#include "core/drop.h"
#include "core/platform.h"

namespace tarnvell {

constexpr uint32_t kHeaderSize = 64;
constexpr uint32_t kMemberTableEnd = 32;  // the header bytes the split needs
constexpr uint32_t kFormatWord = 256;
extern const char kSignature[12];  // "ElecbyteFnt" and its NUL

// The header as it lies in the file; every word is little-endian.
struct ContainerHeader {
  char signature[12];
  uint32_t formatWord;
  uint32_t imageOffset;
  uint32_t imageSize;
  uint32_t textOffset;
  uint32_t textSize;
  uint8_t reserved[32];
};

// The whole content of one member, held in one block.
struct MemberBuffer {
  uint8_t* data = nullptr;
  uint32_t length = 0;
};

// True when the first 12 bytes match the signature, ignoring letter case.
bool SignatureMatches(const uint8_t* bytes);

// Decodes the first 32 bytes of a container (signature and member table).
ContainerHeader DecodeHeader(const uint8_t* bytes);

// The header the join writes for members of these sizes.
ContainerHeader HeaderFor(uint32_t imageSize, uint32_t textSize);
void EncodeHeader(const ContainerHeader& header, uint8_t out[kHeaderSize]);

// Writes the container's members beside it as <base>.pcx and <base>.txt.
DropResult SplitContainer(const std::string& path, MessageSink& sink,
                          Platform& platform);

// Joins the .pcx and the .txt of a two-file drop into <base of path1>.fnt in
// path1's folder.
DropResult JoinContainer(const std::string& path0, const std::string& path1,
                         MessageSink& sink, Platform& platform);

}  // namespace tarnvell

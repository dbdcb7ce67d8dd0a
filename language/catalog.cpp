#include "language/catalog.h"

#include <cstring>

namespace tarnvell {
namespace {

constexpr uint32_t kMagic = 0x950412de;
constexpr uint32_t kMagicSwapped = 0xde120495;
constexpr uint64_t kHeaderSize = 20;  // magic, revision, count, two offsets

}  // namespace

Catalog::Catalog(const unsigned char* bytes, size_t size)
    : bytes_(bytes), size_(size) {
  const uint32_t magic = size >= kHeaderSize ? Word(0) : 0;
  bigEndian_ = magic == kMagicSwapped;
  const uint32_t count = Word(8);
  originals_ = Word(12);
  translations_ = Word(16);
  const bool known = magic == kMagic || magic == kMagicSwapped;
  const bool revision = (Word(4) >> 16) <= 1;  // major revisions 0 and 1
  const uint64_t tables = uint64_t{count} * 8;
  if (!known || !revision || originals_ + tables > size ||
      translations_ + tables > size)
    return;
  for (uint32_t i = 0; i < count; ++i)
    if (Entry(originals_, i) == nullptr || Entry(translations_, i) == nullptr)
      return;
  count_ = count;
}

uint32_t Catalog::Word(uint64_t at) const {
  if (at + 4 > size_) return 0;
  const unsigned char* b = bytes_ + at;
  return bigEndian_ ? uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 |
                          uint32_t{b[2]} << 8 | b[3]
                    : uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 |
                          uint32_t{b[1]} << 8 | b[0];
}

const char* Catalog::Entry(uint32_t table, uint32_t i) const {
  const uint64_t length = Word(uint64_t{table} + uint64_t{i} * 8);
  const uint64_t offset = Word(uint64_t{table} + uint64_t{i} * 8 + 4);
  if (offset + length >= size_ || bytes_[offset + length] != '\0') return nullptr;
  return reinterpret_cast<const char*>(bytes_ + offset);
}

// A few dozen texts: a plain scan needs no sorted table.
const char* Catalog::Find(const char* english) const {
  for (uint32_t i = 0; i < count_; ++i)
    if (std::strcmp(Entry(originals_, i), english) == 0)
      return Entry(translations_, i);
  return nullptr;
}

}  // namespace tarnvell

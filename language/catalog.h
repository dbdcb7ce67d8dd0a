// One compiled catalog of translations, in the form msgfmt writes (.mo): a
// table of English texts and a table of their translations.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnvell {

class Catalog {
 public:
  Catalog() = default;  // knows no text: everything stays English

  // Reads the catalog in `bytes`, which must outlive it; one that is not
  // whole and well-formed knows no text.
  Catalog(const unsigned char* bytes, size_t size);

  // The translation of `english`, or null when the catalog has none.
  const char* Find(const char* english) const;

 private:
  uint32_t Word(uint64_t at) const;
  // The string of entry i of the table at `table` (within the bytes, as
  // checked on reading); null unless it lies within them and ends in NUL.
  const char* Entry(uint32_t table, uint32_t i) const;

  const unsigned char* bytes_ = nullptr;
  size_t size_ = 0;
  bool bigEndian_ = false;
  uint32_t count_ = 0;
  uint32_t originals_ = 0;     // offset of the English texts' table
  uint32_t translations_ = 0;  // offset of the translations' table
};

}  // namespace tarnvell

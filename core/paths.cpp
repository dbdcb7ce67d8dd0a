#include "core/paths.h"

namespace tarnvell {
namespace {

unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

// Position of the last separator that is a character of its own (not the
// second byte of a double-byte character), or npos.
size_t LastSeparator(const std::string& path, const PathRules& rules) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (rules.isLeadByte != nullptr && rules.isLeadByte(c)) {
      ++i;  // the next byte belongs to this character
    } else if (path[i] == rules.separator) {
      found = i;
    }
  }
  return found;
}

}  // namespace

bool EqualsIgnoringCase(const char* a, const char* b, size_t n) {
  bool equal = true;
  for (size_t i = 0; i < n; ++i) {
    if (Lower(static_cast<unsigned char>(a[i])) !=
        Lower(static_cast<unsigned char>(b[i])))
      equal = false;
  }
  return equal;
}

bool HasExtension(const std::string& path, const char* ext) {
  return path.size() >= 4 &&
         EqualsIgnoringCase(path.data() + path.size() - 4, ext, 4);
}

std::string DirectoryPart(const std::string& path, const PathRules& rules) {
  size_t k = LastSeparator(path, rules);
  return k == std::string::npos ? std::string() : path.substr(0, k + 1);
}

std::string FileNamePart(const std::string& path, const PathRules& rules) {
  size_t k = LastSeparator(path, rules);
  return k == std::string::npos ? path : path.substr(k + 1);
}

std::string BaseName(const std::string& fileName) {
  return fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4)
                              : std::string();
}

}  // namespace tarnvell

#include "core/paths.h"

namespace tarnvell {
namespace {

unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

size_t LastSeparator(const std::string& path, const PathRules& rules) {
  const char separators[] = {rules.separator, rules.alsoSeparator, '\0'};
  return path.find_last_of(separators);  // a missing second ends the list
}

}  // namespace

bool IsSeparator(char c, const PathRules& rules) {
  return c == rules.separator || (c == rules.alsoSeparator && c != '\0');
}

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

#include "core/paths.h"

#include <algorithm>

namespace tarnvell {
namespace {

unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

size_t LastSeparator(const std::string& path, const PathRules& rules) {
  const size_t k = path.rfind(rules.separator);
  const size_t also = rules.alsoSeparator != '\0' ? path.rfind(rules.alsoSeparator)
                                                  : std::string::npos;
  return k == std::string::npos ? also : also == std::string::npos ? k : std::max(k, also);
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

// Path rules: how a platform spells paths, and the plain byte operations that
// name a drop's outputs from its inputs.
#pragma once

#include <cstddef>
#include <string>

namespace tarnvell {

// How a platform spells paths: by bytes, split at one separator byte, or at
// either of two where paths are typed (Windows takes "/" there too). Names
// are UTF-8 or plain bytes, in which no other character hides those bytes.
struct PathRules {
  char separator;
  char alsoSeparator = '\0';  // none unless set
};

// True when `c` separates folders under `rules`.
bool IsSeparator(char c, const PathRules& rules);

// True when the first n bytes of a and b match after ASCII lowercasing; NULs
// compare like any other byte.
bool EqualsIgnoringCase(const char* a, const char* b, size_t n);

// True when the last four bytes of path are ext (".fnt", ".pcx", ".txt"),
// ignoring case.
bool HasExtension(const std::string& path, const char* ext);

// The path up to and including its last separator ("" when it has none).
std::string DirectoryPart(const std::string& path, const PathRules& rules);

// The path after its last separator (the whole path when it has none).
std::string FileNamePart(const std::string& path, const PathRules& rules);

// A file name less its last four bytes (its extension).
std::string BaseName(const std::string& fileName);

}  // namespace tarnvell

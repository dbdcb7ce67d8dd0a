#include "core/outcome.h"

#include "core/platform.h"

namespace tarnvell {

std::string Describe(int code, const Platform& platform) {
  switch (code) {
    case kInputItself: return "is the input itself";
    case kChanged: return "the file changed while it was being read";
    case kTooLarge: return "too large for a container member";
    case kNotRegular: return "not a regular file";
    case kNoMemory: return "not enough memory";
  }
  return platform.SystemErrorText(code);
}

}  // namespace tarnvell

#include "core/platform.h"

#include <cstdio>

namespace tarnvell {

std::string ScratchName(uint32_t n) {
  char name[32];
  std::snprintf(name, sizeof name, ".tarnvell-%08x.tmp", static_cast<unsigned>(n));
  return name;
}

}  // namespace tarnvell

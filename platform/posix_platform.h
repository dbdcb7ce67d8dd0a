// The platform over POSIX files: the slash separates paths, names are bytes,
// and everything is done relative to an open folder.
#pragma once

#include <memory>
#include <string>

#include "core/platform.h"

namespace tarnvell {

class PosixPlatform : public Platform {
 public:
  PosixPlatform();
  PathRules Rules() const override;
  Status OpenFolder(const std::string& path,
                    std::unique_ptr<Folder>* folder) override;
};

// Removes every scratch file that has a name but is not yet in place, and
// keeps any other from being named; the clean-up of a signal that ends the
// process.
void RemoveScratchFiles();

}  // namespace tarnvell

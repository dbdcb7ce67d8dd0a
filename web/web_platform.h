// The platform inside the page: the files of one drop are the inputs, read
// through the page's script, and each output is collected in the page as a
// list of parts for download: slices of the dropped files, which are never
// read for it, and the program's own bytes. There is one folder, the drop's
// own; names carry no folders.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/platform.h"

namespace tarnvell {

// An output in place under its final name, as the page offers it.
struct PlacedOutput {
  int handle;  // the page's number for the output
  std::string name;
  uint64_t size;
};

class WebPlatform : public Platform {
 public:
  // `names`: the dropped files' names, in the page's order.
  explicit WebPlatform(std::vector<std::string> names);
  PathRules Rules() const override;
  Status OpenFolder(const std::string& path,
                    std::unique_ptr<Folder>* folder) override;

  // The outputs in place once the drop is over, in the order they were made.
  const std::vector<PlacedOutput>& Outputs() const { return placed_; }

 private:
  std::vector<std::string> names_;
  std::vector<PlacedOutput> placed_;
};

}  // namespace tarnvell

// What a drop means, worked out from its paths alone before any file is
// touched: a split, a join or a refusal, and where every output goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/notice.h"
#include "core/paths.h"

namespace tarnvell {

// The files of one drop, in the order the front end reports them. Paths are
// only needed for drops of one or two files.
struct DropList {
  uint32_t count = 0;
  std::vector<std::string> paths;
};

enum class Action { kRefuse, kSplit, kJoin };

struct Plan {
  Action action = Action::kRefuse;
  std::vector<NoticeId> refusals;  // kRefuse: the notices, in order
  // kSplit: the container; kJoin: the image and the text, in drop order.
  std::vector<std::string> inputs;
  size_t image = 0;                // kJoin: which input is the image
  std::string folder;              // where the outputs go ("" current)
  std::vector<std::string> outputs;  // split: image, text; join: container
};

Plan PlanDrop(const DropList& drop, const PathRules& rules);

}  // namespace tarnvell

// What a drop means, worked out from its paths alone before any file is
// touched: a refusal, a split or a join, and where every output goes.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "core/notice.h"
#include "core/paths.h"

namespace tarnvell {

// The files of one drop, in the order the front end reports them. Only
// drops of one or two files look at the paths; others only count them.
struct DropList {
  std::vector<std::string> paths;
};

// A file as a folder ("" the current one; else with its last separator) and
// a bare name in it.
struct Location {
  std::string folder;
  std::string name;
  std::string Path() const { return folder + name; }
};

// The notices that explain why the drop is not taken, in order.
struct Refusal {
  std::vector<NoticeId> notices;
};

// The container, and its two outputs beside it.
struct SplitPlan {
  Location container;
  Location image;
  Location text;
};

// The image and the text, and the container they make, in the text's or the
// image's folder, whichever was dropped second.
struct JoinPlan {
  Location image;
  Location text;
  Location container;
};

using Plan = std::variant<Refusal, SplitPlan, JoinPlan>;

// How a drop places its outputs; left as they are, as the rules above say.
struct DropOptions {
  std::string folder;         // where every output goes; "" beside the files
  bool keepExisting = false;  // stop before writing if any output exists
};

Plan PlanDrop(const DropList& drop, const PathRules& rules,
              const DropOptions& options = {});

}  // namespace tarnvell

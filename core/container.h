// The split and the join: members copied out of a container and into one,
// each output whole before it takes its final name.
#pragma once

#include "core/outcome.h"
#include "core/plan.h"
#include "core/platform.h"

namespace tarnvell {

// Writes the container's members as the plan's two outputs. Refused (nothing
// written) when the container's header cannot be read.
DropResult SplitContainer(const SplitPlan& plan, Platform& platform,
                          const DropOptions& options = {});

// Writes the plan's image and text as one container.
DropResult JoinContainer(const JoinPlan& plan, Platform& platform,
                         const DropOptions& options = {});

}  // namespace tarnvell

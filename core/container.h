// The split and the join: members copied out of a container and into one, in
// bounded pieces, each output whole before it takes its final name.
#pragma once

#include <cstdint>

#include "core/layout.h"
#include "core/outcome.h"
#include "core/plan.h"
#include "core/platform.h"

namespace tarnvell {

// The copy buffer: members pass through it a piece at a time, so memory does
// not grow with them. Freed when it goes out of scope.
class MemberBuffer {
 public:
  MemberBuffer(Platform& platform, uint32_t length);
  ~MemberBuffer();
  MemberBuffer(const MemberBuffer&) = delete;
  MemberBuffer& operator=(const MemberBuffer&) = delete;
  uint8_t* data = nullptr;
  uint32_t length = 0;

 private:
  Platform& platform_;
};

// The most a member holds in memory at once.
constexpr uint32_t kCopyPiece = uint32_t{1} << 20;

// Writes the container's members into the plan's folder as its two outputs.
// Refused (nothing written) when the container's header cannot be read.
DropResult SplitContainer(const Plan& plan, Platform& platform);

// Writes the plan's image and text into its folder as one container.
DropResult JoinContainer(const Plan& plan, Platform& platform);

}  // namespace tarnvell

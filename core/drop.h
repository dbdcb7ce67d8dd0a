// One drop of files: decide what it means, do it, and tell the user.
#pragma once

#include "core/notice.h"
#include "core/outcome.h"
#include "core/plan.h"
#include "core/platform.h"

namespace tarnvell {

// Shows one notice and returns when the user has dismissed it.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(const Notice& notice) = 0;
};

// Handles one drop completely and returns once its last notice is dismissed.
DropResult HandleDrop(const DropList& drop, MessageSink& sink,
                      Platform& platform, const DropOptions& options = {});

}  // namespace tarnvell

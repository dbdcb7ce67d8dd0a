#include "core/drop.h"

#include "core/container.h"

namespace tarnvell {
namespace {

// The completion notice after work that completed; notice 1 for a container
// the split refused to read. A stop shows nothing here.
DropResult Tell(const DropResult& result, NoticeId done, MessageSink& sink) {
  if (result.kind() == DropResult::Kind::kCompleted)
    sink.Show(NoticeFor(done));
  else if (result.kind() == DropResult::Kind::kRefused)
    sink.Show(NoticeFor(NoticeId::kReadError));
  return result;
}

}  // namespace

DropResult HandleDrop(const DropList& drop, MessageSink& sink,
                      Platform& platform, const DropOptions& options) {
  const Plan plan = PlanDrop(drop, platform.Rules(), options);
  if (const auto* refusal = std::get_if<Refusal>(&plan)) {
    for (NoticeId id : refusal->notices) sink.Show(NoticeFor(id));
    return DropResult::Refused();
  }
  if (const auto* split = std::get_if<SplitPlan>(&plan))
    return Tell(SplitContainer(*split, platform, options), NoticeId::kSplitDone,
                sink);
  return Tell(JoinContainer(std::get<JoinPlan>(plan), platform, options),
              NoticeId::kJoinDone, sink);
}

}  // namespace tarnvell

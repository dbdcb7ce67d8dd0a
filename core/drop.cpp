#include "core/drop.h"

#include "core/container.h"

namespace tarnvell {

DropResult HandleDrop(const DropList& drop, MessageSink& sink,
                      Platform& platform) {
  const Plan plan = PlanDrop(drop, platform.Rules());
  if (plan.action == Action::kRefuse) {
    for (NoticeId id : plan.refusals) sink.Show(NoticeFor(id));
    return {};
  }
  const bool split = plan.action == Action::kSplit;
  const DropResult result =
      split ? SplitContainer(plan, platform) : JoinContainer(plan, platform);
  // A split is refused only for a container it cannot read.
  if (result.outcome == Outcome::kCompleted)
    sink.Show(NoticeFor(split ? NoticeId::kSplitDone : NoticeId::kJoinDone));
  else if (result.outcome == Outcome::kRefused)
    sink.Show(NoticeFor(NoticeId::kReadError));
  return result;
}

}  // namespace tarnvell

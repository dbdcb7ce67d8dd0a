#include "core/outcome.h"

namespace tarnvell {

std::string StopMessage(const Stop& stop, const std::string& shownFile) {
  std::string text = shownFile + ": ";
  if (stop.step != Step::kNone) text += std::string(StepText(stop.step)) + ": ";
  return text + stop.code.message();
}

}  // namespace tarnvell

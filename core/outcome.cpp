#include "core/outcome.h"

namespace tarnvell {

std::string StopMessage(const Stop& stop, const std::string& shownFile) {
  return StopMessage(stop, shownFile, [](const std::string& s) { return s; });
}

std::string StopMessage(const Stop& stop, const std::string& shownFile,
                        const Translate& translate) {
  std::string text = shownFile + ": ";
  if (stop.step != Step::kNone) text += translate(StepText(stop.step)) + ": ";
  return text + translate(stop.code.message());
}

}  // namespace tarnvell

#include "core/outcome.h"

namespace tarnvell {

std::string FailureText(const Status& status, const Translate& translate) {
  auto words = [&translate](const std::string& english) {
    return translate ? translate(english) : english;
  };
  const std::string reason = words(status.code.message());
  if (status.step == Step::kNone) return reason;
  return words(StepText(status.step)) + ": " + reason;
}

std::string StopMessage(const Stop& stop, const std::string& shownFile,
                        const Translate& translate) {
  return shownFile + ": " + FailureText(stop.status, translate);
}

}  // namespace tarnvell

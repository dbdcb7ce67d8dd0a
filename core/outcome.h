// How a drop ended: completed, refused with notices, or stopped on a file in
// some step with a code. A stop is put into words in one place (StopMessage).
#pragma once

#include <functional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/status.h"

namespace tarnvell {

struct Stop {
  std::error_code code;
  Step step;
  std::string file;  // the file or folder it stopped on, as the drop named it
  std::vector<std::string> more = {};  // further files, for the same reason
};

// One of the three, chosen when it is made; there is no default.
class DropResult {
 public:
  enum class Kind { kCompleted, kRefused, kStopped };

  static DropResult Completed() { return DropResult(Kind::kCompleted, {}); }
  static DropResult Refused() { return DropResult(Kind::kRefused, {}); }
  static DropResult Stopped(Stop stop) {
    return DropResult(Kind::kStopped, std::move(stop));
  }

  Kind kind() const { return kind_; }
  bool completed() const { return kind_ == Kind::kCompleted; }
  const Stop& stop() const { return stop_; }  // kStopped only

 private:
  DropResult(Kind kind, Stop stop) : kind_(kind), stop_(std::move(stop)) {}
  Kind kind_;
  Stop stop_;
};

// "FILE: STEP: REASON", with the file as the front end shows it.
std::string StopMessage(const Stop& stop, const std::string& shownFile);

// Puts one of the program's English texts into the reader's language; a
// text it does not know (the system's own error text) comes back unchanged.
using Translate = std::function<std::string(const std::string& english)>;

// The same with the step and the reason put through `translate`.
std::string StopMessage(const Stop& stop, const std::string& shownFile,
                        const Translate& translate);

}  // namespace tarnvell

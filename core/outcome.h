// How a drop ended: completed, refused with notices, or stopped on a file in
// some step with a code. A stop is put into words in one place (StopMessage).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/status.h"

namespace tarnvell {

struct Stop {
  Status status;
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

// Puts one of the program's English texts into the reader's language; a
// text it does not know (the system's own error text) comes back unchanged.
using Translate = std::function<std::string(const std::string& english)>;

// "STEP: REASON" (the reason alone without a step), with both put through
// `translate` where one is given.
std::string FailureText(const Status& status, const Translate& translate = {});

// "FILE: STEP: REASON", with the file as the front end shows it.
std::string StopMessage(const Stop& stop, const std::string& shownFile,
                        const Translate& translate = {});

}  // namespace tarnvell

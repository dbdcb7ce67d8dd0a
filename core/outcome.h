// How a drop ended. A stop names the file it stopped on and a code: the
// system's error number, or one of the program's own reasons below; it is put
// into words only where it is shown (Describe).
#pragma once

#include <string>
#include <utility>

namespace tarnvell {

class Platform;

// The program's own reasons, kept apart from the system's (positive) numbers.
enum Reason : int {
  kInputItself = -1,   // an output's name stands for an input
  kChanged = -2,       // an input changed while it was being read
  kTooLarge = -3,      // a join input too large for a container member
  kNotRegular = -4,    // an input that is not a regular file
  kNoMemory = -5,
};

struct Stop {
  int code = 0;
  std::string file;  // the file or folder it stopped on
};

enum class Outcome { kCompleted, kRefused, kStopped };

struct DropResult {
  Outcome outcome = Outcome::kRefused;
  Stop stop;  // kStopped only
};

inline DropResult Stopped(int code, std::string file) {
  return {Outcome::kStopped, {code, std::move(file)}};
}

// A stop's code in words: the program's own reasons from its table, the
// system's numbers as the platform says them.
std::string Describe(int code, const Platform& platform);

}  // namespace tarnvell

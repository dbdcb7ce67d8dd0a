// What every call across the platform seam returns: success, or a code in its
// category (the system's, the program's own reasons, or a platform's own) and
// the step of the work it failed in.
#pragma once

#include <system_error>
#include <type_traits>

namespace tarnvell {

// The steps of a split or join, as a stop names them.
enum class Step {
  kNone,
  kOpen,         // opening a folder or an input, or looking a name up
  kRead,         // reading an input or telling its identity
  kCreate,       // making the new file in its folder
  kWrite,        // writing or copying into the new file
  kFlush,        // flushing the new file to the disk
  kPermissions,  // giving it the replaced file's permissions and owner
  kPlace,        // moving it to its final name
  kSync,         // making the folder's entry durable
};

// The step in words, as it follows the file in a stop message.
const char* StepText(Step step);

// The program's own reasons, in their own category.
enum class Reason {
  kInputItself = 1,  // an output's name stands for an input
  kChanged,          // an input changed while it was being read
  kTooLarge,         // a join input too large for a container member
  kNotRegular,       // an input that is not a regular file
  kNoMemory,
};

const std::error_category& ReasonCategory();
std::error_code make_error_code(Reason reason);

// Success (no code), or a failure with its code and step.
struct Status {
  std::error_code code;
  Step step = Step::kNone;

  bool ok() const { return !code; }
};

inline Status Ok() { return {}; }
inline Status Failed(Step step, std::error_code code) { return {code, step}; }
inline Status Failed(Step step, Reason reason) {
  return {make_error_code(reason), step};
}
// An errno value, as the POSIX and page platforms report the system's.
inline Status FailedErrno(Step step, int number) {
  return {std::error_code(number, std::generic_category()), step};
}

}  // namespace tarnvell

namespace std {
template <>
struct is_error_code_enum<tarnvell::Reason> : true_type {};
}  // namespace std

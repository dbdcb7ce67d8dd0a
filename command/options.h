// The command-line conventions that tarnvell and tarnvell-gui share: -h and
// --help, -V and --version, -- ends the options, every other argument is a
// file; the options only the command line takes; and the usage texts.
#pragma once

#include <string>
#include <vector>

#include "core/plan.h"
#include "language/language.h"

namespace tarnvell {

enum ExitCode { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

enum class Request { kFiles, kHelp, kVersion, kUnknownOption, kBadUsage };

// What the command line does with its files: one drop, or a look inside each.
enum class Mode { kDrop, kList, kTest };

struct Arguments {
  Request request = Request::kFiles;
  std::vector<std::string> files;  // kFiles: the file arguments, as given
  std::string option;   // kUnknownOption: the first one; kBadUsage: the one at fault
  std::string problem;  // kBadUsage: the line that says what is wrong (Fill:
                        // the program's name, then the option)
  // The command line's own options.
  Mode mode = Mode::kDrop;
  bool json = false;
  DropOptions drop;
};

// Reads argv[1] to argv[argc - 1]; the first option that is not a file
// decides the request. A lone "-" is a file. Only the command line (not the
// window) takes -l, -t, --json, -C and -n; its one-letter options may be run
// together ("-tn", "-Cout").
Arguments ParseArguments(int argc, const char* const* argv,
                         bool commandLine = false);

// A program's own usage text, then its own options and those both share, in
// the reader's language.
std::string UsageText(const Texts& texts, const char* usage,
                      const char* moreOptions = "");

// The line that says what is wrong with a kUnknownOption or kBadUsage, in
// the reader's language.
std::string UsageError(const Arguments& args, const char* name,
                       const Texts& texts);

}  // namespace tarnvell

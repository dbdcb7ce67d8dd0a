// The command-line conventions that tarnvell and tarnvell-gui share: -h and
// --help, -V and --version, -- ends the options, every other argument is a
// file; the options only the command line takes; and the exit status once
// standard output has been flushed.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/plan.h"

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
// the user's language (UserTexts).
std::string UsageText(const char* usage, const char* moreOptions = "");
void PrintUsage(const char* usage, std::FILE* stream);

// The line that says what is wrong with a kUnknownOption or kBadUsage, in
// the user's language.
std::string UsageError(const Arguments& args, const char* name);

// `text` with each "%s" in turn replaced by the next of `values`.
std::string Fill(const char* text, std::initializer_list<std::string> values);

// Answers a request other than kFiles for the program `name` and returns
// its exit status: the usage on `out`, "name VERSION" on `out`, or the
// unknown option and the usage on `err`.
int AnswerRequest(const Arguments& args, const char* name, const char* usage,
                  std::FILE* out = stdout, std::FILE* err = stderr);

// `code` once `out` is flushed; kExitFailed, after one line on `err` that
// says why, when `out` lost anything (lostError, or a failed flush).
int Finish(const char* name, int code, int lostError,
           std::FILE* out = stdout, std::FILE* err = stderr);

// A name as it may be shown on a terminal: control characters become \xHH,
// so a file name cannot send escape sequences. That covers the C1 controls
// too, whether as raw bytes 0x80-0x9F or as UTF-8 (U+0080-U+009F).
std::string Printable(const std::string& name);

// A name as a JSON string, quotes included: UTF-8 as it is, control
// characters escaped as JSON has them, and each byte that is not UTF-8 as the
// four characters \xHH (as Printable shows it).
std::string JsonString(const std::string& name);

}  // namespace tarnvell

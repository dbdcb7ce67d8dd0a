// The command-line conventions that tarnvell and tarnvell-gui share: -h and
// --help, -V and --version, -- ends the options, every other argument is a
// file; and the exit status once standard output has been flushed.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tarnvell {

enum ExitCode { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

enum class Request { kFiles, kHelp, kVersion, kUnknownOption };

struct Arguments {
  Request request = Request::kFiles;
  std::vector<std::string> files;  // kFiles: the file arguments, as given
  std::string option;              // kUnknownOption: the first one
};

// Reads argv[1] to argv[argc - 1]; the first option that is not a file
// decides the request. A lone "-" is a file.
Arguments ParseArguments(int argc, const char* const* argv);

// Prints a program's own usage text, then the options list both share, in
// the user's language (UserTexts).
void PrintUsage(const char* usage, std::FILE* stream);

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

}  // namespace tarnvell

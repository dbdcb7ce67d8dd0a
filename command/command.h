// The command line that tarnvell and tarnvell-cli.exe share: the options, one
// drop or a look inside each container, every line they print and the exit
// status; tarnvell-gui answers its options the same way. Each system supplies
// its console.
#pragma once

#include <cstdio>
#include <string>

#include "command/options.h"
#include "core/platform.h"
#include "language/language.h"

namespace tarnvell {

class Console {
 public:
  virtual ~Console() = default;

  // Write UTF-8 text to standard output or standard error.
  virtual void Out(const std::string& text) = 0;
  virtual void Err(const std::string& text) = 0;

  // Once everything is written: "" when all of it arrived, else the reason
  // something was lost.
  virtual std::string Lost() = 0;

  // A path as a stop message names it: in full where that can be told.
  virtual std::string FullPath(const std::string& path) { return path; }
};

// Standard output and standard error as C streams: every write is flushed at
// once, and the first that fails is remembered.
class StdioConsole : public Console {
 public:
  void Out(const std::string& text) override;
  void Err(const std::string& text) override;
  std::string Lost() override;

 private:
  void Write(std::FILE* stream, const std::string& text);
  int lostError_ = 0;
};

// Answers a request other than kFiles for the program `name` and returns its
// exit status: the usage on standard output, "name VERSION", or the problem
// and the usage on standard error.
int AnswerRequest(const Arguments& args, const char* name,
                  const std::string& usage, const Texts& texts, Console& console);

// `code` once everything written has arrived; kExitFailed, after one line on
// standard error that says why, when anything was lost.
int Finish(const char* name, int code, const Texts& texts, Console& console);

// Runs the program `name` on argv[1] to argv[argc - 1] (UTF-8) and returns its
// exit status; every text it prints is in the reader's language.
int RunCommandLine(int argc, const char* const* argv, const char* name,
                   const Texts& texts, Platform& platform, Console& console);

}  // namespace tarnvell

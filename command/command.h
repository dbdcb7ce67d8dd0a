// The command line that tarnvell and tarnvell-cli.exe share: the options, one
// drop or a look inside each container, every line they print and the exit
// status. Each system supplies its console.
#pragma once

#include <string>

#include "core/notice.h"
#include "core/platform.h"

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

  // A notice's text or caption in UTF-8 in the user's language (UserTexts):
  // its CP932 text where the documents' Japanese is shown, else the English
  // one translated.
  virtual std::string NoticeText(const char* cp932, const char* english) = 0;

  // A path as a stop message names it: in full where that can be told.
  virtual std::string FullPath(const std::string& path) = 0;
};

// Runs the program `name` on argv[1] to argv[argc - 1] (UTF-8) and returns its
// exit status; every text it prints is in the user's language (UserTexts).
int RunCommandLine(int argc, const char* const* argv, const char* name,
                   Platform& platform, Console& console);

}  // namespace tarnvell

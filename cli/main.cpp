// The command-line front end on POSIX systems: the command line shared with
// the Windows console program, over the POSIX platform, printing UTF-8.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "frontend/command.h"
#include "frontend/language.h"
#include "frontend/posix.h"
#include "platform/posix_platform.h"

namespace {

// Every write is flushed at once; the first that fails is remembered, so the
// exit status can say so.
class PosixConsole : public tarnvell::Console {
 public:
  void Out(const std::string& text) override { Write(stdout, text); }
  void Err(const std::string& text) override { Write(stderr, text); }

  std::string Lost() override {
    errno = 0;
    if (lostError_ == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout)))
      lostError_ = errno != 0 ? errno : EIO;
    return lostError_ == 0 ? std::string() : std::strerror(lostError_);
  }

  std::string NoticeText(const char* cp932, const char* english) override {
    return tarnvell::NoticeUtf8(cp932, english);
  }

  std::string FullPath(const std::string& path) override {
    return tarnvell::AbsolutePath(path, tarnvell::CurrentDir());
  }

 private:
  void Write(std::FILE* stream, const std::string& text) {
    errno = 0;
    if (std::fputs(text.c_str(), stream) < 0 || std::fflush(stream) != 0) {
      if (lostError_ == 0) lostError_ = errno != 0 ? errno : EIO;
    }
  }

  int lostError_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  tarnvell::HandleSignalsForCleanUp();
  tarnvell::SetUserTexts(tarnvell::Texts::FromEnvironment());
  tarnvell::PosixPlatform platform;
  PosixConsole console;
  return tarnvell::RunCommandLine(argc, argv, "tarnvell", platform, console);
}

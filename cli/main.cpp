// The command-line front end on POSIX systems: the command line shared with
// the Windows console program, over the POSIX platform, printing UTF-8.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "command/command.h"
#include "platform/posix_platform.h"
#include "platform/posix_signals.h"

namespace {

// The process's current folder, or "" when it cannot be told.
std::string CurrentDir() {
  std::error_code error;
  std::string cwd = std::filesystem::current_path(error).string();
  return error ? std::string() : cwd;
}

// Stop messages name files in full, relative ones taken from the current
// folder as it is when the message is made.
class PosixConsole : public tarnvell::StdioConsole {
 public:
  std::string FullPath(const std::string& path) override {
    const std::string cwd = CurrentDir();
    if (path == "." && !cwd.empty()) return cwd;  // the current folder itself
    if ((!path.empty() && path[0] == '/') || cwd.empty()) return path;
    return cwd.back() == '/' ? cwd + path : cwd + "/" + path;
  }
};

}  // namespace

int main(int argc, char** argv) {
  tarnvell::HandleSignalsForCleanUp();
  const tarnvell::Texts texts = tarnvell::Texts::FromEnvironment();
  tarnvell::PosixPlatform platform;
  PosixConsole console;
  return tarnvell::RunCommandLine(argc, argv, "tarnvell", texts, platform, console);
}

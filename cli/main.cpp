// The command-line front end: the arguments are one drop of files, and each
// notice is printed as "caption: text" in UTF-8.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/drop.h"
#include "platform/posix_front_end.h"
#include "platform/posix_platform.h"

namespace {

enum ExitCode { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

const char kUsage[] =
    "Usage: tarnvell [OPTION]... FILE...\n"
    "Split a font container or join its two members, as one drop of FILEs.\n"
    "\n"
    "  tarnvell NAME.fnt           write NAME.pcx and NAME.txt beside it\n"
    "  tarnvell IMAGE.pcx TEXT.txt join them into a .fnt named after the\n"
    "                              second file, in the second file's folder\n"
    "                              (the two may come in either order)\n"
    "\n"
    "Existing output files are replaced once the new ones are complete.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             end of options; every later argument is a FILE\n"
    "\n"
    "Exit status: 0 when the split or join completed, 1 when the files were\n"
    "refused or the work failed, 2 for a usage error.\n";

using tarnvell::Utf8FromCp932;

// Completions go to standard output, refusals to standard error. A notice
// that cannot be written is remembered, so the exit status can say so.
class ConsoleSink : public tarnvell::MessageSink {
 public:
  void Show(const tarnvell::Notice& notice) override {
    std::FILE* stream = notice.Completes() ? stdout : stderr;
    if (std::fprintf(stream, "%s: %s\n", Utf8FromCp932(notice.caption).c_str(),
                     Utf8FromCp932(notice.text).c_str()) < 0 ||
        std::fflush(stream) != 0) {
      if (lostError == 0) lostError = errno != 0 ? errno : EIO;
    }
  }
  int lostError = 0;  // why a notice could not be written, or 0
};

// The length of the valid UTF-8 sequence at the start of s (0 if none).
size_t Utf8Length(const unsigned char* s, size_t left) {
  const unsigned char c = s[0];
  const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (n == 0 || n > left || c > 0xF4) return 0;
  for (size_t i = 1; i < n; ++i)
    if ((s[i] & 0xC0) != 0x80) return 0;
  return n;
}

// A name as it may be shown on a terminal: control characters become \xHH,
// so a file name cannot send escape sequences. That covers the C1 controls
// too, whether as raw bytes 0x80-0x9F or as UTF-8 (U+0080-U+009F).
std::string Printable(const std::string& name) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(name.data());
  std::string out;
  for (size_t i = 0; i < name.size();) {
    size_t n = Utf8Length(s + i, name.size() - i);
    const bool c1 = n == 2 && s[i] == 0xC2 && s[i + 1] < 0xA0;
    if (n == 0) n = 1;
    const bool control = s[i] < 0x20 || s[i] == 0x7F || c1 ||
                         (n == 1 && s[i] >= 0x80 && s[i] < 0xA0);
    for (size_t k = 0; k < n; ++k) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", s[i + k]);
      out += control ? std::string(escaped) : std::string(1, name[i + k]);
    }
    i += n;
  }
  return out;
}

// The exit status once everything is printed: a failure when standard output
// (a full disk, a closed pipe) lost anything, which one line then says.
int Finish(int code, int lostError) {
  errno = 0;
  if (lostError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout)))
    lostError = errno != 0 ? errno : EIO;
  if (lostError == 0) return code;
  std::fprintf(stderr, "tarnvell: standard output: %s\n", std::strerror(lostError));
  return kExitFailed;
}

int UsageError(const char* problem, const char* arg) {
  std::fprintf(stderr, "tarnvell: %s '%s'\n", problem, Printable(arg).c_str());
  std::fprintf(stderr, "Try 'tarnvell --help' for more information.\n");
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  tarnvell::HandleSignalsForCleanUp();
  tarnvell::DropList drop;
  const std::string cwd = tarnvell::CurrentDir();
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "-h" || arg == "--help")) {
      std::fputs(kUsage, stdout);
      return Finish(kExitDone, 0);
    } else if (options && (arg == "-V" || arg == "--version")) {
      std::printf("tarnvell %s\n", TARNVELL_VERSION);
      return Finish(kExitDone, 0);
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option", argv[i]);
    } else {
      // Opened as given, so relative names work in folders of any depth.
      drop.paths.push_back(arg);
    }
  }
  if (drop.paths.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  drop.count = static_cast<uint32_t>(drop.paths.size());

  tarnvell::PosixPlatform platform;
  ConsoleSink sink;
  tarnvell::DropResult result = tarnvell::HandleDrop(drop, sink, platform);
  // The file is named by its full path where the current folder can be told.
  if (result.outcome == tarnvell::Outcome::kStopped)
    std::fprintf(stderr, "tarnvell: %s: %s\n",
                 Printable(tarnvell::AbsolutePath(result.stop.file, cwd)).c_str(),
                 tarnvell::Describe(result.stop.code, platform).c_str());
  return Finish(result.outcome == tarnvell::Outcome::kCompleted ? kExitDone
                                                                : kExitFailed,
                sink.lostError);
}

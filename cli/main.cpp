// The command-line front end: the arguments are one drop of files, and each
// notice is printed as "caption: text" in UTF-8.
#include <cerrno>
#include <cstdio>
#include <string>

#include "frontend/options.h"
#include "core/drop.h"
#include "frontend/posix.h"
#include "platform/posix_platform.h"

namespace {

// Followed by the options (PrintUsage).
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

}  // namespace

int main(int argc, char** argv) {
  using tarnvell::Finish;
  tarnvell::HandleSignalsForCleanUp();
  const tarnvell::Arguments args = tarnvell::ParseArguments(argc, argv);
  if (args.request != tarnvell::Request::kFiles)
    return tarnvell::AnswerRequest(args, "tarnvell", kUsage);
  if (args.files.empty()) {
    tarnvell::PrintUsage(kUsage, stderr);
    return tarnvell::kExitUsage;
  }

  // Opened as given, so relative names work in folders of any depth.
  tarnvell::DropList drop;
  drop.paths = args.files;
  drop.count = static_cast<uint32_t>(drop.paths.size());

  tarnvell::PosixPlatform platform;
  ConsoleSink sink;
  const tarnvell::DropResult result = tarnvell::HandleDrop(drop, sink, platform);
  // The file is named by its full path where the current folder can be told.
  if (result.kind() == tarnvell::DropResult::Kind::kStopped) {
    const tarnvell::Stop& stop = result.stop();
    const std::string shown = tarnvell::Printable(
        tarnvell::AbsolutePath(stop.file, tarnvell::CurrentDir()));
    std::fprintf(stderr, "tarnvell: %s\n",
                 tarnvell::StopMessage(stop, shown).c_str());
  }
  return Finish("tarnvell",
                result.completed() ? tarnvell::kExitDone : tarnvell::kExitFailed,
                sink.lostError);
}

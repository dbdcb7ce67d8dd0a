#include "frontend/command.h"

#include <vector>

#include "core/drop.h"
#include "core/inspect.h"
#include "frontend/language.h"
#include "frontend/options.h"
#include "frontend/report.h"

namespace tarnvell {
namespace {

// Followed by the options (UsageText); %s is the program's name.
const char kUsage[] =
    "Usage: %s [OPTION]... FILE...\n"
    "Split a font container or join its two members, as one drop of FILEs;\n"
    "or look inside containers.\n"
    "\n"
    "  %s NAME.fnt\n"
    "      write NAME.pcx and NAME.txt beside it\n"
    "  %s IMAGE.pcx TEXT.txt\n"
    "      join them into a .fnt named after the second file, in the second\n"
    "      file's folder (the two may come in either order)\n"
    "  %s --list NAME.fnt...\n"
    "      show what each container holds; --test checks each one\n"
    "\n"
    "Existing output files are replaced once the new ones are complete.\n"
    "\n"
    "Exit status: 0 when the split or join completed, 1 when the files were\n"
    "refused or the work failed, 2 for a usage error. With --list or --test:\n"
    "0 when every file is a container (--list) or OK (--test), else 1.\n";

const char kCommandOptions[] =
    "  -l, --list     for each container: its members, where a split writes\n"
    "                 them, what they hold and what is odd; writes nothing\n"
    "  -t, --test     check each container: \"FILE: OK\" or its problems\n"
    "      --json     with --list or --test: one JSON document instead\n"
    "  -C, --directory=DIR\n"
    "                 write the outputs into the folder DIR (which must exist)\n"
    "                 instead of beside the files\n"
    "  -n, --no-clobber\n"
    "                 write nothing when any output exists already\n";

std::string Usage(const std::string& name) {
  std::string text = UsageText(kUsage, kCommandOptions);
  for (size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at))
    text.replace(at, 2, name);
  return text;
}

// Completions go to standard output, refusals to standard error.
class NoticePrinter : public MessageSink {
 public:
  explicit NoticePrinter(Console& console) : console_(console) {}
  void Show(const Notice& notice) override {
    const std::string line =
        console_.NoticeText(notice.caption, notice.englishCaption) + ": " +
        console_.NoticeText(notice.text, notice.english) + "\n";
    if (notice.Completes())
      console_.Out(line);
    else
      console_.Err(line);
  }

 private:
  Console& console_;
};

// The arguments are one drop; a stop names each file it stopped on in full.
int Drop(const Arguments& args, const char* name, Platform& platform,
         Console& console) {
  DropList drop;
  drop.paths = args.files;
  drop.count = static_cast<uint32_t>(drop.paths.size());
  NoticePrinter printer(console);
  const DropResult result = HandleDrop(drop, printer, platform, args.drop);
  if (result.kind() != DropResult::Kind::kStopped)
    return result.completed() ? kExitDone : kExitFailed;
  const Stop& stop = result.stop();
  std::vector<std::string> files = {stop.file};
  files.insert(files.end(), stop.more.begin(), stop.more.end());
  for (const std::string& file : files)
    console.Err(std::string(name) + ": " +
                UserStopMessage(stop, Printable(console.FullPath(file))) + "\n");
  return kExitFailed;
}

// Every file is looked at, whatever the ones before it held; JSON is written
// as each file is read, so memory does not grow with their number.
int Look(const Arguments& args, const char* name, Platform& platform,
         Console& console) {
  size_t looked = 0;
  bool passed = true, listed = false;
  for (const std::string& file : args.files) {
    Inspection r = InspectContainer(file, platform, args.drop);
    passed = passed && (args.mode == Mode::kTest ? r.ok() : r.status.ok() && r.container);
    if (args.json) {
      console.Out(JsonReport(r, looked++));
    } else if (args.mode == Mode::kTest) {
      console.Out(TestLine(r));
    } else if (!r.status.ok()) {
      console.Err(std::string(name) + ": " + ReadFailure(r) + "\n");
    } else {
      console.Out((listed ? "\n" : "") + ListBlock(r));  // blocks apart
      listed = true;
    }
  }
  if (args.json) console.Out(JsonEnd(looked));
  return passed ? kExitDone : kExitFailed;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, const char* name,
                   Platform& platform, Console& console) {
  const Arguments args = ParseArguments(argc, argv, true);
  int code = kExitUsage;
  switch (args.request) {
    case Request::kHelp:
      console.Out(Usage(name));
      code = kExitDone;
      break;
    case Request::kVersion:
      console.Out(std::string(name) + " " + TARNVELL_VERSION + "\n");
      code = kExitDone;
      break;
    case Request::kUnknownOption:
    case Request::kBadUsage:
      console.Err(UsageError(args, name) + Usage(name));
      break;
    case Request::kFiles:
      if (args.files.empty())
        console.Err(Usage(name));
      else if (args.mode == Mode::kDrop)
        code = Drop(args, name, platform, console);
      else
        code = Look(args, name, platform, console);
      break;
  }
  const std::string lost = console.Lost();
  if (lost.empty()) return code;
  console.Err(Fill(Tr("%s: standard output: %s\n"), {name, lost}));
  return kExitFailed;
}

}  // namespace tarnvell

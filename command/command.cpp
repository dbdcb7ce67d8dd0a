#include "command/command.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "command/report.h"
#include "core/drop.h"
#include "core/inspect.h"
#include "language/text.h"

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

std::string Usage(const std::string& name, const Texts& texts) {
  std::string text = UsageText(texts, kUsage, kCommandOptions);
  for (size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at))
    text.replace(at, 2, name);
  return text;
}

// Completions go to standard output, refusals to standard error.
class NoticePrinter : public MessageSink {
 public:
  NoticePrinter(Console& console, const Texts& texts)
      : console_(console), texts_(texts) {}
  void Show(const Notice& notice) override {
    const std::string line = std::string(texts_(notice.caption)) + ": " +
                             texts_(notice.text) + "\n";
    if (notice.Completes())
      console_.Out(line);
    else
      console_.Err(line);
  }

 private:
  Console& console_;
  const Texts& texts_;
};

// The arguments are one drop; a stop names each file it stopped on in full.
int Drop(const Arguments& args, const char* name, const Texts& texts,
         Platform& platform, Console& console) {
  NoticePrinter printer(console, texts);
  const DropResult result =
      HandleDrop(DropList{args.files}, printer, platform, args.drop);
  if (result.kind() != DropResult::Kind::kStopped)
    return result.completed() ? kExitDone : kExitFailed;
  const Stop& stop = result.stop();
  std::vector<std::string> files = {stop.file};
  files.insert(files.end(), stop.more.begin(), stop.more.end());
  for (const std::string& file : files)
    console.Err(std::string(name) + ": " +
                StopMessage(stop, Printable(console.FullPath(file)), texts) + "\n");
  return kExitFailed;
}

// Every file is looked at, whatever the ones before it held; JSON is written
// as each file is read, so memory does not grow with their number.
int Look(const Arguments& args, const char* name, const Texts& texts,
         Platform& platform, Console& console) {
  size_t looked = 0;
  bool passed = true, listed = false;
  for (const std::string& file : args.files) {
    Inspection r = InspectContainer(file, platform, args.drop);
    passed = passed && (args.mode == Mode::kTest ? r.ok() : r.status.ok() && r.container);
    if (args.json) {
      console.Out(JsonReport(r, looked++));
    } else if (args.mode == Mode::kTest) {
      console.Out(TestLine(r, texts));
    } else if (!r.status.ok()) {
      console.Err(std::string(name) + ": " + ReadFailure(r, texts) + "\n");
    } else {
      console.Out((listed ? "\n" : "") + ListBlock(r, texts));  // blocks apart
      listed = true;
    }
  }
  if (args.json) console.Out(JsonEnd(looked));
  return passed ? kExitDone : kExitFailed;
}

}  // namespace

void StdioConsole::Out(const std::string& text) { Write(stdout, text); }
void StdioConsole::Err(const std::string& text) { Write(stderr, text); }

std::string StdioConsole::Lost() {
  errno = 0;
  if (lostError_ == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout)))
    lostError_ = errno != 0 ? errno : EIO;
  return lostError_ == 0 ? std::string() : std::strerror(lostError_);
}

void StdioConsole::Write(std::FILE* stream, const std::string& text) {
  errno = 0;
  if (std::fputs(text.c_str(), stream) < 0 || std::fflush(stream) != 0) {
    if (lostError_ == 0) lostError_ = errno != 0 ? errno : EIO;
  }
}

int AnswerRequest(const Arguments& args, const char* name,
                  const std::string& usage, const Texts& texts, Console& console) {
  switch (args.request) {
    case Request::kHelp:
      console.Out(usage);
      return Finish(name, kExitDone, texts, console);
    case Request::kVersion:
      console.Out(std::string(name) + " " + TARNVELL_VERSION + "\n");
      return Finish(name, kExitDone, texts, console);
    case Request::kUnknownOption:
    case Request::kBadUsage:
      console.Err(UsageError(args, name, texts) + usage);
      break;
    case Request::kFiles:
      break;
  }
  return Finish(name, kExitUsage, texts, console);
}

int Finish(const char* name, int code, const Texts& texts, Console& console) {
  const std::string lost = console.Lost();
  if (lost.empty()) return code;
  console.Err(Fill(texts("%s: standard output: %s\n"), {name, lost}));
  return kExitFailed;
}

int RunCommandLine(int argc, const char* const* argv, const char* name,
                   const Texts& texts, Platform& platform, Console& console) {
  const Arguments args = ParseArguments(argc, argv, true);
  const std::string usage = Usage(name, texts);
  if (args.request != Request::kFiles)
    return AnswerRequest(args, name, usage, texts, console);
  int code = kExitUsage;
  if (args.files.empty())
    console.Err(usage);
  else if (args.mode == Mode::kDrop)
    code = Drop(args, name, texts, platform, console);
  else
    code = Look(args, name, texts, platform, console);
  return Finish(name, code, texts, console);
}

}  // namespace tarnvell

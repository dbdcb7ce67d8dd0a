#include "command/options.h"

#include "language/text.h"

namespace tarnvell {

namespace {

// The options only the command line takes, read one argument at a time.
class CommandOptions {
 public:
  explicit CommandOptions(Arguments& args) : args_(args) {}

  // Takes the option at argv[*i] (and its folder, which may be the next
  // argument); false when it is none of them. A usage error is recorded in
  // the arguments.
  bool Take(int argc, const char* const* argv, int* i) {
    const std::string arg = argv[*i];
    const char* next = *i + 1 < argc ? argv[*i + 1] : nullptr;
    if (arg.compare(0, 12, "--directory=") == 0)
      return Folder(arg.substr(12), "--directory");
    if (arg == "--directory" || arg == "-C") {
      if (next != nullptr) ++*i;
      return Folder(next != nullptr ? next : "", arg);
    }
    if (arg[1] == '-') return Word(arg);
    // One-letter options run together; -C takes the rest, or the next argument.
    for (size_t k = 1; k < arg.size(); ++k) {
      if (arg[k] == 'C') {
        if (k + 1 < arg.size()) return Folder(arg.substr(k + 1), "-C");
        if (next != nullptr) ++*i;
        return Folder(next != nullptr ? next : "", "-C");
      }
      if (!Letter(arg[k])) return false;
    }
    return true;
  }

  // The combinations that make no sense, once every option is known.
  void Check() {
    if (list_ && test_)
      Bad("--list", "%s: --list and --test cannot be used together\n");
    else if (args_.json && !list_ && !test_)
      Bad("--json", "%s: --json goes with --list or --test\n");
    else if (args_.drop.keepExisting && (list_ || test_))
      Bad("--no-clobber",
          "%s: --no-clobber goes with a split or a join, not with --list or --test\n");
    args_.mode = list_ ? Mode::kList : test_ ? Mode::kTest : Mode::kDrop;
  }

 private:
  bool Word(const std::string& arg) {
    if (arg == "--list") return Letter('l');
    if (arg == "--test") return Letter('t');
    if (arg == "--no-clobber") return Letter('n');
    if (arg == "--json") return args_.json = true;
    return false;
  }

  bool Letter(char c) {
    switch (c) {
      case 'l': return list_ = true;
      case 't': return test_ = true;
      case 'n': return args_.drop.keepExisting = true;
      case 'h': return Ask(Request::kHelp);
      case 'V': return Ask(Request::kVersion);
    }
    return false;
  }

  bool Ask(Request request) {
    if (args_.request == Request::kFiles) args_.request = request;
    return true;
  }

  bool Folder(const std::string& folder, const std::string& option) {
    if (folder.empty()) return Bad(option, "%s: option '%s' needs a folder\n");
    args_.drop.folder = folder;
    return true;
  }

  // Records the first usage error; the option counts as taken.
  bool Bad(const std::string& option, const char* problem) {
    if (args_.request == Request::kFiles) {
      args_.request = Request::kBadUsage;
      args_.option = option;
      args_.problem = problem;
    }
    return true;
  }

  Arguments& args_;
  bool list_ = false, test_ = false;
};

}  // namespace

Arguments ParseArguments(int argc, const char* const* argv, bool commandLine) {
  auto only = [](Request request, const std::string& option = {}) {
    Arguments args;
    args.request = request;
    args.option = option;
    return args;
  };
  Arguments args;
  CommandOptions command(args);
  bool options = true;
  for (int i = 1; i < argc && args.request == Request::kFiles; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "-h" || arg == "--help")) {
      return only(Request::kHelp);
    } else if (options && (arg == "-V" || arg == "--version")) {
      return only(Request::kVersion);
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      if (!commandLine || !command.Take(argc, argv, &i))
        return only(Request::kUnknownOption, arg);
    } else {
      args.files.push_back(arg);
    }
  }
  if (commandLine && args.request == Request::kFiles) command.Check();
  return args;
}

std::string UsageText(const Texts& texts, const char* usage,
                      const char* moreOptions) {
  return std::string(texts(usage)) + "\n" + texts("Options:\n") +
         (*moreOptions != '\0' ? texts(moreOptions) : "") +
         texts("  -h, --help     show this help and exit\n"
               "  -V, --version  show the version and exit\n"
               "  --             end of options; every later argument is a FILE\n");
}

std::string UsageError(const Arguments& args, const char* name,
                       const Texts& texts) {
  const char* problem = args.request == Request::kBadUsage
                            ? args.problem.c_str()
                            : "%s: unknown option '%s'\n";
  return Fill(texts(problem), {name, Printable(args.option)});
}

}  // namespace tarnvell

#include "frontend/options.h"

#include <cerrno>
#include <cstring>

#include "frontend/language.h"

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

std::string UsageText(const char* usage, const char* moreOptions) {
  return std::string(Tr(usage)) + "\n" + Tr("Options:\n") +
         (*moreOptions != '\0' ? Tr(moreOptions) : "") +
         Tr("  -h, --help     show this help and exit\n"
            "  -V, --version  show the version and exit\n"
            "  --             end of options; every later argument is a FILE\n");
}

void PrintUsage(const char* usage, std::FILE* stream) {
  std::fputs(UsageText(usage).c_str(), stream);
}

std::string UsageError(const Arguments& args, const char* name) {
  const char* problem = args.request == Request::kBadUsage
                            ? args.problem.c_str()
                            : "%s: unknown option '%s'\n";
  return Fill(Tr(problem), {name, Printable(args.option)});
}

std::string Fill(const char* text, std::initializer_list<std::string> values) {
  std::string out;
  auto value = values.begin();
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's' && value != values.end()) {
      out += *value++;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

int AnswerRequest(const Arguments& args, const char* name, const char* usage,
                  std::FILE* out, std::FILE* err) {
  switch (args.request) {
    case Request::kHelp:
      PrintUsage(usage, out);
      return Finish(name, kExitDone, 0, out, err);
    case Request::kVersion:
      std::fprintf(out, "%s %s\n", name, TARNVELL_VERSION);
      return Finish(name, kExitDone, 0, out, err);
    case Request::kUnknownOption:
    case Request::kBadUsage:
      std::fputs(UsageError(args, name).c_str(), err);
      PrintUsage(usage, err);
      return kExitUsage;
    case Request::kFiles:
      break;
  }
  return kExitUsage;
}

int Finish(const char* name, int code, int lostError, std::FILE* out,
           std::FILE* err) {
  errno = 0;
  if (lostError == 0 && (std::fflush(out) != 0 || std::ferror(out)))
    lostError = errno != 0 ? errno : EIO;
  if (lostError == 0) return code;
  std::fprintf(err, Tr("%s: standard output: %s\n"), name,
               std::strerror(lostError));
  return kExitFailed;
}

namespace {

// The length of the valid UTF-8 sequence at the start of s (0 if none): no
// overlong forms, no surrogates, nothing past U+10FFFF, nothing cut short.
size_t Utf8Length(const unsigned char* s, size_t left) {
  const unsigned char c = s[0];
  const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (n == 0 || n > left || c > 0xF4) return 0;
  for (size_t i = 1; i < n; ++i)
    if ((s[i] & 0xC0) != 0x80) return 0;
  // The second byte's narrower range after these lead bytes.
  const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
  return s[1] >= low && s[1] <= high ? n : 0;
}

}  // namespace

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

std::string JsonString(const std::string& name) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(name.data());
  std::string out = "\"";
  for (size_t i = 0; i < name.size();) {
    const size_t n = Utf8Length(s + i, name.size() - i);
    char escaped[8];
    if (n == 0 && s[i] >= 0x80) {
      std::snprintf(escaped, sizeof escaped, "\\\\x%02X", s[i]);
    } else if (s[i] == '"' || s[i] == '\\') {
      std::snprintf(escaped, sizeof escaped, "\\%c", s[i]);
    } else if (s[i] < 0x20 || s[i] == 0x7F || (n == 2 && s[i] == 0xC2 && s[i + 1] < 0xA0)) {
      const unsigned code = n == 2 ? s[i + 1] : s[i];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
    } else {
      out.append(name, i, n == 0 ? 1 : n);
      i += n == 0 ? 1 : n;
      continue;
    }
    out += escaped;
    i += n == 0 ? 1 : n;
  }
  return out + "\"";
}

}  // namespace tarnvell

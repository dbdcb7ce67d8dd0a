#include "frontend/options.h"

#include <cerrno>
#include <cstring>

#include "frontend/language.h"

namespace tarnvell {

Arguments ParseArguments(int argc, const char* const* argv) {
  Arguments args;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "-h" || arg == "--help")) {
      return {Request::kHelp, {}, {}};
    } else if (options && (arg == "-V" || arg == "--version")) {
      return {Request::kVersion, {}, {}};
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      return {Request::kUnknownOption, {}, arg};
    } else {
      args.files.push_back(arg);
    }
  }
  return args;
}

void PrintUsage(const char* usage, std::FILE* stream) {
  std::fputs(Tr(usage), stream);
  std::fputs("\n", stream);
  std::fputs(
      Tr("Options:\n"
         "  -h, --help     show this help and exit\n"
         "  -V, --version  show the version and exit\n"
         "  --             end of options; every later argument is a FILE\n"),
      stream);
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
      std::fprintf(err, Tr("%s: unknown option '%s'\n"), name,
                   Printable(args.option).c_str());
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

// The length of the valid UTF-8 sequence at the start of s (0 if none).
size_t Utf8Length(const unsigned char* s, size_t left) {
  const unsigned char c = s[0];
  const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (n == 0 || n > left || c > 0xF4) return 0;
  for (size_t i = 1; i < n; ++i)
    if ((s[i] & 0xC0) != 0x80) return 0;
  return n;
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

}  // namespace tarnvell

#include "cli/options.h"

#include <cerrno>
#include <cstring>

#ifndef TARNVELL_VERSION
#define TARNVELL_VERSION "unknown"
#endif

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
  std::fputs(usage, stream);
  std::fputs(
      "\n"
      "Options:\n"
      "  -h, --help     show this help and exit\n"
      "  -V, --version  show the version and exit\n"
      "  --             end of options; every later argument is a FILE\n",
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
      std::fprintf(err, "%s: unknown option '%s'\n", name,
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
  std::fprintf(err, "%s: standard output: %s\n", name, std::strerror(lostError));
  return kExitFailed;
}

std::string Printable(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace tarnvell

// The command-line front end on Windows, tarnvell-cli.exe: the same command
// line as tarnvell, its arguments read in UTF-16 and its output shown through
// the console's wide calls, or written as UTF-8 when redirected to a file or a
// pipe.
#include "platform/windows_api.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

#include "command/command.h"
#include "platform/win32_platform.h"

namespace {

// UTF-8 for the console's wide calls; what is not UTF-8 becomes U+FFFD.
std::wstring WideFromText(const std::string& bytes) {
  const int size = static_cast<int>(bytes.size());
  const int n = size == 0 ? 0 : MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, &wide[0], n);
  return wide;
}

class WindowsConsole : public tarnvell::Console {
 public:
  void Out(const std::string& text) override { Write(STD_OUTPUT_HANDLE, text); }
  void Err(const std::string& text) override { Write(STD_ERROR_HANDLE, text); }

  std::string Lost() override {
    if (lostError_ == 0) return "";
    return std::error_code(static_cast<int>(lostError_), tarnvell::Win32Category()).message();
  }

  std::string FullPath(const std::string& path) override {
    std::wstring wide, full;
    if (!tarnvell::WideFromUtf8(path, &wide) || !tarnvell::FullWidePath(wide, &full))
      return path;
    return tarnvell::Utf8FromWide(full);
  }

 private:
  // A console takes UTF-16, in pieces it can swallow; anything else the bytes.
  void Write(DWORD which, const std::string& text) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0, done = 0;
    bool ok = true;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
      return;  // no stream at all: nothing to lose
    } else if (GetConsoleMode(handle, &mode)) {
      const std::wstring wide = WideFromText(text);
      for (size_t at = 0; ok && at < wide.size(); at += done)
        ok = WriteConsoleW(handle, wide.data() + at,
                           static_cast<DWORD>(std::min<size_t>(wide.size() - at, 8192)),
                           &done, nullptr) && done > 0;
    } else {
      for (size_t at = 0; ok && at < text.size(); at += done)
        ok = WriteFile(handle, text.data() + at, static_cast<DWORD>(text.size() - at),
                       &done, nullptr) && done > 0;
    }
    if (!ok && lostError_ == 0) lostError_ = GetLastError();
  }

  DWORD lostError_ = 0;
};

}  // namespace

int main() {
  // The arguments as the system has them, in UTF-16, whatever its code page.
  int argc = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (wide == nullptr) return tarnvell::kExitFailed;
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(tarnvell::Utf8FromWide(wide[i]));
  LocalFree(wide);
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());

  // The user's interface languages, as the window takes them.
  const tarnvell::Texts texts = tarnvell::Texts::For(tarnvell::UserLanguages());
  tarnvell::Win32Platform platform(true);  // typed paths: "/" separates too
  WindowsConsole console;
  return tarnvell::RunCommandLine(argc, argv.data(), "tarnvell-cli", texts, platform,
                                  console);
}

// Drops files onto the window of a running tarnvell.exe from outside, as a
// user's drag does, reads and dismisses the notice it shows, then closes the
// window. Lets the scripts check an unpacked program. Usage: drop_files PATH...
// Prints "caption: text" (UTF-8); exit 0 when a notice came up and was
// dismissed, 1 if not.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32_platform.h"
#include "tests/win/boxes.h"

namespace {

std::string Utf8(const std::wstring& w) {
  std::string s = tarnvell::Utf8FromWide(w);
  std::replace(s.begin(), s.end(), '\n', '/');
  return s;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2) {
    std::fprintf(stderr, "usage: drop_files PATH...\n");
    return 2;
  }
  HWND window = nullptr;
  for (int i = 0; i < 300 && window == nullptr; ++i) {
    window = FindWindowW(L"Default Class Name", L"Tarnvell");
    if (window == nullptr) Sleep(100);
  }
  if (window == nullptr) {
    std::fprintf(stderr, "drop_files: no Tarnvell window\n");
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (!winbox::DropOnto(window, std::vector<std::wstring>(argv + 1, argv + argc))) {
    std::fprintf(stderr, "drop_files: the drop could not be handed over\n");
    return 1;
  }
  winbox::Box box;
  const bool dismissed = winbox::TakeNotice(pid, &box);
  if (box.hwnd == nullptr) {
    std::fprintf(stderr, "drop_files: no notice appeared\n");
    return 1;
  }
  std::printf("%s: %s\n", Utf8(box.captionW).c_str(), Utf8(box.textW).c_str());
  PostMessageW(window, WM_CLOSE, 0, 0);
  return dismissed ? 0 : 1;
}

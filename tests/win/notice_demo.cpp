// Shows the window and, over it, the notice for a single file that is not a
// container, until the notice is dismissed; used for the documentation's
// screenshots.
#include "shell/shell.h"
#include "tests/win/boxes.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (tarnvell::RegisterMainClass(instance) == 0) return 1;
  HWND window = tarnvell::CreateMainWindow(instance);
  if (window == nullptr) return 1;
  SendMessageA(window, WM_DROPFILES,
               reinterpret_cast<WPARAM>(
                   winbox::MakeDrop({"Z:\\tmp\\fonts\\readme.doc"})),
               0);
  DestroyWindow(window);
  return 0;
}

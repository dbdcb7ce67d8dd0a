// Entry of the Windows program: one window that splits and joins the font
// containers dropped onto it.
#include "shell/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine,
                   int showCommand) {
  (void)previous;
  (void)commandLine;  // read as UTF-16 by RunProgram
  (void)showCommand;  // the window is always shown with SW_SHOW
  return tarnvell::RunProgram(instance);
}

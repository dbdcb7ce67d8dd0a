// The Windows front end: the main window, its message loop, and the glue that
// turns a shell drop into one HandleDrop call with message-box notices.
#pragma once

#include "platform/windows_api.h"

#include <string>

#include "core/drop.h"

namespace tarnvell {

extern const char kWindowClassName[];  // "Default Class Name"
extern const char kWindowTitle[];      // "Tarnvell"
constexpr int kWindowSize = 200;
constexpr DWORD kPathBufferSize = 260;  // a path of 259 bytes and its NUL

// Registers the window class; 0 on failure.
ATOM RegisterMainClass(HINSTANCE instance);

// Left or top edge that centres the window on a screen of the given extent,
// truncated toward zero.
int CentredEdge(int screenExtent);

// Creates, shows and updates the window and makes it a drop target; null on
// failure.
HWND CreateMainWindow(HINSTANCE instance);

// Runs the message loop until the quit message or an error.
void RunMessageLoop();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam);

// The files of a drop, in the shell's order; paths only for one or two
// files. A path that does not fit in the buffer becomes an empty name, so it
// is refused like a file of an unknown kind instead of being used cut.
DropList CollectDrop(HDROP drop);

// Notices as modal message boxes with no owner window.
class MessageBoxSink : public MessageSink {
 public:
  void Show(const char* text, const char* caption) override;
};

// Notes the current folder as the one to return to after every drop.
void RememberStartFolder();

// Handles one drop completely, releases it and returns to the start folder.
void HandleShellDrop(HDROP drop);

// The whole program: 1 when the window cannot be made, else 0 once it closes.
int RunProgram(HINSTANCE instance);

}  // namespace tarnvell

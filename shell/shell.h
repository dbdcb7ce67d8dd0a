// The Windows front end: the main window, its message loop, and the glue that
// turns a shell drop, a choice in the Open dialog or the command line into one
// HandleDrop call with message-box notices. It speaks UTF-16 with the system and UTF-8 with the
// core.
#pragma once

#include "platform/windows_api.h"

#include <string>

#include "core/drop.h"
#include "language/language.h"

namespace tarnvell {

extern const wchar_t kWindowClassName[];  // "Default Class Name"
extern const wchar_t kWindowTitle[];      // "Tarnvell"
constexpr int kWindowSize = 200;

// Registers the window class; 0 on failure.
ATOM RegisterMainClass(HINSTANCE instance);

// Creates, shows and updates the window and makes it a drop target; it
// speaks in `texts`, which must outlive it. Null on failure.
HWND CreateMainWindow(HINSTANCE instance, const Texts& texts);

// Runs the message loop until the quit message or an error.
void RunMessageLoop();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam);

// The files of a drop, in the shell's order, as UTF-8; paths only for one or
// two files (others are left empty), each whole whatever its length.
DropList CollectDrop(HDROP drop);

// The files named on a command line after the program, as full UTF-8 paths
// (relative ones taken in the current folder).
DropList CommandLineFiles(const wchar_t* commandLine);

// Notices as modal message boxes with no owner window, in the user's
// language, in UTF-16, so they read alike on every Windows.
class MessageBoxSink : public MessageSink {
 public:
  explicit MessageBoxSink(const Texts& texts) : texts_(texts) {}
  void Show(const Notice& notice) override;

 private:
  const Texts& texts_;
};

// Handles one drop completely and releases it.
void HandleShellDrop(HDROP drop, const Texts& texts);

// The hint the window draws and screen readers read as its description: what
// to drop, and how to choose files instead (a click, or Ctrl+O as the user's
// keyboards name it), in the user's language, as UTF-8.
std::string WindowHint(const Texts& texts);

// Opens the common Open dialog over the window and handles the files chosen
// exactly as a drop of them; cancelled, it does nothing.
void ChooseFiles(HWND window);

// The whole program: the window, then the files of its command line as one
// drop. 1 when the window cannot be made, else 0 once it closes.
int RunProgram(HINSTANCE instance);

}  // namespace tarnvell

// Message boxes of the test process, watched from a second thread while the
// window thread is inside a drop, or of a running tarnvell.exe: found, read as
// UTF-16 and dismissed, each wait bounded so a failing test never hangs.
#pragma once

#include "platform/windows_api.h"

#include <functional>
#include <string>
#include <vector>

namespace winbox {

struct Box {
  HWND hwnd = nullptr;
  std::wstring captionW, textW;
  HWND owner = nullptr;
  int buttons = 0;                 // visible push buttons
  int okButtons = 0;               // of which IDOK
  int othersUp = 0;                // other boxes up when this one was found
  bool mainEnabled = false;        // the main window, while this box was up
};

// Visible top-level dialog boxes of a process (this one by default),
// topmost first.
std::vector<HWND> VisibleBoxes(DWORD pid = GetCurrentProcessId());

// A box's caption, text and buttons as they are now.
Box ReadBox(HWND box);

// Presses a box's OK button; true once the box is gone, false on timeout.
bool PressOk(HWND box, DWORD timeoutMs = 15000);

// True when `upper` comes before `lower` in the top-level z-order.
bool IsAbove(HWND upper, HWND lower);

// A UTF-8 path as the wide calls take it.
std::wstring Widen(const std::string& utf8);

// A drop handle as the shell makes one: DROPFILES with ANSI paths.
HDROP MakeDrop(const std::vector<std::string>& paths);

// The same with UTF-16 paths (fWide TRUE), as Explorer and Wine make them.
HDROP MakeWideDrop(const std::vector<std::wstring>& paths);

// Drops the paths onto another process's window as a user's drag does; false
// if the block could not be handed over.
bool DropOnto(HWND window, const std::vector<std::wstring>& paths);

// Waits for a box of that process, reads it and presses OK; false on timeout.
bool TakeNotice(DWORD pid, Box* box, DWORD timeoutMs = 30000);

// The side of a drop run that the watcher thread sees.
class Watcher {
 public:
  explicit Watcher(HWND mainWindow) : main_(mainWindow) {}
  // Waits for a box not seen before; false (and an error) on timeout.
  bool Next(Box* box, DWORD timeoutMs = 15000);
  // True when no new box shows up within the time.
  bool NoNewBoxFor(DWORD ms);
  // Presses OK and waits until the box is gone.
  void Dismiss(const Box& box);
  void Fail(const std::string& error) { errors.push_back(error); }

  std::vector<Box> boxes;  // every box found, in order
  std::vector<std::string> errors;

 private:
  HWND main_;
  std::vector<HWND> seen_;
};

struct DropRun {
  std::vector<Box> boxes;
  std::vector<std::string> errors;  // timeouts and leftover boxes
};

// Sends WM_DROPFILES to `window` on this thread (the window's own) while
// `script` runs on a watcher thread; any box the script leaves is dismissed
// and reported, so the drop always returns.
DropRun SendDrop(HWND window, HDROP drop,
                 const std::function<void(Watcher&)>& script);

}  // namespace winbox

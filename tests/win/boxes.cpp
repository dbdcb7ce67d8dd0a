#include "tests/win/boxes.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "platform/win32_platform.h"

namespace winbox {
namespace {

struct Found {
  DWORD pid;
  std::vector<HWND>* out;
};

BOOL CALLBACK CollectBox(HWND hwnd, LPARAM param) {
  Found* f = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[32] = {0};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == f->pid && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd))
    f->out->push_back(hwnd);
  return TRUE;
}

struct Buttons {
  int visible = 0, ok = 0;
};

BOOL CALLBACK CountButton(HWND child, LPARAM param) {
  Buttons* b = reinterpret_cast<Buttons*>(param);
  char cls[32] = {0};
  GetClassNameA(child, cls, sizeof cls);
  if (_stricmp(cls, "Button") == 0 && IsWindowVisible(child)) {
    ++b->visible;
    if (GetDlgCtrlID(child) == IDOK) ++b->ok;
  }
  return TRUE;
}

}  // namespace

Box ReadBox(HWND hwnd) {
  Box b;
  b.hwnd = hwnd;
  wchar_t w[1024] = {0};
  GetWindowTextW(hwnd, w, 1024);
  b.captionW = w;
  GetDlgItemTextW(hwnd, 0xFFFF, w, 1024);
  b.textW = w;
  b.owner = GetWindow(hwnd, GW_OWNER);
  Buttons buttons;
  EnumChildWindows(hwnd, CountButton, reinterpret_cast<LPARAM>(&buttons));
  b.buttons = buttons.visible;
  b.okButtons = buttons.ok;
  return b;
}

namespace {

bool WaitGone(HWND hwnd, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

void Press(HWND box) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

}  // namespace

bool PressOk(HWND box, DWORD timeoutMs) {
  Press(box);
  return WaitGone(box, timeoutMs);
}

std::vector<HWND> VisibleBoxes(DWORD pid) {
  std::vector<HWND> boxes;
  Found f{pid, &boxes};
  EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&f));
  return boxes;
}

bool IsAbove(HWND upper, HWND lower) {
  for (HWND h = GetWindow(upper, GW_HWNDNEXT); h != nullptr;
       h = GetWindow(h, GW_HWNDNEXT))
    if (h == lower) return true;
  return false;
}

namespace {

// A drop block as the shell hands it over: the header, then each path with
// its NUL, then an empty name ending the list.
template <typename Char>
HDROP MakeDropOf(const std::vector<std::basic_string<Char>>& paths) {
  size_t size = sizeof(DROPFILES) + sizeof(Char);
  for (const auto& p : paths) size += (p.size() + 1) * sizeof(Char);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (block == nullptr) return nullptr;
  DROPFILES* df = static_cast<DROPFILES*>(GlobalLock(block));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = sizeof(Char) == sizeof(wchar_t) ? TRUE : FALSE;
  char* at = reinterpret_cast<char*>(df) + sizeof(DROPFILES);
  for (const auto& p : paths) {
    std::memcpy(at, p.c_str(), (p.size() + 1) * sizeof(Char));
    at += (p.size() + 1) * sizeof(Char);
  }
  GlobalUnlock(block);
  return static_cast<HDROP>(block);
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
  std::wstring wide;
  tarnvell::WideFromUtf8(utf8, &wide);
  return wide;
}

HDROP MakeDrop(const std::vector<std::string>& paths) {
  return MakeDropOf(paths);
}

HDROP MakeWideDrop(const std::vector<std::wstring>& paths) {
  return MakeDropOf(paths);
}

bool DropOnto(HWND window, const std::vector<std::wstring>& paths) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  // A drop handle only means something in the process that reads it.
  HDROP drop = MakeWideDrop(paths);
  const SIZE_T size = GlobalSize(drop);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);  // null for a null process too
  const bool ok =
      remote != nullptr &&
      WriteProcessMemory(process, remote, GlobalLock(drop), size, nullptr) &&
      PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
  GlobalUnlock(drop);
  GlobalFree(drop);
  if (process != nullptr) CloseHandle(process);
  return ok;
}

bool TakeNotice(DWORD pid, Box* box, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    std::vector<HWND> up = VisibleBoxes(pid);
    if (!up.empty()) {
      *box = ReadBox(up.front());
      return PressOk(box->hwnd);
    }
    Sleep(20);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

bool Watcher::Next(Box* box, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    std::vector<HWND> up = VisibleBoxes();
    for (HWND h : up) {
      if (std::find(seen_.begin(), seen_.end(), h) != seen_.end()) continue;
      seen_.push_back(h);
      *box = ReadBox(h);
      box->othersUp = static_cast<int>(up.size()) - 1;
      box->mainEnabled = IsWindowEnabled(main_) != FALSE;
      boxes.push_back(*box);
      return true;
    }
    Sleep(10);
  } while (GetTickCount() - start < timeoutMs);
  Fail("no message box appeared in time");
  return false;
}

bool Watcher::NoNewBoxFor(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    for (HWND h : VisibleBoxes())
      if (std::find(seen_.begin(), seen_.end(), h) == seen_.end()) return false;
    Sleep(10);
  }
  return true;
}

void Watcher::Dismiss(const Box& box) {
  Press(box.hwnd);
  if (!WaitGone(box.hwnd, 15000)) Fail("a message box did not close");
}

DropRun SendDrop(HWND window, HDROP drop,
                 const std::function<void(Watcher&)>& script) {
  std::atomic<bool> done{false};
  Watcher watcher(window);
  std::thread thread([&] {
    script(watcher);
    // Whatever the script left up is an error, and is closed so that the
    // drop can return.
    while (!done) {
      for (HWND h : VisibleBoxes()) {
        Box extra = ReadBox(h);
        watcher.Fail("unexpected message box left up");
        watcher.boxes.push_back(extra);
        Press(h);
        WaitGone(h, 5000);
      }
      Sleep(10);
    }
  });
  SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  done = true;
  thread.join();
  return {watcher.boxes, watcher.errors};
}

}  // namespace winbox

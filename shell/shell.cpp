#include "shell/shell.h"

#include "platform/win32_platform.h"
#include "shell/resource.h"

namespace tarnvell {

const char kWindowClassName[] = "Default Class Name";
const char kWindowTitle[] = "Tarnvell";

namespace {

// The folder the program started in, to go back to after each drop.
std::string g_startFolder;

std::string CurrentFolder() {
  std::string folder(GetCurrentDirectoryA(0, nullptr), '\0');
  if (folder.empty()) return folder;
  DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), &folder[0]);
  folder.resize(n < folder.size() ? n : 0);
  return folder;
}

}  // namespace

ATOM RegisterMainClass(HINSTANCE instance) {
  // The program's own icon, large and small (null, so the system's default,
  // in a module without it), and the system's arrow; all shared, never to be
  // destroyed.
  HICON icon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(TARNVELL_ICON), IMAGE_ICON, 0, 0,
                 LR_SHARED | LR_DEFAULTSIZE));
  HICON smallIcon = static_cast<HICON>(
      LoadImageA(instance, MAKEINTRESOURCEA(TARNVELL_ICON), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                 LR_SHARED));
  HCURSOR cursor = static_cast<HCURSOR>(
      LoadImageA(nullptr, MAKEINTRESOURCEA(32512), IMAGE_CURSOR, 0, 0,
                 LR_SHARED | LR_DEFAULTSIZE));
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hIconSm = smallIcon;
  wc.hCursor = cursor;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = kWindowClassName;
  return RegisterClassExA(&wc);
}

int CentredEdge(int screenExtent) {
  return (screenExtent - kWindowSize) / 2;  // C++ division truncates toward 0
}

HWND CreateMainWindow(HINSTANCE instance) {
  const int x = CentredEdge(GetSystemMetrics(SM_CXSCREEN));
  const int y = CentredEdge(GetSystemMetrics(SM_CYSCREEN));
  HWND window = CreateWindowExA(0, kWindowClassName, kWindowTitle,
                                WS_OVERLAPPEDWINDOW, x, y, kWindowSize,
                                kWindowSize, nullptr, nullptr, instance,
                                nullptr);
  if (window == nullptr) return nullptr;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  DragAcceptFiles(window, TRUE);
  return window;
}

void RunMessageLoop() {
  MSG msg;
  // 0 is the quit message, -1 an error: both end the loop.
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_DROPFILES:
      HandleShellDrop(reinterpret_cast<HDROP>(wParam));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

DropList CollectDrop(HDROP drop) {
  DropList list;
  char probe[kPathBufferSize] = {0};
  list.count = DragQueryFileA(drop, 0xFFFFFFFF, probe, kPathBufferSize);
  if (list.count != 1 && list.count != 2) return list;  // only the number counts
  for (UINT i = 0; i < list.count; ++i) {
    char* buffer = static_cast<char*>(
        GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, kPathBufferSize));
    if (buffer == nullptr) {
      list.paths.emplace_back();
      continue;
    }
    // The length without the NUL; a longer path would arrive cut.
    UINT needed = DragQueryFileA(drop, i, nullptr, 0);
    if (needed < kPathBufferSize &&
        DragQueryFileA(drop, i, buffer, kPathBufferSize) == needed)
      list.paths.emplace_back(buffer);
    else
      list.paths.emplace_back();  // no extension: refused, never used cut
    GlobalFree(buffer);
  }
  return list;
}

void MessageBoxSink::Show(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

void RememberStartFolder() { g_startFolder = CurrentFolder(); }

void HandleShellDrop(HDROP drop) {
  DropList list = CollectDrop(drop);
  MessageBoxSink sink;
  Win32Platform platform;  // one per drop: a nested drop has its own
  HandleDrop(list, sink, platform);
  DragFinish(drop);
  // The outputs' folder must not stay held (for renaming, deleting or safely
  // removing its drive) once the drop is done.
  if (!g_startFolder.empty()) SetCurrentDirectoryA(g_startFolder.c_str());
}

int RunProgram(HINSTANCE instance) {
  RememberStartFolder();
  if (RegisterMainClass(instance) == 0) return 1;
  if (CreateMainWindow(instance) == nullptr) return 1;
  RunMessageLoop();
  return 0;  // whatever code the quit message carried
}

}  // namespace tarnvell

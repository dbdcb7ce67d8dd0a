#include "shell/shell.h"

#include <cderr.h>
#include <commdlg.h>
#include <initguid.h>
#include <oleacc.h>

#include <string>
#include <utility>
#include <vector>

#include "language/text.h"
#include "platform/win32_platform.h"
#include "shell/resource.h"
#include "shell/texts.h"

namespace tarnvell {

const wchar_t kWindowClassName[] = L"Default Class Name";
const wchar_t kWindowTitle[] = L"Tarnvell";

namespace {

// Asks the window to handle the files of the command line.
constexpr UINT kCommandLineDrop = WM_APP + 1;

// The files of the command line, until the window handles them.
DropList g_commandLine;

// A click began in the window (the button's release after a double click in
// the Open dialog may land here too, and is no click).
bool g_pressed = false;

// A stop shows no box; its message, naming the file and the step, goes to
// the debug output, where a debugger shows it.
void HandleFiles(const DropList& files, const Texts& texts) {
  MessageBoxSink sink(texts);
  Win32Platform platform;  // one per drop: a nested drop has its own
  const DropResult result = HandleDrop(files, sink, platform);
  std::wstring text;
  if (result.kind() == DropResult::Kind::kStopped &&
      WideFromUtf8(StopMessage(result.stop(), result.stop().file) + "\n", &text))
    OutputDebugStringW(text.c_str());
}

// The common Open dialog for existing files, several at once. The files
// chosen, in the dialog's order, as a drop: paths only for one or two files,
// as the shell's drops carry them. Cancelled, the list is empty. A choice too
// long for the buffer holds far more than two files (two names from one folder
// always fit), so only its count matters.
DropList ChosenFiles(HWND window) {
  std::wstring buffer(1 << 16, L'\0');
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFile = &buffer[0];
  dialog.nMaxFile = static_cast<DWORD>(buffer.size());
  dialog.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST |
                 OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  DropList list;
  if (!GetOpenFileNameW(&dialog)) {
    if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) list.paths.resize(3);
    return list;
  }
  // One file: its full path. Several: the folder, then each name, each
  // ending in NUL, then a NUL.
  std::vector<std::wstring> words;
  for (const wchar_t* at = buffer.c_str(); *at != L'\0'; at += words.back().size() + 1)
    words.emplace_back(at);
  std::wstring folder = words.size() > 1 ? words[0] : L"";
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  const size_t first = words.size() > 1 ? 1 : 0;
  list.paths.resize(words.size() - first);
  if (list.paths.size() != 1 && list.paths.size() != 2) return list;  // only the number counts
  for (size_t i = first; i < words.size(); ++i)
    list.paths[i - first] = Utf8FromWide(folder + words[i]);
  return list;
}

// Screen readers read the hint as the window's description; the title stays.
void DescribeWindow(HWND window, const Texts& texts) {
  std::wstring hint;
  IAccPropServices* services = nullptr;
  if (WideFromUtf8(WindowHint(texts), &hint) &&
      SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IAccPropServices,
                                 reinterpret_cast<void**>(&services)))) {
    services->SetHwndPropStr(window, OBJID_CLIENT, CHILDID_SELF,
                             PROPID_ACC_DESCRIPTION, hint.c_str());
    services->Release();
  }
}

// The texts the window was made with (CreateMainWindow).
const Texts& TextsOf(HWND window) {
  static const Texts english;
  const auto* texts = reinterpret_cast<const Texts*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return texts != nullptr ? *texts : english;
}

// Left or top edge that centres the window on a screen of that extent.
int CentredEdge(int screenExtent) {
  return (screenExtent - kWindowSize) / 2;  // C++ division truncates toward 0
}

}  // namespace

std::string WindowHint(const Texts& texts) {
  return std::string(texts(kDropHint)) + "\n\n" + Fill(texts(kChooseHint), {texts("Ctrl+O")});
}

void ChooseFiles(HWND window) {
  const DropList files = ChosenFiles(window);
  if (!files.paths.empty()) HandleFiles(files, TextsOf(window));
}

ATOM RegisterMainClass(HINSTANCE instance) {
  // The program's own icon, large and small (null, so the system's default,
  // in a module without it), and the system's arrow; all shared, never to be
  // destroyed.
  HICON icon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(TARNVELL_ICON), IMAGE_ICON, 0, 0,
                 LR_SHARED | LR_DEFAULTSIZE));
  HICON smallIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(TARNVELL_ICON), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                 LR_SHARED));
  HCURSOR cursor = static_cast<HCURSOR>(
      LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_CURSOR, 0, 0,
                 LR_SHARED | LR_DEFAULTSIZE));
  WNDCLASSEXW wc = {};
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
  return RegisterClassExW(&wc);
}

HWND CreateMainWindow(HINSTANCE instance, const Texts& texts) {
  const int x = CentredEdge(GetSystemMetrics(SM_CXSCREEN));
  const int y = CentredEdge(GetSystemMetrics(SM_CYSCREEN));
  HWND window = CreateWindowExW(0, kWindowClassName, kWindowTitle,
                                WS_OVERLAPPEDWINDOW, x, y, kWindowSize,
                                kWindowSize, nullptr, nullptr, instance,
                                const_cast<Texts*>(&texts));
  if (window == nullptr) return nullptr;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  DragAcceptFiles(window, TRUE);
  DescribeWindow(window, texts);
  return window;
}

void RunMessageLoop() {
  MSG msg;
  // 0 is the quit message, -1 an error: both end the loop.
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
          reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      PaintHint(window, TextsOf(window));
      return 0;
    case WM_DROPFILES:
      HandleShellDrop(reinterpret_cast<HDROP>(wParam), TextsOf(window));
      return 0;
    case WM_KEYDOWN:  // Ctrl+O
      if (wParam != 'O' || GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_SHIFT) < 0 ||
          GetKeyState(VK_MENU) < 0)  // not Ctrl+Shift+O, nor AltGr+O
        return DefWindowProcW(window, message, wParam, lParam);
      ChooseFiles(window);
      return 0;
    case WM_LBUTTONDOWN:
      g_pressed = true;
      return 0;
    case WM_LBUTTONUP:  // a click anywhere in the window
      if (g_pressed) ChooseFiles(window);
      g_pressed = false;
      return 0;
    case kCommandLineDrop: {
      DropList files;
      std::swap(files, g_commandLine);
      if (!files.paths.empty()) HandleFiles(files, TextsOf(window));  // once
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

DropList CollectDrop(HDROP drop) {
  DropList list;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  list.paths.resize(count);
  if (count != 1 && count != 2) return list;  // only the number counts
  list.paths.clear();
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);  // without its NUL
    std::wstring path(length + 1, L'\0');
    const UINT got = DragQueryFileW(drop, i, &path[0], length + 1);
    path.resize(got == length ? length : 0);  // never used cut
    list.paths.push_back(Utf8FromWide(path));
  }
  return list;
}

DropList CommandLineFiles(const wchar_t* commandLine) {
  DropList list;
  int count = 0;
  wchar_t** words = CommandLineToArgvW(commandLine, &count);
  if (words == nullptr) return list;
  for (int i = 1; i < count; ++i) {  // the first is the program itself
    std::wstring path;
    if (!FullWidePath(words[i], &path)) path = words[i];  // refused further on
    list.paths.push_back(Utf8FromWide(path));
  }
  LocalFree(words);
  return list;
}

void MessageBoxSink::Show(const Notice& notice) {
  std::wstring text, caption;
  WideFromUtf8(texts_(notice.text), &text);
  WideFromUtf8(texts_(notice.caption), &caption);
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

void HandleShellDrop(HDROP drop, const Texts& texts) {
  DropList files = CollectDrop(drop);
  DragFinish(drop);
  HandleFiles(files, texts);
}

int RunProgram(HINSTANCE instance) {
  const Texts texts = Texts::For(UserLanguages());
  // The Open dialog and the accessibility services are COM objects.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (RegisterMainClass(instance) == 0) return 1;
  HWND window = CreateMainWindow(instance, texts);
  if (window == nullptr) return 1;
  // Handled from the loop once the window is up, as a drop onto it would be.
  g_commandLine = CommandLineFiles(GetCommandLineW());
  if (!g_commandLine.paths.empty()) PostMessageW(window, kCommandLineDrop, 0, 0);
  RunMessageLoop();
  return 0;  // whatever code the quit message carried
}

}  // namespace tarnvell

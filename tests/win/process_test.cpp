// The program as its own process, as a user starts it: its window is found
// by class and title, placed and styled as a drop target, takes drops from
// outside and files on its command line, and closing it ends the process with
// exit code 0.
#include <gtest/gtest.h>

#include "platform/windows_api.h"

#include <dlgs.h>

#include <filesystem>
#include <string>

#include "tests/support.h"
#include "tests/win/boxes.h"

using namespace testing_support;
using winbox::Widen;

namespace {

const char kClass[] = "Default Class Name";
const char kTitle[] = "Tarnvell";

// tarnvell.exe beside this test program.
std::string ProgramPath() {
  char self[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self);
  return path.substr(0, path.find_last_of("\\/") + 1) + "tarnvell.exe";
}

struct Running {
  PROCESS_INFORMATION info = {};
  ~Running() {
    if (info.hProcess == nullptr) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
      TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
};

// Starts the program with these arguments, in that current folder.
bool Start(Running* run, const std::wstring& arguments = L"",
           const std::wstring& folder = L"") {
  std::wstring command = L"\"" + Widen(ProgramPath()) + L"\" " + arguments;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  return CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si,
                        &run->info) != FALSE;
}

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
  Search* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[64] = {0}, title[64] = {0};
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, title, sizeof title);
  if (pid == s->pid && std::string(cls) == kClass && std::string(title) == kTitle &&
      IsWindowVisible(hwnd)) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The process's visible window of our class and title, polled for a while.
HWND WaitForWindow(DWORD pid, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    Search s{pid, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&s));
    if (s.found != nullptr) return s.found;
    Sleep(20);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

bool WaitForDropTarget(HWND window, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES)) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

TEST(Program, OpensItsCentredWindowAndExitsWithZeroOnClose) {
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 800) << "needs an 800x600 screen";
  ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 600) << "needs an 800x600 screen";
  Running run;
  ASSERT_TRUE(Start(&run)) << ProgramPath();
  HWND window = WaitForWindow(run.info.dwProcessId, 30000);
  ASSERT_NE(window, nullptr);
  // FindWindow sees it by class and title too.
  EXPECT_NE(FindWindowA(kClass, kTitle), nullptr);

  RECT r = {};
  ASSERT_TRUE(GetWindowRect(window, &r));
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 200);
  EXPECT_EQ(r.right - r.left, 200);
  EXPECT_EQ(r.bottom - r.top, 200);
  // The window becomes a drop target just after it is shown.
  EXPECT_TRUE(WaitForDropTarget(window, 30000));
  // Started without files, it shows no notice.
  EXPECT_TRUE(winbox::VisibleBoxes(run.info.dwProcessId).empty());
  EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW,
            static_cast<LONG>(WS_OVERLAPPEDWINDOW));

  ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
  ASSERT_EQ(WaitForSingleObject(run.info.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1234;
  ASSERT_TRUE(GetExitCodeProcess(run.info.hProcess, &code));
  EXPECT_EQ(code, 0u);
}

TEST(Program, EveryStartOpensAWindowOfItsOwn) {
  Running first, second;
  ASSERT_TRUE(Start(&first));
  ASSERT_TRUE(Start(&second));
  HWND a = WaitForWindow(first.info.dwProcessId, 30000);
  HWND b = WaitForWindow(second.info.dwProcessId, 30000);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  PostMessageA(a, WM_CLOSE, 0, 0);
  PostMessageA(b, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(first.info.hProcess, 30000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(second.info.hProcess, 30000), WAIT_OBJECT_0);
}

// Files on the command line (as from Send To) are one drop once the window is
// up; then real drops of names outside any one code page and of a folder past
// 259 characters split beside the container. Every notice is the same Japanese.
TEST(Program, TakesFilesOnItsCommandLineAndDropsOfAnyNameAndLength) {
  TempDir dir;
  std::string deep = dir.path();
  while (deep.size() < 290) deep += "\\" + std::string(60, 'd');
  std::filesystem::create_directory(std::filesystem::u8path(dir / "データ"));
  std::filesystem::create_directories(std::filesystem::u8path(deep));
  WriteFile(deep + "\\long.pcx", "earlier");
  WriteFile(dir / "データ.txt", "text");
  WriteFile(dir / "a.pcx", "image");
  Running run;
  ASSERT_TRUE(Start(&run, L"データ.txt \"" + Widen(dir / "a.pcx") + L"\"", Widen(dir.path())));
  HWND window = WaitForWindow(run.info.dwProcessId, 30000);
  ASSERT_NE(window, nullptr);
  winbox::Box box;
  EXPECT_TRUE(winbox::TakeNotice(run.info.dwProcessId, &box));
  EXPECT_TRUE(box.captionW == L"確認" && box.textW == L"結合を完了しました");
  EXPECT_EQ(ReadFile(dir / "a.fnt"), Header(64, 5, 69, 4) + "imagetext");
  for (const std::string& fnt : {dir / "データ\\日本語.fnt", dir / "Ünïcødé ☃.fnt",
                                 deep + "\\long.fnt"}) {
    SCOPED_TRACE(fnt);
    WriteFile(fnt, Header(64, 3, 67, 2) + "PCXtx");
    ASSERT_TRUE(winbox::DropOnto(window, {Widen(fnt)}));
    EXPECT_TRUE(winbox::TakeNotice(run.info.dwProcessId, &box));
    EXPECT_TRUE(box.captionW == L"確認" && box.textW == L"分割を完了しました");
    const std::string base = fnt.substr(0, fnt.size() - 4);
    EXPECT_EQ(ReadFile(base + ".pcx"), "PCX");
    EXPECT_EQ(ReadFile(base + ".txt"), "tx");
  }
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(run.info.hProcess, 30000), WAIT_OBJECT_0);
}

// The process's first dialog box (the Open dialog is one too), or null.
HWND WaitForBox(DWORD pid) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20))
    if (!winbox::VisibleBoxes(pid).empty()) return winbox::VisibleBoxes(pid).front();
  return nullptr;
}

void Send(std::vector<INPUT> input) {
  ASSERT_EQ(SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)),
            input.size());
}

// Ctrl+O and a click, as real input, open the Open dialog; the names typed in
// it are one drop in that order; cancelled, it does nothing.
TEST(Program, ChoosesFilesInTheOpenDialogByCtrlOOrAClick) {
  TempDir dir;
  WriteFile(dir / "b.txt", "text");
  WriteFile(dir / "a.pcx", "image");
  Running run;
  ASSERT_TRUE(Start(&run, L"", Widen(dir.path())));  // the dialog opens there
  HWND window = WaitForWindow(run.info.dwProcessId, 30000);
  ASSERT_NE(window, nullptr);
  // Keys reach the window only once it is shown and in front.
  ASSERT_TRUE(WaitForDropTarget(window, 30000));
  for (DWORD start = GetTickCount(); GetForegroundWindow() != window &&
                                     GetTickCount() - start < 30000; Sleep(20))
    SetForegroundWindow(window);
  std::vector<INPUT> keys(4);
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = i == 0 || i == 3 ? VK_CONTROL : 'O';
    keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  Send(keys);
  HWND dialog = WaitForBox(run.info.dwProcessId);
  ASSERT_NE(dialog, nullptr);
  if (!SetDlgItemTextW(dialog, cmb13, L"\"b.txt\" \"a.pcx\""))
    SetDlgItemTextW(dialog, edt1, L"\"b.txt\" \"a.pcx\"");
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  while (IsWindowVisible(dialog)) Sleep(20);
  winbox::Box box;
  EXPECT_TRUE(winbox::TakeNotice(run.info.dwProcessId, &box));
  EXPECT_TRUE(box.captionW == L"確認" && box.textW == L"結合を完了しました");
  EXPECT_EQ(ReadFile(dir / "a.fnt"), Header(64, 5, 69, 4) + "imagetext");

  RECT r = {};
  GetWindowRect(window, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  std::vector<INPUT> click(2);
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  Send(click);
  dialog = WaitForBox(run.info.dwProcessId);
  ASSERT_NE(dialog, nullptr);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  while (IsWindowVisible(dialog)) Sleep(20);
  Sleep(500);
  EXPECT_TRUE(winbox::VisibleBoxes(run.info.dwProcessId).empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(run.info.hProcess, 30000), WAIT_OBJECT_0);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

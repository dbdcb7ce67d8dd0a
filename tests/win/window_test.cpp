// The real window with its real procedure, fed drop handles built like the
// shell's; every notice is read back off the screen as UTF-16, the same under
// every code page.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/shell.h"
#include "tests/support.h"
#include "tests/win/boxes.h"

using namespace testing_support;
using winbox::Box;
using winbox::DropRun;
using winbox::MakeDrop;
using winbox::SendDrop;
using winbox::Watcher;

namespace {

HWND g_window = nullptr;

// The notices as the user reads them, independent of any code page.
struct WideNotice {
  const wchar_t* text;
  const wchar_t* caption;
};
const WideNotice kWide[] = {
    {L"", L""},
    {L"読込エラー1", L"警告"},
    {L"分割を完了しました", L"確認"},
    {L"fntファイルではありません\n結合の場合はpcxとtxtを両方同時にドロップして下さい",
     L"警告"},
    {L"取り扱えるファイルではありません\nfntファイルはひとつずつドロップして下さい",
     L"警告"},
    {L"結合を完了しました", L"確認"},
    {L"ファイル数が多すぎます\n分割の場合は1つずつ、結合の場合はpcxとtxtを同時ドロップのみ受け付けます",
     L"確認"},
};

// A plain OK box with no owner, showing notice n.
void ExpectNotice(const Box& box, int n) {
  SCOPED_TRACE("notice " + std::to_string(n));
  EXPECT_TRUE(box.textW == kWide[n].text);
  EXPECT_TRUE(box.captionW == kWide[n].caption);
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(box.buttons, 1);
  EXPECT_EQ(box.okButtons, 1);
  EXPECT_TRUE(box.mainEnabled);
}

// Drops the paths in UTF-16, as Explorer does, and dismisses the notices it
// expects as soon as each is read; any further box is reported by SendDrop.
DropRun DropAndDismiss(const std::vector<std::string>& paths, int expected) {
  std::vector<std::wstring> wide;
  for (const std::string& p : paths) wide.push_back(winbox::Widen(p));
  return SendDrop(g_window, winbox::MakeWideDrop(wide), [expected](Watcher& w) {
    Box box;
    for (int i = 0; i < expected && w.Next(&box); ++i) w.Dismiss(box);
  });
}

std::vector<int> Notices(const DropRun& run) {
  std::vector<int> numbers;
  for (const Box& b : run.boxes) {
    int n = 0;
    for (int i = 1; i <= 6; ++i)
      if (b.textW == kWide[i].text) n = i;
    numbers.push_back(n);
    if (n != 0) ExpectNotice(b, n);
  }
  return numbers;
}

TEST(Window, ProgramEndsWithOneWhenItsClassCannotBeRegistered) {
  // The class is registered already in this process, so a second start fails
  // before any window is made.
  EXPECT_EQ(tarnvell::RunProgram(GetModuleHandleA(nullptr)), 1);
}

std::string CurrentFolder() {
  char folder[MAX_PATH] = {0};
  GetCurrentDirectoryA(MAX_PATH, folder);
  return folder;
}

// The program never enters the outputs' folder, so once the drop is done
// that folder (or its drive) is free to be renamed or removed.
TEST(Window, SplitsADroppedContainerBesideItAndLetsItsFolderGo) {
  TempDir dir;
  const std::string start = CurrentFolder();
  WriteFile(dir / "Big.FNT", Header(64, 3, 67, 4) + "IMGtext");
  DropRun run = DropAndDismiss({dir / "Big.FNT"}, 1);
  EXPECT_TRUE(run.errors.empty());
  EXPECT_EQ(Notices(run), std::vector<int>{2});
  EXPECT_EQ(ReadFile(dir / "Big.pcx"), "IMG");
  EXPECT_EQ(ReadFile(dir / "Big.txt"), "text");
  EXPECT_EQ(CurrentFolder(), start);
}

TEST(Window, JoinsAnImageAndATextNamedAfterTheSecond) {
  TempDir dir;
  WriteFile(dir / "b.txt", "text");
  WriteFile(dir / "a.pcx", "image");
  DropRun run = DropAndDismiss({dir / "b.txt", dir / "a.pcx"}, 1);
  EXPECT_TRUE(run.errors.empty());
  EXPECT_EQ(Notices(run), std::vector<int>{5});
  EXPECT_EQ(ReadFile(dir / "a.fnt"), Header(64, 5, 69, 4) + "imagetext");
}

TEST(Window, EveryRefusalShowsItsNoticeAndWritesNothing) {
  TempDir dir;
  WriteFile(dir / "bad.fnt", "not a container at all, but long enough");
  WriteFile(dir / "a.pcx", "image");
  WriteFile(dir / "t.txt", "text");
  const auto before = dir.List();
  struct Case {
    std::vector<std::string> paths;
    std::vector<int> notices;
  } cases[] = {
      {{dir / "bad.fnt"}, {1}},
      {{dir / "a.pcx"}, {3}},
      {{dir / "a.pcx", dir / "bad.fnt"}, {4}},
      {{dir / "a.pcx", dir / "t.txt", dir / "bad.fnt"}, {6}},
      // No empty drop here: Wine's DragQueryFile reads past an empty list's
      // end and counts what lies there. The core tests cover a count of 0.
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.paths.back());
    DropRun run = DropAndDismiss(c.paths, static_cast<int>(c.notices.size()));
    EXPECT_TRUE(run.errors.empty());
    EXPECT_EQ(Notices(run), c.notices);
  }
  EXPECT_EQ(dir.List(), before);
}

TEST(Window, AFileThatCannotBeOpenedEndsTheDropSilently) {
  TempDir dir;
  DropRun run = DropAndDismiss({dir / "gone.fnt"}, 0);
  EXPECT_TRUE(run.errors.empty());
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(dir.List().empty());
}

TEST(Window, TwoUnusableFilesGetNoticeFourTwiceOneAfterTheOther) {
  TempDir dir;
  WriteFile(dir / "x.fnt", "x");
  WriteFile(dir / "y.fnt", "y");
  bool secondWaited = false;
  DropRun run = SendDrop(g_window, MakeDrop({dir / "x.fnt", dir / "y.fnt"}),
                         [&](Watcher& w) {
                           Box first, second;
                           if (!w.Next(&first)) return;
                           secondWaited = w.NoNewBoxFor(500);
                           w.Dismiss(first);
                           if (w.Next(&second)) w.Dismiss(second);
                         });
  EXPECT_TRUE(run.errors.empty());
  EXPECT_TRUE(secondWaited);
  ASSERT_EQ(Notices(run), (std::vector<int>{4, 4}));
  EXPECT_EQ(run.boxes[0].othersUp, 0);
  EXPECT_EQ(run.boxes[1].othersUp, 0);
}

TEST(Window, ADropWhileANoticeIsUpIsHandledAtOnceOnTop) {
  TempDir dir;
  WriteFile(dir / "a.pcx", "image");
  WriteFile(dir / "n.fnt", Header(64, 2, 66, 2) + "PCtx");
  bool onTop = false, splitBeforeFirstClosed = false, firstStillUp = false;
  DropRun run = SendDrop(
      g_window, MakeDrop({dir / "a.pcx"}), [&](Watcher& w) {
        Box first, nested;
        if (!w.Next(&first)) return;
        PostMessageA(g_window, WM_DROPFILES,
                     reinterpret_cast<WPARAM>(MakeDrop({dir / "n.fnt"})), 0);
        if (w.Next(&nested)) {
          onTop = winbox::IsAbove(nested.hwnd, first.hwnd);
          firstStillUp = IsWindowVisible(first.hwnd) != FALSE;
          w.Dismiss(nested);
          splitBeforeFirstClosed = ReadFile(dir / "n.pcx") == "PC" &&
                                   ReadFile(dir / "n.txt") == "tx";
        }
        w.Dismiss(first);
      });
  EXPECT_TRUE(run.errors.empty());
  ASSERT_EQ(Notices(run), (std::vector<int>{3, 2}));
  EXPECT_EQ(run.boxes[1].othersUp, 1);
  EXPECT_TRUE(firstStillUp);
  EXPECT_TRUE(onTop);
  EXPECT_TRUE(splitBeforeFirstClosed);
}

// Names keep every character, whatever the code page: 表, whose CP932 form
// ends in a backslash byte, splits and joins under its own name.
TEST(Window, NamesOutsideTheCodePageKeepTheirCharacters) {
  TempDir dir;
  WriteFile(dir / "表.fnt", Header(64, 2, 66, 2) + "PCtx");
  WriteFile(dir / "a.pcx", "image");
  EXPECT_EQ(Notices(DropAndDismiss({dir / "表.fnt"}, 1)), std::vector<int>{2});
  EXPECT_EQ(ReadFile(dir / "表.txt"), "tx");
  EXPECT_EQ(Notices(DropAndDismiss({dir / "a.pcx", dir / "表.txt"}, 1)),
            std::vector<int>{5});
  EXPECT_EQ(ReadFile(dir / "表.fnt"), Header(64, 5, 69, 2) + "imagetx");
  EXPECT_EQ(dir.List().size(), 4u);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The scripts name the code page each run must have.
  const char* codePage = std::getenv("TARNVELL_CODE_PAGE");
  if (codePage != nullptr && GetACP() != std::strtoul(codePage, nullptr, 10)) {
    std::fprintf(stderr, "window_tests: code page %u, not %s\n", GetACP(), codePage);
    return 2;
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  const tarnvell::Texts texts = tarnvell::Texts::For(tarnvell::UserLanguages());
  if (tarnvell::RegisterMainClass(instance) == 0 ||
      (g_window = tarnvell::CreateMainWindow(instance, texts)) == nullptr) {
    std::fprintf(stderr, "window_tests: cannot create the window\n");
    return 2;
  }
  int result = RUN_ALL_TESTS();
  DestroyWindow(g_window);
  return result;
}

// The Win32 platform on real files: reads above 2 GiB, short reads, scratch
// files, replacement, the held folder and UTF-8 names.
#include <gtest/gtest.h>

#include "platform/windows_api.h"

#include <winioctl.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/drop.h"
#include "platform/win32_platform.h"
#include "tests/support.h"

using namespace testing_support;
using namespace tarnvell;

namespace {

std::error_code Win32(unsigned long code) {
  return {static_cast<int>(code), Win32Category()};
}

std::unique_ptr<Folder> OpenFolder(Platform& p, const std::string& path) {
  std::unique_ptr<Folder> folder;
  EXPECT_TRUE(p.OpenFolder(path, &folder).ok()) << path;
  return folder;
}

std::unique_ptr<Output> Written(Folder& folder, const std::string& name,
                                const std::string& bytes) {
  std::unique_ptr<Output> out;
  EXPECT_TRUE(folder.CreateOutput(name, Folder::Existing::kReplace, &out).ok()) << name;
  EXPECT_TRUE(out && out->Write(bytes.data(), bytes.size()).ok());
  return out;
}

// A sparse file of `size` bytes with `tag` written at `at`.
void MakeSparse(const std::string& path, uint64_t size, uint64_t at,
                const std::string& tag) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD unused = 0;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
  LARGE_INTEGER pos;
  pos.QuadPart = static_cast<LONGLONG>(size);
  ASSERT_TRUE(SetFilePointerEx(h, pos, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(h));
  pos.QuadPart = static_cast<LONGLONG>(at);
  ASSERT_TRUE(SetFilePointerEx(h, pos, nullptr, FILE_BEGIN));
  DWORD put = 0;
  ASSERT_TRUE(WriteFile(h, tag.data(), static_cast<DWORD>(tag.size()), &put,
                        nullptr));
  CloseHandle(h);
}

// Offsets from 2 GiB up are read where they point, sizes past 4 GiB are told
// whole, and the end of a file gives short reads, not failures.
TEST(Win32Platform, ReadsAtAnyOffsetUpToTheEnd) {
  TempDir dir;
  Win32Platform p;
  MakeSparse(dir / "big.bin", uint64_t{5} << 30, 0x90000000u, "deep");
  auto folder = OpenFolder(p, dir.path());
  std::unique_ptr<Input> in;
  ASSERT_TRUE(folder->OpenInput("big.bin", &in).ok());
  FileIdentity id;
  EXPECT_TRUE(in->Identify(&id).ok());
  EXPECT_EQ(id.size, uint64_t{5} << 30);
  char got[8] = {0};
  uint32_t delivered = 0;
  EXPECT_TRUE(in->ReadAt(0x90000000u, got, 4, &delivered).ok());
  EXPECT_EQ(std::string(got, delivered), "deep");
  EXPECT_TRUE(in->ReadAt((uint64_t{5} << 30) - 2, got, 8, &delivered).ok());
  EXPECT_EQ(delivered, 2u);
  EXPECT_TRUE(in->ReadAt(uint64_t{6} << 30, got, 8, &delivered).ok());
  EXPECT_EQ(delivered, 0u);
}

TEST(Win32Platform, ScratchFilesAreNewAndReplaceTheFinalNameWhole) {
  TempDir dir;
  Win32Platform p;
  auto folder = OpenFolder(p, dir.path());
  WriteFile(dir / "out.pcx", "old and longer");
  auto a = Written(*folder, "out.pcx", "new");
  auto b = Written(*folder, "out.pcx", "other");
  const auto names = dir.List();
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0].rfind(".tarnvell-", 0), 0u) << names[0];
  EXPECT_EQ(ReadFile(dir / "out.pcx"), "old and longer");
  EXPECT_TRUE(a->Publish().ok());
  EXPECT_EQ(ReadFile(dir / "out.pcx"), "new");
  a.reset();
  b.reset();  // never published: gone
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.pcx"});
}

// An earlier file is replaced whole (its attributes, streams and security go
// to the new one where the system keeps them); a read-only one is not
// replaced at all, and leaves no scratch file behind.
TEST(Win32Platform, ReplacingRefusesReadOnlyFiles) {
  TempDir dir;
  Win32Platform p;
  auto folder = OpenFolder(p, dir.path());
  WriteFile(dir / "h.pcx", "old");
  ASSERT_TRUE(SetFileAttributesA((dir / "h.pcx").c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(Written(*folder, "h.pcx", "new")->Publish().ok());
  EXPECT_EQ(ReadFile(dir / "h.pcx"), "new");

  WriteFile(dir / "r.pcx", "keep");
  ASSERT_TRUE(SetFileAttributesA((dir / "r.pcx").c_str(), FILE_ATTRIBUTE_READONLY));
  std::unique_ptr<Output> out;
  const Status s = folder->CreateOutput("r.pcx", Folder::Existing::kReplace, &out);
  EXPECT_EQ(s.step, Step::kPermissions);
  EXPECT_EQ(s.code, Win32(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ReadFile(dir / "r.pcx"), "keep");
  SetFileAttributesA((dir / "r.pcx").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"h.pcx", "r.pcx"}));
}

// Device names and pipes are never opened as inputs: they would not end. A
// failure is the system's English text with its number, and names its step.
TEST(Win32Platform, RefusalsAreReportedInWordsWithTheirStep) {
  TempDir dir;
  Win32Platform p;
  auto folder = OpenFolder(p, dir.path());
  std::unique_ptr<Input> in;
  Status s = folder->OpenInput("NUL", &in);
  EXPECT_EQ(s.code, Win32(ERROR_BAD_FILE_TYPE));
  s = folder->OpenInput("missing.fnt", &in);
  EXPECT_EQ(s.code, Win32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(s.step, Step::kOpen);
  std::unique_ptr<Folder> none;
  s = p.OpenFolder(dir / "no such folder", &none);
  const std::string why = StopMessage({s.code, s.step, "x"}, "x");
  EXPECT_EQ(why.rfind("x: opening: ", 0), 0u) << why;
  EXPECT_TRUE(why.find(" (error 3)") != std::string::npos ||
              why.find(" (error 2)") != std::string::npos)
      << why;
}

// Windows' replace can fail once the earlier file is gone, leaving the new one
// under its scratch name (error 1176); Wine never does, so this one does.
struct ReplaceLosesTheEarlierFile : Win32Platform {
  bool moveFailsToo = false;  // a folder takes the name, so no file moves there
  bool Replace(const std::wstring& replaced, const std::wstring&) const override {
    DeleteFileW(replaced.c_str());
    if (moveFailsToo) CreateDirectoryW(replaced.c_str(), nullptr);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return false;
  }
};

TEST(Win32Platform, AReplaceThatLosesTheEarlierFileNeverLosesTheNewOne) {
  for (bool moveFailsToo : {false, true}) {
    TempDir dir;
    WriteFile(dir / "r.fnt", Header(64, 3, 67, 2) + "NEWtx");
    WriteFile(dir / "r.pcx", "earlier");
    ReplaceLosesTheEarlierFile platform;
    platform.moveFailsToo = moveFailsToo;
    RecordingSink sink;
    const auto result = HandleDrop({{dir / "r.fnt"}}, sink, platform);
    const std::vector<std::string> names = dir.List();
    if (!moveFailsToo) {  // moved into place: the drop goes on
      EXPECT_EQ(sink.shown, std::vector<int>{2});
      EXPECT_EQ(ReadFile(dir / "r.pcx"), "NEW");
      EXPECT_EQ(names, (std::vector<std::string>{"r.fnt", "r.pcx", "r.txt"}));
      continue;
    }
    // It stops silently and keeps the only copy.
    ASSERT_EQ(result.kind(), DropResult::Kind::kStopped);
    EXPECT_EQ(result.stop().status.step, Step::kPlace);
    EXPECT_TRUE(sink.shown.empty());
    ASSERT_EQ(names.size(), 3u);  // the scratch file, r.fnt and the folder r.pcx
    EXPECT_EQ(ReadFile(dir / names[0]), "NEW") << names[0];
  }
}

// The folder is held from the start, so it cannot be renamed away; should
// its path lead to another folder once the input is open (here its parent is
// renamed and the path made anew), no output is placed there.
TEST(Win32Platform, OutputsGoOnlyToTheFolderTheInputCameFrom) {
  namespace fs = std::filesystem;
  TempDir dir;
  const fs::path parent = dir / "p", held = parent / "d";
  fs::create_directories(held);
  WriteFile((held / "c.fnt").string(), "container");
  Win32Platform p;
  auto folder = OpenFolder(p, held.string());
  std::unique_ptr<Input> in;
  ASSERT_TRUE(folder->OpenInput("c.fnt", &in).ok());
  std::error_code refused, moved;
  fs::rename(held, parent / "d2", refused);
  EXPECT_TRUE(refused);
  fs::rename(parent, dir / "old", moved);
  if (moved) GTEST_SKIP() << "the system keeps the held folder's parent in place";
  fs::create_directories(held);
  const Status s = Written(*folder, "c.pcx", "PCX")->Publish();
  EXPECT_EQ(s.step, Step::kPlace);
  EXPECT_EQ(s.code, Win32(kFolderMoved));
  EXPECT_TRUE(fs::is_empty(held));
}

// Paths are UTF-8, which hides no backslash; every UTF-16 name survives the
// way there and back, and bytes that are not UTF-8 are never guessed at.
TEST(Win32Platform, PathsAreUtf8WithoutLeadBytes) {
  const std::wstring odd = L"\xD800 \x8868 \xD83D\xDE00";  // lone surrogate, 表, an emoji
  std::wstring back;
  EXPECT_EQ(Utf8FromWide(L"\x8868"), "表");
  EXPECT_TRUE(WideFromUtf8(Utf8FromWide(odd), &back));
  EXPECT_TRUE(back == odd);
  EXPECT_FALSE(WideFromUtf8("\xC0\xAF", &back));  // an overlong slash
  Win32Platform p;
  std::unique_ptr<Folder> folder;
  EXPECT_EQ(p.OpenFolder("C:\\\x95\x5C", &folder).code,  // 表 in CP932
            Win32(ERROR_NO_UNICODE_TRANSLATION));
}

}  // namespace

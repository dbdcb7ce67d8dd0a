// The Win32 file and memory layer on real files: positions above 2 GiB, sizes
// above 4 GiB, short reads, scratch files, replacement and UTF-8 names.
#include <gtest/gtest.h>

#include "platform/windows_api.h"

#include <winioctl.h>

#include <cstring>
#include <string>

#include "core/drop.h"
#include "platform/win32_platform.h"
#include "tests/fault_platform.h"
#include "tests/support.h"

using namespace testing_support;
using tarnvell::File;
using tarnvell::Folder;
using tarnvell::Win32Platform;

namespace {

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

TEST(Win32Platform, ReadsAtPositionsAbove2GiBAndSizesAbove4GiB) {
  TempDir dir;
  Win32Platform p;
  const std::string path = dir / "big.bin";
  MakeSparse(path, (uint64_t{5} << 30), 0x90000000u, "deep");
  File* f = p.OpenRead(path.c_str());
  ASSERT_NE(f, nullptr);
  tarnvell::FileIdentity id;
  EXPECT_TRUE(p.Identify(f, &id));
  EXPECT_EQ(id.size, uint64_t{5} << 30);
  char got[4] = {0};
  uint32_t delivered = 0;
  EXPECT_TRUE(p.Seek(f, 0x90000000u));
  EXPECT_TRUE(p.Read(f, got, 4, &delivered));
  EXPECT_EQ(delivered, 4u);
  EXPECT_EQ(std::string(got, 4), "deep");
  EXPECT_TRUE(p.Close(f));
}

TEST(Win32Platform, ShortReadsAtTheEndAreNotFailures) {
  TempDir dir;
  Win32Platform p;
  WriteFile(dir / "s.bin", "abc");
  File* f = p.OpenRead((dir / "s.bin").c_str());
  ASSERT_NE(f, nullptr);
  char got[8] = {0};
  uint32_t delivered = 99;
  EXPECT_TRUE(p.Seek(f, 1));
  EXPECT_TRUE(p.Read(f, got, 8, &delivered));
  EXPECT_EQ(delivered, 2u);
  EXPECT_TRUE(p.Seek(f, 1000));
  EXPECT_TRUE(p.Read(f, got, 8, &delivered));
  EXPECT_EQ(delivered, 0u);
  EXPECT_TRUE(p.Close(f));
}

TEST(Win32Platform, ScratchFilesAreNewAndReplaceTheFinalNameWhole) {
  TempDir dir;
  Win32Platform p;
  Folder* folder = p.OpenFolder(dir.path().c_str());
  ASSERT_NE(folder, nullptr);
  WriteFile(dir / "out.pcx", "old and longer");
  File* a = p.CreateTemp(folder, "out.pcx");
  File* b = p.CreateTemp(folder, "out.pcx");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  std::string temp1, temp2;
  EXPECT_TRUE(p.Write(a, "new", 3));
  EXPECT_TRUE(p.Finish(a, &temp1));
  EXPECT_TRUE(p.Finish(b, &temp2));
  EXPECT_NE(temp1, temp2);
  EXPECT_EQ(temp1.rfind(".tarnvell-", 0), 0u) << temp1;
  EXPECT_EQ(ReadFile(dir / "out.pcx"), "old and longer");
  EXPECT_TRUE(p.Commit(folder, temp1.c_str(), "out.pcx")) << p.LastError();
  EXPECT_EQ(ReadFile(dir / "out.pcx"), "new");
  p.Discard(folder, temp2.c_str());
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.pcx"});
  p.CloseFolder(folder);
}

// An earlier file is replaced whole (its attributes, streams and security go
// to the new one where the system keeps them); a read-only one is not
// replaced at all, and an output that failed leaves nothing.
TEST(Win32Platform, ReplacingRefusesReadOnlyFiles) {
  TempDir dir;
  Win32Platform p;
  Folder* folder = p.OpenFolder(dir.path().c_str());
  ASSERT_NE(folder, nullptr);
  WriteFile(dir / "h.pcx", "old");
  ASSERT_TRUE(SetFileAttributesA((dir / "h.pcx").c_str(), FILE_ATTRIBUTE_HIDDEN));
  std::string temp;
  File* f = p.CreateTemp(folder, "h.pcx");
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(p.Write(f, "new", 3));
  EXPECT_TRUE(p.Adopt(f, "h.pcx"));
  EXPECT_TRUE(p.Finish(f, &temp));
  EXPECT_TRUE(p.Commit(folder, temp.c_str(), "h.pcx"));
  EXPECT_EQ(ReadFile(dir / "h.pcx"), "new");

  WriteFile(dir / "r.pcx", "keep");
  ASSERT_TRUE(SetFileAttributesA((dir / "r.pcx").c_str(), FILE_ATTRIBUTE_READONLY));
  f = p.CreateTemp(folder, "r.pcx");
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(p.Adopt(f, "r.pcx"));
  EXPECT_EQ(p.LastError(), ERROR_ACCESS_DENIED);
  p.Abandon(f);
  EXPECT_EQ(ReadFile(dir / "r.pcx"), "keep");
  SetFileAttributesA((dir / "r.pcx").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"h.pcx", "r.pcx"}));
  p.CloseFolder(folder);
}

// Device names and pipes are never opened as inputs: they would not end.
TEST(Win32Platform, OnlyDiskFilesAreInputs) {
  Win32Platform p;
  EXPECT_EQ(p.OpenRead("NUL"), nullptr);
  EXPECT_EQ(p.LastError(), ERROR_BAD_FILE_TYPE);
}

TEST(Win32Platform, FailuresAreReportedInWords) {
  TempDir dir;
  Win32Platform p;
  EXPECT_EQ(p.OpenRead((dir / "missing.fnt").c_str()), nullptr);
  EXPECT_EQ(p.LastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(p.OpenFolder((dir / "no such folder").c_str()), nullptr);
  const std::string why = tarnvell::Describe(p.LastError(), p);
  EXPECT_TRUE(why.find("(error 3)") != std::string::npos ||
              why.find("(error 2)") != std::string::npos)
      << why;
}

TEST(Win32Platform, BlocksAreZeroFilledAndUsableForZeroBytes) {
  Win32Platform p;
  void* empty = p.Alloc(0);
  EXPECT_NE(empty, nullptr);
  p.Free(empty);
  unsigned char* block = static_cast<unsigned char*>(p.Alloc(4096));
  ASSERT_NE(block, nullptr);
  bool zero = true;
  for (int i = 0; i < 4096; ++i) zero = zero && block[i] == 0;
  EXPECT_TRUE(zero);
  p.Free(block);
}

// Windows' replace can fail once the earlier file is gone, leaving the new one
// under its scratch name (error 1176); Wine never does, so this one does.
struct ReplaceLosesTheEarlierFile : Win32Platform {
  bool moveFailsToo = false;  // a folder takes the name, so no file moves there
  bool Replace(const std::wstring& replaced, const std::wstring&) override {
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
    ReplaceLosesTheEarlierFile inner;
    inner.moveFailsToo = moveFailsToo;
    tarnvell::FaultPlatform platform(inner);
    RecordingSink sink;
    const auto result = tarnvell::HandleDrop(Drop({dir / "r.fnt"}), sink, platform);
    const std::vector<std::string> names = dir.List();
    if (!moveFailsToo) {  // moved into place: the drop goes on
      EXPECT_EQ(sink.shown, std::vector<int>{2});
      EXPECT_EQ(ReadFile(dir / "r.pcx"), "NEW");
      EXPECT_EQ(names, (std::vector<std::string>{"r.fnt", "r.pcx", "r.txt"}));
      continue;
    }
    // It stops silently and keeps the only copy, though asked to discard it.
    EXPECT_EQ(result.outcome, tarnvell::Outcome::kStopped);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(platform.Discards(), 1);
    ASSERT_EQ(names.size(), 3u);  // the scratch file, r.fnt and the folder r.pcx
    EXPECT_EQ(ReadFile(dir / names[0]), "NEW") << names[0];
  }
}

// Paths are UTF-8, which hides no backslash; every UTF-16 name survives the
// way there and back, and bytes that are not UTF-8 are never guessed at.
TEST(Win32Platform, PathsAreUtf8WithoutLeadBytes) {
  const std::wstring odd = L"\xD800 \x8868 \xD83D\xDE00";  // lone surrogate, 表, an emoji
  std::wstring back;
  EXPECT_EQ(tarnvell::Utf8FromWide(L"\x8868"), "表");
  EXPECT_TRUE(tarnvell::WideFromUtf8(tarnvell::Utf8FromWide(odd), &back));
  EXPECT_TRUE(back == odd);
  EXPECT_FALSE(tarnvell::WideFromUtf8("\xC0\xAF", &back));  // an overlong slash
  Win32Platform p;
  EXPECT_EQ(p.OpenRead("C:\\\x95\x5C.fnt"), nullptr);  // 表 in CP932
  EXPECT_EQ(p.LastError(), ERROR_NO_UNICODE_TRANSLATION);
}

}  // namespace

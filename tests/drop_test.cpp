// What a drop means, the notices it shows, and the path rules that name the
// outputs, under both the Windows and the POSIX spelling of paths.
#include <gtest/gtest.h>

#include <cstring>

#include "core/container.h"
#include "core/drop.h"
#include "tests/support.h"

using namespace testing_support;
using tarnvell::BaseName;
using tarnvell::DirectoryPart;
using tarnvell::EqualsIgnoringCase;
using tarnvell::FileNamePart;
using tarnvell::HandleDrop;
using tarnvell::HasExtension;
using tarnvell::Notice;
using tarnvell::PathRules;

namespace {

const PathRules kWindows = {'\\', IsCp932LeadByte};
const PathRules kPosix = {'/', nullptr};

TEST(Notices, BytesAndCaptionsMatchTheJapaneseTexts) {
  const size_t lengths[] = {0, 11, 18, 76, 74, 18, 94};
  for (int n = 1; n <= 6; ++n) {
    const auto& notice = tarnvell::TextOf(static_cast<Notice>(n));
    EXPECT_EQ(Shown({notice.text, notice.caption}), Expected(n)) << n;
    EXPECT_EQ(std::strlen(notice.text), lengths[n]) << n;
    EXPECT_EQ(std::strlen(notice.caption), 4u);
  }
  // Line breaks are a bare LF.
  EXPECT_EQ(std::strchr(tarnvell::TextOf(Notice::kWrongCount).text, '\r'),
            nullptr);
}

TEST(EqualsIgnoringCase, AsciiLettersOnlyAndEveryByteCounts) {
  EXPECT_TRUE(EqualsIgnoringCase(".FnT", ".fnt", 4));
  EXPECT_FALSE(EqualsIgnoringCase(".fnt", ".fnx", 4));
  // NULs take part and do not end the comparison.
  EXPECT_TRUE(EqualsIgnoringCase("a\0b", "A\0B", 3));
  EXPECT_FALSE(EqualsIgnoringCase("a\0b", "a\0c", 3));
  // Bytes from 0x80 up and punctuation near the letters are not folded.
  EXPECT_FALSE(EqualsIgnoringCase("\xC4", "\xE4", 1));
  EXPECT_FALSE(EqualsIgnoringCase("@[", "`{", 2));
  // A trail byte in the letter range folds like a letter.
  EXPECT_TRUE(EqualsIgnoringCase("\x83G", "\x83g", 2));
}

TEST(Extensions, LastFourBytesIgnoringCase) {
  EXPECT_TRUE(HasExtension("C:\\f\\BIG.FNT", ".fnt"));
  EXPECT_TRUE(HasExtension(".txt", ".txt"));
  EXPECT_FALSE(HasExtension("txt", ".txt"));
  EXPECT_FALSE(HasExtension("a.fnt ", ".fnt"));
  EXPECT_FALSE(HasExtension("a.fnt.bak", ".fnt"));
}

TEST(PathParts, WindowsPaths) {
  EXPECT_EQ(DirectoryPart("C:\\fonts\\big.fnt", kWindows), "C:\\fonts\\");
  EXPECT_EQ(FileNamePart("C:\\fonts\\big.fnt", kWindows), "big.fnt");
  // A forward slash is an ordinary byte there.
  EXPECT_EQ(FileNamePart("C:\\f\\a/b.fnt", kWindows), "a/b.fnt");
  // 表 is 0x95 0x5C: its second byte is no separator.
  const std::string hyo = "\x95\x5C";
  EXPECT_EQ(DirectoryPart("C:\\f\\" + hyo + ".fnt", kWindows), "C:\\f\\");
  EXPECT_EQ(FileNamePart("C:\\f\\" + hyo + ".fnt", kWindows), hyo + ".fnt");
  EXPECT_EQ(DirectoryPart("C:\\" + hyo + "\\x.fnt", kWindows),
            "C:\\" + hyo + "\\");
  // A single-byte katakana (0xA1-0xDF) is not a lead byte.
  EXPECT_EQ(FileNamePart("C:\\\xB1\\x.fnt", kWindows), "x.fnt");
  EXPECT_EQ(DirectoryPart("\\x.fnt", kWindows), "\\");
}

TEST(PathParts, PosixPathsAndNamesWithoutFolder) {
  EXPECT_EQ(DirectoryPart("/home/u/big.fnt", kPosix), "/home/u/");
  EXPECT_EQ(FileNamePart("/home/u/big.fnt", kPosix), "big.fnt");
  EXPECT_EQ(FileNamePart("/home/u\\v.fnt", kPosix), "u\\v.fnt");
  EXPECT_EQ(DirectoryPart("/big.fnt", kPosix), "/");
  EXPECT_EQ(FileNamePart("/big.fnt", kPosix), "big.fnt");
  EXPECT_EQ(DirectoryPart("big.fnt", kPosix), "");
  EXPECT_EQ(FileNamePart("big.fnt", kPosix), "big.fnt");
  EXPECT_EQ(BaseName("a.b.pcx"), "a.b");
  EXPECT_EQ(BaseName(".fnt"), "");
  EXPECT_EQ(BaseName("ab"), "");
}

class Dispatch : public ::testing::Test {
 protected:
  std::vector<Shown> Run(const std::vector<std::string>& paths) {
    RecordingSink sink;
    HandleDrop(Drop(paths), sink, RealPlatform());
    return sink.shown;
  }
  TempDir dir;
};

TEST_F(Dispatch, WrongCountsAndWrongKindsAreRefusedWithoutTouchingFiles) {
  WriteFile(dir / "x.fnt", "not a container");
  WriteFile(dir / "y.fnt", "not a container");
  WriteFile(dir / "a.pcx", "image");
  WriteFile(dir / "b.pcx", "image");
  WriteFile(dir / "t.txt", "text");
  const auto before = dir.List();
  using V = std::vector<Shown>;
  EXPECT_EQ(Run({}), V{Expected(6)});
  EXPECT_EQ(Run({dir / "a.pcx", dir / "t.txt", dir / "x.fnt"}), V{Expected(6)});
  EXPECT_EQ(Run({dir / "a.pcx"}), V{Expected(3)});
  EXPECT_EQ(Run({dir / "a.fnt.bak"}), V{Expected(3)});
  // One notice for each file that is neither kind, in drop order.
  EXPECT_EQ(Run({dir / "x.fnt", dir / "y.fnt"}), (V{Expected(4), Expected(4)}));
  EXPECT_EQ(Run({dir / "a.pcx", dir / "x.fnt"}), V{Expected(4)});
  EXPECT_EQ(Run({dir / "x.fnt", dir / "t.txt"}), V{Expected(4)});
  // Two images (or two texts) cannot make a container either.
  EXPECT_EQ(Run({dir / "a.pcx", dir / "b.pcx"}), V{Expected(3)});
  EXPECT_EQ(dir.List(), before);
  EXPECT_EQ(ReadFile(dir / "x.fnt"), "not a container");
}

TEST_F(Dispatch, ThreeFilesAreNotExaminedAtAll) {
  // Paths that do not exist are not even opened.
  EXPECT_EQ(Run({"/nonexistent/a.pcx", "/nonexistent/b.txt", "c"}),
            std::vector<Shown>{Expected(6)});
}

TEST_F(Dispatch, CaseOfExtensionsDoesNotMatter) {
  WriteFile(dir / "A.PcX", "img");
  WriteFile(dir / "A.TXT", "txt");
  EXPECT_EQ(Run({dir / "A.TXT", dir / "A.PcX"}),
            std::vector<Shown>{Expected(5)});
  EXPECT_EQ(ReadFile(dir / "A.fnt"), Header(64, 3, 67, 3) + "imgtxt");
  EXPECT_EQ(Run({dir / "A.fnt"}), std::vector<Shown>{Expected(2)});
}

}  // namespace

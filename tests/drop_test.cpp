// What a drop means and how its outputs are named, decided from the paths
// alone, under both the Windows and the POSIX spelling of paths; and the
// notices it can show.
#include <gtest/gtest.h>

#include <cstring>

#include "core/drop.h"
#include "tests/support.h"

using namespace testing_support;
using tarnvell::Action;
using tarnvell::BaseName;
using tarnvell::DirectoryPart;
using tarnvell::EqualsIgnoringCase;
using tarnvell::FileNamePart;
using tarnvell::HasExtension;
using tarnvell::NoticeId;
using tarnvell::PathRules;
using tarnvell::Plan;

namespace {

const PathRules kWindows = {'\\'};
const PathRules kPosix = {'/'};

Plan PlanOf(std::vector<std::string> paths, const PathRules& rules = kPosix) {
  return tarnvell::PlanDrop(Drop(std::move(paths)), rules);
}

std::vector<NoticeId> Refusals(std::vector<std::string> paths) {
  const Plan plan = PlanOf(std::move(paths));
  EXPECT_EQ(plan.action, Action::kRefuse);
  return plan.refusals;
}

// Their Japanese is checked as users read it, by the command line's tests
// and the windows' own.
TEST(Notices, NumbersLengthsAndLineBreaks) {
  const size_t lengths[] = {0, 11, 18, 76, 74, 18, 94};
  for (int n = 1; n <= 6; ++n) {
    const auto& notice = tarnvell::NoticeFor(static_cast<NoticeId>(n));
    EXPECT_EQ(notice.Number(), n);
    EXPECT_EQ(std::strlen(notice.text), lengths[n]) << n;
    EXPECT_EQ(std::strlen(notice.caption), 4u);
    EXPECT_EQ(notice.Completes(), n == 2 || n == 5);
    // Line breaks are a bare LF.
    EXPECT_EQ(std::strchr(notice.text, '\r'), nullptr);
  }
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

TEST(PathParts, SplitAtTheLastSeparatorOnly) {
  EXPECT_EQ(DirectoryPart("C:\\fonts\\big.fnt", kWindows), "C:\\fonts\\");
  EXPECT_EQ(FileNamePart("C:\\fonts\\big.fnt", kWindows), "big.fnt");
  EXPECT_EQ(FileNamePart("C:\\f\\a/b.fnt", kWindows), "a/b.fnt");
  EXPECT_EQ(DirectoryPart("\\x.fnt", kWindows), "\\");
  EXPECT_EQ(FileNamePart("/home/u\\v.fnt", kPosix), "u\\v.fnt");
  EXPECT_EQ(DirectoryPart("/big.fnt", kPosix), "/");
  EXPECT_EQ(DirectoryPart("big.fnt", kPosix), "");
  EXPECT_EQ(FileNamePart("big.fnt", kPosix), "big.fnt");
  EXPECT_EQ(BaseName("a.b.pcx"), "a.b");
  EXPECT_EQ(BaseName(".fnt"), "");
  EXPECT_EQ(BaseName("ab"), "");
}

TEST(Plan, WrongCountsAndWrongKindsAreRefused) {
  using V = std::vector<NoticeId>;
  EXPECT_EQ(Refusals({}), V{NoticeId::kWrongCount});
  EXPECT_EQ(Refusals({"a.pcx", "t.txt", "x.fnt"}), V{NoticeId::kWrongCount});
  EXPECT_EQ(Refusals({"a.pcx"}), V{NoticeId::kNotContainer});
  EXPECT_EQ(Refusals({"a.fnt.bak"}), V{NoticeId::kNotContainer});
  // One notice for each file that is neither kind, in drop order.
  EXPECT_EQ(Refusals({"x.fnt", "y.fnt"}),
            (V{NoticeId::kCannotHandle, NoticeId::kCannotHandle}));
  EXPECT_EQ(Refusals({"a.pcx", "x.fnt"}), V{NoticeId::kCannotHandle});
  EXPECT_EQ(Refusals({"x.fnt", "t.txt"}), V{NoticeId::kCannotHandle});
  // Two images (or two texts) cannot make a container either.
  EXPECT_EQ(Refusals({"a.pcx", "b.PCX"}), V{NoticeId::kNotContainer});
}

TEST(Plan, SplitsBesideTheContainerWithLowerCaseExtensions) {
  Plan plan = PlanOf({"C:\\f\\Big.FNT"}, kWindows);
  EXPECT_EQ(plan.action, Action::kSplit);
  EXPECT_EQ(plan.inputs, std::vector<std::string>{"C:\\f\\Big.FNT"});
  EXPECT_EQ(plan.folder, "C:\\f\\");
  EXPECT_EQ(plan.outputs, (std::vector<std::string>{"Big.pcx", "Big.txt"}));
  plan = PlanOf({"/f/.fnt"});
  EXPECT_EQ(plan.outputs, (std::vector<std::string>{".pcx", ".txt"}));
  plan = PlanOf({"a.b.fnt"});
  EXPECT_EQ(plan.folder, "");
  EXPECT_EQ(plan.outputs, (std::vector<std::string>{"a.b.pcx", "a.b.txt"}));
}

TEST(Plan, JoinsIntoTheSecondPathsFolderAndName) {
  const Plan plan = PlanOf({"/other/b.TXT", "/f/a.PcX"});
  EXPECT_EQ(plan.action, Action::kJoin);
  EXPECT_EQ(plan.inputs, (std::vector<std::string>{"/other/b.TXT", "/f/a.PcX"}));
  EXPECT_EQ(plan.image, 1u);
  EXPECT_EQ(plan.folder, "/f/");
  EXPECT_EQ(plan.outputs, std::vector<std::string>{"a.fnt"});
  EXPECT_EQ(PlanOf({"a.pcx", "a.txt"}).image, 0u);
}

}  // namespace

// What a drop means and how its outputs are named, decided from the paths
// alone, under both the Windows and the POSIX spelling of paths.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/plan.h"
#include "tests/support.h"

using namespace testing_support;
using tarnvell::BaseName;
using tarnvell::DirectoryPart;
using tarnvell::EqualsIgnoringCase;
using tarnvell::FileNamePart;
using tarnvell::HasExtension;
using tarnvell::Location;
using tarnvell::NoticeId;
using tarnvell::PathRules;
using tarnvell::Plan;

namespace {

const PathRules kWindows = {'\\'};
const PathRules kPosix = {'/'};

Plan PlanOf(std::vector<std::string> paths, const PathRules& rules = kPosix) {
  return tarnvell::PlanDrop({std::move(paths)}, rules);
}

std::vector<NoticeId> Refusals(std::vector<std::string> paths) {
  const Plan plan = PlanOf(std::move(paths));
  const auto* refusal = std::get_if<tarnvell::Refusal>(&plan);
  return refusal != nullptr ? refusal->notices : std::vector<NoticeId>{};
}

// A location as "folder|name", to compare in one line.
std::string Where(const Location& l) { return l.folder + "|" + l.name; }

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

TEST(PathParts, ExtensionsAreTheLastFourBytesAndFoldersEndAtTheLastSeparator) {
  EXPECT_TRUE(HasExtension("C:\\f\\BIG.FNT", ".fnt"));
  EXPECT_TRUE(HasExtension(".txt", ".txt"));
  EXPECT_FALSE(HasExtension("txt", ".txt"));
  EXPECT_FALSE(HasExtension("a.fnt ", ".fnt"));
  EXPECT_FALSE(HasExtension("a.fnt.bak", ".fnt"));
  EXPECT_EQ(DirectoryPart("C:\\fonts\\big.fnt", kWindows), "C:\\fonts\\");
  EXPECT_EQ(FileNamePart("C:\\fonts\\big.fnt", kWindows), "big.fnt");
  EXPECT_EQ(FileNamePart("C:\\f\\a/b.fnt", kWindows), "a/b.fnt");
  const PathRules typed = {'\\', '/'};  // tarnvell-cli.exe's arguments
  EXPECT_EQ(FileNamePart("C:\\f\\a/b.fnt", typed), "b.fnt");
  EXPECT_EQ(DirectoryPart("Z:/d\\e/f.fnt", typed), "Z:/d\\e/");
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

// Every file of a plan as "folder|name": a split's container and outputs, or
// a join's image, text and container.
std::vector<std::string> Files(const Plan& plan) {
  if (const auto* split = std::get_if<tarnvell::SplitPlan>(&plan))
    return {Where(split->container), Where(split->image), Where(split->text)};
  if (const auto* join = std::get_if<tarnvell::JoinPlan>(&plan))
    return {Where(join->image), Where(join->text), Where(join->container)};
  return {};
}

// Splits beside the container, joins into the second path's folder and name,
// with the extensions in lower case.
TEST(Plan, OutputsGoBesideTheNamingFile) {
  const std::pair<Plan, std::vector<std::string>> cases[] = {
      {PlanOf({"C:\\f\\Big.FNT"}, kWindows), {"C:\\f\\|Big.FNT", "C:\\f\\|Big.pcx", "C:\\f\\|Big.txt"}},
      {PlanOf({"/f/.fnt"}), {"/f/|.fnt", "/f/|.pcx", "/f/|.txt"}},
      {PlanOf({"a.b.fnt"}), {"|a.b.fnt", "|a.b.pcx", "|a.b.txt"}},
      {PlanOf({"/other/b.TXT", "/f/a.PcX"}), {"/f/|a.PcX", "/other/|b.TXT", "/f/|a.fnt"}},
      {PlanOf({"a.pcx", "C:\\t.txt"}, kWindows), {"|a.pcx", "C:\\|t.txt", "C:\\|t.fnt"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Files(c.first), c.second);
}

}  // namespace

// Split and join on real files in scratch folders.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/container.h"
#include "core/drop.h"
#include "tests/fault_platform.h"
#include "tests/support.h"

using namespace testing_support;
using tarnvell::HandleDrop;
using tarnvell::FaultPlatform;
using tarnvell::Op;
using tarnvell::Outcome;

namespace {

using V = std::vector<int>;

V DropFiles(const std::vector<std::string>& paths,
            Outcome* outcome = nullptr) {
  RecordingSink sink;
  auto result = HandleDrop(Drop(paths), sink, RealPlatform());
  if (outcome != nullptr) *outcome = result.outcome;
  return sink.shown;
}

TEST(Join, WritesExactHeaderThenImageThenText) {
  TempDir dir;
  const std::string image = Bytes(1000, 1), text = Bytes(50, 2);
  WriteFile(dir / "a.pcx", image);
  WriteFile(dir / "a.txt", text);
  Outcome outcome;
  EXPECT_EQ(DropFiles({dir / "a.pcx", dir / "a.txt"}, &outcome),
            V{5});
  EXPECT_EQ(outcome, Outcome::kCompleted);
  const std::string fnt = ReadFile(dir / "a.fnt");
  ASSERT_EQ(fnt.size(), 1114u);
  const std::string header(
      "ElecbyteFnt\0"
      "\x00\x01\x00\x00" "\x40\x00\x00\x00" "\xE8\x03\x00\x00"
      "\x28\x04\x00\x00" "\x32\x00\x00\x00",
      32);
  EXPECT_EQ(fnt.substr(0, 32), header);
  EXPECT_EQ(fnt.substr(32, 32), std::string(32, '\0'));
  EXPECT_EQ(fnt.substr(64, 1000), image);
  EXPECT_EQ(fnt.substr(1064), text);
}

TEST(Join, NamedAfterSecondPathWithImageFirst) {
  TempDir dir, other;
  WriteFile(other / "b.TXT", "text");
  WriteFile(dir / "a.PcX", "image");
  EXPECT_EQ(DropFiles({other / "b.TXT", dir / "a.PcX"}), V{5});
  EXPECT_FALSE(Exists(other / "b.fnt"));
  EXPECT_EQ(ReadFile(dir / "a.fnt"), Header(64, 5, 69, 4) + "image" + "text");
}

// Another program edits a join input in place while it is read (Windows'
// sharing refuses that): the join stops rather than mix two versions, and
// the earlier container stays.
TEST(Join, InputsEditedWhileReadStopTheJoin) {
  TempDir dir;
  WriteFile(dir / "e.pcx", "image");
  WriteFile(dir / "e.txt", "old text");
  WriteFile(dir / "e.fnt", "earlier container");
  // Older than the clock's grain, so the edit shows in its time.
  std::filesystem::last_write_time(
      dir / "e.txt", std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  FaultPlatform editing(RealPlatform());
  bool edited = false;
  editing.Before(Op::kRead, 3, [&] {  // image, its end, then the text
    std::FILE* f = std::fopen((dir / "e.txt").c_str(), "r+b");
    edited = f != nullptr && std::fputs("NEW", f) >= 0;
    if (f != nullptr) std::fclose(f);
  });
  RecordingSink sink;
  auto result = HandleDrop(Drop({dir / "e.pcx", dir / "e.txt"}), sink, editing);
  if (!edited) {
    EXPECT_EQ(ReadFile(dir / "e.fnt"), Header(64, 5, 69, 8) + "imageold text");
    return;
  }
  EXPECT_EQ(result.outcome, Outcome::kStopped);
  EXPECT_EQ(result.stop.code, tarnvell::kChanged);
  EXPECT_EQ(result.stop.file, dir / "e.txt");
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(ReadFile(dir / "e.fnt"), "earlier container");
}

TEST(RoundTrip, SplitGivesBackJoinedFiles) {
  TempDir dir;
  const std::string image = Bytes(70000, 3), text = "line one\r\nline two\n";
  WriteFile(dir / "font 1.pcx", image);
  WriteFile(dir / "font 1.txt", text);
  DropFiles({dir / "font 1.pcx", dir / "font 1.txt"});
  TempDir out;
  WriteFile(out / "font 1.fnt", ReadFile(dir / "font 1.fnt"));
  EXPECT_EQ(DropFiles({out / "font 1.fnt"}), V{2});
  EXPECT_EQ(ReadFile(out / "font 1.pcx"), image);
  EXPECT_EQ(ReadFile(out / "font 1.txt"), text);
  EXPECT_EQ(out.List(), (std::vector<std::string>{"font 1.fnt", "font 1.pcx",
                                                   "font 1.txt"}));
}

TEST(Split, MembersAnywhereInAnyOrderWithHeaderFieldsIgnored) {
  TempDir dir;
  std::string fnt = Header(70, 3, 64, 6) + "tttttt" + "iii";
  fnt[12] = 7;     // another format word
  fnt[40] = 'x';   // reserved bytes that are not zero
  fnt[0] = 'e';    // letters in another case still match
  fnt[8] = 'f';
  WriteFile(dir / "m.fnt", fnt);
  EXPECT_EQ(DropFiles({dir / "m.fnt"}), V{2});
  EXPECT_EQ(ReadFile(dir / "m.pcx"), "iii");
  EXPECT_EQ(ReadFile(dir / "m.txt"), "tttttt");

  // Members may overlap each other and the header itself.
  WriteFile(dir / "o.fnt", Header(0, 12, 8, 8));
  DropFiles({dir / "o.fnt"});
  EXPECT_EQ(ReadFile(dir / "o.pcx"), std::string("ElecbyteFnt\0", 12));
  EXPECT_EQ(ReadFile(dir / "o.txt"), std::string("Fnt\0\0\x01\0\0", 8));
}

// A member running past the end of the file comes out at its declared size,
// zeros for the missing part; offsets from 2 GiB up are unsigned positions
// (past the end of this small file), not bytes from its start.
TEST(Split, MemberPastTheEndIsZeroPadded) {
  TempDir dir;
  const std::string tail = Bytes(20, 4);
  WriteFile(dir / "p.fnt", Header(64, 30, 200, 5) + tail);
  EXPECT_EQ(DropFiles({dir / "p.fnt"}), V{2});
  EXPECT_EQ(ReadFile(dir / "p.pcx"), tail + std::string(10, '\0'));
  EXPECT_EQ(ReadFile(dir / "p.txt"), std::string(5, '\0'));
  WriteFile(dir / "h.fnt", Header(0x80000000u, 16, 0xFFFFFFFFu, 3) + "data");
  EXPECT_EQ(DropFiles({dir / "h.fnt"}), V{2});
  EXPECT_EQ(ReadFile(dir / "h.pcx"), std::string(16, '\0'));
  EXPECT_EQ(ReadFile(dir / "h.txt"), std::string(3, '\0'));
}

TEST(RoundTrip, EmptyMembersGiveABareHeaderAndEmptyFiles) {
  TempDir dir;
  WriteFile(dir / "e.pcx", "");
  WriteFile(dir / "e.txt", "");
  DropFiles({dir / "e.txt", dir / "e.pcx"});
  ASSERT_EQ(ReadFile(dir / "e.fnt"), Header(64, 0, 64, 0));
  ASSERT_EQ(std::remove((dir / "e.pcx").c_str()), 0);
  EXPECT_EQ(DropFiles({dir / "e.fnt"}), V{2});
  EXPECT_EQ(ReadFile(dir / "e.pcx"), "");
  EXPECT_EQ(ReadFile(dir / "e.txt"), "");
}

TEST(Split, BadOrShortContainersAreRefusedAndNothingIsWritten) {
  const std::string sig("ElecbyteFnt\0", 12);
  std::vector<std::string> bad = {
      "", "E", sig.substr(0, 10), "ElecbyteFnX", "ElecbyteFnt!",
      sig + Le32(256),                       // too short for the member table
      "ELECBYTEFNT",                         // signature passes, table missing
      Header(64, 0, 64, 0).substr(0, 31),
  };
  for (const std::string& bytes : bad) {
    TempDir dir;
    WriteFile(dir / "bad.fnt", bytes);
    Outcome outcome;
    EXPECT_EQ(DropFiles({dir / "bad.fnt"}, &outcome), V{1})
        << bytes.size() << " bytes";
    EXPECT_EQ(outcome, Outcome::kRefused);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"bad.fnt"});
  }
  TempDir dir;  // exactly the signature and the member table is enough
  WriteFile(dir / "ok.fnt", Header(0, 4, 0, 0).substr(0, 32));
  EXPECT_EQ(DropFiles({dir / "ok.fnt"}), V{2});
  EXPECT_EQ(ReadFile(dir / "ok.pcx"), "Elec");
}

TEST(Split, ReplacesEarlierOutputsAndLinksButNotTheirTargets) {
  TempDir dir;
  WriteFile(dir / "f.fnt", Header(64, 3, 67, 3) + "NEWnew");
  WriteFile(dir / "f.pcx", "old image, longer than the new one");
  WriteFile(dir / "target", "precious");
#ifndef _WIN32
  ASSERT_EQ(symlink((dir / "target").c_str(), (dir / "f.txt").c_str()), 0);
#endif
  DropFiles({dir / "f.fnt"});
  EXPECT_EQ(ReadFile(dir / "f.pcx"), "NEW");
  EXPECT_EQ(ReadFile(dir / "f.txt"), "new");
  EXPECT_EQ(ReadFile(dir / "target"), "precious");
}

TEST(Names, JapaneseAndSpacedNamesSplitBesideTheContainer) {
  TempDir dir;
  const std::string name = "表 フォント";  // UTF-8 on every platform
  WriteFile(dir / (name + ".fnt"), Header(64, 2, 66, 2) + "PCtx");
  EXPECT_EQ(DropFiles({dir / (name + ".fnt")}), V{2});
  EXPECT_EQ(ReadFile(dir / (name + ".pcx")), "PC");
  EXPECT_EQ(ReadFile(dir / (name + ".txt")), "tx");
}


// Another program saves the container while the split reads it: by a new
// file renamed over it (which Windows refuses while it is open) or by writing
// into it in place (which Windows' sharing refuses too).
TEST(Split, MembersComeFromTheVersionWhoseHeaderWasRead) {
  TempDir dir;
  const std::string path = dir / "v.fnt";
  WriteFile(path, Header(64, 4, 68, 4) + "OLDiOLDt");
  FaultPlatform renamed(RealPlatform());
  renamed.Before(Op::kRead, 3, [&] {  // header, image, then the text
    WriteFile(dir / "v.new", Header(64, 6, 70, 6) + "NEWimgNEWtxt");
    std::rename((dir / "v.new").c_str(), path.c_str());
  });
  RecordingSink sink;
  EXPECT_EQ(HandleDrop(Drop({path}), sink, renamed).outcome, Outcome::kCompleted);
  EXPECT_EQ(ReadFile(dir / "v.pcx"), "OLDi");
  EXPECT_EQ(ReadFile(dir / "v.txt"), "OLDt");

  TempDir other;
  const std::string inPlace = other / "w.fnt";
  WriteFile(inPlace, Header(64, 4, 68, 4) + "OLDiOLDt");
  FaultPlatform appended(RealPlatform());
  bool changed = false;
  appended.Before(Op::kRead, 3, [&] {
    std::FILE* f = std::fopen(inPlace.c_str(), "ab");
    changed = f != nullptr && std::fputs("more", f) >= 0;
    if (f != nullptr) std::fclose(f);
  });
  auto result = HandleDrop(Drop({inPlace}), sink, appended);
  if (changed) {
    EXPECT_EQ(result.outcome, Outcome::kStopped);
    EXPECT_EQ(result.stop.code, tarnvell::kChanged);
    EXPECT_FALSE(Exists(other / "w.txt"));
  } else {
    EXPECT_EQ(result.outcome, Outcome::kCompleted);
  }
}

// A second name of an input (a hard link) at an output's name is the input
// itself: writing there would replace what is being read.
TEST(SplitAndJoin, NeverWriteOverAnInput) {
  TempDir dir;
  const std::string fnt = Header(64, 3, 67, 2) + "pcxtx";
  WriteFile(dir / "x.fnt", fnt);
  std::filesystem::create_hard_link(dir / "x.fnt", dir / "x.txt");
  RecordingSink sink;
  auto result = HandleDrop(Drop({dir / "x.fnt"}), sink, RealPlatform());
  EXPECT_EQ(result.outcome, Outcome::kStopped);
  EXPECT_EQ(result.stop.file, dir / "x.txt");
  EXPECT_EQ(result.stop.code, tarnvell::kInputItself);
  EXPECT_EQ(ReadFile(dir / "x.txt"), fnt);
  EXPECT_FALSE(Exists(dir / "x.pcx"));

  WriteFile(dir / "j.pcx", "image");
  WriteFile(dir / "j.txt", "text");
  std::filesystem::create_hard_link(dir / "j.pcx", dir / "j.fnt");
  result = HandleDrop(Drop({dir / "j.pcx", dir / "j.txt"}), sink, RealPlatform());
  EXPECT_EQ(result.outcome, Outcome::kStopped);
  EXPECT_EQ(result.stop.file, dir / "j.fnt");
  EXPECT_EQ(ReadFile(dir / "j.pcx"), "image");
  EXPECT_TRUE(sink.shown.empty());
}

}  // namespace

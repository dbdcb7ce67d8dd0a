// Split and join on real files in scratch folders.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/fault_platform.h"
#include "tests/support.h"

using namespace testing_support;
using tarnvell::FaultPlatform;
using tarnvell::Op;

namespace {

using V = std::vector<int>;
using Names = std::vector<std::string>;

// Writes `bytes` over the start of a file in place, as another program
// editing it would; false where the system refuses that (Windows' sharing).
bool EditInPlace(const std::string& path, const char* mode, const char* bytes) {
  std::FILE* f = std::fopen(path.c_str(), mode);
  const bool edited = f != nullptr && std::fputs(bytes, f) >= 0;
  if (f != nullptr) std::fclose(f);
  return edited;
}

TEST(Join, WritesExactHeaderThenImageThenText) {
  TempDir dir;
  const std::string image = Bytes(1000, 1), text = Bytes(50, 2);
  WriteFile(dir / "a.pcx", image);
  WriteFile(dir / "a.txt", text);
  const DropOutcome run = DropFiles({dir / "a.pcx", dir / "a.txt"});
  EXPECT_EQ(run.shown, V{5});
  EXPECT_EQ(run.Ending(), "completed");
  const std::string header(
      "ElecbyteFnt\0"
      "\x00\x01\x00\x00" "\x40\x00\x00\x00" "\xE8\x03\x00\x00"
      "\x28\x04\x00\x00" "\x32\x00\x00\x00",
      32);
  EXPECT_EQ(ReadFile(dir / "a.fnt"), header + std::string(32, '\0') + image + text);
}

// Another program edits a join input in place while it is read: the join
// stops rather than mix two versions, and the earlier container stays.
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
  editing.Before(Op::kCopy, 2, [&] { edited = EditInPlace(dir / "e.txt", "r+b", "NEW"); });
  const DropOutcome run = DropFiles({dir / "e.pcx", dir / "e.txt"}, editing);
  if (!edited) {  // the system refused the edit
    EXPECT_EQ(run.Ending(), "completed");
    return;
  }
  EXPECT_EQ(run.Ending(),
            dir / "e.txt" + ": reading: the file changed while it was being read");
  EXPECT_TRUE(run.shown.empty());
  EXPECT_EQ(ReadFile(dir / "e.fnt"), "earlier container");
}

// Joined, then split in another folder: both members come back byte for
// byte, also when they are empty, and nothing else is left there.
TEST(RoundTrip, SplitGivesBackJoinedFiles) {
  const std::pair<std::string, std::string> members[] = {
      {Bytes(70000, 3), "line one\r\nline two\n"}, {"", ""}};
  for (const auto& m : members) {
    TempDir dir, out;
    WriteFile(dir / "font 1.pcx", m.first);
    WriteFile(dir / "font 1.txt", m.second);
    EXPECT_EQ(DropFiles({dir / "font 1.txt", dir / "font 1.pcx"}).shown, V{5});
    const auto imageSize = static_cast<uint32_t>(m.first.size());
    const std::string fnt = ReadFile(dir / "font 1.fnt");
    EXPECT_EQ(fnt, Header(64, imageSize, 64 + imageSize,
                          static_cast<uint32_t>(m.second.size())) + m.first + m.second);
    WriteFile(out / "font 1.fnt", fnt);
    EXPECT_EQ(DropFiles({out / "font 1.fnt"}).shown, V{2});
    EXPECT_EQ(ReadFile(out / "font 1.pcx"), m.first);
    EXPECT_EQ(ReadFile(out / "font 1.txt"), m.second);
    EXPECT_EQ(out.List(), (Names{"font 1.fnt", "font 1.pcx", "font 1.txt"}));
  }
}

// Members are where the member table says, whatever else the header holds: in
// any order, overlapping each other and the header; a member running past the
// end of the file comes out at its declared size, zeros for the missing part;
// offsets from 2 GiB up are unsigned positions, not bytes from the start.
TEST(Split, MembersAreTakenAsTheTableDeclaresThem) {
  TempDir dir;
  std::string fnt = Header(70, 3, 64, 6) + "tttttt" + "iii";
  fnt[12] = 7;     // another format word
  fnt[40] = 'x';   // reserved bytes that are not zero
  fnt[0] = 'e';    // letters in another case still match
  fnt[8] = 'f';
  const std::string tail = Bytes(20, 4);
  const std::pair<std::string, std::pair<std::string, std::string>> cases[] = {
      {fnt, {"iii", "tttttt"}},
      {Header(0, 12, 8, 8), {std::string("ElecbyteFnt\0", 12), std::string("Fnt\0\0\x01\0\0", 8)}},
      {Header(64, 30, 200, 5) + tail, {tail + std::string(10, '\0'), std::string(5, '\0')}},
      {Header(0x80000000u, 16, 0xFFFFFFFFu, 3) + "data", {std::string(16, '\0'), std::string(3, '\0')}},
  };
  for (const auto& c : cases) {
    WriteFile(dir / "m.fnt", c.first);
    EXPECT_EQ(DropFiles({dir / "m.fnt"}).shown, V{2});
    EXPECT_EQ(ReadFile(dir / "m.pcx"), c.second.first);
    EXPECT_EQ(ReadFile(dir / "m.txt"), c.second.second);
  }
}

TEST(Split, BadOrShortContainersAreRefusedAndNothingIsWritten) {
  const std::string sig("ElecbyteFnt\0", 12);
  const Names bad = {
      "", "E", sig.substr(0, 10), "ElecbyteFnX", "ElecbyteFnt!",
      sig + Le32(256),                       // too short for the member table
      "ELECBYTEFNT",                         // signature passes, table missing
      Header(64, 0, 64, 0).substr(0, 31),
  };
  for (const std::string& bytes : bad) {
    TempDir dir;
    WriteFile(dir / "bad.fnt", bytes);
    const DropOutcome run = DropFiles({dir / "bad.fnt"});
    EXPECT_EQ(run.shown, V{1}) << bytes.size() << " bytes";
    EXPECT_EQ(run.Ending(), "refused");
    EXPECT_EQ(dir.List(), Names{"bad.fnt"});
  }
  TempDir dir;  // exactly the signature and the member table is enough
  WriteFile(dir / "ok.fnt", Header(0, 4, 0, 0).substr(0, 32));
  EXPECT_EQ(DropFiles({dir / "ok.fnt"}).shown, V{2});
  EXPECT_EQ(ReadFile(dir / "ok.pcx"), "Elec");
}

// Earlier outputs are replaced, a link at an output's name too, never its
// target; Japanese and spaced names split beside their container.
TEST(Split, ReplacesEarlierOutputsAndLinksButNotTheirTargets) {
  TempDir dir;
  const std::string name = "表 フォント";  // UTF-8 on every platform
  WriteFile(dir / (name + ".fnt"), Header(64, 3, 67, 3) + "NEWnew");
  WriteFile(dir / (name + ".pcx"), "old image, longer than the new one");
  WriteFile(dir / "target", "precious");
#ifndef _WIN32
  std::filesystem::create_symlink(dir / "target", dir / (name + ".txt"));
#endif
  EXPECT_EQ(DropFiles({dir / (name + ".fnt")}).shown, V{2});
  EXPECT_EQ(ReadFile(dir / (name + ".pcx")), "NEW");
  EXPECT_EQ(ReadFile(dir / (name + ".txt")), "new");
  EXPECT_EQ(ReadFile(dir / "target"), "precious");
}

// Another program saves the container while the split reads it: by a new
// file renamed over it (which Windows refuses while it is open), the members
// still come from the version whose header was read; by writing into it in
// place (which Windows' sharing refuses too), the split stops.
TEST(Split, MembersComeFromTheVersionWhoseHeaderWasRead) {
  TempDir dir;
  const std::string path = dir / "v.fnt";
  WriteFile(path, Header(64, 4, 68, 4) + "OLDiOLDt");
  FaultPlatform renamed(RealPlatform());
  renamed.Before(Op::kCopy, 2, [&] {  // the image, then the text
    WriteFile(dir / "v.new", Header(64, 6, 70, 6) + "NEWimgNEWtxt");
    std::rename((dir / "v.new").c_str(), path.c_str());
  });
  EXPECT_EQ(DropFiles({path}, renamed).shown, V{2});
  EXPECT_EQ(ReadFile(dir / "v.pcx"), "OLDi");
  EXPECT_EQ(ReadFile(dir / "v.txt"), "OLDt");

  WriteFile(dir / "w.fnt", Header(64, 4, 68, 4) + "OLDiOLDt");
  FaultPlatform appended(RealPlatform());
  bool changed = false;
  appended.Before(Op::kCopy, 2, [&] { changed = EditInPlace(dir / "w.fnt", "ab", "more"); });
  const DropOutcome run = DropFiles({dir / "w.fnt"}, appended);
  if (!changed) {  // the system refused the edit
    EXPECT_EQ(run.Ending(), "completed");
    return;
  }
  EXPECT_EQ(run.Ending(),
            dir / "w.fnt" + ": reading: the file changed while it was being read");
  EXPECT_FALSE(Exists(dir / "w.txt"));
}

// Where existing files are kept, one that another program makes between the
// check and the move into place is kept too, and the new one goes away.
TEST(Split, KeptFilesStayKeptWhenTheyAppearMeanwhile) {
  TempDir dir;
  WriteFile(dir / "k.fnt", Header(64, 3, 67, 3) + "NEWnew");
  FaultPlatform racing(RealPlatform());
  racing.Before(Op::kPublish, 1, [&] { WriteFile(dir / "k.pcx", "theirs"); });
  tarnvell::DropOptions keep;
  keep.keepExisting = true;
  RecordingSink sink;
  const auto result = tarnvell::HandleDrop({{dir / "k.fnt"}}, sink, racing, keep);
  EXPECT_EQ((DropOutcome{result, sink.shown}.Ending()),
            dir / "k.pcx" + ": putting the new file in place: already exists");
  EXPECT_EQ(ReadFile(dir / "k.pcx"), "theirs");
  EXPECT_EQ(dir.List(), (Names{"k.fnt", "k.pcx"}));
}

// A second name of an input (a hard link) at an output's name is the input
// itself: writing there would replace what is being read.
TEST(SplitAndJoin, NeverWriteOverAnInput) {
  TempDir dir;
  const std::string fnt = Header(64, 3, 67, 2) + "pcxtx";
  WriteFile(dir / "x.fnt", fnt);
  std::filesystem::create_hard_link(dir / "x.fnt", dir / "x.txt");
  DropOutcome run = DropFiles({dir / "x.fnt"});
  EXPECT_EQ(run.Ending(), dir / "x.txt" + ": is the input itself");
  EXPECT_EQ(ReadFile(dir / "x.txt"), fnt);
  EXPECT_FALSE(Exists(dir / "x.pcx"));

  WriteFile(dir / "j.pcx", "image");
  WriteFile(dir / "j.txt", "text");
  std::filesystem::create_hard_link(dir / "j.pcx", dir / "j.fnt");
  run = DropFiles({dir / "j.pcx", dir / "j.txt"});
  EXPECT_EQ(run.Ending(), dir / "j.fnt" + ": is the input itself");
  EXPECT_EQ(ReadFile(dir / "j.pcx"), "image");
  EXPECT_TRUE(run.shown.empty());
}

}  // namespace

// Every platform call of a split and of a join, made to fail in turn: no
// completion notice, no partial output, no earlier file or input harmed, and
// no scratch file left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/container.h"
#include "core/drop.h"
#include "platform/fault_platform.h"
#include "tests/support.h"

using namespace testing_support;
using tarnvell::FaultPlatform;
using tarnvell::Op;
using tarnvell::Outcome;

namespace {

struct Scenario {
  std::map<std::string, std::string> inputs;   // name -> bytes
  std::map<std::string, std::string> earlier;  // outputs that already exist
  std::map<std::string, std::string> results;  // outputs when all goes well
  std::vector<std::string> drop;               // names, in drop order
};

Scenario SplitScenario() {
  const std::string image = Bytes(5000, 7), text = Bytes(300, 8);
  return {{{"s.fnt", Header(64, 5000, 5064, 300) + image + text}},
          {{"s.pcx", "earlier image"}, {"s.txt", "earlier text"}},
          {{"s.pcx", image}, {"s.txt", text}},
          {"s.fnt"}};
}

Scenario JoinScenario() {
  const std::string image = Bytes(4000, 9), text = Bytes(100, 10);
  return {{{"j.pcx", image}, {"j.txt", text}},
          {{"j.fnt", "earlier container"}},
          {{"j.fnt", Header(64, 4000, 4064, 100) + image + text}},
          {"j.txt", "j.pcx"}};
}

struct Outcomes {
  tarnvell::DropResult result;
  std::vector<Shown> shown;
  std::map<Op, int> calls;
};

// Runs the scenario in a fresh folder, with the nth call of op failing.
Outcomes RunWithFault(const Scenario& s, Op op, int nth, TempDir& dir) {
  for (const auto& f : s.inputs) WriteFile(dir / f.first, f.second);
  for (const auto& f : s.earlier) WriteFile(dir / f.first, f.second);
  std::vector<std::string> paths;
  for (const auto& name : s.drop) paths.push_back(dir / name);
  FaultPlatform platform(RealPlatform());
  platform.FailAt(op, nth);
  RecordingSink sink;
  Outcomes run;
  run.result = tarnvell::HandleDrop(Drop(paths), sink, platform);
  run.shown = sink.shown;
  for (int i = 0; i < static_cast<int>(Op::kCount); ++i)
    run.calls[static_cast<Op>(i)] = platform.Calls(static_cast<Op>(i));
  return run;
}

std::vector<std::string> ExpectedNames(const Scenario& s) {
  std::vector<std::string> names;
  for (const auto& f : s.inputs) names.push_back(f.first);
  for (const auto& f : s.results) names.push_back(f.first);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

void CheckEveryFault(const Scenario& s, int completion) {
  TempDir clean;
  const Outcomes reference = RunWithFault(s, Op::kCount, 0, clean);
  ASSERT_EQ(reference.shown, std::vector<Shown>{Expected(completion)});
  int faults = 0;
  for (const auto& entry : reference.calls) {
    for (int nth = 1; nth <= entry.second; ++nth, ++faults) {
      SCOPED_TRACE(std::string(tarnvell::NameOf(entry.first)) + " call " +
                   std::to_string(nth));
      TempDir dir;
      const Outcomes run = RunWithFault(s, entry.first, nth, dir);
      EXPECT_EQ(run.result.outcome, Outcome::kStopped);
      EXPECT_EQ(run.result.reason, entry.first == Op::kAlloc
                                       ? run.result.reason  // names the size
                                       : "injected failure");
      EXPECT_FALSE(run.result.file.empty());
      EXPECT_TRUE(run.shown.empty());
      for (const auto& f : s.inputs)
        EXPECT_EQ(ReadFile(dir / f.first), f.second) << f.first;
      // Each output is either untouched or whole, never partial.
      for (const auto& f : s.results) {
        const std::string now = ReadFile(dir / f.first);
        EXPECT_TRUE(now == f.second || now == s.earlier.at(f.first))
            << f.first << " holds " << now.size() << " bytes";
      }
      EXPECT_EQ(dir.List(), ExpectedNames(s));
    }
  }
  EXPECT_GE(faults, 10);
}

TEST(Faults, EveryStepOfASplit) { CheckEveryFault(SplitScenario(), 2); }

TEST(Faults, EveryStepOfAJoin) { CheckEveryFault(JoinScenario(), 5); }

TEST(Faults, HugeDeclaredMemberThatCannotBeAllocatedStopsCleanly) {
  TempDir dir;
  WriteFile(dir / "h.fnt", Header(64, 0xFFFFFFFFu, 64, 1) + "x");
  FaultPlatform platform(RealPlatform());
  platform.LimitAlloc(1 << 20);
  RecordingSink sink;
  auto result = tarnvell::HandleDrop(Drop({dir / "h.fnt"}), sink, platform);
  EXPECT_EQ(result.outcome, Outcome::kStopped);
  EXPECT_EQ(result.file, dir / "h.pcx");
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(dir.List(), std::vector<std::string>{"h.fnt"});
}

TEST(Faults, FolderThatCannotBeEnteredStopsBeforeAnythingIsCreated) {
  TempDir dir, elsewhere;
  WriteFile(dir / "c.fnt", Header(64, 1, 65, 1) + "ab");
  tarnvell::Platform& real = RealPlatform();
  ASSERT_TRUE(real.SetCurrentDir(elsewhere.path().c_str()));
  FaultPlatform platform(real);
  platform.FailAt(Op::kSetCurrentDir, 1);
  RecordingSink sink;
  auto result = tarnvell::HandleDrop(Drop({dir / "c.fnt"}), sink, platform);
  EXPECT_EQ(result.outcome, Outcome::kStopped);
  EXPECT_EQ(result.file, dir.path() + Sep());
  EXPECT_TRUE(elsewhere.List().empty());
  EXPECT_EQ(dir.List(), std::vector<std::string>{"c.fnt"});
}

}  // namespace

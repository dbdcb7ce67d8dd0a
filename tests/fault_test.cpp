// Every platform call of a split and of a join, made to fail in turn (a copy
// in its reading and in its writing, a publish in each of its steps): a stop
// in that step on the right file, no notice, the inputs unharmed, each output
// earlier or whole, and nothing else left in the folder.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/fault_platform.h"
#include "tests/support.h"

using namespace testing_support;
using tarnvell::FaultPlatform;
using tarnvell::Op;
using tarnvell::Step;

namespace {

using Files = std::map<std::string, std::string>;  // name -> bytes

struct Scenario {
  const char* operation;
  Files inputs, earlier, results;  // results: the outputs when all goes well
  std::vector<std::string> drop;   // names, in drop order
};

Scenario SplitScenario() {
  const std::string image = Bytes(5000, 7), text = Bytes(300, 8);
  return {"split",
          {{"s.fnt", Header(64, 5000, 5064, 300) + image + text}},
          {{"s.pcx", "earlier image"}, {"s.txt", "earlier text"}},
          {{"s.pcx", image}, {"s.txt", text}},
          {"s.fnt"}};
}

Scenario JoinScenario() {
  const std::string image = Bytes(4000, 9), text = Bytes(100, 10);
  return {"join",
          {{"j.pcx", image}, {"j.txt", text}},
          {{"j.fnt", "earlier container"}},
          {{"j.fnt", Header(64, 4000, 4064, 100) + image + text}},
          {"j.txt", "j.pcx"}};
}

// The steps a failing call is tried in: its own; a copy's reading and
// writing, and each step of a publish.
std::vector<Step> StepsOf(Op op) {
  switch (op) {
    case Op::kOpenFolder: case Op::kOpenInput: case Op::kLookup: return {Step::kOpen};
    case Op::kRead: case Op::kIdentify: return {Step::kRead};
    case Op::kCreate: return {Step::kCreate};
    case Op::kWrite: return {Step::kWrite};
    case Op::kCopy: return {Step::kRead, Step::kWrite};
    default: return {Step::kPermissions, Step::kFlush, Step::kPlace, Step::kSync};
  }
}

// The scenario's files in a fresh folder, and its drop.
std::vector<std::string> Prepare(const Scenario& s, const TempDir& dir) {
  for (const auto& f : s.inputs) WriteFile(dir / f.first, f.second);
  for (const auto& f : s.earlier) WriteFile(dir / f.first, f.second);
  std::vector<std::string> paths;
  for (const auto& name : s.drop) paths.push_back(dir / name);
  return paths;
}

// Runs the scenario in a fresh folder with the nth call of op failing in
// `step`, and checks what it leaves.
void RunWithFault(const Scenario& s, Op op, int nth, Step step) {
  TempDir dir;
  FaultPlatform platform(RealPlatform());
  platform.FailAt(op, nth, step);
  const DropOutcome run = DropFiles(Prepare(s, dir), platform);
  SCOPED_TRACE(platform.Steps().at({op, nth}) + ", failing in " +
               tarnvell::StepText(step));

  ASSERT_EQ(run.result.kind(), tarnvell::DropResult::Kind::kStopped);
  const tarnvell::Stop& stop = run.result.stop();
  EXPECT_TRUE(run.shown.empty());
  EXPECT_EQ(stop.status.code, std::error_code(1, tarnvell::InjectedCategory()));
  EXPECT_EQ(stop.status.step, step);
  // The stop names the folder or one of the files of the work.
  const std::string named = Leaf(stop.file);
  EXPECT_TRUE(stop.file == dir.path() ||
              (stop.file == dir / named && (s.inputs.count(named) || s.results.count(named))))
      << stop.file;

  for (const auto& f : s.inputs) EXPECT_EQ(ReadFile(dir / f.first), f.second) << f.first;
  // Each output is either its earlier self or the whole new one.
  for (const auto& f : s.results) {
    const std::string now = ReadFile(dir / f.first);
    const bool earlier = s.earlier.count(f.first) && now == s.earlier.at(f.first);
    EXPECT_TRUE(earlier || now == f.second) << f.first << " is partial";
  }
  for (const std::string& name : dir.List())
    EXPECT_TRUE(s.inputs.count(name) || s.results.count(name)) << name << " left behind";
}

void CheckEveryFault(const Scenario& s, int completion) {
  TempDir clean;
  FaultPlatform counted(RealPlatform());
  const DropOutcome reference = DropFiles(Prepare(s, clean), counted);
  ASSERT_EQ(reference.shown, std::vector<int>{completion}) << reference.Ending();
  std::set<Step> steps;
  for (int op = 0; op < static_cast<int>(Op::kCount); ++op)
    for (int nth = 1; nth <= counted.Calls(static_cast<Op>(op)); ++nth)
      for (Step step : StepsOf(static_cast<Op>(op))) {
        RunWithFault(s, static_cast<Op>(op), nth, step);
        steps.insert(step);
      }
  EXPECT_EQ(steps.size(), 8u);  // every step, from opening to the folder's sync
}

TEST(Faults, EveryStepOfASplit) { CheckEveryFault(SplitScenario(), 2); }

TEST(Faults, EveryStepOfAJoin) { CheckEveryFault(JoinScenario(), 5); }

}  // namespace

// Every platform call of a split and of a join, made to fail in turn: no
// completion notice, no partial output, no earlier file or input harmed, and
// no scratch file left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

#include "core/container.h"
#include "core/drop.h"
#include "tests/fault_platform.h"
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
  std::vector<int> shown;
  std::map<Op, int> calls;
  std::map<std::pair<Op, int>, std::string> steps;
  int discards = 0;
};

// Runs the scenario in a fresh folder, with the nth call of op failing.
Outcomes RunWithFault(const Scenario& s, Op op, int nth, TempDir& dir,
                      bool keepScratch = false) {
  for (const auto& f : s.inputs) WriteFile(dir / f.first, f.second);
  for (const auto& f : s.earlier) WriteFile(dir / f.first, f.second);
  std::vector<std::string> paths;
  for (const auto& name : s.drop) paths.push_back(dir / name);
  FaultPlatform platform(RealPlatform());
  platform.FailAt(op, nth);
  if (keepScratch) platform.KeepScratchFiles();
  RecordingSink sink;
  Outcomes run;
  run.result = tarnvell::HandleDrop(Drop(paths), sink, platform);
  run.shown = sink.shown;
  for (int i = 0; i < static_cast<int>(Op::kCount); ++i)
    run.calls[static_cast<Op>(i)] = platform.Calls(static_cast<Op>(i));
  run.steps = platform.Steps();
  run.discards = platform.Discards();
  return run;
}

// Rows of the table of steps and outcomes, written to the file named by
// TARNVELL_FAULT_TABLE when it is set.
std::vector<std::string>& TableRows() {
  static std::vector<std::string> rows;
  return rows;
}

void WriteTable() {
  const char* path = std::getenv("TARNVELL_FAULT_TABLE");
  if (path == nullptr || *path == '\0') return;
  const bool fresh = ReadFile(path).empty() || ReadFile(path) == "<missing>";
  std::ofstream out(path, std::ios::app);
  if (fresh)
    out << "| operation | failing call | what the call does | outcome | outputs "
           "afterwards | left behind |\n|---|---|---|---|---|---|\n";
  for (const std::string& row : TableRows()) out << row << "\n";
  TableRows().clear();
}

// How an output looks after a run: its earlier content, the new one, or
// anything else (which no run may leave).
std::string StateOf(const Scenario& s, const std::string& name, TempDir& dir) {
  const std::string now = ReadFile(dir / name);
  if (now == s.results.at(name)) return name + " new";
  if (s.earlier.count(name) && now == s.earlier.at(name)) return name + " earlier";
  return name + " PARTIAL";
}

std::string Row(const std::string& operation, const std::string& op, int nth,
                const std::string& step, const Outcomes& run,
                const std::string& outputs, const std::string& leftovers) {
  const std::string file = Leaf(run.result.stop.file);
  std::string outcome =
      run.result.outcome == Outcome::kStopped
          ? "stopped at " + (file.empty() ? "the folder" : file) + ", no notice"
          : std::to_string(run.shown.size()) + " notice(s)";
  return "| " + operation + " | " + op + " #" + std::to_string(nth) + " | " +
         step + " | " + outcome + " | " + outputs + " | " + leftovers + " |";
}

std::vector<std::string> ExpectedNames(const Scenario& s) {
  std::vector<std::string> names;
  for (const auto& f : s.inputs) names.push_back(f.first);
  for (const auto& f : s.results) names.push_back(f.first);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

void CheckEveryFault(const std::string& operation, const Scenario& s,
                     int completion) {
  TempDir clean;
  const Outcomes reference = RunWithFault(s, Op::kCount, 0, clean);
  ASSERT_EQ(reference.shown, std::vector<int>{completion})
      << reference.result.stop.file << ": " << reference.result.stop.code;
  EXPECT_EQ(reference.discards, 0);
  int faults = 0;
  for (const auto& entry : reference.calls) {
    for (int nth = 1; nth <= entry.second; ++nth, ++faults) {
      const std::string op = tarnvell::NameOf(entry.first);
      SCOPED_TRACE(op + " call " + std::to_string(nth));
      TempDir dir;
      const Outcomes run = RunWithFault(s, entry.first, nth, dir);
      EXPECT_EQ(run.result.outcome, Outcome::kStopped);
      EXPECT_EQ(run.result.stop.code, entry.first == Op::kAlloc
                                          ? tarnvell::kNoMemory
                                          : tarnvell::kInjected);
      EXPECT_FALSE(run.result.stop.file.empty());
      EXPECT_TRUE(run.shown.empty());
      for (const auto& f : s.inputs)
        EXPECT_EQ(ReadFile(dir / f.first), f.second) << f.first;
      // Each output is either untouched or whole, never partial.
      std::string outputs;
      for (const auto& f : s.results) {
        const std::string state = StateOf(s, f.first, dir);
        EXPECT_EQ(state.find("PARTIAL"), std::string::npos) << state;
        outputs += (outputs.empty() ? "" : ", ") + state;
      }
      const std::vector<std::string> names = dir.List();
      EXPECT_EQ(names, ExpectedNames(s));
      TableRows().push_back(Row(operation, op, nth,
                                reference.steps.at({entry.first, nth}), run,
                                outputs, names == ExpectedNames(s) ? "nothing" : "EXTRA FILES"));
    }
  }
  EXPECT_GE(faults, 10);
  WriteTable();
}

// A second failure while cleaning up: the scratch file cannot be removed
// after its move into place failed. The stop is still clean for the user (no
// notice, earlier files intact, nothing partial under a final name); only the
// hidden scratch file stays.
void CheckScratchThatCannotBeRemoved(const std::string& operation,
                                     const Scenario& s) {
  TempDir dir;
  const Outcomes run = RunWithFault(s, Op::kCommit, 1, dir, true);
  EXPECT_EQ(run.result.outcome, Outcome::kStopped);
  EXPECT_TRUE(run.shown.empty());
  EXPECT_EQ(run.discards, 1);
  std::string outputs;
  for (const auto& f : s.results) {
    const std::string state = StateOf(s, f.first, dir);
    EXPECT_EQ(state, f.first + " earlier");
    outputs += (outputs.empty() ? "" : ", ") + state;
  }
  std::vector<std::string> extra;
  for (const std::string& name : dir.List())
    if (!s.inputs.count(name) && !s.results.count(name)) extra.push_back(name);
  ASSERT_EQ(extra.size(), 1u);
  EXPECT_EQ(extra[0].rfind(".tarnvell-", 0), 0u) << extra[0];
  TableRows().push_back(Row(operation, "commit", 1,
                            "move into place fails, then removing the scratch file fails too",
                            run, outputs, "the hidden scratch file"));
  WriteTable();
}

TEST(Faults, EveryStepOfASplit) { CheckEveryFault("split", SplitScenario(), 2); }

TEST(Faults, EveryStepOfAJoin) { CheckEveryFault("join", JoinScenario(), 5); }

// A write that fails (a full disk) ends that output there: it is never
// flushed, named or moved anywhere.
TEST(Faults, AFailedOutputIsNeverGivenAName) {
  TempDir dir;
  const Outcomes run = RunWithFault(SplitScenario(), Op::kWrite, 1, dir);
  EXPECT_EQ(run.result.outcome, Outcome::kStopped);
  EXPECT_EQ(run.calls.at(Op::kFinish), 0);
  EXPECT_EQ(run.calls.at(Op::kCommit), 0);
}

TEST(Faults, ScratchFileThatCannotBeRemovedStaysHidden) {
  CheckScratchThatCannotBeRemoved("split", SplitScenario());
  CheckScratchThatCannotBeRemoved("join", JoinScenario());
}

}  // namespace

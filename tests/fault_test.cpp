// Every platform call of a split and of a join, made to fail in turn (a copy
// in its reading and in its writing, a publish in each of its steps): a stop
// in that step on the right file, no notice, the inputs unharmed, each output
// earlier or whole, and nothing else left in the folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
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

// What one failing call left, for the table.
struct Failure {
  const char* op;
  int nth;
  std::string what;     // what the call does
  std::string stopped;  // what the stop named: a file, or "the folder"
  std::string outputs;  // e.g. "s.pcx new, s.txt earlier"
  std::string extra;    // any file beside the inputs and outputs
};

std::string Joined(const std::vector<std::string>& items, const char* between) {
  std::string text;
  for (const std::string& s : items) text += (text.empty() ? "" : between) + s;
  return text;
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
  if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

// One row per step: its calls (a run of alike calls as one), what the stops
// named, the outputs after its first call and wherever they differ, and any
// file left behind. Appended to the file named by TARNVELL_FAULT_TABLE.
void WriteTable(const char* operation, const std::map<Step, std::vector<Failure>>& rows) {
  const char* path = std::getenv("TARNVELL_FAULT_TABLE");
  if (path == nullptr || *path == '\0') return;
  const std::string before = ReadFile(path);
  std::ofstream out(path, std::ios::app);
  if (before.empty() || before == "<missing>")
    out << "| operation | step | calls failing in it | the stop names | outputs "
           "afterwards | left behind |\n|---|---|---|---|---|---|\n";
  for (const auto& row : rows) {
    std::vector<std::string> calls, names, states, left;
    std::map<std::string, std::vector<std::string>> after;  // state -> calls
    const Failure* run = nullptr;  // the first of a run of alike calls
    for (const Failure& f : row.second) {
      const std::string call = std::string(f.op) + " #" + std::to_string(f.nth);
      if (run != nullptr && run->op == f.op && run->what == f.what)
        calls.back() = std::string(f.op) + " #" + std::to_string(run->nth) + "-" +
                       std::to_string(f.nth) + ": " + f.what;
      else
        calls.push_back(call + ": " + (run = &f)->what);
      AddOnce(names, f.stopped);
      AddOnce(states, f.outputs);
      after[f.outputs].push_back(call);
      if (!f.extra.empty()) AddOnce(left, f.extra);
    }
    std::string outputs = states[0];
    for (size_t i = 1; i < states.size(); ++i)
      outputs += "; after " + Joined(after[states[i]], ", ") + ": " + states[i];
    out << "| " << operation << " | " << tarnvell::StepText(row.first) << " | "
        << Joined(calls, "; ") << " | " << Joined(names, ", ") << " | " << outputs
        << " | " << (left.empty() ? "nothing" : Joined(left, ", ")) << " |\n";
  }
}

// Runs the scenario in a fresh folder with the nth call of op failing in
// `step`, and checks what it leaves.
Failure RunWithFault(const Scenario& s, Op op, int nth, Step step) {
  TempDir dir;
  FaultPlatform platform(RealPlatform());
  platform.FailAt(op, nth, step);
  const DropOutcome run = DropFiles(Prepare(s, dir), platform);
  Failure failure{tarnvell::NameOf(op), nth, platform.Steps().at({op, nth}), "", "", ""};
  SCOPED_TRACE(failure.what + ", failing in " + tarnvell::StepText(step));

  EXPECT_EQ(run.result.kind(), tarnvell::DropResult::Kind::kStopped);
  const tarnvell::Stop& stop = run.result.stop();
  EXPECT_TRUE(run.shown.empty());
  EXPECT_EQ(stop.status.code, std::error_code(1, tarnvell::InjectedCategory()));
  EXPECT_EQ(stop.status.step, step);
  // A folder's own steps name the folder; any other names a file of the
  // call, an input when opening or reading it.
  const bool folder = op == Op::kOpenFolder || step == Step::kCreate || step == Step::kSync;
  failure.stopped = folder ? "the folder" : Leaf(stop.file);
  EXPECT_EQ(stop.file, folder ? dir.path() : dir / failure.stopped);
  if (!folder) {
    EXPECT_NE(failure.what.find(failure.stopped), std::string::npos) << stop.file;
  }
  EXPECT_EQ(s.inputs.count(failure.stopped) == 1,
            step == Step::kRead || (step == Step::kOpen && op == Op::kOpenInput));

  std::vector<std::string> states;
  for (const auto& f : s.inputs) EXPECT_EQ(ReadFile(dir / f.first), f.second) << f.first;
  // Each output is either its earlier self or the whole new one.
  for (const auto& f : s.results) {
    const std::string now = ReadFile(dir / f.first);
    const bool earlier = s.earlier.count(f.first) && now == s.earlier.at(f.first);
    EXPECT_TRUE(earlier || now == f.second) << f.first << " is partial";
    states.push_back(f.first + (earlier ? " earlier" : now == f.second ? " new" : " PARTIAL"));
  }
  failure.outputs = Joined(states, ", ");
  for (const std::string& name : dir.List())
    if (!s.inputs.count(name) && !s.results.count(name)) failure.extra += name + " ";
  EXPECT_EQ(failure.extra, "");
  return failure;
}

void CheckEveryFault(const Scenario& s, int completion) {
  TempDir clean;
  FaultPlatform counted(RealPlatform());
  const DropOutcome reference = DropFiles(Prepare(s, clean), counted);
  ASSERT_EQ(reference.shown, std::vector<int>{completion}) << reference.Ending();
  std::map<Step, std::vector<Failure>> rows;
  for (int op = 0; op < static_cast<int>(Op::kCount); ++op)
    for (int nth = 1; nth <= counted.Calls(static_cast<Op>(op)); ++nth)
      for (Step step : StepsOf(static_cast<Op>(op)))
        rows[step].push_back(RunWithFault(s, static_cast<Op>(op), nth, step));
  EXPECT_EQ(rows.size(), 8u);  // every step, from opening to the folder's sync
  WriteTable(s.operation, rows);
}

TEST(Faults, EveryStepOfASplit) { CheckEveryFault(SplitScenario(), 2); }

TEST(Faults, EveryStepOfAJoin) { CheckEveryFault(JoinScenario(), 5); }

}  // namespace

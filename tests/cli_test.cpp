// The command-line program, run as its own process: its output streams,
// exit codes and the files it writes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support.h"

using namespace testing_support;

namespace {

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs the program in `cwd` with the given arguments.
Result RunCli(const std::string& cwd, std::vector<std::string> args) {
  TempDir streams;
  const std::string outPath = streams / "out", errPath = streams / "err";
  args.insert(args.begin(), TARNVELL_CLI);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(cwd.c_str()) != 0)
      _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Result r;
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
    r.status = WEXITSTATUS(wstatus);
  r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  return r;
}

const char kSplitDone[] = "確認: 分割を完了しました\n";
const char kJoinDone[] = "確認: 結合を完了しました\n";

TEST(Cli, SplitsAndJoinsRelativePathsReportingOnStandardOutput) {
  TempDir dir;
  WriteFile(dir / "私の font.fnt", Header(64, 3, 67, 2) + "pcxtx");
  Result split = RunCli(dir.path(), {"私の font.fnt"});
  EXPECT_EQ(split.status, 0);
  EXPECT_EQ(split.out, kSplitDone);
  EXPECT_EQ(split.err, "");
  EXPECT_EQ(ReadFile(dir / "私の font.pcx"), "pcx");
  EXPECT_EQ(ReadFile(dir / "私の font.txt"), "tx");

  ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
  WriteFile(dir / "sub" + Sep() + "n.pcx", "pcx");
  Result join = RunCli(dir.path(), {"--", "sub/n.pcx", "私の font.txt"});
  EXPECT_EQ(join.status, 0);
  EXPECT_EQ(join.out, kJoinDone);
  EXPECT_EQ(ReadFile(dir / "私の font.fnt"), Header(64, 3, 67, 2) + "pcxtx");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{
                            "sub", "私の font.fnt", "私の font.pcx",
                            "私の font.txt"}));
}

TEST(Cli, RefusalsGoToStandardErrorInUtf8AndExitOne) {
  TempDir dir;
  WriteFile(dir / "bad.fnt", "short");
  WriteFile(dir / "-odd.pcx", "");
  Result r = RunCli(dir.path(), {"bad.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "警告: 読込エラー1\n");

  r = RunCli(dir.path(), {"a.fnt", "b.fnt"});
  EXPECT_EQ(r.status, 1);
  const std::string four =
      "警告: 取り扱えるファイルではありません\nfntファイルはひとつずつドロップ"
      "して下さい\n";
  EXPECT_EQ(r.err, four + four);

  r = RunCli(dir.path(), {"a", "b", "c"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "確認: ファイル数が多すぎます\n分割の場合は1つずつ、結合の場合は"
            "pcxとtxtを同時ドロップのみ受け付けます\n");

  r = RunCli(dir.path(), {"--", "-odd.pcx"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "警告: fntファイルではありません\n結合の場合はpcxとtxtを両方同時に"
            "ドロップして下さい\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"-odd.pcx", "bad.fnt"}));
}

TEST(Cli, SilentStopsNameTheFileAndTheReason) {
  TempDir dir;
  Result r = RunCli(dir.path(), {"gone.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "gone.fnt") +
                       ": No such file or directory\n");

  // An output that cannot be put in place: a folder stands at its name.
  WriteFile(dir / "d.fnt", Header(64, 1, 65, 1) + "ab");
  ASSERT_EQ(mkdir((dir / "d.pcx").c_str(), 0755), 0);
  r = RunCli(dir.path(), {"d.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "d.pcx") + ": Is a directory\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"d.fnt", "d.pcx"}));
}

TEST(Cli, UsageHelpVersionAndUnknownOptions) {
  TempDir dir;
  Result r = RunCli(dir.path(), {});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("Usage: tarnvell"), std::string::npos);
  r = RunCli(dir.path(), {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: tarnvell"), std::string::npos);
  r = RunCli(dir.path(), {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("tarnvell ", 0), 0u);
  r = RunCli(dir.path(), {"--frobnicate", "x.fnt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown option '--frobnicate'"), std::string::npos);
  r = RunCli(dir.path(), {"--"});
  EXPECT_EQ(r.status, 2);
}

}  // namespace

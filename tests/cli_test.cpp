// The command-line program, run as its own process: its output streams,
// exit codes and the files it writes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "tests/program.h"

using namespace testing_support;

namespace {

const char kSplitDone[] = "Information: The split is complete.\n";
const char kJoinDone[] = "Information: The join is complete.\n";

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

// Refusals reach standard error, the documents' Japanese in UTF-8, whatever
// their caption says.
TEST(Cli, RefusalsGoToStandardErrorInUtf8AndExitOne) {
  TempDir dir;
  WriteFile(dir / "bad.fnt", "short");
  WriteFile(dir / "-odd.pcx", "");
  const auto RunCli = [](const std::string& cwd, std::vector<std::string> args) {
    return testing_support::RunCli(cwd, std::move(args),
                                   [] { setenv("LANG", "ja_JP.UTF-8", 1); });
  };
  Result r = RunCli(dir.path(), {"bad.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "警告: 読込エラー1\n");

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

// Control characters in names, C1 ones too (as raw bytes or as UTF-8), are
// escaped so that a name cannot steer the terminal; other UTF-8 is kept.
TEST(Cli, SilentStopsNameTheFileTheStepAndTheReason) {
  TempDir dir;
  const std::string gone = ": opening: No such file or directory\n";
  Result r = RunCli(dir.path(), {"gone.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "gone.fnt") + gone);
  r = RunCli(dir.path(), {"\x1b]0;owned\x07.fnt"});
  EXPECT_EQ(r.err, "tarnvell: " + dir.path() + "/\\x1B]0;owned\\x07.fnt" + gone);
  r = RunCli(dir.path(), {"b\x9b" "31m.fnt"});
  EXPECT_EQ(r.err, "tarnvell: " + dir.path() + "/b\\x9B31m.fnt" + gone);
  r = RunCli(dir.path(), {"c\xc2\x9b" "31m日.fnt"});
  EXPECT_EQ(r.err, "tarnvell: " + dir.path() + "/c\\xC2\\x9B31m日.fnt" + gone);

  // An output that cannot be put in place: a folder stands at the text's
  // name, so the image is not placed either.
  WriteFile(dir / "d.fnt", Header(64, 1, 65, 1) + "ab");
  ASSERT_EQ(mkdir((dir / "d.txt").c_str(), 0755), 0);
  r = RunCli(dir.path(), {"d.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "d.txt") +
                       ": putting the new file in place: Is a directory\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"d.fnt", "d.txt"}));
}

// The window takes the same options through the same code (scripts/test-gui
// checks its own usage and version).
TEST(Cli, UsageHelpVersionAndUnknownOptions) {
  TempDir dir;
  Result r = RunCli(dir.path(), {});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Usage: tarnvell"), std::string::npos);
  // The first option decides.
  r = RunCli(dir.path(), {"a.fnt", "--help", "--bogus"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: tarnvell [OPTION]... FILE...\n", 0), 0u);
  EXPECT_NE(r.out.find("  -V, --version"), std::string::npos);
  EXPECT_EQ(r.err, "");
  r = RunCli(dir.path(), {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("tarnvell ", 0), 0u);
  r = RunCli(dir.path(), {"--frob\x1bnicate", "-h"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("tarnvell: unknown option '--frob\\x1Bnicate'\n"
                        "Usage: tarnvell ", 0), 0u);
  EXPECT_EQ(RunCli(dir.path(), {"--"}).status, 2);
  EXPECT_EQ(RunCli(dir.path(), {"-"}).status, 1);  // a lone dash is a file
}

TEST(Cli, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.fnt").c_str(), 0600), 0);
  Result r = RunCli(dir.path(), {"pipe.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "pipe.fnt") + ": opening: not a regular file\n");

  WriteFile(dir / "a.pcx", "image");
  ASSERT_EQ(symlink("/dev/zero", (dir / "dev.txt").c_str()), 0);
  r = RunCli(dir.path(), {"a.pcx", "dev.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "dev.txt") + ": opening: not a regular file\n");

  // A file that says it is empty but is not, as those under /proc do.
  if (access("/proc/self/status", R_OK) == 0) {
    ASSERT_EQ(symlink("/proc/self/status", (dir / "proc.txt").c_str()), 0);
    r = RunCli(dir.path(), {"a.pcx", "proc.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarnvell: " + (dir / "proc.txt") +
                         ": reading: the file changed while it was being read\n");
  }
  EXPECT_FALSE(Exists(dir / "dev.fnt"));
  EXPECT_FALSE(Exists(dir / "proc.fnt"));
}

TEST(Cli, FileSizeLimitStopsCleanly) {
  TempDir dir;
  WriteFile(dir / "big.fnt", Header(64, 20000, 20064, 1) + Bytes(20001, 4));
  WriteFile(dir / "big.pcx", "earlier");
  Result r = RunCli(dir.path(), {"big.fnt"}, [] {
    struct rlimit limit = {8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "big.pcx") +
                       ": writing the new file: File too large\n");
  EXPECT_EQ(ReadFile(dir / "big.pcx"), "earlier");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"big.fnt", "big.pcx"}));
}

TEST(Cli, NoticesThatCannotBeWrittenFailTheRun) {
  TempDir dir;
  WriteFile(dir / "n.fnt", Header(64, 3, 67, 2) + "pcxtx");
  Result r = RunCli(dir.path(), {"n.fnt"}, [] {
    int full = open("/dev/full", O_WRONLY);
    if (full < 0 || dup2(full, 1) < 0) _exit(126);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: standard output: No space left on device\n");

  r = RunCli(dir.path(), {"n.fnt"}, [] {
    int ends[2];
    if (pipe(ends) != 0 || dup2(ends[1], 1) < 0) _exit(126);
    close(ends[0]);  // nobody reads
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: standard output: Broken pipe\n");
}

// Relative names are opened as given, so folders deeper than the longest
// path the system takes still work, as they do for other programs.
TEST(Cli, RelativeNamesWorkInTheDeepestFolders) {
  TempDir dir;
  const std::string fnt = Header(64, 3, 67, 2) + "pcxtx";
  Result r = RunCli(dir.path(), {"deep.fnt"}, [&fnt] {
    const std::string step(200, 'd');
    for (int i = 0; i < 25; ++i)  // about 5,000 bytes deep
      if (mkdir(step.c_str(), 0755) != 0 || chdir(step.c_str()) != 0) _exit(126);
    WriteFile("deep.fnt", fnt);
  });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kSplitDone);
}

}  // namespace

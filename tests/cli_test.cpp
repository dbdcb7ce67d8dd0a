// The command-line program, run as its own process: its output streams,
// exit codes and the files it writes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "core/drop.h"
#include "frontend/posix.h"
#include "platform/posix_platform.h"
#include "tests/fault_platform.h"
#include "tests/support.h"

using namespace testing_support;

namespace {

struct Result {
  int status = -1;  // the exit code; -1 when killed by a signal
  std::string out, err;
};

// Starts a program (args[0]) in `cwd`, with no language set, its output
// streams going to `streams`; `setup` runs in the child just before the
// program starts.
pid_t Spawn(const std::string& cwd, std::vector<std::string> args,
            const TempDir& streams, const std::function<void()>& setup) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  const std::string outPath = streams / "out", errPath = streams / "err";
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(cwd.c_str()) != 0)
      _exit(127);
    alarm(30);  // a run that hangs fails instead of stalling the suite
    // No language: the notices in the documents' Japanese, the rest in English.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
      unsetenv(name);
    if (setup) setup();
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

Result Wait(pid_t pid, const TempDir& streams, int* signal = nullptr) {
  Result r;
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
    r.status = WEXITSTATUS(wstatus);
  if (signal != nullptr) *signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
  r.out = ReadFile(streams / "out");
  r.err = ReadFile(streams / "err");
  return r;
}

// Runs the program in `cwd` with the given arguments.
Result RunCli(const std::string& cwd, std::vector<std::string> args,
              const std::function<void()>& setup = nullptr) {
  TempDir streams;
  args.insert(args.begin(), TARNVELL_CLI);
  return Wait(Spawn(cwd, std::move(args), streams, setup), streams);
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
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Usage: tarnvell"), std::string::npos);
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


// What a user sees when things around the program are not as expected.

TEST(Cli, NeverSplitsAContainerOverItself) {
  for (const char* output : {"x.txt", "x.pcx"}) {
    SCOPED_TRACE(output);
    TempDir dir;
    const std::string fnt = Header(64, 3, 67, 2) + "pcxtx";
    WriteFile(dir / output, fnt);
    ASSERT_EQ(symlink(output, (dir / "x.fnt").c_str()), 0);
    Result r = RunCli(dir.path(), {"x.fnt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarnvell: " + (dir / output) + ": is the input itself\n");
    EXPECT_EQ(ReadFile(dir / output), fnt);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"x.fnt", output}));
  }
}

mode_t ModeOf(const std::string& path) {
  struct stat st = {};
  lstat(path.c_str(), &st);
  return st.st_mode & 07777;
}

const uid_t kNobody = 65534;

const char kAcl[] = "system.posix_acl_access";

// An access ACL giving nobody read and write, as setfacl -m u:nobody:rw would
// on a 0640 file: a version word, then entries of tag, permissions and id.
const std::string kNobodyMayWrite = Le32(2) + Le32(0x60001) + Le32(~0u) +
    Le32(0x60002) + Le32(65534) + Le32(0x40004) + Le32(~0u) + Le32(0x60010) +
    Le32(~0u) + Le32(0x20) + Le32(~0u);

std::string AclOf(const std::string& path) {
  char value[256];
  ssize_t n = getxattr(path.c_str(), kAcl, value, sizeof value);
  return n < 0 ? std::string() : std::string(value, static_cast<size_t>(n));
}

TEST(Cli, ReplacedFilesKeepTheirPermissionsOwnerAndAcl) {
  TempDir dir;
  WriteFile(dir / "m.fnt", Header(64, 3, 67, 2) + "pcxtx");
  WriteFile(dir / "m.pcx", "earlier");
  ASSERT_EQ(chmod((dir / "m.pcx").c_str(), 0640), 0);
  const std::string& acl = kNobodyMayWrite;
  // Where the file system keeps ACLs: the group bits then show the mask.
  const bool acls = setxattr((dir / "m.pcx").c_str(), kAcl, acl.data(),
                             acl.size(), 0) == 0;
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown((dir / "m.pcx").c_str(), kNobody, kNobody), 0);
  }
  const mode_t mask = umask(022);
  umask(mask);
  Result r = RunCli(dir.path(), {"m.fnt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "m.pcx"), "pcx");
  EXPECT_EQ(ModeOf(dir / "m.pcx"), acls ? 0660u : 0640u);
  if (acls) {
    EXPECT_EQ(AclOf(dir / "m.pcx"), acl);
  }
  EXPECT_EQ(ModeOf(dir / "m.txt"), 0666u & ~mask);  // a new file: the default
  struct stat st = {};
  ASSERT_EQ(stat((dir / "m.pcx").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, root ? kNobody : geteuid());
}

TEST(Cli, ReadOnlyOutputsAreNotReplaced) {
  TempDir dir;
  WriteFile(dir / "r.fnt", Header(64, 3, 67, 2) + "pcxtx");
  WriteFile(dir / "r.pcx", "keep me");
  ASSERT_EQ(chmod((dir / "r.pcx").c_str(), 0444), 0);
  // Root may write anything: the run then takes a plain user's part, with a
  // copy of the program in a folder that user can reach wherever the build is.
  std::function<void()> asUser;
  TempDir bin;
  std::string program = TARNVELL_CLI;
  if (geteuid() == 0) {
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(chown((dir / "r.pcx").c_str(), kNobody, kNobody), 0);
    program = bin / "tarnvell";
    WriteFile(program, ReadFile(TARNVELL_CLI));
    ASSERT_EQ(chmod(bin.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    asUser = [] {
      if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(126);
    };
  }
  TempDir streams;
  Result r = Wait(Spawn(dir.path(), {program, "r.fnt"}, streams, asUser), streams);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "r.pcx") + ": Permission denied\n");
  EXPECT_EQ(ReadFile(dir / "r.pcx"), "keep me");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"r.fnt", "r.pcx"}));
}

TEST(Cli, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.fnt").c_str(), 0600), 0);
  Result r = RunCli(dir.path(), {"pipe.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "pipe.fnt") + ": not a regular file\n");

  WriteFile(dir / "a.pcx", "image");
  ASSERT_EQ(symlink("/dev/zero", (dir / "dev.txt").c_str()), 0);
  r = RunCli(dir.path(), {"a.pcx", "dev.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "dev.txt") + ": not a regular file\n");

  // A file that says it is empty but is not, as those under /proc do.
  if (access("/proc/self/status", R_OK) == 0) {
    ASSERT_EQ(symlink("/proc/self/status", (dir / "proc.txt").c_str()), 0);
    r = RunCli(dir.path(), {"a.pcx", "proc.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tarnvell: " + (dir / "proc.txt") +
                         ": the file changed while it was being read\n");
  }
  EXPECT_FALSE(Exists(dir / "dev.fnt"));
  EXPECT_FALSE(Exists(dir / "proc.fnt"));
}

std::vector<std::string> Scratch(const TempDir& dir) {
  std::vector<std::string> found;
  for (const std::string& name : dir.List())
    if (name[0] == '.') found.push_back(name);
  return found;
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
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "big.pcx") + ": File too large\n");
  EXPECT_EQ(ReadFile(dir / "big.pcx"), "earlier");
  EXPECT_EQ(Scratch(dir), std::vector<std::string>{});
}

// The set of signals in one line of a /proc status file ("SigIgn:", "SigBlk:").
uint64_t SignalSet(const std::string& statusFile, const std::string& field) {
  const std::string status = ReadFile(statusFile);
  size_t at = status.find(field);
  return at == std::string::npos
             ? 0
             : std::stoull(status.substr(at + field.size()), nullptr, 16);
}

bool Has(uint64_t set, int sig) { return (set >> (sig - 1)) & 1; }

// Starts a program on a container whose first member takes a while to write,
// and returns once it is writing it (or -1).
pid_t StartWriting(const std::string& program, const TempDir& dir,
                   const TempDir& streams, const std::function<void()>& setup) {
  const uint32_t size = 512u << 20;
  WriteFile(dir / "k.fnt", Header(64, size, 64, 0));
  pid_t pid = Spawn(dir.path(), {program, dir / "k.fnt"}, streams, setup);
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
  for (int i = 0; i < 20000; ++i) {
    for (int fd = 3; fd < 64; ++fd) {
      char target[4096];
      ssize_t n = readlink((fds + std::to_string(fd)).c_str(), target, sizeof target - 1);
      const std::string to(target, n > 0 ? static_cast<size_t>(n) : 0);
      if (to.rfind(dir.path() + "/", 0) == 0 && to != dir / "k.fnt") return pid;
    }
    usleep(500);
  }
  kill(pid, SIGKILL);
  return -1;
}

TEST(Cli, SignalsKeepTheirStartingStateAndKillsLeaveNoScratchFile) {
  if (access("/proc/self/fd", R_OK) != 0) GTEST_SKIP() << "no /proc";
  TempDir dir, streams;
  // Started with SIGHUP ignored, as nohup starts programs.
  pid_t pid = StartWriting(TARNVELL_CLI, dir, streams, [] { signal(SIGHUP, SIG_IGN); });
  ASSERT_GT(pid, 0);
  const std::string status = "/proc/" + std::to_string(pid) + "/status";
  const uint64_t ignored = SignalSet(status, "SigIgn:"),
                 blocked = SignalSet(status, "SigBlk:");
  kill(pid, SIGKILL);
  Wait(pid, streams);
  EXPECT_TRUE(Has(ignored, SIGHUP));
  EXPECT_TRUE(Has(blocked, SIGINT));  // taken by the clean-up thread
  EXPECT_TRUE(Has(blocked, SIGTERM));
  EXPECT_TRUE(Has(ignored, SIGPIPE));
  EXPECT_TRUE(Has(ignored, SIGXFSZ));
  EXPECT_EQ(dir.List(), std::vector<std::string>{"k.fnt"});
}

// The window's toolkit starts threads of its own: none of them may take a
// signal, or the clean-up would be skipped; only the clean-up thread waits
// for them (and so shows them unblocked while it waits).
TEST(Cli, TheWindowEndsCleanlyOnSigterm) {
#ifndef TARNVELL_GUI_PROGRAM
  GTEST_SKIP() << "built without the window";
#else
  TempDir dir, streams;
  pid_t pid = StartWriting(TARNVELL_GUI_PROGRAM, dir, streams,
                           [] { setenv("QT_QPA_PLATFORM", "offscreen", 1); });
  ASSERT_GT(pid, 0);
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  int waiting = 0;
  for (const auto& task : std::filesystem::directory_iterator(tasks)) {
    const std::string at = task.path().string();
    if (ReadFile(at + "/comm") == std::string(tarnvell::kSignalThread) + "\n")
      ++waiting;
    else
      EXPECT_TRUE(Has(SignalSet(at + "/status", "SigBlk:"), SIGTERM)) << at;
  }
  EXPECT_EQ(waiting, 1);
  kill(pid, SIGTERM);
  int signal = 0;
  Wait(pid, streams, &signal);
  EXPECT_EQ(signal, SIGTERM);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"k.fnt"});
#endif
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

TEST(Cli, ControlCharactersInNamesAreEscaped) {
  TempDir dir;
  Result r = RunCli(dir.path(), {"\x1b]0;owned\x07.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + dir.path() +
                       "/\\x1B]0;owned\\x07.fnt: No such file or directory\n");
  // C1 controls too, as raw bytes or as UTF-8; other UTF-8 is shown as it is.
  r = RunCli(dir.path(), {"b\x9b" "31m.fnt"});
  EXPECT_EQ(r.err, "tarnvell: " + dir.path() + "/b\\x9B31m.fnt: No such file or directory\n");
  r = RunCli(dir.path(), {"c\xc2\x9b" "31m日.fnt"});
  EXPECT_EQ(r.err, "tarnvell: " + dir.path() +
                       "/c\\xC2\\x9B31m日.fnt: No such file or directory\n");
}

}  // namespace

namespace {

// A folder without unnamed files, as on network and FAT file systems.
class NoUnnamedFiles : public tarnvell::PosixPlatform {
 protected:
  tarnvell::File* CreateUnnamed(tarnvell::Folder*) override { return nullptr; }
};

// The named scratch file is the owner's alone while it is written, whatever
// the file it replaces allows; it takes that file's mode only when placed.
TEST(Posix, NamedScratchFilesAreTheOwnersAloneUntilPlaced) {
  TempDir dir;
  WriteFile(dir / "s.fnt", Header(64, 3, 67, 2) + "pcxtx");
  WriteFile(dir / "s.pcx", "earlier");
  ASSERT_EQ(chmod((dir / "s.pcx").c_str(), 0644), 0);
  NoUnnamedFiles named;
  tarnvell::FaultPlatform watched(named);
  std::vector<mode_t> whileWritten;
  watched.Before(tarnvell::Op::kWrite, 1, [&] {
    for (const std::string& name : dir.List())
      if (name[0] == '.') whileWritten.push_back(ModeOf(dir / name));
  });
  RecordingSink sink;
  tarnvell::HandleDrop(Drop({dir / "s.fnt"}), sink, watched);
  EXPECT_EQ(sink.shown, std::vector<int>{2});
  EXPECT_EQ(whileWritten, std::vector<mode_t>{0600});
  EXPECT_EQ(ModeOf(dir / "s.pcx"), 0644u);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"s.fnt", "s.pcx", "s.txt"}));
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

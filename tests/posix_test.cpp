// The POSIX platform on Linux with real files: where outputs land, what they
// keep of the files they replace, what limited systems and signals leave.
// Cases that need a plain user run the program as nobody, and need root.
#include <gtest/gtest.h>
#include <grp.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include "tests/fault_platform.h"
#include "tests/program.h"

using namespace testing_support;

namespace {

const uid_t kNobody = 65534;
const char kAccess[] = "system.posix_acl_access";
const std::string kFnt = Header(64, 3, 67, 2) + "pcxtx";

mode_t ModeOf(const std::string& path) {
  struct stat st = {};
  lstat(path.c_str(), &st);
  return st.st_mode & 07777;
}

std::string Attribute(const std::string& path, const char* name) {
  std::string value(65536, '\0');
  const ssize_t n = getxattr(path.c_str(), name, &value[0], value.size());
  value.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return value;
}

bool SetAttribute(const std::string& path, const char* name, const std::string& value) {
  return setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}

// An ACL's attribute: a version word, then entries of tag, permissions and
// id; the named users (in rising order) may read and write.
std::string Acl(uint32_t owner, const std::vector<uint32_t>& users,
                uint32_t group, uint32_t mask, uint32_t other) {
  auto entry = [](uint32_t tag, uint32_t perm, uint32_t id) {
    return Le32(tag | perm << 16) + Le32(id);
  };
  std::string acl = Le32(2) + entry(1, owner, ~0u);
  for (uint32_t id : users) acl += entry(2, 6, id);
  return acl + entry(4, group, ~0u) + entry(0x10, mask, ~0u) + entry(0x20, other, ~0u);
}

// Runs the program as the plain user nobody (or `uid`), from a copy that user
// can reach wherever the build is; `first` runs before it becomes that user.
Result AsNobody(const std::string& cwd, std::vector<std::string> args,
                const std::function<void()>& first = nullptr, uid_t uid = kNobody) {
  static const TempDir bin;
  const std::string program = bin / "tarnvell";
  WriteFile(program, ReadFile(TARNVELL_CLI));
  chmod(bin.path().c_str(), 0755);
  chmod(program.c_str(), 0755);
  return RunCli(cwd, std::move(args), [first, uid] {
    if (first) first();
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(uid) != 0)
      _exit(126);
  }, program);
}

// A file system that lacks something, as the preloaded library makes it:
// "modes" (modes and owners) or "unnamed" (unnamed files).
void Lacking(const char* what) {
  setenv("LD_PRELOAD", TARNVELL_FS_LIMITS, 1);
  setenv("TARNVELL_FS_LACKS", what, 1);
  // In a sanitized build, the sanitizers' library need not come first.
  const std::string options = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
  setenv("ASAN_OPTIONS", (options + ":verify_asan_link_order=0").c_str(), 1);
}

// a: a user who owns a component of the path swaps the folder for a link
// to another one after the container was opened.
TEST(Posix, OutputsLandInTheFolderTheContainerWasReadFrom) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "mine").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "other").c_str(), 0755), 0);
  WriteFile(dir / "mine/a.fnt", kFnt);
  WriteFile(dir / "other/a.pcx", "not to be replaced");
  tarnvell::FaultPlatform swapped(RealPlatform());
  swapped.Before(tarnvell::Op::kLookup, 1, [&] {
    rename((dir / "mine").c_str(), (dir / "moved").c_str());
    symlink((dir / "other").c_str(), (dir / "mine").c_str());
  });
  EXPECT_EQ(DropFiles({dir / "mine/a.fnt"}, swapped).Ending(), "completed");
  EXPECT_EQ(ReadFile(dir / "other/a.pcx"), "not to be replaced");
  EXPECT_FALSE(Exists(dir / "other/a.txt"));
  EXPECT_EQ(ReadFile(dir / "moved/a.pcx"), "pcx");
  EXPECT_EQ(ReadFile(dir / "moved/a.txt"), "tx");
}

// The inode flags of a file, with `add` set first; -1 where it has none.
int Flags(const std::string& path, int add = 0) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = -1;
  if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && add != 0) {
    flags |= add;
    if (ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) flags = -1;
  }
  close(fd);
  return flags;
}

// b, c and i: in a folder with a default ACL, a new output gets exactly what
// a plain creat() gets there; a replacement keeps what the earlier file had,
// no ACL, its user's own extended attributes and flags such as nodump, as a
// careful copy does.
TEST(Posix, NewFilesGetWhatTheFolderGivesReplacementsWhatTheyReplace) {
  TempDir dir;
  WriteFile(dir / "b.fnt", kFnt);
  WriteFile(dir / "b.pcx", "earlier, no ACL");
  ASSERT_EQ(chmod((dir / "b.pcx").c_str(), 0640), 0);
  if (!SetAttribute(dir.path(), "system.posix_acl_default", Acl(7, {kNobody}, 5, 7, 0)) ||
      !SetAttribute(dir / "b.pcx", "user.origin", "scanner"))
    GTEST_SKIP() << "no ACLs or user attributes on " << dir.path();
  const int flags = Flags(dir / "b.pcx", FS_NODUMP_FL);
  close(open((dir / "creat").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
  EXPECT_EQ(DropFiles({dir / "b.fnt"}).Ending(), "completed");
  EXPECT_NE(Attribute(dir / "creat", kAccess), "");
  EXPECT_EQ(Attribute(dir / "b.txt", kAccess), Attribute(dir / "creat", kAccess));
  EXPECT_EQ(ModeOf(dir / "b.txt"), ModeOf(dir / "creat"));
  EXPECT_EQ(ReadFile(dir / "b.pcx"), "pcx");
  EXPECT_EQ(Attribute(dir / "b.pcx", kAccess), "");
  EXPECT_EQ(ModeOf(dir / "b.pcx"), 0640u);
  EXPECT_EQ(Attribute(dir / "b.pcx", "user.origin"), "scanner");
  EXPECT_EQ(Flags(dir / "b.pcx"), flags);
}

// d and e: without /proc (chroots, minimal containers), for root and for a
// plain user whom the ACL lets write, the replaced file's mode, owner and
// an access ACL of 600 named users, larger than any fixed buffer (on tmpfs,
// which holds one that large).
TEST(Posix, ReplacedFilesKeepModeOwnerAndLargeAclsWithoutProc) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as a plain user";
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "a sanitized program reads its options and threads in /proc";
#endif
  std::vector<uint32_t> users;
  for (uint32_t id = 10000; id < 10599; ++id) users.push_back(id);
  users.push_back(kNobody);
  const std::string acl = Acl(6, users, 4, 6, 0);
  auto noProc = [] {
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        umount2("/proc", MNT_DETACH) != 0)
      _exit(125);
  };
  for (bool plain : {false, true}) {
    SCOPED_TRACE(plain ? "nobody" : "root");
    TempDir dir("/dev/shm");
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    WriteFile(dir / "e.fnt", kFnt);
    WriteFile(dir / "e.pcx", "earlier");
    ASSERT_EQ(chmod((dir / "e.pcx").c_str(), 0640), 0);
    if (!SetAttribute(dir / "e.pcx", kAccess, acl)) GTEST_SKIP() << "no large ACLs on /dev/shm";
    ASSERT_EQ(chown((dir / "e.pcx").c_str(), plain ? 0 : kNobody, kNobody), 0);
    Result r = plain ? AsNobody(dir.path(), {"e.fnt"}, noProc)
                     : RunCli(dir.path(), {"e.fnt"}, noProc);
    if (r.status == 125) GTEST_SKIP() << "cannot unmount /proc here";
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "e.pcx"), "pcx");
    EXPECT_EQ(Attribute(dir / "e.pcx", kAccess), acl);
    EXPECT_EQ(ModeOf(dir / "e.pcx"), 0660u);  // the group bits show the mask
    struct stat st = {};
    ASSERT_EQ(stat((dir / "e.pcx").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);  // kept by root, the plain user's own
  }
}

// f: where fchmod and fchown fail as on FAT through FUSE, outputs are still
// written, a new one and a replacement.
TEST(Posix, FileSystemsWithoutModesOrOwnersStillTakeOutputs) {
  TempDir dir;
  WriteFile(dir / "f.fnt", kFnt);
  WriteFile(dir / "f.pcx", "earlier");
  Result r = RunCli(dir.path(), {"f.fnt"}, [] { Lacking("modes"); });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "f.pcx"), "pcx");
  EXPECT_EQ(ReadFile(dir / "f.txt"), "tx");
}

// With -n where the system lacks the rename that keeps what stands at a
// name, a second link takes it; a scratch name that cannot be removed then
// is named, and the run fails.
TEST(Posix, KeptNamesWithoutTheNoReplaceRename) {
  TempDir dir;
  WriteFile(dir / "n.fnt", kFnt);
  Result r = RunCli(dir.path(), {"-n", "n.fnt"}, [] { Lacking("noreplace"); });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"n.fnt", "n.pcx", "n.txt"}));
  ASSERT_EQ(unlink((dir / "n.pcx").c_str()) | unlink((dir / "n.txt").c_str()), 0);
  r = RunCli(dir.path(), {"-n", "n.fnt"}, [] { Lacking("removal"); });
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> names = dir.List();  // the leftover first
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / names[0]) +
                       ": recording the new file in its folder: Input/output error\n");
  EXPECT_EQ(ReadFile(dir / "n.pcx"), "pcx");
}

// A split whose text cannot reach the disk places neither member.
TEST(Posix, AFailedFlushOfTheTextPlacesNeitherMember) {
  TempDir dir;
  WriteFile(dir / "q.fnt", kFnt);
  WriteFile(dir / "q.pcx", "earlier");
  Result r = RunCli(dir.path(), {"q.fnt"}, [] { Lacking("flush"); });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "q.txt") +
                       ": flushing the new file to the disk: Input/output error\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"q.fnt", "q.pcx"}));
  EXPECT_EQ(ReadFile(dir / "q.pcx"), "earlier");
}

// g, h and a read-only output, as a plain user: a drop box (mode 0733) that
// the user may enter and create in but not list takes outputs, as a shell's
// redirection would; an output the user may not replace stops the run with
// the step and what the user may not write, the file or its folder, before
// either output is placed.
TEST(Posix, FolderAndFilePermissionsAsAPlainUser) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as a plain user";
  TempDir box, writable, locked;
  ASSERT_EQ(chmod(box.path().c_str(), 0733), 0);
  ASSERT_EQ(chmod(writable.path().c_str(), 0777), 0);
  for (const TempDir* dir : {&box, &writable, &locked}) WriteFile(*dir / "h.fnt", kFnt);
  Result r = AsNobody(box.path(), {"h.fnt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(box / "h.pcx"), "pcx");
  EXPECT_EQ(ReadFile(box / "h.txt"), "tx");

  for (const TempDir* dir : {&writable, &locked}) WriteFile(*dir / "h.pcx", "keep me");
  WriteFile(writable / "h.txt", "read-only");
  ASSERT_EQ(chmod((writable / "h.txt").c_str(), 0444), 0);
  ASSERT_EQ(chown((writable / "h.pcx").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chown((locked / "h.pcx").c_str(), kNobody, kNobody), 0);
  r = AsNobody(writable.path(), {"h.fnt"});
  EXPECT_EQ(r.err, "tarnvell: " + (writable / "h.txt") +
                       ": taking over the permissions: Permission denied\n");
  EXPECT_EQ(writable.List(), (std::vector<std::string>{"h.fnt", "h.pcx", "h.txt"}));
  ASSERT_EQ(unlink((writable / "h.txt").c_str()), 0);
  r = AsNobody(locked.path(), {"h.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + locked.path() +
                       ": creating the new file: Permission denied\n");
  for (const TempDir* dir : {&writable, &locked}) {
    EXPECT_EQ(ReadFile(*dir / "h.pcx"), "keep me");
    EXPECT_EQ(dir->List(), (std::vector<std::string>{"h.fnt", "h.pcx"}));
  }
}

// j: every signal whose default action ends the process first removes the
// scratch file, here a named one (the owner's alone while it is written);
// a signal ignored from the start stays ignored.
TEST(Posix, SignalsThatEndTheProgramLeaveNoScratchFile) {
  for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGALRM, SIGPWR,
                  SIGIO, SIGSEGV, SIGRTMIN}) {
    SCOPED_TRACE(sig);
    TempDir dir, streams;
    WriteFile(dir / "k.pcx", "earlier");
    ASSERT_EQ(chmod((dir / "k.pcx").c_str(), 0644), 0);
    pid_t pid = StartWriting(TARNVELL_CLI, dir, streams, [sig] {
      Lacking("unnamed");
      const struct rlimit none = {0, 0};
      setrlimit(RLIMIT_CORE, &none);  // no core file beside the outputs
      if (sig == SIGHUP) signal(SIGHUP, SIG_IGN);
    });
    ASSERT_GT(pid, 0);
    std::vector<std::string> names;  // the two scratch files first
    for (int i = 0; i < 1000 && names.size() != 4; ++i, usleep(1000)) names = dir.List();
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(std::min(ModeOf(dir / names[0]), ModeOf(dir / names[1])), 0600u);
    kill(pid, sig);
    if (sig == SIGHUP) kill(pid, SIGTERM);  // the first one it may take
    int ended = 0;
    Wait(pid, streams, &ended);
    EXPECT_EQ(ended, sig == SIGHUP ? SIGTERM : sig);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"k.fnt", "k.pcx"}));
    EXPECT_EQ(ReadFile(dir / "k.pcx"), "earlier");
  }
}

// A user with no process to spare (a user of its own, so no other process
// counts): the program gets no clean-up thread, and runs without it.
TEST(Posix, WithoutAThreadTheProgramStillRuns) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to act as a plain user";
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
  WriteFile(dir / "t.fnt", kFnt);
  Result r = AsNobody(dir.path(), {"t.fnt"}, [] {
    const struct rlimit one = {1, 1};
    setrlimit(RLIMIT_NPROC, &one);
    const char* asan = getenv("ASAN_OPTIONS");  // the leak check needs a thread
    setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
  }, 0x7ffe0000 + getpid() % 0x10000);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Information: The split is complete.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(dir / "t.txt"), "tx");
}

// Where the system will not copy a range between two file systems, the
// program copies it itself: a join of an image in memory and a text on disk.
TEST(Posix, RangeCopiesFallBackWhereTheSystemRefuses) {
  TempDir memory("/dev/shm");
  TempDir disk;
  struct stat a = {}, b = {};
  stat(memory.path().c_str(), &a);
  stat(disk.path().c_str(), &b);
  if (a.st_dev == b.st_dev)
    GTEST_SKIP() << "/dev/shm and " << disk.path() << " are one file system";
  const std::string image = Bytes((3u << 20) + 5, 1), text = Bytes(1000, 2);
  WriteFile(memory / "r.pcx", image);
  WriteFile(disk / "r.txt", text);
  EXPECT_EQ(DropFiles({memory / "r.pcx", disk / "r.txt"}).Ending(), "completed");
  EXPECT_EQ(ReadFile(disk / "r.fnt"),
            Header(64, image.size(), 64 + image.size(), 1000) + image + text);
}

}  // namespace

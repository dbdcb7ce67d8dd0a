#include "platform/posix_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "core/copy.h"

namespace tarnvell {

// Members reach past 2 GiB; a 32-bit off_t would cut their positions.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

namespace {

// One read() or write() on Linux moves at most about 2 GiB, so larger counts
// are moved in chunks of this size.
constexpr size_t kMaxChunk = size_t{1} << 30;

// How much the system copies in one call: little enough that writing each
// piece to the disk starts while the next one is copied (see Written). The
// calls end on whole pieces of the output, so the system writes whole pages.
constexpr off_t kCopyChunk = off_t{8} << 20;

// How a folder is opened: for looking names up and making files in it, not
// for listing it, where the system allows that.
#if defined(O_PATH)
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#elif defined(O_SEARCH)
constexpr int kFolderFlags = O_SEARCH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

Status Errno(Step step) { return FailedErrno(step, errno); }

// The scratch files that have a name but are not yet in place, so that a
// signal ending the process can remove them. Each output adds and removes
// its own entry; the lock is held while a name and this list disagree.
struct NamedScratch {
  int folder;
  std::string name;
};
std::mutex g_scratchLock;
std::vector<NamedScratch> g_scratch;

void Forget(int folder, const std::string& name) {
  auto it = std::find_if(g_scratch.begin(), g_scratch.end(),
                         [&](const NamedScratch& s) {
                           return s.folder == folder && s.name == name;
                         });
  if (it != g_scratch.end()) g_scratch.erase(it);
}

std::string NextScratchName() {
  static unsigned counter = 0;
  static const unsigned seed = static_cast<unsigned>(getpid()) ^
                               static_cast<unsigned>(std::time(nullptr));
  return ScratchName(seed + ++counter * 2654435761u);
}

int64_t ModifiedOf(const struct stat& st) {
#ifdef __APPLE__
  const struct timespec& t = st.st_mtimespec;
#else
  const struct timespec& t = st.st_mtim;
#endif
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id;
  id.volume = static_cast<uint64_t>(st.st_dev);
  id.index = static_cast<uint64_t>(st.st_ino);
  id.size = static_cast<uint64_t>(st.st_size);
  id.modified = ModifiedOf(st);
  return id;
}

// What a new file gets where no access list says otherwise; first asked
// when the platform is made, before the front ends start other threads.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = umask(022);
    umask(mask);
    return 0666 & ~mask;
  }();
  return mode;
}

// An unnamed file is given its name once whole, by linking its descriptor:
// the kernel does that itself for privileged users (and, since 6.10, for
// the file's own opener); everyone else needs the file's /proc entry. So
// without /proc (chroots, minimal containers) a named scratch file is used.
bool CanNameUnnamed() { return access("/proc/self/fd", X_OK) == 0; }

// A mode or owner the file system cannot hold is no reason to stop.
bool CannotHold(int error) {
  return error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

class PosixInput : public Input {
 public:
  explicit PosixInput(int fd) : fd_(fd) {}
  ~PosixInput() override { close(fd_); }

  Status ReadAt(uint64_t offset, void* buffer, uint32_t count,
                uint32_t* delivered) override {
    char* at = static_cast<char*>(buffer);
    size_t done = 0;
    *delivered = 0;
    while (done < count) {
      const size_t want = std::min<size_t>(count - done, kMaxChunk);
      const ssize_t got = pread(fd_, at + done, want,
                                static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return Errno(Step::kRead);
      if (got == 0) break;  // end of file
      done += static_cast<size_t>(got);
      *delivered = static_cast<uint32_t>(done);
    }
    return Ok();
  }

  Status Identify(FileIdentity* identity) override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return Errno(Step::kRead);
    *identity = IdentityOf(st);
    return Ok();
  }

  int fd() const { return fd_; }

 private:
  int fd_;
};

#ifdef __linux__
// The replaced file, opened so that its attributes can be read: for reading
// where the user may, else through its /proc entry. Without /proc and without
// read access the attributes cannot be carried over, and that stops the work.
class ReplacedFile {
 public:
  ReplacedFile(int folder, const std::string& name) {
    fd_ = openat(folder, name.c_str(),
                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ >= 0) return;
    error_ = errno;
    fd_ = openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) return;
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    struct stat st;
    if (stat(self, &st) == 0) {
      path_ = self;
      error_ = 0;
    }
  }
  ~ReplacedFile() {
    if (fd_ >= 0) close(fd_);
  }
  ReplacedFile(const ReplacedFile&) = delete;
  ReplacedFile& operator=(const ReplacedFile&) = delete;

  int error() const { return error_; }  // why it cannot be read, or 0
  bool readable() const { return path_.empty(); }

  ssize_t Get(const char* name, void* value, size_t size) const {
    return readable() ? fgetxattr(fd_, name, value, size)
                      : getxattr(path_.c_str(), name, value, size);
  }
  ssize_t List(char* names, size_t size) const {
    return readable() ? flistxattr(fd_, names, size)
                      : listxattr(path_.c_str(), names, size);
  }
  // Its inode flags, where it could be opened for reading.
  bool Flags(int* flags) const {
    return readable() && ioctl(fd_, FS_IOC_GETFLAGS, flags) == 0;
  }

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
};

// One extended attribute, sized from the attribute itself. False with errno
// set when it cannot be read; ENODATA when there is none.
bool ReadAttribute(const ReplacedFile& from, const char* name, std::vector<char>* value) {
  for (;;) {
    const ssize_t size = from.Get(name, nullptr, 0);
    if (size < 0) return false;
    value->resize(static_cast<size_t>(size));
    const ssize_t n = from.Get(name, value->data(), value->size());
    if (n >= 0) {
      value->resize(static_cast<size_t>(n));
      return true;
    }
    if (errno != ERANGE) return false;  // grew meanwhile: ask again
  }
}

// The access ACL exactly as the replaced file has it, or none where it has
// none: a folder's default entries never reach a replacement.
bool CarryAcl(const ReplacedFile& from, int to) {
  static const char kAcl[] = "system.posix_acl_access";
  std::vector<char> acl;
  if (ReadAttribute(from, kAcl, &acl))
    return fsetxattr(to, kAcl, acl.data(), acl.size(), 0) == 0;
  if (errno != ENODATA && !CannotHold(errno)) return false;
  return fremovexattr(to, kAcl) == 0 || errno == ENODATA || CannotHold(errno);
}

// The user's own extended attributes, as a careful copy carries them.
bool CarryUserAttributes(const ReplacedFile& from, int to) {
  std::vector<char> names;
  for (;;) {
    const ssize_t size = from.List(nullptr, 0);
    if (size < 0) return CannotHold(errno);
    names.resize(static_cast<size_t>(size));
    const ssize_t n = from.List(names.data(), names.size());
    if (n >= 0) {
      names.resize(static_cast<size_t>(n));
      break;
    }
    if (errno != ERANGE) return false;
  }
  for (size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1) {
    const char* name = &names[at];
    if (std::strncmp(name, "user.", 5) != 0) continue;
    std::vector<char> value;
    if (!ReadAttribute(from, name, &value)) {
      if (errno == ENODATA) continue;  // removed meanwhile
      return false;
    }
    if (fsetxattr(to, name, value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

// Inode flags that say how the file is kept, not who may change it.
void CarryFlags(const ReplacedFile& from, int to) {
  const int kept = FS_NODUMP_FL | FS_NOATIME_FL | FS_SYNC_FL | FS_COMPR_FL;
  int flags = 0, mine = 0;
  if (!from.Flags(&flags) || (flags & kept) == 0) return;
  if (ioctl(to, FS_IOC_GETFLAGS, &mine) != 0) return;
  mine = (mine & ~kept) | (flags & kept);
  ioctl(to, FS_IOC_SETFLAGS, &mine);  // a file system without them keeps none
}
#endif

class PosixFolder;

class PosixOutput : public Output {
 public:
  PosixOutput(int folder, std::string name, int fd, std::string scratch,
              bool replacing, bool keep, mode_t newMode)
      : folder_(folder), name_(std::move(name)), fd_(fd),
        scratch_(std::move(scratch)), replacing_(replacing), keep_(keep),
        newMode_(newMode) {}

  ~PosixOutput() override {
    if (fd_ >= 0) close(fd_);
    if (!placed_ && !scratch_.empty()) {
      std::lock_guard<std::mutex> held(g_scratchLock);
      unlinkat(folder_, scratch_.c_str(), 0);
      Forget(folder_, scratch_);
    }
  }

  Status Write(const void* buffer, uint32_t count) override {
    const char* at = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
      const size_t want = std::min<size_t>(count - done, kMaxChunk);
      const ssize_t put = write(fd_, at + done, want);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return Errno(Step::kWrite);
      if (put == 0) return FailedErrno(Step::kWrite, ENOSPC);
      done += static_cast<size_t>(put);
    }
    Written(done);
    return Ok();
  }

  Status CopyRange(Input& input, uint64_t offset, uint64_t length,
                   uint64_t* copied) override {
    *copied = 0;
#ifdef __linux__
    auto* in = dynamic_cast<PosixInput*>(&input);
    while (in != nullptr && *copied < length) {
      off_t from = static_cast<off_t>(offset + *copied);
      const size_t want = static_cast<size_t>(std::min<uint64_t>(
          length - *copied, kCopyChunk - written_ % kCopyChunk));
      const ssize_t n = copy_file_range(in->fd(), &from, fd_, nullptr, want, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                    errno == EOPNOTSUPP))
        break;  // the system will not copy these: the program does
      if (n < 0) return Errno(WriteSide(errno) ? Step::kWrite : Step::kRead);
      if (n == 0) return Ok();  // the end of the input
      *copied += static_cast<uint64_t>(n);
      Written(static_cast<size_t>(n));
    }
#endif
    uint64_t rest = 0;
    const Status s =
        CopyInPieces(input, offset + *copied, length - *copied, *this, &rest);
    *copied += rest;
    return s;
  }

  Status Prepare() override {
    prepared_ = true;
    Status s = TakeOverPermissions();
    // A written file must reach the disk before it replaces an earlier one.
    if (s.ok() && fsync(fd_) != 0) s = Errno(Step::kFlush);
    return s;
  }

  Status Publish() override {
    Status s = prepared_ ? Ok() : Prepare();
    // Named only now, so that a file never placed leaves no name behind.
    if (s.ok() && scratch_.empty()) s = NameUnnamed();
    if (!s.ok()) return s;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) return Errno(Step::kFlush);
    {
      std::lock_guard<std::mutex> held(g_scratchLock);
      s = keep_ ? PlaceBeside() : Replace();
      if (!s.ok() && leftover_.empty()) return s;
      Forget(folder_, scratch_);
      placed_ = true;
    }
    const Status synced = SyncFolder();
    return s.ok() ? synced : s;
  }

  std::string Leftover() const override { return leftover_; }

 private:
  // The rename replaces a link at the name itself, never its target.
  Status Replace() {
    return renameat(folder_, scratch_.c_str(), folder_, name_.c_str()) == 0
               ? Ok()
               : Errno(Step::kPlace);
  }

  // Takes the name only while nothing stands there: the system's no-replace
  // rename, or where a file system lacks it, a second link (which fails where
  // the name is taken) and the scratch name removed. Should that removal
  // fail, the scratch name stays as a second name of the placed file.
  Status PlaceBeside() {
#ifdef RENAME_NOREPLACE
    if (renameat2(folder_, scratch_.c_str(), folder_, name_.c_str(), RENAME_NOREPLACE) == 0)
      return Ok();
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return NotPlaced();
#endif
    if (linkat(folder_, scratch_.c_str(), folder_, name_.c_str(), 0) != 0) return NotPlaced();
    if (unlinkat(folder_, scratch_.c_str(), 0) == 0) return Ok();
    leftover_ = scratch_;
    return Errno(Step::kSync);
  }

  static Status NotPlaced() {
    return errno == EEXIST ? Failed(Step::kPlace, Reason::kExists) : Errno(Step::kPlace);
  }

  static bool WriteSide(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS;
  }

  void Written(size_t n) {
#ifdef SYNC_FILE_RANGE_WRITE
    // Starts writing these bytes to the disk now, while the next piece is
    // read, so the flush before the output is placed has little left to do.
    sync_file_range(fd_, written_, static_cast<off_t>(n), SYNC_FILE_RANGE_WRITE);
#endif
    written_ += static_cast<off_t>(n);
  }

  // The replaced file's owner (where the process may set it), mode, access
  // list, user attributes and flags; a new file keeps what the system gave it.
  Status TakeOverPermissions() {
    if (keep_) return Ok();  // made as a new file, and stays one
    struct stat st;
    if (fstatat(folder_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return Errno(Step::kPermissions);
      return Fresh();
    }
    if (!S_ISREG(st.st_mode)) return Fresh();
#ifdef __linux__
    ReplacedFile earlier(folder_, name_);
    if (earlier.error() != 0) return FailedErrno(Step::kPermissions, earlier.error());
#endif
    mode_t mode = st.st_mode & 07777;
    if (fchown(fd_, st.st_uid, st.st_gid) != 0) {
      if (errno != EPERM && !CannotHold(errno)) return Errno(Step::kPermissions);
      if (fchown(fd_, static_cast<uid_t>(-1), st.st_gid) != 0 && errno != EPERM &&
          !CannotHold(errno))
        return Errno(Step::kPermissions);
      // The set-ID bits only where the owner was kept, as a careful copy does.
      mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
    }
    if (fchmod(fd_, mode) != 0 && !CannotHold(errno)) return Errno(Step::kPermissions);
#ifdef __linux__
    if (!CarryAcl(earlier, fd_) || !CarryUserAttributes(earlier, fd_))
      return Errno(Step::kPermissions);
    CarryFlags(earlier, fd_);
#endif
    return Ok();
  }

  // Nothing to replace (any more): a file made for replacing gets the mode
  // of a new one; one made as new already has it.
  Status Fresh() {
    if (!replacing_ || fchmod(fd_, newMode_) == 0 || CannotHold(errno)) return Ok();
    return Errno(Step::kPermissions);
  }

  // Gives an unnamed file a fresh scratch name in its folder.
  Status NameUnnamed() {
#ifdef AT_EMPTY_PATH
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string candidate = NextScratchName();
      std::lock_guard<std::mutex> held(g_scratchLock);
      int r = linkat(fd_, "", folder_, candidate.c_str(), AT_EMPTY_PATH);
      if (r != 0 && errno != EEXIST) {
        // Without the privilege for that, through the descriptor's /proc entry.
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
        r = linkat(AT_FDCWD, self, folder_, candidate.c_str(), AT_SYMLINK_FOLLOW);
      }
      if (r == 0) {
        scratch_ = candidate;
        g_scratch.push_back({folder_, candidate});
        return Ok();
      }
      if (errno != EEXIST) return Errno(Step::kPlace);
    }
    return FailedErrno(Step::kPlace, EEXIST);
#else
    return FailedErrno(Step::kPlace, ENOSYS);
#endif
  }

  // Once the folder is flushed, a power cut can no longer bring back the file
  // that was replaced. A folder the user may not read cannot be flushed, and
  // some file systems cannot flush one (EINVAL): the entry is then as durable
  // as the system makes it by itself.
  Status SyncFolder() {
    const int fd = openat(folder_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno == EACCES ? Ok() : Errno(Step::kSync);
    const bool ok = fsync(fd) == 0 || errno == EINVAL;
    const int error = errno;
    close(fd);
    return ok ? Ok() : FailedErrno(Step::kSync, error);
  }

  int folder_;
  std::string name_;
  int fd_;
  std::string scratch_;  // its scratch name, once it has one
  bool replacing_;       // made owner-only, to take over an earlier file's mode
  bool keep_;            // never replaces what stands at its name
  mode_t newMode_;
  off_t written_ = 0;
  bool prepared_ = false;  // Prepare has run
  bool placed_ = false;
  std::string leftover_;  // a scratch name left beside the placed file
};

class PosixFolder : public Folder {
 public:
  explicit PosixFolder(int fd) : fd_(fd) {}
  ~PosixFolder() override { close(fd_); }

  Status OpenInput(const std::string& name,
                   std::unique_ptr<Input>* input) override {
    // Non-blocking, so a pipe or a device is refused instead of waited on.
    const int fd = openat(fd_, name.c_str(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Errno(Step::kOpen);
    struct stat st;
    const int flags = fcntl(fd, F_GETFL);
    Status s;
    if (fstat(fd, &st) != 0 || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
      s = Errno(Step::kOpen);
    else if (S_ISDIR(st.st_mode))
      s = FailedErrno(Step::kOpen, EISDIR);
    else if (!S_ISREG(st.st_mode))
      s = Failed(Step::kOpen, Reason::kNotRegular);
    if (!s.ok()) {
      close(fd);
      return s;
    }
    input->reset(new PosixInput(fd));
    return Ok();
  }

  Status Lookup(const std::string& name, FileIdentity* identity,
                bool* exists) override {
    struct stat st;
    *exists = fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (*exists) *identity = IdentityOf(st);
    return *exists || errno == ENOENT ? Ok() : Errno(Step::kOpen);
  }

  Status CreateOutput(const std::string& name, Existing existing,
                      std::unique_ptr<Output>* output) override {
    struct stat st;
    const bool keep = existing == Existing::kKeep;
    const bool there = !keep && fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    // Nothing replaces a folder: said before anything of the drop is placed.
    if (there && S_ISDIR(st.st_mode)) return FailedErrno(Step::kPlace, EISDIR);
    const bool replacing = there && S_ISREG(st.st_mode);
    // Replace only what a program opening it for writing could change.
    if (replacing && faccessat(fd_, name.c_str(), W_OK, AT_EACCESS) != 0)
      return Errno(Step::kPermissions);
    // A new file is made as a plain creat() would make it, so the folder's
    // default access list and the umask apply; one that replaces another is
    // the owner's alone until it takes over the earlier file's permissions.
    const mode_t mode = replacing ? 0600 : 0666;
    int fd = -1;
    std::string scratch;
#ifdef O_TMPFILE
    // An unnamed file first: a run killed before it is whole leaves nothing.
    if (CanNameUnnamed()) {
      fd = openat(fd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
      if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL &&
          errno != ENOENT)
        return Errno(Step::kCreate);
    }
#endif
    // Not every file system has unnamed files: a named scratch file then.
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
      scratch = NextScratchName();
      std::lock_guard<std::mutex> held(g_scratchLock);
      // O_EXCL never opens an existing file and never follows a link.
      fd = openat(fd_, scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (fd >= 0) g_scratch.push_back({fd_, scratch});
      else if (errno != EEXIST) return Errno(Step::kCreate);
    }
    if (fd < 0) return FailedErrno(Step::kCreate, EEXIST);
    output->reset(
        new PosixOutput(fd_, name, fd, scratch, replacing, keep, NewFileMode()));
    return Ok();
  }

 private:
  int fd_;
};

}  // namespace

void RemoveScratchFiles() {
  // Held for good: the process is ending, and no other scratch file may be
  // named meanwhile.
  g_scratchLock.lock();
  for (const NamedScratch& s : g_scratch) unlinkat(s.folder, s.name.c_str(), 0);
  g_scratch.clear();
}

PosixPlatform::PosixPlatform() { NewFileMode(); }

PathRules PosixPlatform::Rules() const { return {'/'}; }

Status PosixPlatform::OpenFolder(const std::string& path,
                                 std::unique_ptr<Folder>* folder) {
  const int fd = open(path.empty() ? "." : path.c_str(), kFolderFlags);
  if (fd < 0) return Errno(Step::kOpen);
  folder->reset(new PosixFolder(fd));
  return Ok();
}

}  // namespace tarnvell

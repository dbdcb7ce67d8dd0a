#include "platform/posix_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace tarnvell {

// Members reach past 2 GiB; a 32-bit off_t would cut their positions.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

struct Folder {
  int fd;
};

struct File {
  int fd;
  Folder* folder;    // outputs: the folder it is made in
  off_t written;     // outputs: the bytes written so far
  bool unnamed;      // an unnamed scratch file, named only once whole
  std::string name;  // its scratch name, once it has one
};

namespace {

// One read() or write() on Linux moves at most about 2 GiB, so larger counts
// are moved in chunks of this size.
constexpr size_t kMaxChunk = size_t{1} << 30;

// The scratch file that has a name but is not yet in place. The lock is held
// while a name and this record disagree, so a clean-up never misses one.
std::mutex g_pendingLock;
int g_pendingFolder = -1;
char g_pending[64];

void SetPending(int folder, const std::string& name) {
  std::snprintf(g_pending, sizeof g_pending, "%s", name.c_str());
  g_pendingFolder = folder;
}

void ClearPending() { g_pendingFolder = -1; }

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

// Gives an unnamed scratch file a fresh scratch name in its folder.
bool LinkUnnamed(File* file) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = NextScratchName();
    std::lock_guard<std::mutex> held(g_pendingLock);
    int r = -1;
#ifdef AT_EMPTY_PATH
    r = linkat(file->fd, "", file->folder->fd, candidate.c_str(), AT_EMPTY_PATH);
    if (r != 0 && errno != EEXIST) {
      // Without the privilege for that, through the descriptor's /proc entry.
      char self[64];
      std::snprintf(self, sizeof self, "/proc/self/fd/%d", file->fd);
      r = linkat(AT_FDCWD, self, file->folder->fd, candidate.c_str(),
                 AT_SYMLINK_FOLLOW);
    }
#endif
    if (r == 0) {
      file->name = candidate;
      SetPending(file->folder->fd, candidate);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

#ifdef __linux__
// Gives the scratch file the access ACL of the file it replaces, if it has
// one, so nobody gains or loses access by the replacement.
bool CopyAccessAcl(int folder, const char* name, int to) {
  static const char kAcl[] = "system.posix_acl_access";
  int from = openat(folder, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (from < 0) return false;
  char self[64];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", from);
  char value[4096];
  ssize_t n = getxattr(self, kAcl, value, sizeof value);
  const int saved = errno;
  close(from);
  if (n < 0) {
    // No ACL, no ACLs on this file system, or no /proc to ask through.
    errno = saved;
    return saved == ENODATA || saved == ENOTSUP || saved == ENOENT;
  }
  return fsetxattr(to, kAcl, value, static_cast<size_t>(n), 0) == 0;
}
#endif

}  // namespace

void RemovePendingScratchFile() {
  // Held for good: the process is ending, and no other scratch file may be
  // named meanwhile.
  g_pendingLock.lock();
  if (g_pendingFolder >= 0) unlinkat(g_pendingFolder, g_pending, 0);
  ClearPending();
}

PosixPlatform::PosixPlatform() {
  const mode_t mask = umask(022);
  umask(mask);
  newMode_ = 0666 & ~mask;
}

bool PosixPlatform::Fail() {
  error_ = errno;
  return false;
}

bool PosixPlatform::Fail(int why) {
  error_ = why;
  return false;
}

PathRules PosixPlatform::Rules() const { return {'/'}; }

File* PosixPlatform::OpenRead(const char* path) {
  // Non-blocking, so a pipe or a device is refused instead of waited on.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    Fail();
    return nullptr;
  }
  struct stat st;
  int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &st) != 0 || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    Fail();
  } else if (!S_ISREG(st.st_mode)) {
    Fail(S_ISDIR(st.st_mode) ? EISDIR : kNotRegular);
  } else {
    return new File{fd, nullptr, 0, false, std::string()};
  }
  close(fd);
  return nullptr;
}

Folder* PosixPlatform::OpenFolder(const char* path) {
  int fd = open(*path != '\0' ? path : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Fail();
    return nullptr;
  }
  return new Folder{fd};
}

void PosixPlatform::CloseFolder(Folder* folder) {
  close(folder->fd);
  delete folder;
}

bool PosixPlatform::IdentifyName(Folder* folder, const char* name,
                                 FileIdentity* identity, bool* exists) {
  struct stat st;
  *exists = fstatat(folder->fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (*exists) *identity = IdentityOf(st);
  return *exists || errno == ENOENT || Fail();
}

File* PosixPlatform::CreateUnnamed(Folder* folder) {
#ifdef O_TMPFILE
  int fd = openat(folder->fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) return new File{fd, folder, 0, true, std::string()};
#else
  (void)folder;
#endif
  return nullptr;
}

File* PosixPlatform::CreateTemp(Folder* folder, const char* finalName) {
  (void)finalName;  // scratch names are short so a long final name still fits
  // Readable by the owner alone until it takes its final permissions. An
  // unnamed file first: a run killed before it is whole leaves nothing behind.
  if (File* unnamed = CreateUnnamed(folder)) return unnamed;
  // Not every file system has unnamed files: a named scratch file then.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = NextScratchName();
    std::lock_guard<std::mutex> held(g_pendingLock);
    // O_EXCL never opens an existing file and never follows a link.
    int fd = openat(folder->fd, name.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      SetPending(folder->fd, name);
      return new File{fd, folder, 0, false, name};
    }
    if (errno != EEXIST) break;
  }
  Fail();
  return nullptr;
}

bool PosixPlatform::Seek(File* file, uint32_t offset) {
  return lseek(file->fd, static_cast<off_t>(offset), SEEK_SET) >= 0 || Fail();
}

bool PosixPlatform::Read(File* file, void* buffer, uint32_t count,
                         uint32_t* delivered) {
  char* at = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    size_t want = count - done < kMaxChunk ? count - done : kMaxChunk;
    ssize_t got = read(file->fd, at + done, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *delivered = static_cast<uint32_t>(done);
      return Fail();
    }
    if (got == 0) break;  // end of file
    done += static_cast<size_t>(got);
  }
  *delivered = static_cast<uint32_t>(done);
  return true;
}

bool PosixPlatform::Write(File* file, const void* buffer, uint32_t count) {
  const char* at = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    size_t want = count - done < kMaxChunk ? count - done : kMaxChunk;
    ssize_t put = write(file->fd, at + done, want);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return Fail();
    if (put == 0) return Fail(ENOSPC);
    done += static_cast<size_t>(put);
  }
#ifdef SYNC_FILE_RANGE_WRITE
  // Starts writing these bytes to the disk now, while the next piece is read,
  // so the flush before the output is placed has little left to do.
  sync_file_range(file->fd, file->written, static_cast<off_t>(done),
                  SYNC_FILE_RANGE_WRITE);
#endif
  file->written += static_cast<off_t>(done);
  return true;
}

bool PosixPlatform::Identify(File* file, FileIdentity* identity) {
  struct stat st;
  if (fstat(file->fd, &st) != 0) return Fail();
  *identity = IdentityOf(st);
  return true;
}

// The owner where the process may set it (root), else at least the group;
// the set-ID bits only where both were kept, as a careful copy does.
bool PosixPlatform::KeepOwnerAndMode(File* file, const struct stat& earlier) {
  mode_t mode = earlier.st_mode & 07777;
  if (fchown(file->fd, earlier.st_uid, earlier.st_gid) != 0) {
    if (errno != EPERM) return Fail();
    if (fchown(file->fd, static_cast<uid_t>(-1), earlier.st_gid) != 0 &&
        errno != EPERM)
      return Fail();
    mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
  }
  return fchmod(file->fd, mode) == 0 || Fail();
}

bool PosixPlatform::Adopt(File* file, const char* finalName) {
  const int folder = file->folder->fd;
  struct stat st;
  const bool there = fstatat(folder, finalName, &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (!there && errno != ENOENT) return Fail();
  // Nothing there, or a link or anything else that is not a file: a new file.
  if (!there || !S_ISREG(st.st_mode))
    return fchmod(file->fd, newMode_) == 0 || Fail();
  // Replace only what a program opening it for writing could change.
  if (faccessat(folder, finalName, W_OK, AT_EACCESS) != 0) return Fail();
  if (!KeepOwnerAndMode(file, st)) return false;
#ifdef __linux__
  if (!CopyAccessAcl(folder, finalName, file->fd)) return Fail();
#endif
  return true;
}

bool PosixPlatform::Finish(File* file, std::string* tempName) {
  // A written file must reach the disk before it replaces an earlier one.
  bool ok = fsync(file->fd) == 0 || Fail();
  if (ok && file->unnamed) ok = LinkUnnamed(file) || Fail();
  if (close(file->fd) != 0 && ok) ok = Fail();
  *tempName = file->name;
  delete file;
  return ok;
}

void PosixPlatform::Abandon(File* file) {
  const int saved = errno;
  if (!file->name.empty()) {
    std::lock_guard<std::mutex> held(g_pendingLock);
    unlinkat(file->folder->fd, file->name.c_str(), 0);
    ClearPending();
  }
  close(file->fd);
  delete file;
  errno = saved;
}

bool PosixPlatform::Commit(Folder* folder, const char* tempName,
                           const char* finalName) {
  std::lock_guard<std::mutex> held(g_pendingLock);
  // The rename replaces a link at finalName itself, never its target.
  if (renameat(folder->fd, tempName, folder->fd, finalName) != 0) return Fail();
  ClearPending();
  return true;
}

void PosixPlatform::Discard(Folder* folder, const char* tempName) {
  const int saved = errno;
  std::lock_guard<std::mutex> held(g_pendingLock);
  if (*tempName != '\0') unlinkat(folder->fd, tempName, 0);
  ClearPending();
  errno = saved;
}

bool PosixPlatform::SyncDir(Folder* folder) {
  // Some file systems cannot flush a folder (EINVAL): nothing more to do there.
  return fsync(folder->fd) == 0 || errno == EINVAL || Fail();
}

bool PosixPlatform::Close(File* file) {
  bool ok = close(file->fd) == 0 || Fail();
  delete file;
  return ok;
}

void* PosixPlatform::Alloc(uint32_t size) {
  void* block = std::calloc(size == 0 ? 1 : size, 1);
  if (block == nullptr) error_ = ENOMEM;
  return block;
}

void PosixPlatform::Free(void* block) { std::free(block); }

std::string PosixPlatform::SystemErrorText(int code) const {
  return std::strerror(code);
}

}  // namespace tarnvell

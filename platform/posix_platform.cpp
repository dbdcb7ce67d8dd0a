#include "platform/posix_platform.h"

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tarnvell {

// Members reach past 2 GiB; a 32-bit off_t would cut their positions.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

struct File {
  int fd;
  bool writing;
  std::string* unnamed;  // an unnamed scratch file: where its name goes
};

namespace {

// One read() or write() on Linux moves at most about 2 GiB, so big members
// are moved in chunks of this size.
constexpr size_t kMaxChunk = size_t{1} << 30;

// Reasons of the platform's own, beside errno values.
constexpr int kNotRegular = -1;

// The signals that end the program and first remove its scratch file.
const int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The scratch file being written, kept where a signal handler can reach it.
char g_pending[64];
std::atomic<bool> g_hasPending{false};

void SetPending(const std::string& name) {
  g_hasPending = false;
  std::snprintf(g_pending, sizeof g_pending, "%s", name.c_str());
  g_hasPending = true;
}

void ClearPending() { g_hasPending = false; }

// Holds the clean-up signals off while a scratch file exists under a name
// that the pending record does not yet (or no longer) hold.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanUpSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

 private:
  sigset_t saved_;
};

std::string NextScratchName() {
  static unsigned counter = 0;
  static const unsigned seed = static_cast<unsigned>(getpid()) ^
                               static_cast<unsigned>(std::time(nullptr));
  return ScratchName(seed + ++counter * 2654435761u);
}

void OnCleanUpSignal(int sig) {
  RemovePendingScratchFile();
  signal(sig, SIG_DFL);
  raise(sig);  // delivered, with its usual effect, once the handler returns
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

// Gives an unnamed scratch file a fresh scratch name in the current folder.
bool LinkUnnamed(int fd, std::string* name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = NextScratchName();
    SignalsHeld held;
    int r = -1;
#ifdef AT_EMPTY_PATH
    r = linkat(fd, "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH);
    if (r != 0 && errno != EEXIST) {
      // Without the privilege for that, through the descriptor's /proc entry.
      char self[64];
      std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
      r = linkat(AT_FDCWD, self, AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW);
    }
#endif
    if (r == 0) {
      *name = candidate;
      SetPending(candidate);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

}  // namespace

std::string Utf8FromCp932(const char* text) {
  std::string out;
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  size_t inLeft = std::strlen(text);
  char* in = const_cast<char*>(text);
  char buffer[512];
  while (inLeft > 0) {
    char* at = buffer;
    size_t outLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &at, &outLeft);
    out.append(buffer, static_cast<size_t>(at - buffer));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out.append(in, inLeft);  // keep what cannot be converted as it is
      break;
    }
  }
  iconv_close(cd);
  return out;
}

std::string CurrentDir() {
  std::string cwd;
  for (size_t size = 256;; size *= 2) {
    cwd.resize(size);
    if (getcwd(&cwd[0], size) != nullptr) break;
    if (errno != ERANGE) return std::string();
  }
  cwd.resize(std::strlen(cwd.c_str()));
  return cwd;
}

std::string AbsolutePath(const std::string& path, const std::string& cwd) {
  if ((!path.empty() && path[0] == '/') || cwd.empty()) return path;
  return cwd.back() == '/' ? cwd + path : cwd + "/" + path;
}

void RemovePendingScratchFile() {
  if (g_hasPending) unlink(g_pending);
}

void HandleSignalsForCleanUp() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  struct sigaction handler = {};
  handler.sa_handler = OnCleanUpSignal;
  sigemptyset(&handler.sa_mask);
  for (int sig : kCleanUpSignals) sigaddset(&handler.sa_mask, sig);
  for (int sig : kCleanUpSignals) {
    struct sigaction before = {};
    // A signal ignored from the start (nohup, background jobs) stays ignored.
    if (sigaction(sig, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
      continue;
    sigaction(sig, &handler, nullptr);
  }
}

bool PosixPlatform::Fail() {
  error_ = errno;
  return false;
}

bool PosixPlatform::Fail(int why) {
  error_ = why;
  return false;
}

PathRules PosixPlatform::Rules() const { return {'/', nullptr}; }

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
    return new File{fd, false, nullptr};
  }
  close(fd);
  return nullptr;
}

File* PosixPlatform::CreateTemp(const char* finalName, std::string* tempName) {
  (void)finalName;  // scratch names are short so a long final name still fits
#ifdef O_TMPFILE
  // An unnamed file: a run killed before it is whole leaves nothing behind.
  int unnamed = open(".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (unnamed >= 0) {
    tempName->clear();
    return new File{unnamed, true, tempName};
  }
  // Not every file system has unnamed files: a named scratch file then.
#endif
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = NextScratchName();
    SignalsHeld held;
    // O_EXCL never opens an existing file and never follows a link.
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      *tempName = name;
      SetPending(name);
      return new File{fd, true, nullptr};
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
  return true;
}

bool PosixPlatform::Identify(File* file, FileIdentity* identity) {
  struct stat st;
  if (fstat(file->fd, &st) != 0) return Fail();
  *identity = IdentityOf(st);
  return true;
}

bool PosixPlatform::IdentifyName(const char* name, FileIdentity* identity,
                                 bool* exists) {
  struct stat st;
  *exists = lstat(name, &st) == 0;
  if (*exists) *identity = IdentityOf(st);
  return *exists || errno == ENOENT || Fail();
}

bool PosixPlatform::Adopt(File* file, const char* finalName) {
  struct stat st;
  if (lstat(finalName, &st) != 0) return errno == ENOENT || Fail();
  if (!S_ISREG(st.st_mode)) return true;  // a link or nothing of its kind
  // Replace only what a program opening it for writing could change.
  if (faccessat(AT_FDCWD, finalName, W_OK, AT_EACCESS) != 0) return Fail();
  // The owner where the process may set it (root), else at least the group.
  if (fchown(file->fd, st.st_uid, st.st_gid) != 0 &&
      fchown(file->fd, static_cast<uid_t>(-1), st.st_gid) != 0 &&
      errno != EPERM)
    return Fail();
  return fchmod(file->fd, st.st_mode & 07777) == 0 || Fail();
}

bool PosixPlatform::Close(File* file) {
  // A written file must reach the disk before it replaces an earlier one.
  bool ok = !file->writing || fsync(file->fd) == 0 || Fail();
  if (ok && file->unnamed != nullptr)
    ok = LinkUnnamed(file->fd, file->unnamed) || Fail();
  if (close(file->fd) != 0 && ok) ok = Fail();
  delete file;
  return ok;
}

bool PosixPlatform::Commit(const char* tempName, const char* finalName) {
  SignalsHeld held;
  // rename() replaces a link at finalName itself, never its target.
  if (rename(tempName, finalName) != 0) return Fail();
  ClearPending();
  return true;
}

bool PosixPlatform::SyncDir() {
  int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail();
  // Some file systems cannot flush a folder (EINVAL): nothing more to do there.
  bool ok = fsync(fd) == 0 || errno == EINVAL || Fail();
  close(fd);
  return ok;
}

void PosixPlatform::Discard(const char* tempName) {
  int saved = errno;
  SignalsHeld held;
  if (*tempName != '\0') unlink(tempName);
  ClearPending();
  errno = saved;
}

bool PosixPlatform::SetCurrentDir(const char* dir) {
  return chdir(dir) == 0 || Fail();
}

void* PosixPlatform::Alloc(uint32_t size) {
  void* block = std::calloc(size == 0 ? 1 : size, 1);
  if (block == nullptr) error_ = ENOMEM;
#ifdef MADV_HUGEPAGE
  // A member buffer is filled by one read of the whole member; in huge pages
  // that read takes a few thousand page faults instead of a quarter million
  // per GiB, which makes the split and join about a third faster.
  constexpr uintptr_t kPage = 4096, kHuge = uintptr_t{2} << 20;
  if (block != nullptr && size >= kHuge) {
    uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kPage - 1);
    if (end > start)  // advice only: it may be refused, and nothing depends on it
      madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
  }
#endif
  return block;
}

void PosixPlatform::Free(void* block) { std::free(block); }

std::string PosixPlatform::LastError() const {
  if (error_ == kNotRegular) return "not a regular file";
  return std::strerror(error_);
}

}  // namespace tarnvell

#include "platform/posix_platform.h"

#include <fcntl.h>
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

struct File {
  int fd;
  bool writing;
};

namespace {

// One read() or write() on Linux moves at most about 2 GiB, so big members
// are moved in chunks of this size.
constexpr size_t kMaxChunk = size_t{1} << 30;

// The scratch file being written, kept where a signal handler can reach it.
char g_pending[64];
std::atomic<bool> g_hasPending{false};

void SetPending(const std::string& name) {
  g_hasPending = false;
  std::snprintf(g_pending, sizeof g_pending, "%s", name.c_str());
  g_hasPending = true;
}

void ClearPending() { g_hasPending = false; }

mode_t DefaultMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void RemovePendingScratchFile() {
  if (g_hasPending) unlink(g_pending);
}

bool PosixPlatform::Fail() {
  error_ = errno;
  return false;
}

PathRules PosixPlatform::Rules() const { return {'/', nullptr}; }

File* PosixPlatform::OpenRead(const char* path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    Fail();
    return nullptr;
  }
  return new File{fd, false};
}

File* PosixPlatform::CreateTemp(const char* finalName, std::string* tempName) {
  (void)finalName;  // scratch names are short so a long final name still fits
  static unsigned counter = 0;
  const unsigned seed = static_cast<unsigned>(getpid()) ^
                        static_cast<unsigned>(std::time(nullptr));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = ScratchName(seed + ++counter * 2654435761u);
    // O_EXCL never opens an existing file and never follows a link.
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, DefaultMode());
    if (fd >= 0) {
      *tempName = name;
      SetPending(name);
      return new File{fd, true};
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
    if (put == 0) {
      errno = ENOSPC;
      return Fail();
    }
    done += static_cast<size_t>(put);
  }
  return true;
}

bool PosixPlatform::Size(File* file, uint64_t* size) {
  struct stat st;
  if (fstat(file->fd, &st) != 0) return Fail();
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool PosixPlatform::Close(File* file) {
  // A written file must reach the disk before it replaces an earlier one.
  bool ok = !file->writing || fsync(file->fd) == 0 || Fail();
  if (close(file->fd) != 0 && ok) ok = Fail();
  delete file;
  return ok;
}

bool PosixPlatform::Commit(const char* tempName, const char* finalName) {
  // rename() replaces a link at finalName itself, never its target.
  if (rename(tempName, finalName) != 0) return Fail();
  ClearPending();
  return true;
}

void PosixPlatform::Discard(const char* tempName) {
  int saved = errno;
  unlink(tempName);
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

std::string PosixPlatform::LastError() const { return std::strerror(error_); }

}  // namespace tarnvell

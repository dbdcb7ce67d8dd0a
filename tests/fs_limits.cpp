// Preloaded (LD_PRELOAD) into the program under test to stand in for a file
// system that lacks something, as TARNVELL_FS_LACKS says: "modes" fails
// fchmod and fchown as FAT through FUSE does; "unnamed" refuses unnamed
// files, as network and FAT file systems do; "noreplace" refuses the rename
// that keeps what stands at a name, and "removal" removing a scratch file
// after that (a failing disk) too; "flush" fails the second file's flush, as
// a failing disk does.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

bool Lacks(const char* what) {
  const char* lacks = std::getenv("TARNVELL_FS_LACKS");
  return lacks != nullptr && std::strcmp(lacks, what) == 0;
}

// The system's own definition of `name`.
template <typename Call>
Call Next(const char* name) {
  return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

// Fails a call as the file system would.
int Refuse(int error) { errno = error; return -1; }

}  // namespace

extern "C" {

int fchmod(int fd, mode_t mode) {
  if (Lacks("modes")) return Refuse(ENOSYS);
  return Next<int (*)(int, mode_t)>("fchmod")(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group) {
  if (Lacks("modes")) return Refuse(EOPNOTSUPP);
  return Next<int (*)(int, uid_t, gid_t)>("fchown")(fd, owner, group);
}

// The program opens files through openat64, its off_t being 64 bits wide.
int openat64(int folder, const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE
                          ? va_arg(rest, mode_t) : 0;
  va_end(rest);
  if ((flags & O_TMPFILE) == O_TMPFILE && Lacks("unnamed")) return Refuse(EOPNOTSUPP);
  return Next<int (*)(int, const char*, int, ...)>("openat64")(folder, path, flags, mode);
}

int renameat2(int from, const char* name, int to, const char* target, unsigned flags) {
  if (flags != 0 && (Lacks("noreplace") || Lacks("removal"))) return Refuse(EINVAL);
  return Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(
      from, name, to, target, flags);
}

int fsync(int fd) {
  static int files = 0;
  struct stat st;
  if (Lacks("flush") && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ++files == 2)
    return Refuse(EIO);
  return Next<int (*)(int)>("fsync")(fd);
}

int unlinkat(int folder, const char* name, int flags) {
  if (Lacks("removal") && std::strncmp(name, ".tarnvell-", 10) == 0) return Refuse(EIO);
  return Next<int (*)(int, const char*, int)>("unlinkat")(folder, name, flags);
}

}  // extern "C"

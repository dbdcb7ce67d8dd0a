#include "platform/win32_platform.h"

#include "platform/windows_api.h"

#include <cstdio>
#include <cstring>

namespace tarnvell {

struct File {
  HANDLE handle;
  bool writing;
};

namespace {

// ReadFile and WriteFile are given at most this much at a time, so that a
// member of several GiB never depends on one huge transfer.
constexpr DWORD kMaxChunk = DWORD{64} << 20;

// The longest path the ANSI calls take, without its NUL.
constexpr size_t kLongestPath = MAX_PATH - 1;

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity id;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  id.modified = static_cast<int64_t>(
      (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  return id;
}

// A plain file at that name: not a folder, not a link.
bool IsPlainFile(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// How long a scratch name may be so that its full path still fits wherever
// the final name's does.
size_t ScratchRoom(const char* finalName) {
  const DWORD folder = GetCurrentDirectoryA(0, nullptr);  // with its NUL
  const size_t finalLength = std::strlen(finalName);
  if (folder == 0 || folder + 22 <= kLongestPath) return 22;
  const size_t room = folder < kLongestPath ? kLongestPath - folder : 0;
  return room > finalLength ? room : finalLength;
}

}  // namespace

bool Win32Platform::Fail() {
  error_ = GetLastError();
  return false;
}

PathRules Win32Platform::Rules() const { return {'\\', IsAnsiLeadByte}; }

File* Win32Platform::OpenRead(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Fail();
    return nullptr;
  }
  // Only files on a disk: a device name or a pipe would never end or answer.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    error_ = ERROR_BAD_FILE_TYPE;
    return nullptr;
  }
  return new File{h, false};
}

File* Win32Platform::CreateTemp(const char* finalName, std::string* tempName) {
  static unsigned counter = 0;
  const unsigned seed = static_cast<unsigned>(GetCurrentProcessId()) * 2654435761u ^
                        static_cast<unsigned>(GetTickCount());
  const size_t room = ScratchRoom(finalName);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = ScratchName(seed + ++counter * 40503u, room);
    // CREATE_NEW never opens a file that is already there.
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      *tempName = name;
      return new File{h, true};
    }
    DWORD e = GetLastError();
    if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) break;
  }
  Fail();
  return nullptr;
}

bool Win32Platform::Seek(File* file, uint32_t offset) {
  // With a high part of 0 the low part is an unsigned position, so offsets
  // from 2 GiB up to 4 GiB - 1 are reached rather than refused.
  LONG high = 0;
  SetLastError(NO_ERROR);
  DWORD r = SetFilePointer(file->handle, static_cast<LONG>(offset), &high,
                           FILE_BEGIN);
  return r != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR || Fail();
}

bool Win32Platform::Read(File* file, void* buffer, uint32_t count,
                         uint32_t* delivered) {
  char* at = static_cast<char*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    DWORD want = count - done < kMaxChunk ? count - done : kMaxChunk;
    DWORD got = 0;
    if (!ReadFile(file->handle, at + done, want, &got, nullptr)) {
      *delivered = done;
      return Fail();
    }
    if (got == 0) break;  // end of file
    done += got;
  }
  *delivered = done;
  return true;
}

bool Win32Platform::Write(File* file, const void* buffer, uint32_t count) {
  const char* at = static_cast<const char*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    DWORD want = count - done < kMaxChunk ? count - done : kMaxChunk;
    DWORD put = 0;
    if (!WriteFile(file->handle, at + done, want, &put, nullptr)) return Fail();
    if (put == 0) {
      error_ = ERROR_DISK_FULL;
      return false;
    }
    done += put;
  }
  return true;
}

bool Win32Platform::Identify(File* file, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file->handle, &info)) return Fail();
  *identity = IdentityOf(info);
  return true;
}

bool Win32Platform::IdentifyName(const char* name, FileIdentity* identity,
                                 bool* exists) {
  // No access asked, so a file held open by another program is still seen;
  // a link is looked at itself, not followed.
  HANDLE h = CreateFileA(name, 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  *exists = h != INVALID_HANDLE_VALUE;
  if (!*exists) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || Fail();
  }
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) || Fail();
  if (ok) *identity = IdentityOf(info);
  CloseHandle(h);
  return ok;
}

bool Win32Platform::Adopt(File* file, const char* finalName) {
  (void)file;  // attributes, streams and security move over in Commit
  const DWORD attributes = GetFileAttributesA(finalName);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || Fail();
  }
  if (IsPlainFile(attributes) && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error_ = ERROR_ACCESS_DENIED;  // as opening it for writing would say
    return false;
  }
  return true;
}

bool Win32Platform::Close(File* file) {
  // A written file must reach the disk before it replaces an earlier one.
  bool ok = !file->writing || FlushFileBuffers(file->handle) || Fail();
  if (!CloseHandle(file->handle) && ok) ok = Fail();
  delete file;
  return ok;
}

bool Win32Platform::Commit(const char* tempName, const char* finalName) {
  // An earlier file passes its attributes, streams and security on to the
  // new one; a link at finalName is replaced itself, never its target.
  if (IsPlainFile(GetFileAttributesA(finalName))) {
    // Full paths: not every implementation takes names relative to the
    // current folder here.
    char replaced[MAX_PATH], replacement[MAX_PATH];
    DWORD a = GetFullPathNameA(finalName, MAX_PATH, replaced, nullptr);
    DWORD b = GetFullPathNameA(tempName, MAX_PATH, replacement, nullptr);
    if (a == 0 || a >= MAX_PATH || b == 0 || b >= MAX_PATH) return Fail();
    return ReplaceFileA(replaced, replacement, nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) ||
           Fail();
  }
  return MoveFileExA(tempName, finalName,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         Fail();
}

// The moves above write through to the disk; folders have no flush of their
// own here.
bool Win32Platform::SyncDir() { return true; }

void Win32Platform::Discard(const char* tempName) {
  DWORD saved = GetLastError();
  DeleteFileA(tempName);
  SetLastError(saved);
}

bool Win32Platform::SetCurrentDir(const char* dir) {
  return SetCurrentDirectoryA(dir) || Fail();
}

void* Win32Platform::Alloc(uint32_t size) {
  // GMEM_FIXED: the handle is the pointer.
  void* block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size == 0 ? 1 : size);
  if (block == nullptr) Fail();
  return block;
}

void Win32Platform::Free(void* block) { GlobalFree(block); }

std::string Win32Platform::LastError() const {
  char text[512] = {0};
  // English where the system has it, else the user's language.
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageA(flags, nullptr, error_,
                           MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text,
                           sizeof text, nullptr);
  if (n == 0)
    n = FormatMessageA(flags, nullptr, error_,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text,
                       sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' ||
                   text[n - 1] == ' ' || text[n - 1] == '.'))
    text[--n] = '\0';
  char code[32];
  std::snprintf(code, sizeof code, "error %lu", error_);
  return n > 0 ? std::string(text, n) + " (" + code + ")" : std::string(code);
}

}  // namespace tarnvell

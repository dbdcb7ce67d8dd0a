#include "platform/win32_platform.h"

#include "platform/windows_api.h"

#include <cstdio>

namespace tarnvell {

struct File {
  HANDLE handle;
  bool writing;
};

namespace {

// ReadFile and WriteFile are given at most this much at a time, so that a
// member of several GiB never depends on one huge transfer.
constexpr DWORD kMaxChunk = DWORD{64} << 20;

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

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
  return new File{h, false};
}

File* Win32Platform::CreateTemp(const char* finalName, std::string* tempName) {
  (void)finalName;  // scratch names are short so a long final name still fits
  static unsigned counter = 0;
  const unsigned seed = static_cast<unsigned>(GetCurrentProcessId()) * 2654435761u ^
                        static_cast<unsigned>(GetTickCount());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = ScratchName(seed + ++counter * 40503u);
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

bool Win32Platform::Size(File* file, uint64_t* size) {
  DWORD high = 0;
  SetLastError(NO_ERROR);
  DWORD low = GetFileSize(file->handle, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return Fail();
  *size = (static_cast<uint64_t>(high) << 32) | low;
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
  // Replaces a link at finalName itself, never the file it points to.
  return MoveFileExA(tempName, finalName,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         Fail();
}

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

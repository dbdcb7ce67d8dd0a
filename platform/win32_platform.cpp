#include "platform/win32_platform.h"

#include "platform/windows_api.h"

#include <cstdio>
#include <cstring>

namespace tarnvell {

struct Folder {
  std::wstring path;  // full, with its last backslash
};

struct File {
  HANDLE handle;
  const Folder* folder;  // outputs: the folder it is made in
  std::string name;      // outputs: its scratch name there
};

namespace {

// ReadFile and WriteFile are given at most this much at a time, so that a
// member of several GiB never depends on one huge transfer.
constexpr DWORD kMaxChunk = DWORD{64} << 20;

constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

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

// A full path as the plain calls take it, or in the \\?\ form past their
// limit (a network path as \\?\UNC\server\share\...).
std::wstring LongForm(const std::wstring& full) {
  if (full.size() < MAX_PATH || full.rfind(L"\\\\?\\", 0) == 0 ||
      full.rfind(L"\\\\.\\", 0) == 0)
    return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC" + full.substr(1);
  return L"\\\\?\\" + full;
}

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
    return;
  }
  static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  *out += static_cast<char>(kLead[extra] | (c >> (6 * extra)));
  for (int k = extra - 1; k >= 0; --k)
    *out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
}

}  // namespace

bool FullWidePath(const std::wstring& path, std::wstring* full) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  full->assign(size, L'\0');
  const DWORD n = size == 0 ? 0 : GetFullPathNameW(path.c_str(), size, &(*full)[0], nullptr);
  full->resize(n < size ? n : 0);
  return n != 0 && n < size;
}

std::string Utf8FromWide(const std::wstring& wide) {
  std::string out;
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() &&
        wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    AppendUtf8(c, &out);
  }
  return out;
}

bool WideFromUtf8(const std::string& utf8, std::wstring* wide) {
  static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  wide->clear();
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const int extra = lead < 0x80 ? 0 : lead < 0xC0 ? -1 : lead < 0xE0 ? 1
                    : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : -1;
    if (extra < 0 || utf8.size() - i <= static_cast<size_t>(extra)) return false;
    uint32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < kLeast[extra] || c > 0x10FFFF) return false;  // overlong, too large
    i += extra + 1;
    if (c < 0x10000) {
      *wide += static_cast<wchar_t>(c);
    } else {
      *wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      *wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return true;
}

bool Win32Platform::Fail() {
  error_ = GetLastError();
  return false;
}

bool Win32Platform::FullPath(const char* path, std::wstring* out) {
  std::wstring wide;
  if (!WideFromUtf8(path, &wide)) {
    error_ = ERROR_NO_UNICODE_TRANSLATION;
    return false;
  }
  return FullWidePath(wide, out) || Fail();
}

bool Win32Platform::SystemPath(const char* path, std::wstring* out) {
  if (!FullPath(path, out)) return false;
  *out = LongForm(*out);
  return true;
}

bool Win32Platform::PathIn(const Folder* folder, const char* name,
                           std::wstring* out) {
  std::wstring wide;
  if (!WideFromUtf8(name, &wide)) {
    error_ = ERROR_NO_UNICODE_TRANSLATION;
    return false;
  }
  *out = LongForm(folder->path + wide);
  return true;
}

PathRules Win32Platform::Rules() const { return {'\\'}; }

File* Win32Platform::OpenRead(const char* path) {
  std::wstring name;
  if (!SystemPath(path, &name)) return nullptr;
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
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
  return new File{h, nullptr, std::string()};
}

Folder* Win32Platform::OpenFolder(const char* path) {
  std::wstring full;
  if (!FullPath(*path != '\0' ? path : ".", &full)) return nullptr;
  const DWORD attributes = GetFileAttributesW(LongForm(full).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    Fail();
    return nullptr;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error_ = ERROR_DIRECTORY;
    return nullptr;
  }
  if (full.back() != L'\\') full += L'\\';
  return new Folder{full};
}

void Win32Platform::CloseFolder(Folder* folder) { delete folder; }

File* Win32Platform::CreateTemp(Folder* folder, const char* finalName) {
  (void)finalName;  // long paths take the \\?\ form: no need to cut the name
  static unsigned counter = 0;
  const unsigned seed = static_cast<unsigned>(GetCurrentProcessId()) * 2654435761u ^
                        static_cast<unsigned>(GetTickCount());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = ScratchName(seed + ++counter * 40503u);
    std::wstring path;
    if (!PathIn(folder, name.c_str(), &path)) return nullptr;
    // CREATE_NEW never opens a file that is already there; shared with nobody
    // while it is written.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (h != INVALID_HANDLE_VALUE) return new File{h, folder, name};
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

bool Win32Platform::IdentifyName(Folder* folder, const char* name,
                                 FileIdentity* identity, bool* exists) {
  std::wstring path;
  if (!PathIn(folder, name, &path)) return false;
  // No access asked, so a file held open by another program is still seen;
  // a link is looked at itself, not followed.
  HANDLE h = CreateFileW(path.c_str(), 0,
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
  // Attributes, streams and security move over in Commit.
  std::wstring path;
  if (!PathIn(file->folder, finalName, &path)) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
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

bool Win32Platform::Finish(File* file, std::string* tempName) {
  // A written file must reach the disk before it replaces an earlier one.
  bool ok = FlushFileBuffers(file->handle) || Fail();
  if (!CloseHandle(file->handle) && ok) ok = Fail();
  *tempName = file->name;
  delete file;
  return ok;
}

void Win32Platform::Abandon(File* file) {
  const DWORD saved = GetLastError();
  CloseHandle(file->handle);
  std::wstring path;
  if (PathIn(file->folder, file->name.c_str(), &path)) DeleteFileW(path.c_str());
  delete file;
  SetLastError(saved);
}

bool Win32Platform::Close(File* file) {
  bool ok = CloseHandle(file->handle) || Fail();
  delete file;
  return ok;
}

bool Win32Platform::Replace(const std::wstring& replaced,
                            const std::wstring& replacement) {
  return ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr,
                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
}

bool Win32Platform::Commit(Folder* folder, const char* tempName,
                           const char* finalName) {
  std::wstring temp, target;
  if (!PathIn(folder, tempName, &temp) || !PathIn(folder, finalName, &target))
    return false;
  // A link at finalName is replaced itself, never its target.
  if (!IsPlainFile(GetFileAttributesW(target.c_str())))
    return MoveFileExW(temp.c_str(), target.c_str(), kMoveFlags) || Fail();
  // An earlier file passes its attributes, streams and security on.
  if (Replace(target, temp)) return true;
  if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT) return Fail();
  // The earlier file is gone already and the new one still has its scratch
  // name: it goes into place, and is never removed while it is the only copy.
  if (MoveFileExW(temp.c_str(), target.c_str(), kMoveFlags)) return true;
  onlyCopy_ = tempName;
  return Fail();
}

// The moves above write through to the disk; folders have no flush of their
// own here.
bool Win32Platform::SyncDir(Folder*) { return true; }

void Win32Platform::Discard(Folder* folder, const char* tempName) {
  std::wstring path;
  DWORD saved = GetLastError();
  if (onlyCopy_ != tempName && PathIn(folder, tempName, &path))
    DeleteFileW(path.c_str());
  SetLastError(saved);
}

void* Win32Platform::Alloc(uint32_t size) {
  // GMEM_FIXED: the handle is the pointer.
  void* block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size == 0 ? 1 : size);
  if (block == nullptr) Fail();
  return block;
}

void Win32Platform::Free(void* block) { GlobalFree(block); }

std::string Win32Platform::SystemErrorText(int number) const {
  const DWORD error = static_cast<DWORD>(number);
  wchar_t text[512] = {0};
  // English where the system has it, else the user's language.
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageW(flags, nullptr, error,
                           MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text,
                           512, nullptr);
  if (n == 0)
    n = FormatMessageW(flags, nullptr, error,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 512,
                       nullptr);
  while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' ||
                   text[n - 1] == L' ' || text[n - 1] == L'.'))
    text[--n] = L'\0';
  char code[32];
  std::snprintf(code, sizeof code, "error %lu", static_cast<unsigned long>(error));
  return n > 0 ? Utf8FromWide(std::wstring(text, n)) + " (" + code + ")"
               : std::string(code);
}

}  // namespace tarnvell

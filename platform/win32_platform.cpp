#include "platform/win32_platform.h"

#include "platform/windows_api.h"

#include <algorithm>
#include <cstdio>

#include "core/copy.h"

namespace tarnvell {
namespace {

// ReadFile and WriteFile are given at most this much at a time, so that a
// member of several GiB never depends on one huge transfer.
constexpr uint32_t kMaxChunk = uint32_t{64} << 20;

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

Status Win32Failure(Step step, DWORD code) {
  return Failed(step, std::error_code(static_cast<int>(code), Win32Category()));
}

// The failure the system just reported.
Status LastFailure(Step step) { return Win32Failure(step, GetLastError()); }

// An earlier file the user may not replace, as opening it for writing says.
Status RefuseReadOnly(DWORD attributes) {
  if (IsPlainFile(attributes) && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    return Win32Failure(Step::kPermissions, ERROR_ACCESS_DENIED);
  return Ok();
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

std::string SystemErrorText(int number) {
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

class Win32ErrorCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "win32"; }
  std::string message(int code) const override {
    if (static_cast<DWORD>(code) == kFolderMoved)
      return "its folder was moved or replaced meanwhile";
    return SystemErrorText(code);
  }
};

Status IdentifyHandle(HANDLE handle, Step step, FileIdentity* identity,
                      DWORD* attributes = nullptr) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return LastFailure(step);
  *identity = IdentityOf(info);
  if (attributes != nullptr) *attributes = info.dwFileAttributes;
  return Ok();
}

class Win32Input : public Input {
 public:
  explicit Win32Input(HANDLE handle) : handle_(handle) {}
  ~Win32Input() override { CloseHandle(handle_); }

  Status ReadAt(uint64_t offset, void* buffer, uint32_t count,
                uint32_t* delivered) override {
    char* at = static_cast<char*>(buffer);
    *delivered = 0;
    while (*delivered < count) {
      const uint64_t position = offset + *delivered;
      OVERLAPPED where = {};  // the offset of this read, no file position
      where.Offset = static_cast<DWORD>(position);
      where.OffsetHigh = static_cast<DWORD>(position >> 32);
      DWORD got = 0;
      const uint32_t want = std::min(count - *delivered, kMaxChunk);
      if (!ReadFile(handle_, at + *delivered, want, &got, &where))
        return GetLastError() == ERROR_HANDLE_EOF ? Ok()
                                                  : LastFailure(Step::kRead);
      if (got == 0) break;  // the end of the file
      *delivered += got;
    }
    return Ok();
  }

  Status Identify(FileIdentity* identity) override {
    return IdentifyHandle(handle_, Step::kRead, identity);
  }

 private:
  HANDLE handle_;
};

}  // namespace

const std::error_category& Win32Category() {
  static const Win32ErrorCategory category;
  return category;
}

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

class Win32Folder : public Folder {
 public:
  Win32Folder(const Win32Platform& platform, std::wstring path, HANDLE handle,
              const FileIdentity& identity)
      : platform_(platform), path_(std::move(path)), handle_(handle),
        identity_(identity) {}
  ~Win32Folder() override { CloseHandle(handle_); }

  Status OpenInput(const std::string& name,
                   std::unique_ptr<Input>* input) override;
  Status Lookup(const std::string& name, FileIdentity* identity,
                bool* exists) override;
  Status CreateOutput(const std::string& name, Existing existing,
                      std::unique_ptr<Output>* output) override;

  // A bare name in the folder as the system calls take it.
  Status PathOf(const std::string& name, Step step, std::wstring* path) const {
    std::wstring wide;
    if (!WideFromUtf8(name, &wide))
      return Win32Failure(step, ERROR_NO_UNICODE_TRANSLATION);
    *path = LongForm(path_ + wide);
    return Ok();
  }

  // The folder's path still leads to this very folder, not to one put in its
  // place through a renamed parent or a link.
  Status StillHere() const {
    HANDLE h = CreateFileW(LongForm(path_).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastFailure(Step::kPlace);
    FileIdentity now;
    Status s = IdentifyHandle(h, Step::kPlace, &now);
    CloseHandle(h);
    if (s.ok() && !SameFile(now, identity_))
      s = Win32Failure(Step::kPlace, kFolderMoved);
    return s;
  }

  const Win32Platform& platform() const { return platform_; }

 private:
  const Win32Platform& platform_;
  std::wstring path_;  // full, with its last backslash
  HANDLE handle_;      // held without delete sharing: no rename, no removal
  FileIdentity identity_;
};

// A scratch file in the folder, shared with nobody while it is written,
// removed unless it was placed or holds the only copy of the output.
class Win32Output : public Output {
 public:
  Win32Output(const Win32Folder& folder, HANDLE handle, std::wstring scratch,
              std::wstring target, bool neverReplace)
      : folder_(folder), handle_(handle), scratch_(std::move(scratch)),
        target_(std::move(target)), neverReplace_(neverReplace) {
    // Removed by the system when its handle closes, also when the program
    // is ended before the file is whole (Ctrl+C in a console).
    RemoveOnClose(true);
  }

  ~Win32Output() override {
    if (handle_ != INVALID_HANDLE_VALUE) {
      // Removed through its handle, wherever its folder may have gone.
      RemoveOnClose(true);
      CloseHandle(handle_);
    } else if (!keep_) {
      DeleteFileW(scratch_.c_str());
    }
  }

  Status Write(const void* buffer, uint32_t count) override {
    const char* at = static_cast<const char*>(buffer);
    for (uint32_t done = 0; done < count;) {
      DWORD put = 0;
      if (!WriteFile(handle_, at + done, std::min(count - done, kMaxChunk), &put,
                     nullptr))
        return LastFailure(Step::kWrite);
      if (put == 0) return Win32Failure(Step::kWrite, ERROR_DISK_FULL);
      done += put;
    }
    return Ok();
  }

  Status CopyRange(Input& input, uint64_t offset, uint64_t length,
                   uint64_t* copied) override {
    return CopyInPieces(input, offset, length, *this, copied);
  }

  Status Prepare() override {
    prepared_ = true;
    // A written file must reach the disk before it replaces an earlier one.
    if (!FlushFileBuffers(handle_)) return LastFailure(Step::kFlush);
    Status s = folder_.StillHere();
    if (s.ok() && !neverReplace_) s = RefuseReadOnly(GetFileAttributesW(target_.c_str()));
    return s;
  }

  Status Publish() override {
    Status s = prepared_ ? Ok() : Prepare();
    if (!s.ok()) return s;
    // A link at the final name is replaced itself, never its target.
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    // Closed, so that it can be moved, and kept once closed.
    if (!RemoveOnClose(false)) return LastFailure(Step::kPlace);
    HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h)) return LastFailure(Step::kFlush);
    if (neverReplace_) return MoveToFreeName();
    if (!IsPlainFile(attributes)) return Move();
    // An earlier file passes its attributes, streams and security on.
    if (folder_.platform().Replace(target_, scratch_)) return Placed();
    if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT)
      return LastFailure(Step::kPlace);
    // The earlier file is gone already and the new one still has its scratch
    // name: it goes into place, and is never removed while it is the only copy.
    s = Move();
    keep_ = true;
    return s;
  }

 private:
  bool RemoveOnClose(bool remove) {
    FILE_DISPOSITION_INFO disposition = {static_cast<BOOLEAN>(remove)};
    return SetFileInformationByHandle(handle_, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
  }

  Status Move() {
    if (!MoveFileExW(scratch_.c_str(), target_.c_str(), kMoveFlags))
      return LastFailure(Step::kPlace);
    return Placed();
  }

  // Takes the name only while nothing stands there.
  Status MoveToFreeName() {
    if (MoveFileExW(scratch_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH))
      return Placed();
    const DWORD e = GetLastError();
    if (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS)
      return Failed(Step::kPlace, Reason::kExists);
    return Win32Failure(Step::kPlace, e);
  }
  // The moves write through to the disk: the folder has no flush of its own.
  Status Placed() {
    keep_ = true;
    return Ok();
  }

  const Win32Folder& folder_;
  HANDLE handle_;
  std::wstring scratch_, target_;  // full paths as the system calls take them
  bool prepared_ = false;          // Prepare has run
  bool neverReplace_;              // takes its name only where it is free
  bool keep_ = false;              // placed, or the only copy of the output
};

Status Win32Folder::OpenInput(const std::string& name,
                              std::unique_ptr<Input>* input) {
  std::wstring path;
  Status s = PathOf(name, Step::kOpen, &path);
  if (!s.ok()) return s;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_ARCHIVE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastFailure(Step::kOpen);
  input->reset(new Win32Input(h));
  // Only files on a disk: a device name or a pipe would never end or answer.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    input->reset();
    return Win32Failure(Step::kOpen, ERROR_BAD_FILE_TYPE);
  }
  return Ok();
}

Status Win32Folder::Lookup(const std::string& name, FileIdentity* identity,
                           bool* exists) {
  std::wstring path;
  Status s = PathOf(name, Step::kOpen, &path);
  if (!s.ok()) return s;
  // No access asked, so a file held open by another program is still seen;
  // a link is looked at itself, not followed.
  HANDLE h = CreateFileW(path.c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  *exists = h != INVALID_HANDLE_VALUE;
  if (!*exists) {
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND
               ? Ok()
               : Win32Failure(Step::kOpen, e);
  }
  s = IdentifyHandle(h, Step::kOpen, identity);
  CloseHandle(h);
  return s;
}

Status Win32Folder::CreateOutput(const std::string& name, Existing existing,
                                 std::unique_ptr<Output>* output) {
  const bool keep = existing == Existing::kKeep;
  std::wstring target;
  Status s = PathOf(name, Step::kCreate, &target);
  const DWORD there = s.ok() ? GetFileAttributesW(target.c_str()) : INVALID_FILE_ATTRIBUTES;
  if (s.ok() && !keep) s = RefuseReadOnly(there);
  // Nothing replaces a folder: said before anything of the drop is placed.
  if (s.ok() && !keep && there != INVALID_FILE_ATTRIBUTES &&
      (there & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
          FILE_ATTRIBUTE_DIRECTORY)
    s = Win32Failure(Step::kPlace, ERROR_ACCESS_DENIED);
  if (!s.ok()) return s;
  const unsigned seed = static_cast<unsigned>(GetCurrentProcessId()) * 2654435761u ^
                        static_cast<unsigned>(GetTickCount());
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::wstring scratch;
    s = PathOf(ScratchName(seed + attempt * 40503u), Step::kCreate, &scratch);
    if (!s.ok()) return s;
    // CREATE_NEW never opens a file that is already there.
    HANDLE h = CreateFileW(scratch.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      output->reset(new Win32Output(*this, h, scratch, target, keep));
      return Ok();
    }
    const DWORD e = GetLastError();
    if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS)
      return Win32Failure(Step::kCreate, e);
  }
  return Win32Failure(Step::kCreate, ERROR_FILE_EXISTS);
}

PathRules Win32Platform::Rules() const { return {'\\', typedPaths_ ? '/' : '\0'}; }

Status Win32Platform::OpenFolder(const std::string& path,
                                 std::unique_ptr<Folder>* folder) {
  std::wstring wide, full;
  if (!WideFromUtf8(path.empty() ? "." : path, &wide))
    return Win32Failure(Step::kOpen, ERROR_NO_UNICODE_TRANSLATION);
  if (!FullWidePath(wide, &full)) return LastFailure(Step::kOpen);
  if (full.back() != L'\\') full += L'\\';
  // Opened for traversal, an access that sharing counts, and shared for
  // reading and writing but not for deleting: nobody can rename, remove or
  // replace the folder while it is open.
  HANDLE h = CreateFileW(LongForm(full).c_str(),
                         FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastFailure(Step::kOpen);
  FileIdentity identity;
  DWORD attributes = 0;
  Status s = IdentifyHandle(h, Step::kOpen, &identity, &attributes);
  if (s.ok() && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    s = Win32Failure(Step::kOpen, ERROR_DIRECTORY);
  if (!s.ok()) {
    CloseHandle(h);
    return s;
  }
  folder->reset(new Win32Folder(*this, full, h, identity));
  return Ok();
}

bool Win32Platform::Replace(const std::wstring& replaced,
                            const std::wstring& replacement) const {
  return ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr,
                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
}

}  // namespace tarnvell

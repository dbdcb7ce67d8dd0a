#include "web/web_platform.h"

#include <emscripten/em_js.h>
#include <emscripten/emscripten.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

// The page's script holds the dropped files and the collected outputs
// (pageFiles in web/shell.html); these calls reach it. Negative results are
// the page's codes below; pointers are taken `>>> 0` so that addresses past
// 2 GiB stay positive.
EM_JS(double, page_input_size, (int index), {
  return pageFiles.inputSize(index);
});
EM_JS(double, page_input_modified, (int index), {
  return pageFiles.inputModified(index);
});
EM_ASYNC_JS(int, page_read, (int index, double position, void* buffer, int count), {
  const got = await pageFiles.read(index, position, count >>> 0);
  if (typeof got === "number") return got;
  HEAPU8.set(got, buffer >>> 0);
  return got.length;
});
EM_JS(void, page_input_done, (int index), { pageFiles.inputDone(index); });
EM_JS(int, page_create, (), { return pageFiles.create(); });
EM_JS(int, page_write, (int handle, const void* data, int count), {
  return pageFiles.write(handle, HEAPU8.subarray(data >>> 0, (data >>> 0) + (count >>> 0)));
});
EM_JS(int, page_write_read, (int handle, int index, double position,
                             const void* data, int count), {
  return pageFiles.writeRead(handle, index, position,
                             HEAPU8.subarray(data >>> 0, (data >>> 0) + (count >>> 0)));
});
EM_JS(double, page_output_size, (int handle), {
  return pageFiles.outputSize(handle);
});
EM_ASYNC_JS(int, page_finish, (int handle), {
  return await pageFiles.finish(handle);
});
EM_JS(void, page_release, (int handle), { pageFiles.release(handle); });

namespace tarnvell {
namespace {

// The page's failure codes.
enum PageCode {
  kGone = -1,        // the dropped file is no longer there
  kUnreadable = -2,  // it cannot be read (changed or moved since the drop)
  kNoRoom = -3,      // the page cannot hold the bytes
  kFolder = -4,      // a folder was dropped
};

int ErrnoFor(int pageCode) {
  switch (pageCode) {
    case kGone: return ENOENT;
    case kNoRoom: return ENOMEM;
    case kFolder: return EISDIR;
  }
  return EIO;
}

}  // namespace

struct Folder {};

struct File {
  int handle;          // the dropped file's index, or the output's number
  bool output;
  uint64_t position;   // inputs: where the next read starts
};

WebPlatform::WebPlatform(std::vector<std::string> names)
    : names_(std::move(names)) {}

WebPlatform::~WebPlatform() {
  for (const WebOutput& out : finished_) page_release(out.handle);
}

bool WebPlatform::Fail(int code) {
  error_ = code;
  return false;
}

FileIdentity WebPlatform::OutputIdentity(int handle) const {
  FileIdentity id;
  id.volume = 2;  // inputs are volume 1
  id.index = static_cast<uint64_t>(handle);
  id.size = static_cast<uint64_t>(page_output_size(handle));
  return id;
}

PathRules WebPlatform::Rules() const { return {'/'}; }

// The browser gives each dropped file by its name alone; a drop that reaches
// a read never holds two files of one name (two images or two texts are
// refused first), so the first of that name is the one.
File* WebPlatform::OpenRead(const char* path) {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] != path) continue;
    const double size = page_input_size(static_cast<int>(i));
    if (size < 0) {
      Fail(ErrnoFor(static_cast<int>(size)));
      return nullptr;
    }
    return new File{static_cast<int>(i), false, 0};
  }
  Fail(ENOENT);
  return nullptr;
}

// The drop's one folder: its outputs. Names never carry another.
Folder* WebPlatform::OpenFolder(const char* path) {
  if (*path != '\0') {
    Fail(ENOENT);
    return nullptr;
  }
  return new Folder;
}

void WebPlatform::CloseFolder(Folder* folder) { delete folder; }

bool WebPlatform::IdentifyName(Folder*, const char* name,
                               FileIdentity* identity, bool* exists) {
  *exists = false;
  for (const WebOutput& out : placed_) {
    if (out.name != name) continue;
    *identity = OutputIdentity(out.handle);
    *exists = true;
  }
  return true;
}

File* WebPlatform::CreateTemp(Folder*, const char*) {
  const int handle = page_create();
  return new File{handle, true, 0};
}

bool WebPlatform::Seek(File* file, uint32_t offset) {
  file->position = offset;
  return true;
}

bool WebPlatform::Read(File* file, void* buffer, uint32_t count,
                       uint32_t* delivered) {
  *delivered = 0;
  if (count == 0) return true;
  const int got = page_read(file->handle, static_cast<double>(file->position),
                            buffer, static_cast<int>(count));
  if (got < 0) return Fail(ErrnoFor(got));
  *delivered = static_cast<uint32_t>(got);
  lastRead_ = {buffer, file->handle, file->position, *delivered};
  file->position += *delivered;
  return true;
}

// Bytes written straight from the last read's buffer are offered to the page
// as what they came from, which it checks; any others are copied.
bool WebPlatform::Write(File* file, const void* buffer, uint32_t count) {
  const bool fromRead = buffer == lastRead_.buffer && count <= lastRead_.delivered;
  const int code =
      fromRead ? page_write_read(file->handle, lastRead_.input,
                                 static_cast<double>(lastRead_.position),
                                 buffer, static_cast<int>(count))
               : page_write(file->handle, buffer, static_cast<int>(count));
  return code == 0 || Fail(ErrnoFor(code));
}

bool WebPlatform::Identify(File* file, FileIdentity* identity) {
  if (file->output) {
    *identity = OutputIdentity(file->handle);
    return true;
  }
  const double size = page_input_size(file->handle);
  if (size < 0) return Fail(ErrnoFor(static_cast<int>(size)));
  identity->volume = 1;
  identity->index = static_cast<uint64_t>(file->handle) + 1;
  identity->size = static_cast<uint64_t>(size);
  identity->modified = static_cast<int64_t>(page_input_modified(file->handle));
  return true;
}

// A download has no permissions or owner to keep.
bool WebPlatform::Adopt(File*, const char*) { return true; }

bool WebPlatform::Finish(File* file, std::string* tempName) {
  const int handle = file->handle;
  delete file;
  const int code = page_finish(handle);
  if (code != 0) {
    page_release(handle);
    tempName->clear();
    return Fail(ErrnoFor(code));
  }
  *tempName = ScratchName(static_cast<uint32_t>(handle));
  finished_.push_back({handle, *tempName});
  return true;
}

void WebPlatform::Abandon(File* file) {
  page_release(file->handle);
  delete file;
}

// Takes the output of that name out of the list; -1 when there is none.
int WebPlatform::TakeOut(std::vector<WebOutput>& list, const char* name) {
  for (auto at = list.begin(); at != list.end(); ++at) {
    if (at->name != name) continue;
    const int handle = at->handle;
    list.erase(at);
    return handle;
  }
  return -1;
}

bool WebPlatform::Commit(Folder*, const char* tempName, const char* finalName) {
  const int handle = TakeOut(finished_, tempName);
  if (handle < 0) return Fail(ENOENT);
  const int replaced = TakeOut(placed_, finalName);
  if (replaced >= 0) page_release(replaced);
  placed_.push_back({handle, finalName});
  return true;
}

void WebPlatform::Discard(Folder*, const char* tempName) {
  const int handle = TakeOut(finished_, tempName);
  if (handle >= 0) page_release(handle);
}

bool WebPlatform::SyncDir(Folder*) { return true; }

bool WebPlatform::Close(File* file) {
  if (!file->output) page_input_done(file->handle);
  delete file;
  return true;
}

void* WebPlatform::Alloc(uint32_t size) {
  void* block = std::calloc(size == 0 ? 1 : size, 1);
  if (block == nullptr) error_ = ENOMEM;
  return block;
}

void WebPlatform::Free(void* block) { std::free(block); }

// The page's own words for what can go wrong in it.
std::string WebPlatform::SystemErrorText(int code) const {
  switch (code) {
    case ENOENT: return "the file is no longer there";
    case EIO: return "the file cannot be read (it may have changed since the drop)";
    case EISDIR: return "a folder, not a file";
    case ENOMEM: return "larger than the page can hold";
  }
  return std::strerror(code);
}

}  // namespace tarnvell

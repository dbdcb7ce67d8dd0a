#include "web/web_platform.h"

#include <emscripten/em_js.h>
#include <emscripten/emscripten.h>

#include <cstring>
#include <system_error>
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
EM_JS(int, page_create, (), { return pageFiles.create(); });
EM_JS(int, page_write, (int handle, const void* data, int count), {
  return pageFiles.write(handle, HEAPU8.subarray(data >>> 0, (data >>> 0) + (count >>> 0)));
});
EM_JS(void, page_zeros, (int handle, double count), {
  pageFiles.zeros(handle, count);
});
EM_ASYNC_JS(double, page_copy, (int handle, int index, double offset, double length), {
  return await pageFiles.copy(handle, index, offset, length);
});
EM_ASYNC_JS(int, page_finish, (int handle, double size), {
  return await pageFiles.finish(handle, size);
});
EM_JS(void, page_release, (int handle), { pageFiles.release(handle); });

namespace tarnvell {
namespace {

// The page's own failures, as its script returns them.
enum PageCode {
  kGone = -1,        // the dropped file is no longer there
  kUnreadable = -2,  // it cannot be read (changed or moved since the drop)
  kNoRoom = -3,      // the page cannot hold the output
  kFolder = -4,      // a folder was dropped
};

class PageCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "page"; }
  std::string message(int code) const override {
    switch (code) {
      case kGone: return "the file is no longer there";
      case kUnreadable:
        return "the file cannot be read (it may have changed since the drop)";
      case kNoRoom: return "larger than the page can hold";
      case kFolder: return "a folder, not a file";
    }
    return "unknown failure";
  }
};

Status PageFailed(Step step, int code) {
  static const PageCategory category;
  return Failed(step, std::error_code(code, category));
}

// True when every byte is zero; by words, as padding comes in megabytes.
bool AllZero(const void* data, uint32_t count) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t at = 0;
  for (uint64_t word = 0; at + 8 <= count; at += 8) {
    std::memcpy(&word, bytes + at, 8);
    if (word != 0) return false;
  }
  for (; at < count; ++at)
    if (bytes[at] != 0) return false;
  return true;
}

// A dropped file, by its index in the drop.
class PageInput : public Input {
 public:
  explicit PageInput(int index) : index_(index) {}
  int index() const { return index_; }

  Status ReadAt(uint64_t offset, void* buffer, uint32_t count,
                uint32_t* delivered) override {
    *delivered = 0;
    if (count == 0) return Ok();
    const int got = page_read(index_, static_cast<double>(offset), buffer,
                              static_cast<int>(count));
    if (got < 0) return PageFailed(Step::kRead, got);
    *delivered = static_cast<uint32_t>(got);
    return Ok();
  }

  // The browser's size and last modification, as it took them at the drop.
  Status Identify(FileIdentity* identity) override {
    const double size = page_input_size(index_);
    if (size < 0) return PageFailed(Step::kRead, static_cast<int>(size));
    identity->volume = 1;
    identity->index = static_cast<uint64_t>(index_) + 1;
    identity->size = static_cast<uint64_t>(size);
    identity->modified = static_cast<int64_t>(page_input_modified(index_));
    return Ok();
  }

 private:
  int index_;
};

// An output being collected, offered once published.
class PageOutput : public Output {
 public:
  PageOutput(std::string name, bool keep, std::vector<PlacedOutput>& placed)
      : name_(std::move(name)), keep_(keep), placed_(placed), handle_(page_create()) {}
  ~PageOutput() override {
    if (!published_) page_release(handle_);
  }

  // Zeros (a member past its container's end) are only counted, so that
  // the page holds them in no room.
  Status Write(const void* buffer, uint32_t count) override {
    int code = 0;
    if (AllZero(buffer, count))
      page_zeros(handle_, count);
    else
      code = page_write(handle_, buffer, static_cast<int>(count));
    if (code < 0) return PageFailed(Step::kWrite, code);
    size_ += count;
    return Ok();
  }

  // A slice of the dropped file, whose last byte the page reads to see that
  // the file is still as dropped; every input here is the page's.
  Status CopyRange(Input& input, uint64_t offset, uint64_t length,
                   uint64_t* copied) override {
    *copied = 0;
    const double got =
        page_copy(handle_, static_cast<PageInput&>(input).index(),
                  static_cast<double>(offset), static_cast<double>(length));
    if (got < 0) return PageFailed(Step::kRead, static_cast<int>(got));
    *copied = static_cast<uint64_t>(got);
    size_ += *copied;
    return Ok();
  }

  // A download has no permissions, owner or disk of its own: the output is
  // made one blob and checked, which ends its writing, and replaces any
  // output of its name unless it was made to keep it.
  Status Publish() override {
    const int code = page_finish(handle_, static_cast<double>(size_));
    if (code < 0) return PageFailed(Step::kWrite, code);
    for (auto at = placed_.begin(); at != placed_.end(); ++at) {
      if (at->name != name_) continue;
      if (keep_) return Failed(Step::kPlace, Reason::kExists);
      page_release(at->handle);
      placed_.erase(at);
      break;
    }
    placed_.push_back({handle_, name_, size_});
    published_ = true;
    return Ok();
  }

 private:
  std::string name_;
  bool keep_;
  std::vector<PlacedOutput>& placed_;
  int handle_;
  uint64_t size_ = 0;
  bool published_ = false;
};

// The drop's one folder: its files by name, and the outputs placed so far.
class PageFolder : public Folder {
 public:
  PageFolder(const std::vector<std::string>& names,
             std::vector<PlacedOutput>& placed)
      : names_(names), placed_(placed) {}

  // The browser gives each dropped file by its name alone; a drop that
  // reaches a read never holds two files of one name (two images or two
  // texts are refused first), so the first of that name is the one.
  Status OpenInput(const std::string& name,
                   std::unique_ptr<Input>* input) override {
    for (size_t i = 0; i < names_.size(); ++i) {
      if (names_[i] != name) continue;
      const double size = page_input_size(static_cast<int>(i));
      if (size < 0) return PageFailed(Step::kOpen, static_cast<int>(size));
      input->reset(new PageInput(static_cast<int>(i)));
      return Ok();
    }
    return PageFailed(Step::kOpen, kGone);
  }

  // Only outputs stand at names here: a download never replaces a dropped
  // file.
  Status Lookup(const std::string& name, FileIdentity* identity,
                bool* exists) override {
    *exists = false;
    for (const PlacedOutput& out : placed_) {
      if (out.name != name) continue;
      // Volume 2: no output is ever one of the dropped files (volume 1).
      *identity = FileIdentity{2, static_cast<uint64_t>(out.handle), out.size, 0};
      *exists = true;
    }
    return Ok();
  }

  Status CreateOutput(const std::string& name, Existing existing,
                      std::unique_ptr<Output>* output) override {
    output->reset(new PageOutput(name, existing == Existing::kKeep, placed_));
    return Ok();
  }

 private:
  const std::vector<std::string>& names_;
  std::vector<PlacedOutput>& placed_;
};

}  // namespace

WebPlatform::WebPlatform(std::vector<std::string> names)
    : names_(std::move(names)) {}

PathRules WebPlatform::Rules() const { return {'/'}; }

Status WebPlatform::OpenFolder(const std::string& path,
                               std::unique_ptr<Folder>* folder) {
  if (!path.empty()) return PageFailed(Step::kOpen, kGone);
  folder->reset(new PageFolder(names_, placed_));
  return Ok();
}

}  // namespace tarnvell

#include "core/container.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace tarnvell {

MemberBuffer::MemberBuffer(Platform& platform, uint32_t size)
    : platform_(platform) {
  data = static_cast<uint8_t*>(platform.Alloc(size));
  length = data != nullptr ? size : 0;
}

MemberBuffer::~MemberBuffer() {
  if (data != nullptr) platform_.Free(data);
}

namespace {

// An input opened by its path, closed when it goes out of scope.
struct Input {
  Input(Platform& platform, std::string inputPath)
      : platform_(platform), path(std::move(inputPath)) {}
  ~Input() {
    if (file != nullptr) platform_.Close(file);
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  Platform& platform_;
  std::string path;
  File* file = nullptr;
  FileIdentity version;  // as it was when opened
};

// The output folder, open for the length of one split or join.
struct OutputFolder {
  explicit OutputFolder(Platform& platform) : platform_(platform) {}
  ~OutputFolder() {
    if (folder != nullptr) platform_.CloseFolder(folder);
  }
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  Platform& platform_;
  Folder* folder = nullptr;
};

// One output file: a scratch file that takes its final name only once whole;
// anything short of that is removed when it goes out of scope.
struct Output {
  Output(Platform& platform, Folder* folder, std::string outputName)
      : platform_(platform), folder_(folder), name(std::move(outputName)) {}
  ~Output() {
    if (file != nullptr)
      platform_.Abandon(file);
    else if (!committed && !temp.empty())
      platform_.Discard(folder_, temp.c_str());
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  Platform& platform_;
  Folder* folder_;
  std::string name;
  File* file = nullptr;
  std::string temp;  // its name once finished
  bool committed = false;
};

// One split or join: the plan, the platform, the open folder and the copy
// buffer, and the stop that ended it, if any.
class Transfer {
 public:
  Transfer(const Plan& plan, Platform& platform)
      : plan_(plan), platform_(platform), folder_(platform) {}

  DropResult Split();
  DropResult Join();

 private:
  bool Fail(const std::string& file, int code) {
    result_ = Stopped(code, file);
    return false;
  }
  bool Fail(const std::string& file) { return Fail(file, platform_.LastError()); }
  std::string PathOf(const std::string& name) const { return plan_.folder + name; }
  std::string FolderName() const { return plan_.folder.empty() ? "." : plan_.folder; }

  bool Open(Input& in);
  bool Close(Input& in);
  bool Prepare(const Input* inputs, size_t count, uint32_t largest);
  bool Create(Output& out);
  bool Write(Output& out, const void* data, uint32_t count);
  bool Commit(Output& out);
  bool CopyPadded(Input& in, uint32_t offset, uint32_t length, Output& out);
  bool CopyWhole(Input& in, uint32_t length, Output& out);
  bool Unchanged(Input& in);
  bool SplitMember(Input& in, uint32_t offset, uint32_t length,
                   const std::string& name);

  const Plan& plan_;
  Platform& platform_;
  OutputFolder folder_;
  std::unique_ptr<MemberBuffer> buffer_;
  DropResult result_;
};

bool Transfer::Open(Input& in) {
  in.file = platform_.OpenRead(in.path.c_str());
  return (in.file != nullptr && platform_.Identify(in.file, &in.version)) ||
         Fail(in.path);
}

// A failing close is the failure only when nothing failed before it.
bool Transfer::Close(Input& in) {
  File* file = in.file;
  in.file = nullptr;
  return platform_.Close(file) || Fail(in.path);
}

// Opens the output folder, makes sure no output would replace an input (a
// link or a second name of it), and takes the copy buffer.
bool Transfer::Prepare(const Input* inputs, size_t count, uint32_t largest) {
  folder_.folder = platform_.OpenFolder(plan_.folder.c_str());
  if (folder_.folder == nullptr)
    return Fail(FolderName());
  for (const std::string& name : plan_.outputs) {
    FileIdentity there;
    bool exists = false;
    if (!platform_.IdentifyName(folder_.folder, name.c_str(), &there, &exists))
      return Fail(PathOf(name));
    for (size_t i = 0; exists && i < count; ++i)
      if (SameFile(there, inputs[i].version))
        return Fail(PathOf(name), kInputItself);
  }
  const uint32_t size = std::max<uint32_t>(1, std::min(largest, kCopyPiece));
  buffer_.reset(new MemberBuffer(platform_, size));
  return buffer_->data != nullptr || Fail(PathOf(plan_.outputs[0]), kNoMemory);
}

bool Transfer::Create(Output& out) {
  out.file = platform_.CreateTemp(folder_.folder, out.name.c_str());
  return out.file != nullptr || Fail(PathOf(out.name));
}

bool Transfer::Write(Output& out, const void* data, uint32_t count) {
  return platform_.Write(out.file, data, count) || Fail(PathOf(out.name));
}

// Gives a whole output its final name, taking over the permissions of the
// file it replaces, and makes that durable.
bool Transfer::Commit(Output& out) {
  if (!platform_.Adopt(out.file, out.name.c_str())) return Fail(PathOf(out.name));
  File* file = out.file;
  out.file = nullptr;
  if (!platform_.Finish(file, &out.temp) ||
      !platform_.Commit(folder_.folder, out.temp.c_str(), out.name.c_str()))
    return Fail(PathOf(out.name));
  out.committed = true;
  // Once the folder is flushed, a power cut can no longer bring back the file
  // that was replaced.
  return platform_.SyncDir(folder_.folder) ||
         Fail(FolderName());
}

// The input has not changed since it was opened.
bool Transfer::Unchanged(Input& in) {
  FileIdentity now;
  if (!platform_.Identify(in.file, &now)) return Fail(in.path);
  return SameVersion(now, in.version) || Fail(in.path, kChanged);
}

// Copies `length` bytes from `offset` of the container; the part that lies
// past its end is written as zeros.
bool Transfer::CopyPadded(Input& in, uint32_t offset, uint32_t length,
                          Output& out) {
  if (!platform_.Seek(in.file, offset)) return Fail(in.path);
  uint8_t* piece = buffer_->data;
  bool atEnd = false;
  for (uint32_t left = length; left > 0;) {
    const uint32_t n = std::min(left, buffer_->length);
    uint32_t got = n;
    if (!atEnd && !platform_.Read(in.file, piece, n, &got)) return Fail(in.path);
    if (got < n) std::memset(piece + got, 0, n - got);
    if (!Write(out, piece, n)) return false;
    if (got < n && !atEnd) {  // from here on the pieces are only zeros
      std::memset(piece, 0, buffer_->length);
      atEnd = true;
    }
    left -= n;
  }
  return true;
}

// Copies a whole join input, which must hold exactly the bytes its size said.
bool Transfer::CopyWhole(Input& in, uint32_t length, Output& out) {
  uint8_t* piece = buffer_->data;
  for (uint32_t left = length; left > 0;) {
    const uint32_t n = std::min(left, buffer_->length);
    uint32_t got = 0;
    if (!platform_.Read(in.file, piece, n, &got)) return Fail(in.path);
    if (got < n) return Fail(in.path, kChanged);
    if (!Write(out, piece, n)) return false;
    left -= n;
  }
  uint8_t extra = 0;
  uint32_t more = 0;
  if (!platform_.Read(in.file, &extra, 1, &more)) return Fail(in.path);
  return (more == 0 || Fail(in.path, kChanged)) && Unchanged(in);
}

bool Transfer::SplitMember(Input& in, uint32_t offset, uint32_t length,
                           const std::string& name) {
  Output out(platform_, folder_.folder, name);
  // The member must come from the very version whose header was read, even if
  // another program saves over the container meanwhile.
  return Create(out) && CopyPadded(in, offset, length, out) && Unchanged(in) &&
         Commit(out);
}

DropResult Transfer::Split() {
  Input in(platform_, plan_.inputs[0]);
  if (!Open(in)) return result_;
  // A short file reads as if padded with zeros.
  uint8_t head[kMemberTableEnd] = {};
  uint32_t delivered = 0;
  if (!platform_.Read(in.file, head, sizeof head, &delivered)) {
    Fail(in.path);
    return result_;
  }
  // A file too short for its member table is as unreadable as a bad signature.
  if (!SignatureMatches(head) || delivered < kMemberTableEnd)
    return Close(in) ? DropResult{} : result_;
  const ContainerHeader h = DecodeHeader(head);
  const bool ok =
      Prepare(&in, 1, std::max(h.imageSize, h.textSize)) &&
      SplitMember(in, h.imageOffset, h.imageSize, plan_.outputs[0]) &&
      SplitMember(in, h.textOffset, h.textSize, plan_.outputs[1]) && Close(in);
  return ok ? DropResult{Outcome::kCompleted, {}} : result_;
}

DropResult Transfer::Join() {
  Input inputs[2] = {{platform_, plan_.inputs[0]}, {platform_, plan_.inputs[1]}};
  Input& image = inputs[plan_.image];
  Input& text = inputs[1 - plan_.image];
  for (Input& in : inputs) {
    if (!Open(in)) return result_;
    const uint64_t limit = &in == &image ? kLargestImage : UINT32_MAX;
    if (in.version.size > limit) {
      Fail(in.path, kTooLarge);
      return result_;
    }
  }
  const uint32_t imageSize = static_cast<uint32_t>(image.version.size);
  const uint32_t textSize = static_cast<uint32_t>(text.version.size);
  uint8_t head[kHeaderSize];
  EncodeHeader(HeaderFor(imageSize, textSize), head);
  if (!Prepare(inputs, 2, std::max(imageSize, textSize))) return result_;
  Output out(platform_, folder_.folder, plan_.outputs[0]);
  const bool ok = Create(out) && Write(out, head, kHeaderSize) &&
                  CopyWhole(image, imageSize, out) &&
                  CopyWhole(text, textSize, out) && Commit(out) &&
                  Close(inputs[0]) && Close(inputs[1]);
  return ok ? DropResult{Outcome::kCompleted, {}} : result_;
}

}  // namespace

DropResult SplitContainer(const Plan& plan, Platform& platform) {
  return Transfer(plan, platform).Split();
}

DropResult JoinContainer(const Plan& plan, Platform& platform) {
  return Transfer(plan, platform).Join();
}

}  // namespace tarnvell

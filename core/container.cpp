#include "core/container.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/copy.h"
#include "core/layout.h"

namespace tarnvell {
namespace {

// An input, open through its folder, and the version of it that was opened.
struct InputFile {
  const Location* where = nullptr;
  std::unique_ptr<Input> file;
  FileIdentity version;
};

// One split or join: the plan's folders, each opened once, and the stop that
// ended it, if any.
class Transfer {
 public:
  Transfer(Platform& platform, const DropOptions& options)
      : platform_(platform), keepExisting_(options.keepExisting) {}

  DropResult Split(const SplitPlan& plan);
  DropResult Join(const JoinPlan& plan);

 private:
  // Records the stop on `file` and returns false.
  bool Fail(const std::string& file, const Status& status) {
    stop_ = Stop{status, file};
    return false;
  }
  DropResult Stopped() { return DropResult::Stopped(stop_); }

  Folder* FolderOf(const std::string& path);
  bool Open(const Location& where, InputFile& in);
  bool Unchanged(InputFile& in);
  bool OutputsMayBeWritten(const std::vector<const Location*>& outputs,
                           const std::vector<const InputFile*>& inputs);
  bool Create(const Location& where, std::unique_ptr<Output>& out);
  bool Write(const Location& where, Output& out, const void* data, uint32_t n);
  bool CopyPadded(InputFile& in, uint32_t offset, uint32_t length,
                  const Location& where, Output& out);
  bool CopyWhole(InputFile& in, const Location& where, Output& out);
  bool Prepare(const Location& where, Output& out);
  bool Publish(const Location& where, Output& out);
  bool SplitMember(InputFile& in, uint32_t offset, uint32_t length,
                   const Location& where, Output& out);

  Platform& platform_;
  const bool keepExisting_;
  std::map<std::string, std::unique_ptr<Folder>> folders_;
  Stop stop_{};
};

// A folder as a stop names it: the current one as ".", others without their
// last separator (unless that is all there is, or a drive's own).
std::string FolderName(const std::string& folder) {
  if (folder.empty()) return ".";
  if (folder.size() > 1 && folder[folder.size() - 2] != ':')
    return folder.substr(0, folder.size() - 1);
  return folder;
}

// The folder at `path`, opened on first use and kept for the whole transfer,
// so an input and the outputs beside it go through the very same folder.
Folder* Transfer::FolderOf(const std::string& path) {
  auto it = folders_.find(path);
  if (it != folders_.end()) return it->second.get();
  std::unique_ptr<Folder> folder;
  const Status s = platform_.OpenFolder(path, &folder);
  if (!s.ok()) {
    Fail(FolderName(path), s);
    return nullptr;
  }
  return folders_.emplace(path, std::move(folder)).first->second.get();
}

bool Transfer::Open(const Location& where, InputFile& in) {
  in.where = &where;
  Folder* folder = FolderOf(where.folder);
  if (folder == nullptr) return false;
  Status s = folder->OpenInput(where.name, &in.file);
  if (s.ok()) s = in.file->Identify(&in.version);
  return s.ok() || Fail(where.Path(), s);
}

// The input has not changed since it was opened.
bool Transfer::Unchanged(InputFile& in) {
  FileIdentity now;
  const Status s = in.file->Identify(&now);
  if (!s.ok()) return Fail(in.where->Path(), s);
  return SameVersion(now, in.version) ||
         Fail(in.where->Path(), Failed(Step::kRead, Reason::kChanged));
}

// No output may replace an input, through a link or a second name of it; and
// none may replace anything where existing files are kept, checked for every
// output before the first is written.
bool Transfer::OutputsMayBeWritten(const std::vector<const Location*>& outputs,
                                   const std::vector<const InputFile*>& inputs) {
  std::vector<std::string> existing;
  for (const Location* out : outputs) {
    Folder* folder = FolderOf(out->folder);
    if (folder == nullptr) return false;
    FileIdentity there;
    bool exists = false;
    const Status s = folder->Lookup(out->name, &there, &exists);
    if (!s.ok()) return Fail(out->Path(), s);
    for (const InputFile* in : inputs)
      if (exists && SameFile(there, in->version))
        return Fail(out->Path(), Failed(Step::kNone, Reason::kInputItself));
    if (exists && keepExisting_) existing.push_back(out->Path());
  }
  if (existing.empty()) return true;
  Fail(existing[0], Failed(Step::kNone, Reason::kExists));
  stop_.more.assign(existing.begin() + 1, existing.end());
  return false;
}

// A new file is made in its folder: a failure there is the folder's, unless
// it is the refusal of an earlier file the user may not write.
bool Transfer::Create(const Location& where, std::unique_ptr<Output>& out) {
  Folder* folder = FolderOf(where.folder);
  if (folder == nullptr) return false;
  const Status s = folder->CreateOutput(
      where.name, keepExisting_ ? Folder::Existing::kKeep : Folder::Existing::kReplace,
      &out);
  if (s.ok()) return true;
  return Fail(s.step == Step::kCreate ? FolderName(where.folder) : where.Path(), s);
}

bool Transfer::Write(const Location& where, Output& out, const void* data,
                     uint32_t n) {
  const Status s = out.Write(data, n);
  return s.ok() || Fail(where.Path(), s);
}

// Copies `length` bytes from `offset` of the container; the part that lies
// past its end is written as zeros.
bool Transfer::CopyPadded(InputFile& in, uint32_t offset, uint32_t length,
                          const Location& where, Output& out) {
  uint64_t copied = 0;
  const Status s = out.CopyRange(*in.file, offset, length, &copied);
  if (!s.ok())
    return Fail(s.step == Step::kRead ? in.where->Path() : where.Path(), s);
  if (copied == length) return true;
  MemberBuffer zeros(length - copied);
  if (!zeros.data)
    return Fail(where.Path(), Failed(Step::kWrite, Reason::kNoMemory));
  std::memset(zeros.data.get(), 0, zeros.length);
  for (uint64_t left = length - copied; left > 0;) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, zeros.length));
    if (!Write(where, out, zeros.data.get(), n)) return false;
    left -= n;
  }
  return true;
}

// Copies a whole join input, which must hold exactly the bytes its size said.
bool Transfer::CopyWhole(InputFile& in, const Location& where, Output& out) {
  const uint64_t size = in.version.size;
  uint64_t copied = 0;
  Status s = out.CopyRange(*in.file, 0, size, &copied);
  if (!s.ok())
    return Fail(s.step == Step::kRead ? in.where->Path() : where.Path(), s);
  uint8_t extra = 0;
  uint32_t more = 0;
  if (copied == size) s = in.file->ReadAt(size, &extra, 1, &more);
  if (!s.ok()) return Fail(in.where->Path(), s);
  if (copied != size || more != 0)
    return Fail(in.where->Path(), Failed(Step::kRead, Reason::kChanged));
  return Unchanged(in);
}

bool Transfer::Prepare(const Location& where, Output& out) {
  const Status s = out.Prepare();
  return s.ok() || Fail(where.Path(), s);
}

// A failure to record the entry is the folder's, or names the scratch file it
// left; any other, the file's.
bool Transfer::Publish(const Location& where, Output& out) {
  const Status s = out.Publish();
  if (s.ok()) return true;
  if (!out.Leftover().empty()) return Fail(where.folder + out.Leftover(), s);
  return Fail(s.step == Step::kSync ? FolderName(where.folder) : where.Path(), s);
}

bool Transfer::SplitMember(InputFile& in, uint32_t offset, uint32_t length,
                           const Location& where, Output& out) {
  // The member must come from the very version whose header was read, even if
  // another program saves over the container meanwhile.
  return CopyPadded(in, offset, length, where, out) && Unchanged(in);
}

DropResult Transfer::Split(const SplitPlan& plan) {
  InputFile in;
  if (!Open(plan.container, in)) return Stopped();
  Recognition found;
  const Status s = RecognizeContainer(*in.file, &found);
  if (!s.ok()) {
    Fail(plan.container.Path(), s);
    return Stopped();
  }
  // A file too short for its member table is as unreadable as a bad signature.
  if (!found.container()) return DropResult::Refused();
  const ContainerHeader& h = found.header;
  // Both outputs are made, written and made ready before either is placed,
  // so that whatever can be known before placing (what stands at either name,
  // a failure in reading, writing, permissions or flushing) stops the split
  // with nothing placed; only the last placing itself can fail after the first.
  std::unique_ptr<Output> image, text;
  const bool ok = OutputsMayBeWritten({&plan.image, &plan.text}, {&in}) &&
                  Create(plan.image, image) && Create(plan.text, text) &&
                  SplitMember(in, h.imageOffset, h.imageSize, plan.image, *image) &&
                  SplitMember(in, h.textOffset, h.textSize, plan.text, *text) &&
                  Prepare(plan.image, *image) && Prepare(plan.text, *text) &&
                  Publish(plan.image, *image) && Publish(plan.text, *text);
  return ok ? DropResult::Completed() : Stopped();
}

DropResult Transfer::Join(const JoinPlan& plan) {
  InputFile image, text;
  for (auto* in : {&image, &text}) {
    const Location& where = in == &image ? plan.image : plan.text;
    if (!Open(where, *in)) return Stopped();
    const uint64_t limit = in == &image ? kLargestImage : UINT32_MAX;
    if (in->version.size > limit) {
      Fail(where.Path(), Failed(Step::kNone, Reason::kTooLarge));
      return Stopped();
    }
  }
  uint8_t head[kHeaderSize];
  EncodeHeader(HeaderFor(static_cast<uint32_t>(image.version.size),
                         static_cast<uint32_t>(text.version.size)),
               head);
  std::unique_ptr<Output> out;
  const bool ok = OutputsMayBeWritten({&plan.container}, {&image, &text}) &&
                  Create(plan.container, out) &&
                  Write(plan.container, *out, head, kHeaderSize) &&
                  CopyWhole(image, plan.container, *out) &&
                  CopyWhole(text, plan.container, *out) &&
                  Publish(plan.container, *out);
  return ok ? DropResult::Completed() : Stopped();
}

}  // namespace

DropResult SplitContainer(const SplitPlan& plan, Platform& platform,
                          const DropOptions& options) {
  return Transfer(platform, options).Split(plan);
}

DropResult JoinContainer(const JoinPlan& plan, Platform& platform,
                         const DropOptions& options) {
  return Transfer(platform, options).Join(plan);
}

}  // namespace tarnvell

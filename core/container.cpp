#include "core/container.h"

#include <cstring>

namespace tarnvell {

const char kSignature[12] = {'E', 'l', 'e', 'c', 'b', 'y', 't', 'e', 'F', 'n', 't', '\0'};

namespace {

// The largest image whose text member still starts at a 32-bit offset.
constexpr uint32_t kLargestImage = UINT32_MAX - kHeaderSize;

uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

DropResult Stopped(const std::string& file, const std::string& reason) {
  DropResult r;
  r.outcome = Outcome::kStopped;
  r.file = file;
  r.reason = reason;
  return r;
}

DropResult Completed() {
  DropResult r;
  r.outcome = Outcome::kCompleted;
  return r;
}

DropResult Refused() { return DropResult(); }

const char kChanged[] = "the file changed while it was being read";

// One run of bytes of an output file.
struct Piece {
  const void* data;
  uint32_t length;
};

// Writes the pieces to a scratch file beside `name` and moves it into place
// only when all of it is written and flushed, taking over the permissions and
// owner of the file it replaces, so a failure never leaves a partial file
// under the final name nor harms an earlier file of that name.
bool WriteOutput(Platform& platform, const std::string& dir,
                 const std::string& name, const Piece* pieces, int count,
                 DropResult* failure) {
  std::string temp;
  File* out = platform.CreateTemp(name.c_str(), &temp);
  if (out == nullptr) {
    *failure = Stopped(dir + name, platform.LastError());
    return false;
  }
  bool written = true;
  for (int i = 0; i < count && written; ++i)
    written = platform.Write(out, pieces[i].data, pieces[i].length);
  written = written && platform.Adopt(out, name.c_str());
  if (!written) *failure = Stopped(dir + name, platform.LastError());
  bool closed = platform.Close(out);
  if (written && !closed) {
    written = false;
    *failure = Stopped(dir + name, platform.LastError());
  }
  if (written && !platform.Commit(temp.c_str(), name.c_str())) {
    written = false;
    *failure = Stopped(dir + name, platform.LastError());
  }
  if (!written) {
    platform.Discard(temp.c_str());
    return false;
  }
  // Once the folder is flushed, a power cut can no longer bring back the file
  // that was replaced.
  if (platform.SyncDir()) return true;
  *failure = Stopped(dir, platform.LastError());
  return false;
}

// Makes the naming path's folder current so outputs created by bare name land
// beside it. A path with no folder part is relative to the current folder.
bool PlaceOutputs(Platform& platform, const std::string& dir,
                  DropResult* failure) {
  if (dir.empty() || platform.SetCurrentDir(dir.c_str())) return true;
  *failure = Stopped(dir, platform.LastError());
  return false;
}

// Refuses to write where a name already stands for one of the inputs (through
// a link or a second name), which would replace the input by its own output.
bool NotOverInputs(Platform& platform, const std::string& dir,
                   const std::string* names, int nameCount,
                   const FileIdentity* inputs, int inputCount,
                   DropResult* failure) {
  for (int i = 0; i < nameCount; ++i) {
    FileIdentity there;
    bool exists = false;
    if (!platform.IdentifyName(names[i].c_str(), &there, &exists)) {
      *failure = Stopped(dir + names[i], platform.LastError());
      return false;
    }
    for (int j = 0; exists && j < inputCount; ++j) {
      if (SameFile(there, inputs[j])) {
        *failure = Stopped(dir + names[i], "is the input itself");
        return false;
      }
    }
  }
  return true;
}

MemberBuffer AllocMember(Platform& platform, uint32_t length) {
  MemberBuffer m;
  m.data = static_cast<uint8_t*>(platform.Alloc(length));
  m.length = m.data != nullptr ? length : 0;
  return m;
}

std::string CannotAllocate(uint32_t length) {
  return "cannot allocate " + std::to_string(length) + " bytes";
}

// Opens an input by its full path, recording why when it cannot be opened.
File* OpenInput(Platform& platform, const std::string& path,
                DropResult* failure) {
  File* in = platform.OpenRead(path.c_str());
  if (in == nullptr) *failure = Stopped(path, platform.LastError());
  return in;
}

// Closes an input; a failing close is the failure unless one came before.
bool CloseInput(Platform& platform, File* in, bool ok, const std::string& path,
                DropResult* failure) {
  if (platform.Close(in) || !ok) return ok;
  *failure = Stopped(path, platform.LastError());
  return false;
}

// Reads `length` bytes at `offset` of the open container into a zero-filled
// buffer (bytes the container does not have stay zero), then makes sure the
// container is still the version whose header was read.
bool ReadMember(Platform& platform, File* in, const std::string& path,
                const FileIdentity& version, uint32_t offset,
                MemberBuffer* member, DropResult* failure) {
  uint32_t delivered = 0;
  FileIdentity now;
  if (!platform.Seek(in, offset) ||
      !platform.Read(in, member->data, member->length, &delivered) ||
      !platform.Identify(in, &now)) {
    *failure = Stopped(path, platform.LastError());
    return false;
  }
  if (SameVersion(now, version)) return true;
  *failure = Stopped(path, kChanged);
  return false;
}

// Copies one member of the open container to its output file.
bool SplitMember(Platform& platform, File* in, const std::string& path,
                 const FileIdentity& version, uint32_t offset, uint32_t length,
                 const std::string& dir, const std::string& name,
                 DropResult* failure) {
  MemberBuffer member = AllocMember(platform, length);
  if (member.data == nullptr) {
    *failure = Stopped(dir + name, CannotAllocate(length));
    return false;
  }
  Piece piece = {member.data, member.length};
  bool ok = ReadMember(platform, in, path, version, offset, &member, failure) &&
            WriteOutput(platform, dir, name, &piece, 1, failure);
  platform.Free(member.data);
  return ok;
}

// Reads a whole join input into a fresh buffer; an input that is longer or
// shorter than its size said was being changed meanwhile.
bool ReadInput(Platform& platform, const std::string& path, uint32_t limit,
               MemberBuffer* member, FileIdentity* identity,
               DropResult* failure) {
  File* in = OpenInput(platform, path, failure);
  if (in == nullptr) return false;
  bool ok = platform.Identify(in, identity);
  if (!ok) {
    *failure = Stopped(path, platform.LastError());
  } else if (identity->size > limit) {
    ok = false;
    *failure = Stopped(path, "too large for a container member");
  } else {
    *member = AllocMember(platform, static_cast<uint32_t>(identity->size));
    if (member->data == nullptr) {
      ok = false;
      *failure = Stopped(path, CannotAllocate(static_cast<uint32_t>(identity->size)));
    }
  }
  uint32_t delivered = 0, more = 0;
  uint8_t extra = 0;
  if (ok && (!platform.Read(in, member->data, member->length, &delivered) ||
             !platform.Read(in, &extra, 1, &more))) {
    ok = false;
    *failure = Stopped(path, platform.LastError());
  } else if (ok && (delivered != member->length || more != 0)) {
    ok = false;
    *failure = Stopped(path, kChanged);
  }
  return CloseInput(platform, in, ok, path, failure);
}

enum class Kind { kNone, kImage, kText };

Kind KindOf(const std::string& path) {
  if (HasExtension(path, ".pcx")) return Kind::kImage;
  if (HasExtension(path, ".txt")) return Kind::kText;
  return Kind::kNone;
}

}  // namespace

bool SignatureMatches(const uint8_t* bytes) {
  return EqualsIgnoringCase(reinterpret_cast<const char*>(bytes), kSignature,
                            sizeof kSignature);
}

ContainerHeader DecodeHeader(const uint8_t* bytes) {
  ContainerHeader h = {};
  std::memcpy(h.signature, bytes, sizeof h.signature);
  h.formatWord = LoadLe32(bytes + 12);
  h.imageOffset = LoadLe32(bytes + 16);
  h.imageSize = LoadLe32(bytes + 20);
  h.textOffset = LoadLe32(bytes + 24);
  h.textSize = LoadLe32(bytes + 28);
  return h;
}

ContainerHeader HeaderFor(uint32_t imageSize, uint32_t textSize) {
  ContainerHeader h = {};
  std::memcpy(h.signature, kSignature, sizeof kSignature);
  h.formatWord = kFormatWord;
  h.imageOffset = kHeaderSize;
  h.imageSize = imageSize;
  h.textOffset = kHeaderSize + imageSize;
  h.textSize = textSize;
  return h;
}

void EncodeHeader(const ContainerHeader& header, uint8_t out[kHeaderSize]) {
  std::memcpy(out, header.signature, sizeof header.signature);
  StoreLe32(out + 12, header.formatWord);
  StoreLe32(out + 16, header.imageOffset);
  StoreLe32(out + 20, header.imageSize);
  StoreLe32(out + 24, header.textOffset);
  StoreLe32(out + 28, header.textSize);
  std::memcpy(out + 32, header.reserved, sizeof header.reserved);
}

DropResult SplitContainer(const std::string& path, MessageSink& sink,
                          Platform& platform) {
  DropResult failure;
  // One handle serves the whole split, so both members come from the very
  // file whose header was read, even if another program saves over it.
  File* in = OpenInput(platform, path, &failure);
  if (in == nullptr) return failure;
  FileIdentity version;
  // A short file reads as if padded with zeros.
  uint8_t head[kMemberTableEnd] = {};
  uint32_t delivered = 0;
  bool read = platform.Identify(in, &version) &&
              platform.Read(in, head, sizeof head, &delivered);
  if (!read) failure = Stopped(path, platform.LastError());
  // A file too short for its member table is as unreadable as a bad signature.
  if (!read || !SignatureMatches(head) || delivered < kMemberTableEnd) {
    if (!CloseInput(platform, in, read, path, &failure)) return failure;
    ShowNotice(sink, Notice::kReadError);
    return Refused();
  }
  ContainerHeader header = DecodeHeader(head);

  const PathRules rules = platform.Rules();
  const std::string dir = DirectoryPart(path, rules);
  const std::string base = BaseName(FileNamePart(path, rules));
  const std::string names[2] = {base + ".pcx", base + ".txt"};
  bool ok = PlaceOutputs(platform, dir, &failure) &&
            NotOverInputs(platform, dir, names, 2, &version, 1, &failure) &&
            SplitMember(platform, in, path, version, header.imageOffset,
                        header.imageSize, dir, names[0], &failure) &&
            SplitMember(platform, in, path, version, header.textOffset,
                        header.textSize, dir, names[1], &failure);
  if (!CloseInput(platform, in, ok, path, &failure)) return failure;
  ShowNotice(sink, Notice::kSplitDone);
  return Completed();
}

DropResult JoinContainer(const std::string& path0, const std::string& path1,
                         MessageSink& sink, Platform& platform) {
  const std::string* paths[2] = {&path0, &path1};
  const Kind kinds[2] = {KindOf(path0), KindOf(path1)};
  // Only one image and one text make a container; anything else is refused
  // before a file is read, so no dropped file can be replaced by the output.
  if (kinds[0] == Kind::kNone) ShowNotice(sink, Notice::kCannotHandle);
  if (kinds[1] == Kind::kNone) ShowNotice(sink, Notice::kCannotHandle);
  if (kinds[0] == Kind::kNone || kinds[1] == Kind::kNone) return Refused();
  if (kinds[0] == kinds[1]) {
    ShowNotice(sink, Notice::kNotContainer);
    return Refused();
  }

  MemberBuffer image, text;
  FileIdentity inputs[2];
  DropResult failure;
  bool ok = true;
  for (int i = 0; i < 2 && ok; ++i) {
    bool isImage = kinds[i] == Kind::kImage;
    ok = ReadInput(platform, *paths[i], isImage ? kLargestImage : UINT32_MAX,
                   isImage ? &image : &text, &inputs[i], &failure);
  }
  if (ok) {
    const PathRules rules = platform.Rules();
    const std::string dir = DirectoryPart(path1, rules);
    const std::string name = BaseName(FileNamePart(path1, rules)) + ".fnt";
    uint8_t head[kHeaderSize];
    EncodeHeader(HeaderFor(image.length, text.length), head);
    const Piece pieces[3] = {
        {head, kHeaderSize}, {image.data, image.length}, {text.data, text.length}};
    ok = PlaceOutputs(platform, dir, &failure) &&
         NotOverInputs(platform, dir, &name, 1, inputs, 2, &failure) &&
         WriteOutput(platform, dir, name, pieces, 3, &failure);
  }
  if (image.data != nullptr) platform.Free(image.data);
  if (text.data != nullptr) platform.Free(text.data);
  if (!ok) return failure;
  ShowNotice(sink, Notice::kJoinDone);
  return Completed();
}

}  // namespace tarnvell

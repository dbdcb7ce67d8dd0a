#include "core/inspect.h"

#include <algorithm>
#include <memory>

#include "core/copy.h"
#include "core/layout.h"

namespace tarnvell {
namespace {

constexpr uint32_t kPcxHeaderSize = 128;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The PCX header in the first 128 bytes, or none when they hold none.
std::optional<PcxHeader> ReadPcxHeader(const uint8_t* h) {
  const uint16_t xMin = Le16(h + 4), yMin = Le16(h + 6);
  const uint16_t xMax = Le16(h + 8), yMax = Le16(h + 10);
  const uint8_t version = h[1], encoding = h[2], bits = h[3], planes = h[65];
  const bool known = h[0] == 0x0A && (version == 0 || (version >= 2 && version <= 5)) &&
                     encoding <= 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8) &&
                     planes >= 1 && planes <= 4 && xMax >= xMin && yMax >= yMin;
  if (!known) return std::nullopt;
  return PcxHeader{version, encoding == 1, bits, planes,
                   uint32_t{xMax} - xMin + 1, uint32_t{yMax} - yMin + 1};
}

// Sorts a text fed to it piece by piece and counts its lines, with a few
// bytes of state whatever the text's length. A text is UTF-8 before CP932
// when it is both.
class TextScanner {
 public:
  void Feed(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) Take(bytes[i]);
  }

  TextKind Kind() const {
    if (size_ == 0) return TextKind::kEmpty;
    if (controls_) return TextKind::kOther;
    if (ascii_) return TextKind::kAscii;
    if (utf8_ && utf8Left_ == 0) return TextKind::kUtf8;
    if (cp932_ && !cp932Trail_) return TextKind::kCp932;
    return TextKind::kOther;
  }

  uint64_t Lines() const { return newlines_ + (size_ > 0 && last_ != '\n'); }

 private:
  void Take(uint8_t c) {
    ++size_;
    last_ = c;
    if (c == '\n') ++newlines_;
    // Tab, line ends, form feed and the old end-of-file mark are text.
    if ((c < 0x20 && !(c >= '\t' && c <= '\r') && c != 0x1A) || c == 0x7F)
      controls_ = true;
    if (c >= 0x80) ascii_ = false;
    TakeUtf8(c);
    TakeCp932(c);
  }

  // Well-formed UTF-8: no overlong forms, surrogates or code points past
  // U+10FFFF.
  void TakeUtf8(uint8_t c) {
    if (utf8Left_ > 0) {
      utf8_ = utf8_ && c >= utf8Low_ && c <= utf8High_;
      --utf8Left_;
      utf8Low_ = 0x80;
      utf8High_ = 0xBF;
      return;
    }
    if (c < 0x80) return;
    if (c >= 0xC2 && c <= 0xDF) {
      utf8Left_ = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      utf8Left_ = 2;
      if (c == 0xE0) utf8Low_ = 0xA0;
      if (c == 0xED) utf8High_ = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      utf8Left_ = 3;
      if (c == 0xF0) utf8Low_ = 0x90;
      if (c == 0xF4) utf8High_ = 0x8F;
    } else {
      utf8_ = false;
    }
  }

  // CP932: ASCII, half-width katakana (A1-DF), or a lead byte (81-9F, E0-FC)
  // and a trail byte (40-7E, 80-FC).
  void TakeCp932(uint8_t c) {
    if (cp932Trail_) {
      cp932_ = cp932_ && c >= 0x40 && c <= 0xFC && c != 0x7F;
      cp932Trail_ = false;
    } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      cp932Trail_ = true;
    } else if (c >= 0x80 && !(c >= 0xA1 && c <= 0xDF)) {
      cp932_ = false;
    }
  }

  uint64_t size_ = 0, newlines_ = 0;
  uint8_t last_ = 0;
  bool controls_ = false;  // control bytes no text holds (NUL and the like)
  bool ascii_ = true, utf8_ = true, cp932_ = true;
  uint8_t utf8Left_ = 0;  // continuation bytes still due
  uint8_t utf8Low_ = 0x80, utf8High_ = 0xBF;  // the range of the next one
  bool cp932Trail_ = false;                   // a trail byte is due
};

// The bytes of a member that lie within the file.
uint64_t Present(uint32_t offset, uint32_t length, uint64_t size) {
  return offset >= size ? 0 : std::min<uint64_t>(length, size - offset);
}

// The length of [begin, end), and of what it shares with [lo, hi).
uint64_t Span(uint64_t begin, uint64_t end) { return end > begin ? end - begin : 0; }
uint64_t Shared(uint64_t begin, uint64_t end, uint64_t lo, uint64_t hi) {
  return Span(std::max(begin, lo), std::min(end, hi));
}
uint64_t End(const MemberView& m) { return uint64_t{m.offset} + m.length; }

void Place(MemberView& m, uint32_t offset, uint32_t length, uint64_t size) {
  m.offset = offset;
  m.length = length;
  m.pastEnd = static_cast<uint32_t>(length - Present(offset, length, size));
}

// The bytes after the header that neither member covers.
uint64_t Uncovered(const MemberView& a, const MemberView& b, uint64_t size) {
  if (size <= kHeaderSize) return 0;
  const uint64_t aBegin = std::max<uint64_t>(a.offset, kHeaderSize);
  const uint64_t bBegin = std::max<uint64_t>(b.offset, kHeaderSize);
  const uint64_t aEnd = std::min(End(a), size), bEnd = std::min(End(b), size);
  const uint64_t covered =
      Span(aBegin, aEnd) + Span(bBegin, bEnd) - Shared(aBegin, aEnd, bBegin, bEnd);
  return size - kHeaderSize - covered;
}

void FindProblems(Inspection& r) {
  const MemberView& image = r.image;
  const MemberView& text = r.text;
  if (image.pastEnd > 0) r.problems.push_back(Problem::kImagePastEnd);
  if (text.pastEnd > 0) r.problems.push_back(Problem::kTextPastEnd);
  if (image.length > 0 && image.offset < kHeaderSize)
    r.problems.push_back(Problem::kImageOverlapsHeader);
  if (text.length > 0 && text.offset < kHeaderSize)
    r.problems.push_back(Problem::kTextOverlapsHeader);
  if (Shared(image.offset, End(image), text.offset, End(text)) > 0)
    r.problems.push_back(Problem::kMembersOverlap);
  if (!r.pcx) r.problems.push_back(Problem::kNotPcx);
}

// The image's PCX header, as a split would write it: bytes past the end of
// the file read as zeros.
Status ReadImage(Input& in, Inspection& r) {
  if (r.image.length < kPcxHeaderSize) return Ok();
  uint8_t header[kPcxHeaderSize] = {};
  const uint32_t want = static_cast<uint32_t>(
      std::min<uint64_t>(kPcxHeaderSize, Present(r.image.offset, r.image.length, r.size)));
  uint32_t got = 0;
  const Status s = in.ReadAt(r.image.offset, header, want, &got);
  if (!s.ok()) return s;
  if (got < want) return Failed(Step::kRead, Reason::kChanged);
  r.pcx = ReadPcxHeader(header);
  return Ok();
}

// The text's bytes within the file, a piece at a time.
Status ReadText(Input& in, Inspection& r) {
  const uint64_t present = Present(r.text.offset, r.text.length, r.size);
  TextScanner scanner;
  uint64_t done = 0;
  const Status s = ReadInPieces(in, r.text.offset, present,
                                [&scanner](const uint8_t* piece, uint32_t size) {
                                  scanner.Feed(piece, size);
                                  return Ok();
                                },
                                &done);
  if (!s.ok()) return s;
  if (done < present) return Failed(Step::kRead, Reason::kChanged);
  r.textKind = scanner.Kind();
  r.lines = scanner.Lines();
  return Ok();
}

// The header, then the members; the problems once all is known.
Status Read(Input& in, Inspection& r) {
  Recognition found;
  Status s = RecognizeContainer(in, &found);
  if (!s.ok()) return s;
  if (!found.signature) r.problems.push_back(Problem::kBadSignature);
  if (!found.wholeTable) r.problems.push_back(Problem::kShortHeader);
  if (!found.container()) return Ok();
  r.container = true;
  const ContainerHeader& h = found.header;
  Place(r.image, h.imageOffset, h.imageSize, r.size);
  Place(r.text, h.textOffset, h.textSize, r.size);
  r.uncovered = Uncovered(r.image, r.text, r.size);
  s = ReadImage(in, r);
  if (s.ok()) s = ReadText(in, r);
  if (s.ok()) FindProblems(r);
  return s;
}

}  // namespace

Inspection InspectContainer(const std::string& path, Platform& platform,
                            const DropOptions& options) {
  Inspection r;
  r.file = path;
  const PathRules rules = platform.Rules();
  const Plan plan = PlanDrop(DropList{{path}}, rules, options);
  if (const auto* split = std::get_if<SplitPlan>(&plan)) {
    r.image.output = split->image;
    r.text.output = split->text;
  }
  // The folder first: the input is closed before it.
  std::unique_ptr<Folder> folder;
  std::unique_ptr<Input> in;
  FileIdentity identity;
  Status s = platform.OpenFolder(DirectoryPart(path, rules), &folder);
  // A path that ends in its separator ("sub/", "/") names the folder itself.
  if (s.ok() && !path.empty() && FileNamePart(path, rules).empty())
    s = Failed(Step::kOpen, std::make_error_code(std::errc::is_a_directory));
  if (s.ok()) s = folder->OpenInput(FileNamePart(path, rules), &in);
  if (s.ok()) s = in->Identify(&identity);
  r.size = identity.size;
  if (s.ok()) s = Read(*in, r);
  r.status = s;
  return r;
}

}  // namespace tarnvell

#include "command/report.h"

#include "core/outcome.h"
#include "language/text.h"

namespace tarnvell {
namespace {

std::string Number(uint64_t n) { return std::to_string(n); }

// Each value's key in JSON and its text (in English, translated where shown),
// in the order of its enum.
struct Name {
  const char* key;
  const char* text;
};

const Name kProblems[] = {
    {"bad_signature", "bad signature"},
    {"short_header", "the header is shorter than its member table"},
    {"image_past_end", "the image member runs past the end of the file"},
    {"text_past_end", "the text member runs past the end of the file"},
    {"image_overlaps_header", "the image member overlaps the header"},
    {"text_overlaps_header", "the text member overlaps the header"},
    {"members_overlap", "the members overlap each other"},
    {"not_pcx", "the image member has no PCX header"},
};
static_assert(sizeof kProblems / sizeof kProblems[0] ==
                  static_cast<size_t>(Problem::kNotPcx) + 1,
              "one name for each problem");

const Name kTextKinds[] = {
    {"empty", "empty"}, {"ascii", "ASCII"}, {"utf-8", "UTF-8"},
    {"cp932", "CP932"}, {"other", "other bytes"},
};
static_assert(sizeof kTextKinds / sizeof kTextKinds[0] ==
                  static_cast<size_t>(TextKind::kOther) + 1,
              "one name for each kind of text");

const char* ProblemText(Problem p) { return kProblems[static_cast<size_t>(p)].text; }
const char* ProblemKey(Problem p) { return kProblems[static_cast<size_t>(p)].key; }
const char* KindText(TextKind k) { return kTextKinds[static_cast<size_t>(k)].text; }
const char* KindKey(TextKind k) { return kTextKinds[static_cast<size_t>(k)].key; }

// The problems in the user's language, one after the other.
std::string Problems(const Inspection& r, const Texts& texts) {
  std::string out;
  for (Problem p : r.problems) out += (out.empty() ? "" : "; ") + std::string(texts(ProblemText(p)));
  return out;
}

// A member's lines of a --list block: where a split writes it, where it lies.
std::string MemberLines(const char* what, const MemberView& m,
                        const Texts& texts) {
  std::string out = "  " + std::string(texts(what));
  if (m.output) out += " -> " + Printable(m.output->Path());
  out += "\n    " + Fill(texts("offset %s, length %s"), {Number(m.offset), Number(m.length)});
  if (m.pastEnd > 0)
    out += Fill(texts(", past the end of the file: %s (a split writes zeros)"),
                {Number(m.pastEnd)});
  return out + "\n";
}

std::string PcxLine(const Inspection& r, const Texts& texts) {
  if (!r.pcx) return std::string("    ") + texts("no PCX header") + "\n";
  const PcxHeader& h = *r.pcx;
  return "    " +
         Fill(texts("PCX: %s x %s pixels, bits per pixel: %s, planes: %s, version %s, %s"),
              {Number(h.width), Number(h.height), Number(h.bitsPerPixel),
               Number(h.planes), Number(h.version),
               texts(h.runLength ? "run-length encoded" : "not encoded")}) +
         "\n";
}

std::string Quoted(const std::string& s) { return JsonString(s); }

std::string JsonMember(const char* kind, const MemberView& m, const std::string& details) {
  return std::string("      {\"kind\": \"") + kind + "\", \"name\": " +
         (m.output ? Quoted(m.output->Path()) : "null") +
         ", \"offset\": " + Number(m.offset) + ", \"length\": " + Number(m.length) +
         ", \"past_end\": " + Number(m.pastEnd) + ", " + details + "}";
}

std::string JsonPcx(const Inspection& r) {
  if (!r.pcx) return "\"pcx\": null";
  const PcxHeader& h = *r.pcx;
  return "\"pcx\": {\"width\": " + Number(h.width) + ", \"height\": " + Number(h.height) +
         ", \"bits_per_pixel\": " + Number(h.bitsPerPixel) + ", \"planes\": " +
         Number(h.planes) + ", \"version\": " + Number(h.version) +
         ", \"run_length_encoded\": " + (h.runLength ? "true" : "false") + "}";
}

std::string JsonFile(const Inspection& r) {
  std::string problems;
  if (!r.status.ok()) problems = "\"unreadable\"";
  for (Problem p : r.problems)
    problems += (problems.empty() ? "\"" : ", \"") + std::string(ProblemKey(p)) + "\"";
  std::string members;
  if (r.container && r.status.ok())
    members = "\n" + JsonMember("image", r.image, JsonPcx(r)) + ",\n" +
              JsonMember("text", r.text,
                         "\"lines\": " + Number(r.lines) + ", \"looks_like\": \"" +
                             KindKey(r.textKind) + "\"") +
              "\n    ";
  const bool read = r.status.ok();
  const std::string error = read ? "null" : Quoted(FailureText(r.status));
  return "  {\n    \"file\": " + Quoted(r.file) + ",\n    \"ok\": " +
         (r.ok() ? "true" : "false") + ",\n    \"error\": " + error +
         ",\n    \"problems\": [" + problems + "],\n    \"size\": " +
         (read ? Number(r.size) : "null") + ",\n    \"container\": " +
         (r.container && read ? "true" : "false") + ",\n    \"uncovered_bytes\": " +
         Number(r.uncovered) + ",\n    \"members\": [" + members + "]\n  }";
}

}  // namespace

std::string ReadFailure(const Inspection& r, const Texts& texts) {
  return StopMessage(Stop{r.status, r.file}, Printable(r.file), texts);
}

std::string ListBlock(const Inspection& r, const Texts& texts) {
  const std::string file = Printable(r.file);
  if (!r.status.ok()) return "";
  if (!r.container)
    return Fill(texts("%s: not a font container: %s"), {file, Problems(r, texts)}) + "\n";
  std::string out = Fill(texts("%s: font container, size %s"), {file, Number(r.size)}) + "\n";
  out += MemberLines("image member", r.image, texts) + PcxLine(r, texts);
  out += MemberLines("text member", r.text, texts) + "    " +
         Fill(texts("lines: %s, %s"), {Number(r.lines), texts(KindText(r.textKind))}) + "\n";
  if (r.uncovered > 0)
    out += "  " + Fill(texts("bytes that no member covers: %s"), {Number(r.uncovered)}) + "\n";
  for (Problem p : r.problems)
    out += "  " + Fill(texts("problem: %s"), {texts(ProblemText(p))}) + "\n";
  return out;
}

std::string TestLine(const Inspection& r, const Texts& texts) {
  if (!r.status.ok()) return ReadFailure(r, texts) + "\n";
  // "FILE: OK" in every language, as scripts match it.
  if (r.ok()) return Printable(r.file) + ": OK\n";
  return Printable(r.file) + ": " + Problems(r, texts) + "\n";
}

std::string JsonReport(const Inspection& inspection, size_t index) {
  return (index == 0 ? "[\n" : ",\n") + JsonFile(inspection);
}

std::string JsonEnd(size_t count) { return count == 0 ? "[]\n" : "\n]\n"; }

}  // namespace tarnvell

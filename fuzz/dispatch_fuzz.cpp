// Arbitrary drops of up to four path byte strings, under Windows and POSIX
// path rules, through the drop handler inside a scratch folder: only the six
// notices appear, a stop says on what and why, and nothing outside the folder
// is created or changed.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/drop.h"
#include "fuzz/fuzz_support.h"
#include "platform/posix_platform.h"
#include "tests/support.h"

using fuzzing::Check;
using tarnvell::Status;
using tarnvell::Step;

namespace {

Status Outside(Step step) { return tarnvell::FailedErrno(step, EACCES); }

// A folder of the jail: a name that is not bare (under Windows rules one may
// hold a slash) could reach out of it and is refused; all else is passed on.
class JailFolder : public tarnvell::Folder {
 public:
  explicit JailFolder(std::unique_ptr<tarnvell::Folder> inner) : inner_(std::move(inner)) {}
  Status OpenInput(const std::string& name,
                   std::unique_ptr<tarnvell::Input>* input) override {
    return Bare(name) ? inner_->OpenInput(name, input) : Outside(Step::kOpen);
  }
  Status Lookup(const std::string& name, tarnvell::FileIdentity* identity,
                bool* exists) override {
    return Bare(name) ? inner_->Lookup(name, identity, exists) : Outside(Step::kOpen);
  }
  Status CreateOutput(const std::string& name, Existing existing,
                      std::unique_ptr<tarnvell::Output>* output) override {
    return Bare(name) ? inner_->CreateOutput(name, existing, output) : Outside(Step::kCreate);
  }

 private:
  static bool Bare(const std::string& name) { return name.find('/') == std::string::npos; }
  std::unique_ptr<tarnvell::Folder> inner_;
};

// The real platform, confined: a folder outside the jail is refused, so
// nothing can be read, created or replaced outside it. Every other call, and
// every failure, is the real platform's own.
class JailPlatform : public tarnvell::Platform {
 public:
  JailPlatform(const std::string& jail, bool windowsRules)
      : jail_(jail), windowsRules_(windowsRules) {}

  tarnvell::PathRules Rules() const override {
    return windowsRules_ ? tarnvell::PathRules{'\\'} : real_.Rules();
  }
  Status OpenFolder(const std::string& path,
                    std::unique_ptr<tarnvell::Folder>* folder) override {
    char resolved[PATH_MAX];
    if (realpath(path.empty() ? "." : path.c_str(), resolved) == nullptr)
      return tarnvell::FailedErrno(Step::kOpen, errno);
    const std::string r(resolved);
    if (r != jail_ && r.compare(0, jail_.size() + 1, jail_ + "/") != 0)
      return Outside(Step::kOpen);
    std::unique_ptr<tarnvell::Folder> inner;
    const Status s = real_.OpenFolder(path, &inner);
    if (s.ok()) folder->reset(new JailFolder(std::move(inner)));
    return s;
  }

 private:
  tarnvell::PosixPlatform real_;
  std::string jail_;
  bool windowsRules_;
};

std::string Container(const std::string& image, const std::string& text) {
  const uint32_t imageSize = static_cast<uint32_t>(image.size());
  return testing_support::Header(64, imageSize, 64 + imageSize,
                                 static_cast<uint32_t>(text.size())) +
         image + text;
}

void Put(const std::string& path, const std::string& bytes) {
  fuzzing::WriteBytes(path, bytes.data(), bytes.size());
}

// Files a fuzzed drop can name: plain ones, one in a subfolder, one whose
// CP932 name ends in the byte 0x5C, and a folder whose name ends in a
// backslash (a separator only under Windows rules).
void FillJail(const std::string& jail) {
  const std::string fnt = Container("IMAGE", "TEXT");
  Put(jail + "/a.fnt", fnt);
  Put(jail + "/a.pcx", "image");
  Put(jail + "/a.txt", "text");
  Put(jail + "/A.FNT", fnt);
  Put(jail + "/bad.fnt", "not a container");
  Put(jail + "/\x95\x5C.fnt", fnt);  // 表.fnt
  mkdir((jail + "/sub").c_str(), 0700);
  Put(jail + "/sub/b.fnt", fnt);
  Put(jail + "/sub/b.pcx", "image");
  Put(jail + "/sub/b.txt", "text");
  mkdir((jail + "/w\\").c_str(), 0700);
  Put(jail + "/w\\/k.fnt", fnt);
  Put(jail + "/w\\k.fnt", fnt);
}

// The files left beside the jail, which no drop may touch.
void FillSentinel(const std::string& sentinel) {
  Put(sentinel + "/s.fnt", Container("SENTINEL IMAGE", "SENTINEL TEXT"));
  Put(sentinel + "/s.pcx", "sentinel image");
  Put(sentinel + "/s.txt", "sentinel text");
}

bool SentinelIntact(const std::string& sentinel) {
  std::string fnt, pcx, txt;
  return fuzzing::List(sentinel) ==
             std::vector<std::string>({"s.fnt", "s.pcx", "s.txt"}) &&
         fuzzing::ReadBytes(sentinel + "/s.fnt", &fnt) &&
         fnt == Container("SENTINEL IMAGE", "SENTINEL TEXT") &&
         fuzzing::ReadBytes(sentinel + "/s.pcx", &pcx) && pcx == "sentinel image" &&
         fuzzing::ReadBytes(sentinel + "/s.txt", &txt) && txt == "sentinel text";
}

}  // namespace

// Input: one byte of flags (bit 0: Windows rules; bits 1-3: number of paths,
// 0 to 4; bit 4: leave the paths out of a drop of three or more), then per
// path a length byte and that many bytes. A leading '@' in a path stands for
// the jail's own folder and a slash, and '%' for the sentinel folder beside it
// and a slash; under Windows rules only a backslash in the rest then ends the
// folder part, as in "@w\k.fnt".
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool windowsRules = data[0] & 1;
  const uint32_t count = ((data[0] >> 1) & 7) % 5;

  const std::string base = fuzzing::ScratchBase();
  const std::string jail = base + "/jail", sentinel = base + "/sentinel";
  static bool sentinelMade = false;
  if (!sentinelMade) {
    fuzzing::ResetFolder(sentinel);
    FillSentinel(sentinel);
    sentinelMade = true;
  }
  fuzzing::ResetFolder(jail);
  FillJail(jail);

  tarnvell::DropList drop;
  size_t at = 1;
  for (uint32_t i = 0; i < count; ++i) {
    size_t length = at < size ? data[at++] : 0;
    if (length > size - at) length = size - at;
    std::string path(reinterpret_cast<const char*>(data) + at, length);
    at += length;
    if (!path.empty() && path[0] == '@') path = jail + "/" + path.substr(1);
    if (!path.empty() && path[0] == '%') path = sentinel + "/" + path.substr(1);
    drop.paths.push_back(path);
  }

  JailPlatform platform(jail, windowsRules);
  testing_support::RecordingSink sink;
  const tarnvell::DropResult result = tarnvell::HandleDrop(drop, sink, platform);
  const std::vector<int>& shown = sink.shown;

  for (int n : shown) Check(n >= 1 && n <= 6, "a notice outside the table was shown");
  Check(shown.size() <= 2, "a drop showed more than two notices");
  if (count != 1 && count != 2)
    Check(shown == std::vector<int>{6}, "a wrong count did not get notice 6 alone");
  if (count == 1 && !tarnvell::HasExtension(drop.paths[0], ".fnt"))
    Check(shown == std::vector<int>{3}, "a lone non-container did not get notice 3");
  Check(result.completed() == (shown == std::vector<int>{2} || shown == std::vector<int>{5}),
        "a completion notice does not match the outcome");
  if (result.kind() == tarnvell::DropResult::Kind::kStopped) {
    Check(shown.empty(), "a stopped drop showed a notice");
    Check(!result.stop().status.ok() && !result.stop().file.empty(), "a stop without its file or reason");
  }

  Check(fuzzing::List(base) == std::vector<std::string>({"jail", "sentinel"}),
        "something appeared beside the scratch folder");
  Check(SentinelIntact(sentinel), "a file outside the scratch folder changed");
  return 0;
}

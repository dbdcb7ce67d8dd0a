// Arbitrary container bytes through the split on a real folder, with outputs
// limited as on a small disk: no crash; a completed split leaves each
// member at exactly its declared size with the container's bytes (zeros past
// its end) from the declared offset; a stop leaves nothing partial behind.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tests/fault_platform.h"
#include "tests/support.h"

using fuzzing::Check;

namespace {

constexpr uint32_t kOutputLimit = 16u << 20;  // 16 MiB

uint32_t Word(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The output must be `length` bytes of the container from `offset`, zeros
// where the container has none.
void CheckMember(const std::string& path, const uint8_t* data, size_t size,
                 uint32_t offset, uint32_t length) {
  std::string out;
  Check(fuzzing::ReadBytes(path, &out), "a completed split lacks an output");
  Check(out.size() == length, "an output is not its declared size");
  const uint64_t present = offset < size ? size - offset : 0;
  const size_t copied = static_cast<size_t>(present < length ? present : length);
  Check(copied == 0 || std::memcmp(out.data(), data + offset, copied) == 0,
        "an output byte differs from the container");
  static const char kZeros[65536] = {};
  for (size_t at = copied; at < out.size(); at += sizeof kZeros) {
    size_t n = out.size() - at < sizeof kZeros ? out.size() - at : sizeof kZeros;
    Check(std::memcmp(out.data() + at, kZeros, n) == 0,
          "an output is not zero past the container's end");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string dir = fuzzing::ScratchBase() + "/split";
  fuzzing::ResetFolder(dir);
  const std::string fnt = dir + "/c.fnt";
  fuzzing::WriteBytes(fnt, data, size);

  tarnvell::FaultPlatform platform(testing_support::RealPlatform());
  platform.LimitOutputs(kOutputLimit);
  const testing_support::DropOutcome run = testing_support::DropFiles({fnt}, platform);
  const tarnvell::DropResult& result = run.result;

  std::string input;
  Check(fuzzing::ReadBytes(fnt, &input) &&
            input == std::string(reinterpret_cast<const char*>(data), size),
        "the container was changed");
  const std::vector<int>& shown = run.shown;
  const std::vector<std::string> names = fuzzing::List(dir);

  if (run.Ending() == "refused") {
    Check(shown == std::vector<int>{1}, "a bad header did not get notice 1");
    Check(names == std::vector<std::string>{"c.fnt"}, "a refused split wrote files");
    return 0;
  }
  Check(size >= 32, "a file shorter than its member table was not refused");
  const uint32_t imageOffset = Word(data + 16), imageSize = Word(data + 20);
  const uint32_t textOffset = Word(data + 24), textSize = Word(data + 28);
  const bool fits = imageSize <= kOutputLimit && textSize <= kOutputLimit;

  if (result.completed()) {
    Check(fits, "a member larger than the disk allows was written");
    Check(shown == std::vector<int>{2}, "a split did not end with notice 2");
    Check(names == std::vector<std::string>({"c.fnt", "c.pcx", "c.txt"}),
          "a completed split left other files");
    CheckMember(dir + "/c.pcx", data, size, imageOffset, imageSize);
    CheckMember(dir + "/c.txt", data, size, textOffset, textSize);
    return 0;
  }
  Check(result.kind() == tarnvell::DropResult::Kind::kStopped, "a good header was refused");
  Check(!fits, "a split that fits on the disk stopped");
  Check(shown.empty(), "a stopped split showed a notice");
  Check(result.stop().status.step == tarnvell::Step::kWrite, "a full disk stopped in another step");
  if (result.stop().file == dir + "/c.pcx")
    Check(imageSize > kOutputLimit, "the image stopped without cause");
  else
    Check(result.stop().file == dir + "/c.txt", "a stop names an unexpected file");
  // Nothing is placed before both members are whole.
  Check(names == std::vector<std::string>{"c.fnt"}, "a stop left an output");
  return 0;
}

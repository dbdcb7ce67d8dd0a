// Arbitrary image and text bytes, joined in either drop order and split back,
// must come out byte for byte, inside a container laid out as documented.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tests/support.h"

using fuzzing::Check;
using testing_support::DropFiles;

// Input: one byte of flags (bit 0: text first in the drop), two bytes of
// split point, then the image bytes followed by the text bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const bool textFirst = data[0] & 1;
  const size_t rest = size - 3;
  const size_t cut = (data[1] | data[2] << 8) % (rest + 1);
  const std::string image(reinterpret_cast<const char*>(data) + 3, cut);
  const std::string text(reinterpret_cast<const char*>(data) + 3 + cut, rest - cut);

  const std::string dir = fuzzing::ScratchBase() + "/roundtrip";
  fuzzing::ResetFolder(dir);
  fuzzing::WriteBytes(dir + "/i.pcx", image.data(), image.size());
  fuzzing::WriteBytes(dir + "/t.txt", text.data(), text.size());

  std::vector<std::string> paths = {dir + "/i.pcx", dir + "/t.txt"};
  if (textFirst) std::swap(paths[0], paths[1]);
  const std::string fnt = dir + (textFirst ? "/i.fnt" : "/t.fnt");
  Check(DropFiles(paths).shown == std::vector<int>{5}, "the join did not complete");

  std::string container;
  Check(fuzzing::ReadBytes(fnt, &container), "the join wrote no container");
  const uint32_t imageSize = static_cast<uint32_t>(image.size());
  const std::string header = testing_support::Header(
      64, imageSize, 64 + imageSize, static_cast<uint32_t>(text.size()));
  Check(container == header + image + text, "the container is not laid out as documented");

  Check(std::remove((dir + "/i.pcx").c_str()) == 0 &&
            std::remove((dir + "/t.txt").c_str()) == 0,
        "cannot remove the inputs");
  Check(DropFiles({fnt}).shown == std::vector<int>{2}, "the split did not complete");
  const std::string base = fnt.substr(0, fnt.size() - 4);
  std::string image2, text2;
  Check(fuzzing::ReadBytes(base + ".pcx", &image2) && image2 == image,
        "the image did not come back");
  Check(fuzzing::ReadBytes(base + ".txt", &text2) && text2 == text,
        "the text did not come back");
  return 0;
}

// Shared helpers for the tests: scratch folders, whole-file I/O, container
// headers built by hand, and drops handled with their notices recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/drop.h"
#include "core/platform.h"

namespace testing_support {

// The real platform of the machine the tests run on.
tarnvell::Platform& RealPlatform();

// The path separator of that platform, as a string.
std::string Sep();

// A fresh folder, removed with everything in it when the test ends.
class TempDir {
 public:
  explicit TempDir(const std::string& base = "");  // "": the temporary folder
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + Sep() + name;
  }
  // Names in the folder, sorted, to spot leftovers.
  std::vector<std::string> List() const;

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// The last part of a path, after its last slash or backslash.
std::string Leaf(const std::string& path);

// A 32-bit word as its four little-endian bytes, for building headers by hand.
std::string Le32(uint32_t v);

// A container header with the given member table, padded to 64 bytes.
std::string Header(uint32_t imageOffset, uint32_t imageSize,
                   uint32_t textOffset, uint32_t textSize);

// Deterministic pseudo-random bytes.
std::string Bytes(size_t n, uint32_t seed);

// The numbers of the notices shown, in order.
class RecordingSink : public tarnvell::MessageSink {
 public:
  void Show(const tarnvell::Notice& notice) override {
    shown.push_back(notice.Number());
  }
  std::vector<int> shown;
};

// One drop handled: how it ended and the notices it showed.
struct DropOutcome {
  tarnvell::DropResult result;
  std::vector<int> shown;
  // "completed", "refused", or the stop as users read it: "FILE: STEP: REASON".
  std::string Ending() const;
};
DropOutcome DropFiles(std::vector<std::string> paths,
                      tarnvell::Platform& platform = RealPlatform());

}  // namespace testing_support

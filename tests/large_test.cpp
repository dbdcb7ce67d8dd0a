// A member beyond 2 GiB, split out of a sparse container and joined back:
// copies of that size, and offsets past 2 GiB; and the
// largest member a header can declare.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support.h"

using namespace testing_support;

namespace {

constexpr uint32_t kImage = 3u << 30;  // 3 GiB
const std::string kText = "text member end!";

struct Marker {
  uint64_t at;  // offset within the image member
  std::string bytes;
};

const Marker kMarkers[] = {{0, "START-OF-IMAGE.."},
                           {(1u << 31) - 8, "ACROSS-2GiB-EDGE"},
                           {kImage - 16, "END-OF-THE-IMAGE"}};

void PutAt(const std::string& path, uint64_t at, const std::string& bytes) {
  int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)),
            static_cast<ssize_t>(bytes.size()));
  close(fd);
}

std::string GetAt(const std::string& path, uint64_t at, size_t n) {
  std::string bytes(n, '\0');
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return "<missing>";
  ssize_t got = pread(fd, &bytes[0], n, static_cast<off_t>(at));
  close(fd);
  bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
  return bytes;
}

uint64_t SizeOf(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY);
  off_t end = fd < 0 ? -1 : lseek(fd, 0, SEEK_END);
  if (fd >= 0) close(fd);
  return static_cast<uint64_t>(end);
}

// The process's peak resident memory so far.
long PeakKiB() {
  struct rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void CheckImage(const std::string& path, uint64_t base) {
  for (const Marker& m : kMarkers)
    EXPECT_EQ(GetAt(path, base + m.at, m.bytes.size()), m.bytes) << m.at;
  EXPECT_EQ(GetAt(path, base + (1u << 30), 8), std::string(8, '\0'));
}

TEST(LargeMember, ThreeGiBImageSplitsAndJoinsBack) {
  TempDir dir;
  const std::string fnt = dir / "big.fnt";
  const uint32_t textOffset = 64 + kImage;  // past 2 GiB
  WriteFile(fnt, Header(64, kImage, textOffset, 16));
  ASSERT_EQ(truncate(fnt.c_str(), static_cast<off_t>(textOffset)), 0);
  for (const Marker& m : kMarkers) PutAt(fnt, 64 + m.at, m.bytes);
  PutAt(fnt, textOffset, kText);

  ASSERT_EQ(DropFiles({fnt}).shown, std::vector<int>{2});
  EXPECT_EQ(SizeOf(dir / "big.pcx"), kImage);
  CheckImage(dir / "big.pcx", 0);
  EXPECT_EQ(ReadFile(dir / "big.txt"), kText);

  ASSERT_EQ(unlink(fnt.c_str()), 0);
  ASSERT_EQ(DropFiles({dir / "big.pcx", dir / "big.txt"}).shown, std::vector<int>{5});
  EXPECT_EQ(GetAt(fnt, 0, 64), Header(64, kImage, textOffset, 16));
  EXPECT_EQ(SizeOf(fnt), uint64_t{textOffset} + 16);
  CheckImage(fnt, 64);
  EXPECT_EQ(GetAt(fnt, textOffset, 16), kText);
}

// The largest size a header can declare, on a container of a few bytes: the
// member comes out whole, exactly that long, the container's bytes first and
// zeros after them, never cut short; and memory stays bounded by the copy
// buffer, not by the member.
TEST(LargeMember, LargestDeclaredSizeGivesAWholeZeroPaddedMember) {
  TempDir dir;
  const std::string fnt = dir / "max.fnt";
  const std::string tail = "BYTES-AFTER-HEADER";
  WriteFile(fnt, Header(64, 0xFFFFFFFFu, 70, 8) + tail);

  const long before = PeakKiB();
  const DropOutcome run = DropFiles({fnt});
  ASSERT_EQ(run.shown, std::vector<int>{2}) << run.Ending();
  EXPECT_LT(PeakKiB() - before, 32 * 1024);
  const std::string pcx = dir / "max.pcx";
  EXPECT_EQ(SizeOf(pcx), 0xFFFFFFFFull);
  EXPECT_EQ(GetAt(pcx, 0, tail.size() + 8), tail + std::string(8, '\0'));
  EXPECT_EQ(GetAt(pcx, (1u << 31) - 4, 8), std::string(8, '\0'));
  EXPECT_EQ(GetAt(pcx, 0xFFFFFFFFull - 7, 8), std::string(7, '\0'));
  EXPECT_EQ(ReadFile(dir / "max.txt"), tail.substr(6, 8));
  EXPECT_EQ(dir.List(), std::vector<std::string>({"max.fnt", "max.pcx", "max.txt"}));
}

}  // namespace

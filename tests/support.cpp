#include "tests/support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include "platform/win32_platform.h"
#else
#include "platform/posix_platform.h"
#endif

namespace fs = std::filesystem;

namespace testing_support {

tarnvell::Platform& RealPlatform() {
#ifdef _WIN32
  static tarnvell::Win32Platform platform;
#else
  static tarnvell::PosixPlatform platform;
#endif
  return platform;
}

std::string Sep() {
  return std::string(1, RealPlatform().Rules().separator);
}

TempDir::TempDir(const std::string& base) {
  static std::mt19937 rng(std::random_device{}());
  for (;;) {
    fs::path p = (base.empty() ? fs::temp_directory_path() : fs::path(base)) /
                 ("tarnvell-test-" + std::to_string(rng()));
    if (fs::create_directory(p)) {
      path_ = fs::canonical(p).string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::vector<std::string> TempDir::List() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(path_))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Paths are UTF-8 on every platform, as the core has them.
static std::FILE* Open(const std::string& path, bool writing) {
#ifdef _WIN32
  std::wstring wide;
  tarnvell::WideFromUtf8(path, &wide);
  return _wfopen(wide.c_str(), writing ? L"wb" : L"rb");
#else
  return std::fopen(path.c_str(), writing ? "wb" : "rb");
#endif
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* f = Open(path, true);
  if (f == nullptr) throw std::runtime_error("cannot create " + path);
  size_t put = std::fwrite(bytes.data(), 1, bytes.size(), f);
  if (std::fclose(f) != 0 || put != bytes.size())
    throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::FILE* f = Open(path, false);
  if (f == nullptr) return "<missing>";
  std::string bytes;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.append(buffer, got);
  std::fclose(f);
  return bytes;
}

bool Exists(const std::string& path) {
  std::FILE* f = Open(path, false);
  if (f != nullptr) std::fclose(f);
  return f != nullptr;
}

std::string Leaf(const std::string& path) {
  size_t k = path.find_last_of("/\\");
  return k == std::string::npos ? path : path.substr(k + 1);
}

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

std::string Header(uint32_t imageOffset, uint32_t imageSize,
                   uint32_t textOffset, uint32_t textSize) {
  std::string h("ElecbyteFnt", 12);
  h += Le32(256) + Le32(imageOffset) + Le32(imageSize) + Le32(textOffset) +
       Le32(textSize);
  h.resize(64, '\0');
  return h;
}

std::string Bytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

std::string DropOutcome::Ending() const {
  if (result.kind() == tarnvell::DropResult::Kind::kStopped)
    return tarnvell::StopMessage(result.stop(), result.stop().file);
  return result.completed() ? "completed" : "refused";
}

DropOutcome DropFiles(std::vector<std::string> paths, tarnvell::Platform& platform) {
  RecordingSink sink;
  const auto result = tarnvell::HandleDrop({std::move(paths)}, sink, platform);
  return {result, sink.shown};
}

}  // namespace testing_support

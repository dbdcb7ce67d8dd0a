#include "tests/support.h"

#ifdef _WIN32
#include "platform/windows_api.h"
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>

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

TempDir::TempDir() {
  static std::mt19937 rng(std::random_device{}());
  for (;;) {
    fs::path p = fs::temp_directory_path() /
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

#ifdef _WIN32
// mingw has no iconv: the system's own converters, by way of UTF-16.
std::string Cp932(const std::string& utf8) {
  if (utf8.empty()) return std::string();
  const int n = static_cast<int>(utf8.size());
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), n,
                                 nullptr, 0);
  if (wide <= 0) throw std::runtime_error("bad text");
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, &w[0], wide);
  BOOL lossy = FALSE;
  int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w.data(), wide,
                                  nullptr, 0, nullptr, &lossy);
  if (bytes <= 0 || lossy) throw std::runtime_error("no CP932 converter");
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, w.data(), wide, &out[0], bytes,
                      nullptr, nullptr);
  return out;
}
#else
std::string Cp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw std::runtime_error("no CP932 converter");
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* at = &out[0];
  size_t outLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &at, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) throw std::runtime_error("bad text");
  out.resize(out.size() - outLeft);
  return out;
}
#endif

Shown Expected(int number) {
  const std::string warning = Cp932("警告"), confirmation = Cp932("確認");
  switch (number) {
    case 1: return {Cp932("読込エラー1"), warning};
    case 2: return {Cp932("分割を完了しました"), confirmation};
    case 3:
      return {Cp932("fntファイルではありません\n結合の場合はpcxとtxtを両方同時に"
                    "ドロップして下さい"),
              warning};
    case 4:
      return {Cp932("取り扱えるファイルではありません\nfntファイルはひとつずつ"
                    "ドロップして下さい"),
              warning};
    case 5: return {Cp932("結合を完了しました"), confirmation};
    case 6:
      return {Cp932("ファイル数が多すぎます\n分割の場合は1つずつ、結合の場合は"
                    "pcxとtxtを同時ドロップのみ受け付けます"),
              confirmation};
  }
  throw std::logic_error("no such notice");
}

bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

tarnvell::DropList Drop(std::vector<std::string> paths) {
  tarnvell::DropList d;
  d.count = static_cast<uint32_t>(paths.size());
  d.paths = std::move(paths);
  return d;
}

}  // namespace testing_support

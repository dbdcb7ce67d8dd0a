#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace fuzzing {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

namespace {

std::string g_base;

void RemoveBase() {
  std::error_code ec;
  fs::remove_all(g_base, ec);
}

}  // namespace

const std::string& ScratchBase() {
  if (!g_base.empty()) return g_base;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") +
                        "/tarnvell-fuzz-XXXXXX";
  Check(mkdtemp(&pattern[0]) != nullptr, "cannot make a scratch folder");
  g_base = fs::canonical(pattern).string();
  std::atexit(RemoveBase);
  return g_base;
}

void ResetFolder(const std::string& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  fs::create_directories(path, ec);
  Check(!ec, "cannot make a working folder");
}

void WriteBytes(const std::string& path, const void* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr, "cannot create an input file");
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  Check(std::fclose(f) == 0 && ok, "cannot write an input file");
}

bool ReadBytes(const std::string& path, std::string* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::error_code ec;
  bytes->assign(static_cast<size_t>(fs::file_size(path, ec)), '\0');
  size_t got = bytes->empty() ? 0 : std::fread(&(*bytes)[0], 1, bytes->size(), f);
  bytes->resize(got);
  char extra;
  while (std::fread(&extra, 1, 1, f) == 1) bytes->push_back(extra);
  std::fclose(f);
  return true;
}

std::vector<std::string> List(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(path))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace fuzzing

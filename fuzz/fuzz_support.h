// Helpers of the fuzz targets beside the tests' own (tests/support.h): a
// scratch folder per process, whole-file I/O that aborts on failure, and a
// check that aborts so both libFuzzer and the replay runner report the input
// that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzing {

// Stops the process with a message when `ok` is false.
void Check(bool ok, const char* what);

// A folder made once per process under $TMPDIR (or /tmp) and removed at exit.
const std::string& ScratchBase();

// Empties `path`, creating it if needed.
void ResetFolder(const std::string& path);

void WriteBytes(const std::string& path, const void* data, size_t size);
// False when the file cannot be opened.
bool ReadBytes(const std::string& path, std::string* bytes);

// Names in a folder, sorted.
std::vector<std::string> List(const std::string& path);

}  // namespace fuzzing

// What the POSIX front ends (the command line and the Qt window) share
// beside the platform: notice texts in UTF-8, full paths, and signals.
#pragma once

#include <string>

namespace tarnvell {

// A CP932 notice in UTF-8; bytes that cannot be converted are kept as they are.
std::string Utf8FromCp932(const char* text);

// A notice's caption or text in UTF-8 in the user's language (UserTexts):
// the documents' own CP932 text where that is Japanese or no language, else
// the English one translated.
std::string NoticeUtf8(const char* cp932, const char* english);

// The process's current folder, or "" when it cannot be told.
std::string CurrentDir();

// A path as a full path: relative ones are taken from `cwd`.
std::string AbsolutePath(const std::string& path, const std::string& cwd);

// Sets up the process, before it starts any other thread, so that no signal
// leaves a scratch file behind: every signal from outside that would end the
// process (those a fault raises too included) is taken by one thread of its
// own, which removes the scratch files not yet in place and then ends the
// process as the signal would (signals ignored at start stay ignored); a
// broken pipe and a file-size limit become failed writes.
void HandleSignalsForCleanUp();

// The name of the thread that takes those signals.
constexpr char kSignalThread[] = "tarnvell-signal";

}  // namespace tarnvell

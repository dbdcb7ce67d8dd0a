// The platform over Win32 files. The core spells paths in UTF-8 and the
// system in UTF-16: every name is converted at this edge, so any name works on
// any Windows, and since UTF-8 never hides a backslash the rules need no lead
// bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "core/platform.h"

namespace tarnvell {

class Win32Output;

// A folder is held open from OpenFolder on, so it can be neither renamed nor
// removed meanwhile, and an output is placed only while the folder's path
// still leads to it. The process's own current folder never changes.
class Win32Platform : public Platform {
 public:
  // Paths typed on a command line may use "/" as well as "\", as Windows
  // takes them there; those from Explorer use the backslash alone.
  explicit Win32Platform(bool typedPaths = false) : typedPaths_(typedPaths) {}

  PathRules Rules() const override;
  Status OpenFolder(const std::string& path,
                    std::unique_ptr<Folder>* folder) override;

 protected:
  // The system's replacement of an earlier file by a scratch file; tests put
  // in the failures Wine cannot make.
  virtual bool Replace(const std::wstring& replaced,
                       const std::wstring& replacement) const;

 private:
  friend class Win32Output;
  bool typedPaths_;
};

// Win32 error codes, put into words by the system: its English text where it
// has one, else the user's language, in UTF-8 with the number after it.
const std::error_category& Win32Category();

// The code of a stop before placing an output whose folder's path no longer
// leads to that folder (an application's own code: bit 29 set).
constexpr unsigned long kFolderMoved = 0x20000001;

// UTF-16 as the system gives it to UTF-8 as the core takes it, and back. Every
// UTF-16 string survives the round trip, unpaired surrogates too (as 3-byte
// forms); bytes that are not UTF-8 are refused.
std::string Utf8FromWide(const std::wstring& wide);
bool WideFromUtf8(const std::string& utf8, std::wstring* wide);

// The full form of a path, a relative one taken in the process's current
// folder; false (with the system's error) when there is none.
bool FullWidePath(const std::wstring& path, std::wstring* full);

}  // namespace tarnvell

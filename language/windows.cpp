// The Windows user's interface languages, as the window and the console
// program choose their texts by.
#include "platform/windows_api.h"

#include <cwchar>

#include "language/language.h"

namespace tarnvell {
namespace {

// A language name in UTF-8; the system's names are plain ASCII.
std::string Narrow(const wchar_t* name) {
  std::string out;
  for (; *name != L'\0'; ++name) out += static_cast<char>(*name < 0x80 ? *name : '?');
  return out;
}

}  // namespace

std::vector<std::string> UserLanguages() {
  std::vector<std::string> languages;
  ULONG count = 0, size = 0;
  if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) &&
      size > 0) {
    std::wstring list(size, L'\0');  // names, each ending in NUL, then a NUL
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, &list[0], &size))
      for (const wchar_t* at = list.c_str(); *at != L'\0'; at += std::wcslen(at) + 1)
        languages.push_back(Narrow(at));
  }
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  if (languages.empty() &&
      LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                       LOCALE_NAME_MAX_LENGTH, 0) > 0)
    languages.push_back(Narrow(name));
  return languages;
}

}  // namespace tarnvell

#include "shell/texts.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "frontend/language.h"
#include "platform/win32_platform.h"
#include "shell/shell.h"

namespace tarnvell {

std::vector<std::string> UserLanguages() {
  std::vector<std::string> languages;
  ULONG count = 0, size = 0;
  if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) &&
      size > 0) {
    std::wstring list(size, L'\0');  // names, each ending in NUL, then a NUL
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, &list[0], &size))
      for (const wchar_t* at = list.c_str(); *at != L'\0'; at += std::wcslen(at) + 1)
        languages.push_back(Utf8FromWide(at));
  }
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  if (languages.empty() &&
      LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                       LOCALE_NAME_MAX_LENGTH, 0) > 0)
    languages.push_back(Utf8FromWide(name));
  return languages;
}

namespace {

std::wstring FromCp932(const char* bytes) {
  const int n = MultiByteToWideChar(932, 0, bytes, -1, nullptr, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(932, 0, bytes, -1, &wide[0], n);
  wide.resize(n > 0 ? n - 1 : 0);
  return wide;
}

}  // namespace

std::wstring NoticeWide(const char* cp932, const char* english) {
  if (UserTexts().DocumentsNotices()) return FromCp932(cp932);
  std::wstring wide;
  WideFromUtf8(Tr(english), &wide);
  return wide;
}

namespace {

// The font of message boxes, made smaller, a pixel at a time, until the
// widest line of the text fits `width`; null when there is none.
HFONT FittingFont(HDC dc, const std::wstring& text, LONG width) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return nullptr;
  LOGFONTW look = metrics.lfMessageFont;
  for (;;) {
    HFONT font = CreateFontIndirectW(&look);
    if (font == nullptr) return nullptr;
    HGDIOBJ before = SelectObject(dc, font);
    RECT needed = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, before);
    if (needed.right <= width || std::abs(look.lfHeight) <= 8) return font;
    DeleteObject(font);
    look.lfHeight += look.lfHeight < 0 ? 1 : -1;
  }
}

}  // namespace

// Grey, as a placeholder, in lines as the catalog breaks them, centred both
// ways. It is no control: drops land on it too.
void PaintHint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  std::wstring hint;
  WideFromUtf8(WindowHint(), &hint);
  RECT area;
  GetClientRect(window, &area);
  InflateRect(&area, -10, -10);
  HFONT font = FittingFont(dc, hint, area.right - area.left);
  HGDIOBJ before = font != nullptr ? SelectObject(dc, font) : nullptr;
  RECT needed = area;
  const UINT flags = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
  DrawTextW(dc, hint.c_str(), -1, &needed, flags | DT_CALCRECT);
  area.top += std::max(0L, (area.bottom - area.top - (needed.bottom - needed.top)) / 2);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(dc, hint.c_str(), -1, &area, flags);
  if (font != nullptr) {
    SelectObject(dc, before);
    DeleteObject(font);
  }
  EndPaint(window, &paint);
}

}  // namespace tarnvell

#include "shell/texts.h"

#include <algorithm>
#include <cstdlib>

#include "platform/win32_platform.h"
#include "shell/shell.h"

namespace tarnvell {

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
void PaintHint(HWND window, const Texts& texts) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  std::wstring hint;
  WideFromUtf8(WindowHint(texts), &hint);
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

// The Windows program's texts in the user's interface language: the
// languages the system reports, and the hint the window draws.
#pragma once

#include "platform/windows_api.h"

#include <string>
#include <vector>

namespace tarnvell {

// The user's interface languages, most preferred first, as the system names
// them ("fr-FR").
std::vector<std::string> UserLanguages();

// A notice's caption or text in the user's language: in Japanese the
// documents' own CP932 text, converted as it always was.
std::wstring NoticeWide(const char* cp932, const char* english);

// Paints the window's hint (what to drop to split, what to join) in the
// user's language, centred in its client area; for WM_PAINT.
void PaintHint(HWND window);

}  // namespace tarnvell

// The hint the Windows window draws, in the user's interface language.
#pragma once

#include "platform/windows_api.h"

#include "language/language.h"

namespace tarnvell {

// Paints the window's hint (what to drop to split, what to join) in the
// reader's language, centred in its client area; for WM_PAINT.
void PaintHint(HWND window, const Texts& texts);

}  // namespace tarnvell

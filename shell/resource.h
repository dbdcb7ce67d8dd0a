// Resource numbers shared by the program's resource script and its code.
#pragma once

#define TARNVELL_ICON 1  // the program's icon; the lowest number, so Explorer shows it

#pragma once

#include <optional>

#include "Win32.h"

// The taskbar's rectangle on the screen. The shell's answer is taken when it gives one; some
// shells answer with an empty rectangle, and then the taskbar window itself, or else a bar of
// no height along the bottom of the screen, stands for it.
RECT TaskbarRect();

// Where a window of `window` size goes beside the notification area of a taskbar at `taskbar`
// on a screen of `screen` size: `margin` pixels off the taskbar (or off the top of the screen,
// with the taskbar at the top), 10 off the right edge of the screen. No answer: the window
// stays where it is.
std::optional<POINT> NextToTray(const RECT& taskbar, SIZE screen, SIZE window, int margin);

// The screen's size in pixels.
SIZE ScreenSize();

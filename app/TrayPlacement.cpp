#include "TrayPlacement.h"

#include <shellapi.h>

namespace {

// Screens are told apart by how far the taskbar's edges are from the screen's.
constexpr int kNearEdge = 300;

}  // namespace

RECT TaskbarRect() {
    APPBARDATA bar{};
    bar.cbSize = sizeof bar;
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar) != 0 && !IsRectEmpty(&bar.rc)) return bar.rc;
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT shown{};
    if (taskbar != nullptr && IsWindowVisible(taskbar) && GetWindowRect(taskbar, &shown)) {
        return shown;
    }
    const SIZE screen = ScreenSize();
    return {0, screen.cy, screen.cx, screen.cy};
}

std::optional<POINT> NextToTray(const RECT& taskbar, SIZE screen, SIZE window, int margin) {
    const LONG rightGap = screen.cx - taskbar.right;
    const LONG bottomGap = screen.cy - taskbar.bottom;
    const LONG leftGap = screen.cx - taskbar.left;
    const LONG besideTray = screen.cx - (window.cx + 10);
    const LONG aboveTaskbar = taskbar.bottom - (window.cy + margin);
    if (rightGap < kNearEdge) {
        if (bottomGap < kNearEdge || leftGap < kNearEdge) return POINT{besideTray, aboveTaskbar};
        return POINT{besideTray, margin};
    }
    if (rightGap > kNearEdge) return POINT{20, aboveTaskbar};
    return std::nullopt;
}

SIZE ScreenSize() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

#include <gtest/gtest.h>

#include "TrayPlacement.h"

namespace {

constexpr SIZE kScreen{1024, 768};
constexpr SIZE kWindow{498, 266};

// Where the status window (20 pixels off the taskbar) and the Configuration dialog (50) go for
// each place of the taskbar; the screen's edges are told apart at 300 pixels.
TEST(TrayPlacement, EachTaskbarPlaceHasItsCorner) {
    const struct {
        const char* taskbar;
        RECT bar;
        int margin;
        std::optional<POINT> place;
    } kCases[] = {
        {"bottom", {0, 728, 1024, 768}, 20, POINT{516, 482}},
        {"bottom, dialog", {0, 728, 1024, 768}, 50, POINT{516, 452}},
        {"right", {984, 0, 1024, 768}, 20, POINT{516, 482}},
        {"right, short of the bottom", {900, 0, 1024, 400}, 20, POINT{516, 114}},
        {"top", {0, 0, 1024, 40}, 20, POINT{516, 20}},
        {"top, dialog", {0, 0, 1024, 40}, 50, POINT{516, 50}},
        {"left", {0, 0, 40, 768}, 20, POINT{20, 482}},
        {"right edge 300 from the screen's", {0, 0, 724, 768}, 20, std::nullopt},
    };
    for (const auto& c : kCases) {
        const std::optional<POINT> place = NextToTray(c.bar, kScreen, kWindow, c.margin);
        ASSERT_EQ(place.has_value(), c.place.has_value()) << c.taskbar;
        if (!place) continue;
        EXPECT_EQ(place->x, c.place->x) << c.taskbar;
        EXPECT_EQ(place->y, c.place->y) << c.taskbar;
    }
}

}  // namespace

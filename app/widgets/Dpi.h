#pragma once

// Forms are designed in pixels of a 96-DPI screen. The program declares itself aware of the
// system's DPI (its manifest), so Windows neither stretches its windows nor shrinks what it is
// told: every designed position and size is scaled by the screen's DPI, as the fonts' point
// sizes are. The layout then keeps its proportions at any text size and no caption is clipped.
// The system's DPI is fixed for the life of a process.
constexpr int kDesignDpi = 96;

int ScreenDpi();
// A length of the design, in pixels of this screen.
int Scaled(int designPixels);

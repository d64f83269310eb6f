#include "Dpi.h"

#include "Win32.h"

int ScreenDpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int dotsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return dotsPerInch > 0 ? dotsPerInch : kDesignDpi;
    }();
    return dpi;
}

int Scaled(int designPixels) {
    return MulDiv(designPixels, ScreenDpi(), kDesignDpi);
}

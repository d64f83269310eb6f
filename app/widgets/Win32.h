// The one include of the Windows headers in the tray program, with the slimming macros set first
// so min/max and the rarely used parts of the API stay out of our code.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

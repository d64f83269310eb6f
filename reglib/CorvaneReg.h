// CorvaneReg.dll: helpers the maker's installers load by name and call without any headers of
// ours, so every export is a plain C function with a fixed signature and 32-bit result codes.
#pragma once

#include <cstdint>

namespace reglib {

constexpr uint32_t kDone = 0x0BADFACE;
constexpr uint32_t kNotDone = 0xDEADBEEF;
constexpr uint32_t kTavrinUsb = 0xBADFACE1;
constexpr uint32_t kTavrinPci = 0xBADFACE2;
constexpr uint32_t kTavrinPciAndUsb = 0xBADFACE3;

}  // namespace reglib

extern "C" {

uint32_t __stdcall GetLanguage();
uint32_t __stdcall GetWindowsVersion();
uint32_t __stdcall GetNumberOfDrives();
char* __stdcall GetDriveLetter(uint32_t slot);
uint64_t __stdcall GetDriveFreeSpaceMBytes(const char* drive);

uint32_t __stdcall EnableUltraDMA();
uint32_t __stdcall DeleteDeviceRegistry();
uint32_t __stdcall AddNtKernelServiceKey();
uint32_t __stdcall IsTavrinExist();
uint32_t __stdcall IsZetDetected();
uint32_t __stdcall KillLigosSplitter();
uint32_t __stdcall WriteBinaryRegistry(const char* keyPath, const char* valueName, uint32_t length1,
                                       uint32_t length2, const void* bytes1, const void* bytes2);

uint32_t __stdcall DestroyRemoconApp();
uint32_t __stdcall DestroyTray();
uint32_t __stdcall DestroyResmanager();
uint32_t __stdcall DestroyUSBTray();
uint32_t __stdcall DestroyDorvel();
}

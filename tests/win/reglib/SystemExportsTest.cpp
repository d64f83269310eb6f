#include <gtest/gtest.h>

#include <string>

#include "CorvaneRegDll.h"
#include "ProbeProcess.h"
#include "SystemRules.h"

namespace {

TEST(Exports, EveryFunctionIsFoundByItsPlainName) {
    ASSERT_TRUE(LoadedCorvaneReg().Loaded());
    for (const char* name :
         {"GetLanguage", "GetWindowsVersion", "GetNumberOfDrives", "GetDriveLetter",
          "GetDriveFreeSpaceMBytes", "EnableUltraDMA", "DeleteDeviceRegistry",
          "AddNtKernelServiceKey", "IsTavrinExist", "IsZetDetected", "KillLigosSplitter",
          "WriteBinaryRegistry", "DestroyRemoconApp", "DestroyTray", "DestroyResmanager",
          "DestroyUSBTray", "DestroyDorvel"}) {
        EXPECT_NE(LoadedCorvaneReg().Find<void()>(name), nullptr) << name;
    }
}

// The Korean run (the default) and the English run each see one of the languages we name.
TEST(Language, KoreanUserGetsOne) {
    ASSERT_EQ(GetUserDefaultLangID(), 0x412);
    EXPECT_EQ(CORVANE(GetLanguage)(), 1u);
}

TEST(English, UsEnglishUserGetsTwo) {
    ASSERT_EQ(GetUserDefaultLangID(), 0x409);
    EXPECT_EQ(CORVANE(GetLanguage)(), 2u);
}

// The whole table is checked on made-up records; here the records come from the system. Wine's
// Windows 98 carries " A " as its service-pack text, which makes it Second Edition.
TEST(WindowsVersion, CodeForVersionsWineReports) {
    const std::pair<const char*, uint32_t> versions[] = {{"win95", reglib::kWin95},
                                                         {"win98", reglib::kWin98SE},
                                                         {"nt40", reglib::kWinNt4},
                                                         {"winxp", reglib::kWinXp},
                                                         {"winxp64", reglib::kWinXpX64},
                                                         {"win2003", reglib::kWinServer2003},
                                                         {"win2008", reglib::kWinVistaServer},
                                                         {"win7", reglib::kUnknownWindows}};
    for (const auto& [wine, code] : versions) {
        const auto probe = regtest::RunProbe("GetWindowsVersion", wine);
        ASSERT_TRUE(probe) << wine;
        EXPECT_EQ(probe->result, code) << wine;
    }
    EXPECT_EQ(CORVANE(GetWindowsVersion)(), reglib::kUnknownWindows) << "the prefix's own";
}

// Every Wine prefix has drive C (fixed) and Z (the Unix root, fixed).
TEST(Drives, TableAndLetters) {
    const uint32_t count = CORVANE(GetNumberOfDrives)();
    ASSERT_GE(count, 2u);
    const auto letter = CORVANE(GetDriveLetter);
    EXPECT_STREQ(letter(0), "c:\\");
    EXPECT_STREQ(letter(count - 1), "z:\\");
    EXPECT_STREQ(letter(count), "");
    EXPECT_EQ(letter(reglib::kDriveSlots), nullptr);
    EXPECT_EQ(letter(0), letter(1)) << "one static buffer, overwritten by every call";
}

uint64_t SystemFreeMegabytes() {
    ULARGE_INTEGER freeBytes{};
    GetDiskFreeSpaceExA("c:\\", nullptr, nullptr, &freeBytes);
    return freeBytes.QuadPart >> 20;
}

TEST(Drives, FreeSpaceInMegabytesAndZeroWhenTheDriveCannotBeAsked) {
    const uint64_t before = SystemFreeMegabytes();
    const uint64_t reported = CORVANE(GetDriveFreeSpaceMBytes)("C:\\Windows");
    const uint64_t after = SystemFreeMegabytes();
    EXPECT_GT(reported, 0u);
    EXPECT_GE(reported, std::min(before, after));
    EXPECT_LE(reported, std::max(before, after));

    char absent = 'y';
    while ((GetLogicalDrives() & (1u << (absent - 'a'))) != 0) --absent;
    ASSERT_GT(absent, 'c');
    EXPECT_EQ(CORVANE(GetDriveFreeSpaceMBytes)(std::string(1, absent).c_str()), 0u);
}

}  // namespace

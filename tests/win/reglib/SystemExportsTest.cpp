#include <gtest/gtest.h>

#include <string>

#include "CorvaneRegDll.h"
#include "FakeSystem.h"
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

    // A caller that cuts the text it was handed does not cut the next answer.
    letter(0)[1] = '\0';
    EXPECT_STREQ(letter(count - 1), "z:\\");
}

// The disk's whole free space counts, not what the caller's quota leaves; a drive that cannot be
// asked, or none named, has none.
TEST(Drives, FreeSpaceIsTheDisksWholeFreeSpaceInMegabytes) {
    constexpr uint64_t kMiB = 1 << 20;
    const struct {
        const char* drive;
        uint64_t freeOnDisk;
        bool fails;
        uint64_t megabytes;
        const char* root;
    } cases[] = {
        {"q", 1610612736, false, 1536, "q:\\"},
        {"D:\\Video", 5 * kMiB - 1, false, 4, "D:\\"},
        {"e:", uint64_t{3} << 40, false, uint64_t{3} << 20, "e:\\"},
        {"f", 7 * kMiB, true, 0, "f:\\"},
        {nullptr, 7 * kMiB, false, 0, "(not asked)"},
    };
    for (const auto& c : cases) {
        const regtest::PretendDisk disk(kMiB, c.freeOnDisk, c.fails);
        ASSERT_TRUE(disk.Ready());
        EXPECT_EQ(CORVANE(GetDriveFreeSpaceMBytes)(c.drive), c.megabytes) << c.root;
        EXPECT_EQ(disk.AskedRoot(), c.root);
    }
}

// Systems before NT 4 SP6 refuse the extended record; the plain one has no product type, so a
// Vista workstation then reads as a server.
TEST(WindowsVersion, FallsBackToThePlainRecord) {
    const regtest::VersionRecord vista = {2, 6, 0, "", 1};
    const struct {
        bool extendedFails;
        bool plainFails;
        uint32_t code;
    } cases[] = {{false, false, reglib::kWinVista},
                 {true, false, reglib::kWinVistaServer},
                 {true, true, reglib::kUnknownWindows}};
    for (const auto& c : cases) {
        const regtest::PretendWindows windows(vista, c.extendedFails, c.plainFails);
        ASSERT_TRUE(windows.Ready());
        EXPECT_EQ(CORVANE(GetWindowsVersion)(), c.code) << c.extendedFails << c.plainFails;
    }
}

}  // namespace

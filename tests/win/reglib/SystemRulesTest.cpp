#include "SystemRules.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace reglib {
namespace {

struct VersionRow {
    const char* system;
    VersionRecord record;
    uint32_t code;
};

VersionRecord NineX(uint32_t minor, const char* servicePack) {
    return {1, 4, minor, servicePack};
}

VersionRecord Nt(uint32_t major, uint32_t minor, uint8_t productType = 1, bool serverR2 = false,
                 uint16_t nativeArchitecture = 0) {
    return {2, major, minor, "", productType, serverR2, nativeArchitecture};
}

TEST(SystemRules, VersionCodeForEverySystem) {
    const VersionRow rows[] = {
        {"95", NineX(0, ""), kWin95},
        {"95 OSR2 (C)", NineX(0, " C "), kWin95Osr2},
        {"95 OSR2 (B)", NineX(0, " B "), kWin95Osr2},
        {"95, other mark", NineX(0, " A "), kWin95},
        {"98", NineX(10, " "), kWin98},
        {"98 SE (A)", NineX(10, " A "), kWin98SE},
        {"98 SE (B)", NineX(10, " B "), kWin98SE},
        {"Me", NineX(90, " "), kWinMe},
        {"unknown 9x", NineX(20, ""), kUnknownWindows},
        {"NT 3.51", Nt(3, 51), kWinNt3},
        {"NT 4", Nt(4, 0), kWinNt4},
        {"2000", Nt(5, 0), kWin2000},
        {"XP", Nt(5, 1), kWinXp},
        {"2003", Nt(5, 2, 3), kWinServer2003},
        {"2003 R2", Nt(5, 2, 3, true), kWinServer2003R2},
        {"XP x64", Nt(5, 2, 1, false, 9), kWinXpX64},
        {"XP on 32-bit 5.2", Nt(5, 2, 1, false, 0), kWinServer2003},
        {"Vista", Nt(6, 0, 1), kWinVista},
        {"Vista server", Nt(6, 0, 3), kWinVistaServer},
        {"Vista, plain record", Nt(6, 0, 0), kWinVistaServer},
        {"Windows 7", Nt(6, 1), kUnknownWindows},
        {"5.3", Nt(5, 3), kUnknownWindows},
        {"Windows 10", Nt(10, 0), kUnknownWindows},
        {"other platform", {3, 5, 1, ""}, kUnknownWindows},
    };
    for (const VersionRow& row : rows) {
        EXPECT_EQ(WindowsVersionCode(row.record), row.code) << row.system;
    }
}

TEST(SystemRules, LanguageCodes) {
    EXPECT_EQ(LanguageCode(0x412), 1u);
    EXPECT_EQ(LanguageCode(0x812), 1u);
    EXPECT_EQ(LanguageCode(0x409), 2u);
    EXPECT_EQ(LanguageCode(0x809), 3u);
    EXPECT_EQ(LanguageCode(0x407), 3u);
}

uint32_t FakeDriveType(const char* root) {
    static const std::map<std::string, uint32_t> kTypes = {
        {"a:\\", kRemovableDrive}, {"c:\\", kFixedDrive}, {"d:\\", 5},
        {"e:\\", kRemovableDrive}, {"f:\\", 4},           {"z:\\", kFixedDrive}};
    const auto it = kTypes.find(root);
    return it == kTypes.end() ? 1 : it->second;  // 1: no such root
}

template <size_t N>
uint32_t Fill(const char (&roots)[N], DriveTable& table) {
    return FillDriveTable(roots, N, FakeDriveType, table);
}

TEST(SystemRules, DriveTableKeepsFixedAndRemovableFromC) {
    DriveTable table;
    EXPECT_EQ(Fill("A:\\\0C:\\\0D:\\\0E:\\\0F:\\\0", table), 2u);
    EXPECT_EQ(std::string(table.letters, 3), std::string("ce\0", 3));

    // Refilling clears what the previous call stored; the walk ends at the first empty root.
    EXPECT_EQ(Fill("z:\\\0\0\0\0\0c:\\\0", table), 1u);
    EXPECT_EQ(std::string(table.letters, 2), std::string("z\0", 2));
}

TEST(SystemRules, DriveTableStopsAtTheBufferAndTwentySixRoots) {
    DriveTable table;
    EXPECT_EQ(FillDriveTable("c:\\\0z:\\\0", 7, FakeDriveType, table), 1u);

    std::string roots;
    for (int i = 0; i < 27; ++i) roots.append("c:\\\0", 4);
    EXPECT_EQ(FillDriveTable(roots.data(), roots.size(), FakeDriveType, table), kDriveSlots);
}

}  // namespace
}  // namespace reglib

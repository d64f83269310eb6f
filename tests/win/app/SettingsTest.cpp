#include <gtest/gtest.h>

#include "RegistryKey.h"
#include "Settings.h"
#include "TestRegistry.h"
#include "WideText.h"

namespace {

using apptest::FreshAccount;
using apptest::kDorvelKey;
using apptest::kOptionsKey;
using apptest::kRunKey;
using apptest::PutText;
using apptest::ReadValue;

const wchar_t* const kSharePathNames[] = {L"SharePath1", L"SharePath2", L"SharePath3",
                                          L"SharePath4"};

TEST(Settings, FreshAccountGetsAutoShareOffAndTheDefaultFoldersWithoutStoringThem) {
    const FreshAccount account;
    ShareSettings settings;
    settings.LoadFoldersInForce();
    for (const std::string& folder : settings.sharePath) EXPECT_EQ(folder, "C:\\quonhd1");
    const auto autoShare = ReadValue(kOptionsKey, L"AutoShare");
    ASSERT_TRUE(autoShare.has_value());
    EXPECT_EQ(autoShare->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(autoShare->Number(), 0u);
    EXPECT_FALSE(settings.autoShare);
    for (const wchar_t* name : kSharePathNames) EXPECT_FALSE(ReadValue(kDorvelKey, name)) << name;
}

TEST(Settings, StoredFoldersAndAutoShareRoundTripAndAnEmptyOneFallsBack) {
    const FreshAccount account;
    ShareSettings writer;
    writer.autoShare = true;
    writer.WriteSharePath(1, "D:\\Movies");
    writer.WriteSharePath(2, "");
    writer.WriteSharePath(3, "E:\\\uC601\uD654");  // a Hangul folder name
    writer.WriteSharePath(4, "F:\\Music");
    EXPECT_EQ(ReadValue(kDorvelKey, L"SharePath3")->Text(), L"E:\\\uC601\uD654");
    EXPECT_EQ(ReadValue(kOptionsKey, L"AutoShare")->Number(), 1u);
    PutText(kDorvelKey, L"SetupDir", L"D:\\Apps\\Quon");

    ShareSettings reader;
    reader.LoadFoldersInForce();
    const std::array<std::string, 4> expected = {"D:\\Movies", "C:\\quonhd1", "E:\\\uC601\uD654",
                                                 "F:\\Music"};
    EXPECT_EQ(reader.sharePath, expected);
    EXPECT_TRUE(reader.autoShare);
    EXPECT_EQ(reader.setupDir, "D:\\Apps\\Quon");
    // Stored afresh as false: any nonzero number reads as true.
    apptest::PutNumber(kOptionsKey, L"AutoShare", 7);
    reader.ReadSharePath(1);
    EXPECT_TRUE(reader.autoShare);
}

TEST(Settings, AutoRunIsWrittenFromTheSetupFolderAndDeleted) {
    const FreshAccount account;
    ShareSettings::EnsureAutoShare();
    PutText(kDorvelKey, L"SetupDir", L"D:\\Apps\\Quon");
    ShareSettings settings;
    settings.ReadSharePath(1);
    settings.SetAutoRun();
    const auto run = ReadValue(kRunKey, L"QuonDorvel");
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(run->Text(), L"D:\\Apps\\Quon\\QuonDorvel.exe");
    settings.ReadSharePath(1);
    EXPECT_EQ(settings.runValue, "D:\\Apps\\Quon\\QuonDorvel.exe");

    ShareSettings::ClearAutoRun();
    EXPECT_FALSE(ReadValue(kRunKey, L"QuonDorvel"));
    ShareSettings::ClearAutoRun();  // already gone: nothing to do, no error
    EXPECT_FALSE(ReadValue(kRunKey, L"QuonDorvel"));
}

// The command names the program in the setup folder, or without one the running program itself,
// and is quoted where a blank would cut it.
TEST(Settings, TheAutoRunCommandNamesTheProgramWholeAndQuotedWhereItHasABlank) {
    wchar_t self[MAX_PATH] = {};
    const std::string running =
        Narrow(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
    EXPECT_EQ(AutoRunCommand("D:\\Apps\\Quon"), "D:\\Apps\\Quon\\QuonDorvel.exe");
    EXPECT_EQ(AutoRunCommand("C:\\Program Files\\Quon"),
              "\"C:\\Program Files\\Quon\\QuonDorvel.exe\"");
    EXPECT_EQ(AutoRunCommand(""),
              running.find(' ') == std::string::npos ? running : '"' + running + '"');
}

// A mistyped "AutoShare" is left as it is by the start-up check and stops the read that meets
// it, as does one that has gone missing.
TEST(Settings, AutoShareOfAnotherTypeOrMissingIsAnError) {
    const FreshAccount account;
    PutText(kOptionsKey, L"AutoShare", L"1");
    ShareSettings::EnsureAutoShare();
    EXPECT_EQ(ReadValue(kOptionsKey, L"AutoShare")->type, static_cast<DWORD>(REG_SZ));
    ShareSettings settings;
    try {
        settings.LoadFoldersInForce();
        ADD_FAILURE() << "no error";
    } catch (const RegistryError& failure) {
        EXPECT_STREQ(failure.what(), "Invalid data type for 'AutoShare'");
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kOptionsKey, L"AutoShare");
    EXPECT_THROW(settings.ReadSharePath(1), RegistryError);
}

}  // namespace

#include <gtest/gtest.h>

#include "AddressList.h"
#include "Optionform.h"

namespace {

using Adapters = std::vector<NetworkAdapter>;
using Entries = std::vector<std::string>;

// The k-th adapter that is up meets the k-th host address; an address that begins with 0 or is
// the loopback one is skipped, and so is every adapter after it, which meets it again.
TEST(AddressList, AcceptedAdaptersAreLabelledWithTheHostAddressesInTurn) {
    const struct {
        const char* what;
        Adapters adapters;
        Entries hostAddresses;
        Entries entries;
    } kCases[] = {
        {"one wired adapter",
         {{true, "Local Area Connection"}},
         {"192.168.0.10"},
         {"All", "Wired: 192.168.0.10"}},
        {"a capital W is wireless, a small one not",
         {{true, "Wireless Network Connection"}, {true, "wlan"}},
         {"10.0.0.7", "10.0.0.8"},
         {"All", "Wi - Fi: 10.0.0.7", "Wired: 10.0.0.8"}},
        {"an adapter that is down keeps the address for the next",
         {{false, "Ethernet"}, {true, "Ethernet 2"}},
         {"10.0.0.1"},
         {"All", "Wired: 10.0.0.1"}},
        {"no adapter up", {{false, "Ethernet"}}, {"10.0.0.1"}, {}},
        {"more adapters than host addresses",
         {{true, "A"}, {true, "B"}},
         {"10.0.0.1"},
         {"All", "Wired: 10.0.0.1"}},
        {"the loopback address stops the list",
         {{true, "Loopback"}, {true, "Ethernet"}},
         {"127.0.0.1", "10.0.0.2"},
         {}},
        {"an address beginning with 0 too", {{true, "Ethernet"}}, {"0.0.0.0"}, {}},
    };
    for (const auto& c : kCases) {
        AddressList list;
        list.AddAdapters(c.adapters, c.hostAddresses);
        EXPECT_EQ(list.Entries(), c.entries) << c.what;
    }
}

TEST(AddressList, AFullListTakesNoMoreEntries) {
    Adapters adapters(150, {true, "Ethernet"});
    Entries hostAddresses;
    for (int i = 0; i < 150; ++i) hostAddresses.push_back("10.0.0." + std::to_string(i + 1));
    AddressList list;
    list.AddAdapters(adapters, hostAddresses);
    ASSERT_EQ(list.Entries().size(), AddressList::kMaxEntries);
    EXPECT_EQ(list.Entries().back(), "Wired: 10.0.0.99");
}

// What OK refuses in a folder's text box.
TEST(ConfigurationOk, RefusesEmptyFoldersSingleCharactersAndDriveRoots) {
    const struct {
        const char* folder;
        FolderProblem problem;
    } kCases[] = {
        {"", FolderProblem::kEmpty},
        {"C", FolderProblem::kDriveRoot},
        {"\xED\x95\x9C", FolderProblem::kDriveRoot},  // one Hangul syllable
        {"C:\\", FolderProblem::kDriveRoot},
        {"d:\\", FolderProblem::kDriveRoot},
        {"C:", FolderProblem::kNone},
        {"1:\\", FolderProblem::kNone},
        {"C:\\\\", FolderProblem::kNone},
        {"D:\\Movies", FolderProblem::kNone},
    };
    for (const auto& c : kCases) EXPECT_EQ(CheckFolder(c.folder), c.problem) << c.folder;
}

}  // namespace

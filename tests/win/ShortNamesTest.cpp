// Windows opens a long name through its 8.3 alias (NOTE~1.TXT for "Notes for the week.txt"). A
// client that creates under the alias must not empty the long-named file.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Nfs3Reply.h"
#include "NfsTestbed.h"
#include "QDV_NFSManager.h"

namespace {

std::string ShortNameOf(const std::string& path) {
    char alias[MAX_PATH] = {};
    DWORD length = GetShortPathNameA(path.c_str(), alias, MAX_PATH);
    std::string text(alias, length < MAX_PATH ? length : 0);
    return text.substr(text.rfind('\\') + 1);
}

TEST(ShortNames, ACreateUnderAnAliasLeavesTheLongNamedFileAlone) {
    NfsTestbed bed;
    bed.nfs = std::make_unique<CQDV_NFSManager>();
    bed.daemon.Register(100003, bed.nfs.get());
    const std::string longName = "Notes for the week.txt";
    ASSERT_TRUE(bed.Dir().MakeFile("share1/" + longName, "notes"));
    const std::string alias = ShortNameOf(bed.InShare(1, longName));
    ASSERT_FALSE(alias.empty());
    ASSERT_NE(alias, longName);
    std::vector<uint8_t> root = bed.Root(1);

    EXPECT_TRUE(bed.Lookup(root, alias).empty()) << "LOOKUP wants the stored spelling";
    for (uint32_t mode : {0u, 1u}) {
        WordReader v3 = bed.Nfs3(8, WithNoAttributes(Handle(root).Text(alias).Word(mode)));
        EXPECT_EQ(v3.Word(), 17u) << "mode " << mode;
    }
    XdrBytes v2args = XdrBytes().Bytes(root.data(), 32).Text(alias);
    for (int word = 0; word < 8; ++word) v2args.Word(0xFFFFFFFF);
    WordReader v2 = AfterHeader(bed.Call(100003, 2, 9, v2args));
    EXPECT_EQ(v2.Word(), 0u);
    EXPECT_EQ(v2.Word(), 17u);
    EXPECT_EQ(bed.Dir().Contents("share1/" + longName), "notes");
}

}  // namespace

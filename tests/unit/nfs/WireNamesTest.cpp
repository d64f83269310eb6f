// Names in the players' code page: natively as `quondorveld --charset CP949` serves them, under
// Wine in the code page of the locale the ctest registration chooses (QDV_CODE_PAGE tells the
// test which). The share's own folder is one that neither code page can name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "HostFs.h"
#include "Nfs3Reply.h"
#include "NfsTestbed.h"

namespace {

namespace stdfs = std::filesystem;

enum Procedure : uint32_t { kRead = 6, kCreate = 8, kRename = 14, kReadDir = 16 };

// Each file holds its own name. The bytes are what the players have always been sent for a name
// the code page holds; null where it lacks the name, which then travels under an alias.
struct Name {
    const char* utf8;
    const char* cp949;
    const char* cp1252;
};

const Name kNames[] = {
    {"plain.txt", "plain.txt", "plain.txt"},
    {"한글.txt", "\xC7\xD1\xB1\xDB.txt", nullptr},
    {"日本語.txt", "\xEC\xED\xDC\xE2\xE5\xDE.txt", nullptr},
    {"café.txt", nullptr, "caf\xE9.txt"},
    // Greek with tonos: 949 holds the letters but not the accent. A naive alias ("_" for what
    // is missing) would give both "Ελληνικ_.flac"; an 8.3 alias would end in ".FLA".
    {"Ελληνικά.flac", nullptr, nullptr},
    {"Ελληνικό.flac", nullptr, nullptr},
    {"ไทย.txt", nullptr, nullptr},
    {"emoji😀.txt", nullptr, nullptr},
    {"ÉTÉ.TXT", nullptr, "\xC9T\xC9.TXT"},  // already in 8.3 form
};

class WireNames : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* chosen = std::getenv("QDV_CODE_PAGE");
        if (chosen == nullptr && !Native()) GTEST_SKIP() << "needs a code page chosen by ctest";
        m_page = chosen != nullptr ? chosen : "949";
        ASSERT_TRUE(UseCodePage());
        // In the host's spelling: UTF-8 on Windows too.
        const std::string share = bed.Dir().Path() + hostfs::Fs().Separator() + "Müzik😀";
        m_folder = stdfs::u8path(share);
        ASSERT_TRUE(stdfs::create_directory(m_folder));
        m_share = hostfs::Fs().ServedPath(share);
        bed.mount.SetSharePaths(m_share.c_str(), "", "", "");
        root = bed.Root(1);
    }
    void TearDown() override { hostfs::SetNameCharset(""); }

    static bool Native() { return hostfs::Fs().Separator() == '/'; }
    // Natively the charset is chosen afresh, with nothing kept from before.
    bool UseCodePage() const { return !Native() || hostfs::SetNameCharset("CP" + m_page); }

    const char* Expected(const Name& name) const {
        return m_page == "949" ? name.cp949 : name.cp1252;
    }

    bool MakeFile(const std::string& utf8, const std::string& contents) {
        std::ofstream out(m_folder / stdfs::u8path(utf8), std::ios::binary);
        return static_cast<bool>(out << contents);
    }
    bool HostHas(const std::string& utf8) { return stdfs::exists(m_folder / stdfs::u8path(utf8)); }

    std::vector<std::string> List() {
        WordReader reply = bed.Nfs3(kReadDir, Handle(root).Hyper(0).Hyper(0).Word(65536));
        std::vector<std::string> names;
        EXPECT_EQ(reply.Word(), 0u);
        if (reply.Word() == 1) reply.Bytes(21 * 4);
        reply.Hyper();
        for (int i = 0; i < 100 && reply.Word() == 1; ++i) {
            reply.Hyper();
            std::vector<uint8_t> name = reply.Opaque();
            if (name != std::vector<uint8_t>{'.'} && name != std::vector<uint8_t>{'.', '.'}) {
                names.emplace_back(name.begin(), name.end());
            }
            reply.Hyper();
        }
        return names;
    }

    // What LOOKUP and READ of the name find; "<none>" when LOOKUP refuses it.
    std::string Read(const std::string& name) {
        std::vector<uint8_t> handle = bed.Lookup(root, name);
        if (handle.empty()) return "<none>";
        WordReader reply = bed.Nfs3(kRead, Handle(handle).Hyper(0).Word(1000));
        if (reply.Word() != 0) return "<unread>";
        if (reply.Word() == 1) reply.Bytes(21 * 4);
        reply.Word();
        reply.Word();
        std::vector<uint8_t> data = reply.Opaque();
        return std::string(data.begin(), data.end());
    }

    uint32_t Rename(const std::string& from, const std::string& to) {
        return bed.Nfs3(kRename, Handle(root).Text(from).Opaque(root.data(), root.size()).Text(to))
            .Word();
    }

    NfsTestbed bed{0};
    std::vector<uint8_t> root;
    std::string m_page;
    stdfs::path m_folder;
    std::string m_share;
};

TEST_F(WireNames, EveryNameIsListedLookedUpReadAndRenamedByWhatWasListed) {
    for (const Name& name : kNames) ASSERT_TRUE(MakeFile(name.utf8, name.utf8)) << name.utf8;
    const std::vector<std::string> listed = List();
    ASSERT_EQ(listed.size(), std::size(kNames));
    std::map<std::string, std::string> found;  // the file's own name by what was listed
    for (const std::string& wire : listed) found[Read(wire)] = wire;
    for (const Name& name : kNames) {
        ASSERT_EQ(found.count(name.utf8), 1u) << name.utf8 << " not read under a listed name";
        const std::string& wire = found[name.utf8];
        if (Expected(name) != nullptr) {
            EXPECT_EQ(wire, Expected(name)) << name.utf8;
        } else {
            EXPECT_NE(wire.find('~'), std::string::npos) << name.utf8 << " listed as " << wire;
        }
    }
    // The same names on every listing, also with nothing kept from before (natively: as after a
    // restart).
    ASSERT_TRUE(UseCodePage());
    EXPECT_EQ(List(), listed);
    // "?" is no wildcard: the Thai name, which the code pages' "A" calls spelled "???.txt",
    // is not found under that name, and Windows refuses to make a file of it.
    EXPECT_EQ(Read("???.txt"), "<none>");
    for (size_t i = 0; i < std::size(kNames); ++i) {
        const std::string renamed = "renamed" + std::to_string(i);
        EXPECT_EQ(Rename(found[kNames[i].utf8], renamed), 0u) << kNames[i].utf8;
        EXPECT_FALSE(HostHas(kNames[i].utf8)) << kNames[i].utf8;
        EXPECT_EQ(Read(renamed), kNames[i].utf8);
    }
    WordReader created = bed.Nfs3(kCreate, WithNoAttributes(Handle(root).Text("???.txt").Word(0)));
    EXPECT_EQ(created.Word() == 0, Native());
}

// The aliases that calls met are kept; a kept alias must neither lead to a name that has gone
// nor hide a file spelled as the alias.
TEST_F(WireNames, AnAliasNeverNamesAnotherEntry) {
    ASSERT_TRUE(MakeFile("song😀.flac", "song"));
    std::vector<std::string> listed = List();
    ASSERT_EQ(listed.size(), 1u);
    const std::string alias = listed[0];
    EXPECT_EQ(Read(alias), "song");

    // Gone: a CREATE under the alias makes a file of that very name.
    stdfs::remove(m_folder / stdfs::u8path("song😀.flac"));
    WordReader created = bed.Nfs3(kCreate, WithNoAttributes(Handle(root).Text(alias).Word(0)));
    EXPECT_EQ(created.Word(), 0u);
    EXPECT_TRUE(HostHas(alias));
    EXPECT_FALSE(HostHas("song😀.flac"));

    // Back again, it travels under another alias than the file that now has that name.
    ASSERT_TRUE(MakeFile("song😀.flac", "song"));
    listed = List();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_NE(listed[0], listed[1]);
    for (const std::string& wire : listed) EXPECT_EQ(Read(wire), wire == alias ? "" : "song");
}

}  // namespace

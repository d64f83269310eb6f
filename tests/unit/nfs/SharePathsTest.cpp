#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "HostFs.h"
#include "SharePaths.h"
#include "TempDir.h"

namespace stdfs = std::filesystem;

namespace {

// One share whose own path leads through a link ("via" is "real"), with links of every kind in
// it. Links are followed on POSIX only.
class SharePathsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (hostfs::Fs().Separator() == '\\') GTEST_SKIP() << "links are followed on POSIX only";
        ASSERT_TRUE(dir.MakeFolder("real/share/sub") && dir.MakeFolder("outside") &&
                    dir.MakeFolder("other/share"));
        for (const char* file : {"real/share/file.txt", "real/share/sub/file.txt",
                                 "outside/secret.txt", "other/share/file.txt"}) {
            ASSERT_TRUE(dir.MakeFile(file)) << file;
        }
        stdfs::create_symlink(dir.Join("real"), dir.Join("via"));
        const std::pair<const char*, const char*> links[] = {
            {"inside", "real/share/sub"}, {"inside-file", "real/share/file.txt"},
            {"out", "outside"},           {"out-file", "outside/secret.txt"},
            {"dangling", "nowhere"},
        };
        for (const auto& [name, target] : links) {
            stdfs::create_symlink(dir.Join(target), dir.Join("real/share/" + std::string(name)));
        }
        const std::string roots[4] = {root};
        SetShareRoots(roots);
    }

    void TearDown() override {
        const std::string none[4];
        SetShareRoots(none);
    }

    std::string InShare(const std::string& name) const {
        return name.empty() ? root : root + "/" + name;
    }

    TempDir dir;
    const std::string root = dir.Join("via/share");
};

}  // namespace

// Resolving only below the share's folder must answer what following the whole path answers.
TEST_F(SharePathsTest, WhatLiesInTheShareWhereLinksLead) {
    const std::pair<const char*, bool> cases[] = {
        {"", true},
        {"file.txt", true},
        {"sub/file.txt", true},
        {"new.txt", true},
        {"missing/deeper/new.txt", true},
        {"inside", true},
        {"inside/file.txt", true},
        {"inside-file", true},
        {"inside/..", true},
        {"sub/../file.txt", true},
        {"out", false},
        {"out/secret.txt", false},
        {"out/new.txt", false},
        {"out-file", false},
        {"out/..", false},
        {"..", false},
        {"dangling", false},
        {"dangling/new.txt", false},
        {"missing/../../file.txt", false},
    };
    hostfs::IHostFs& fs = hostfs::PlatformFs();
    hostfs::ResolvedFolder folder;
    ASSERT_TRUE(fs.ResolveFolder(root, folder));
    for (const auto& [name, inShare] : cases) {
        const std::string path = InShare(name);
        EXPECT_EQ(LiesInShare(path), inShare) << name;
        PathText below;
        PathText whole;
        const bool resolved = fs.RealLocation(path, whole);
        EXPECT_EQ(fs.RealLocationBelow(path, root.size(), folder, below), resolved) << name;
        if (resolved) {
            EXPECT_EQ(below.view(), whole.view()) << name;
        }
    }
}

TEST_F(SharePathsTest, PathsOfAShareWhosePathWasPointedElsewhereSinceTheStartAreRefused) {
    ASSERT_TRUE(LiesInShare(InShare("file.txt")));
    stdfs::remove(dir.Join("via"));
    stdfs::create_symlink(dir.Join("other"), dir.Join("via"));
    EXPECT_FALSE(LiesInShare(InShare("file.txt")));
    EXPECT_FALSE(LiesInShare(root));
}

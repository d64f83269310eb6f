#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FaultyFs.h"
#include "HostFs.h"
#include "TempDir.h"

using hostfs::DiskSpace;
using hostfs::FileKind;
using hostfs::FileStatus;
using hostfs::HostError;
using hostfs::IHostFile;
using hostfs::OpenMode;
using hostfs::Presence;
using hostfs::Transfer;
namespace stdfs = std::filesystem;

namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;
// No test folder holds more entries than this; it bounds every listing loop.
constexpr int kMaxEntries = 100;

class HostFsTest : public ::testing::Test {
  protected:
    bool OnWindows() const { return fs.Separator() == '\\'; }

    FileStatus StatusOf(const std::string& name) {
        FileStatus status;
        EXPECT_EQ(fs.Status(dir.Join(name), status), HostError::kNone) << name;
        return status;
    }

    // The open file, or null.
    std::unique_ptr<IHostFile> Open(const std::string& name, OpenMode mode,
                                    bool exclusive = false) {
        std::unique_ptr<IHostFile> file;
        fs.Open(dir.Join(name), mode, exclusive, file);
        return file;
    }

    // Every name of a folder with how often it came.
    std::map<std::string, int> Listed(const std::string& folder) {
        std::map<std::string, int> names;
        std::unique_ptr<hostfs::IListing> listing = fs.List(folder);
        if (listing == nullptr) return names;
        std::string name;
        for (int i = 0; i < kMaxEntries && listing->Next(name); ++i) ++names[name];
        return names;
    }

    stdfs::perms Perms(const std::string& name) {
        return stdfs::status(dir.Join(name)).permissions() & stdfs::perms::mask;
    }

    TempDir dir;
    hostfs::IHostFs& fs = hostfs::PlatformFs();
};

bool Done(HostError error) {
    return error == HostError::kNone;
}

std::string ReadText(IHostFile& file, uint64_t offset, uint32_t count) {
    std::string buffer(count, '?');
    Transfer read = file.ReadAt(offset, buffer.data(), count);
    return read.error != HostError::kNone ? "<failed>" : buffer.substr(0, read.bytes);
}

// The bytes written, or -1 when the write failed.
int64_t WriteText(IHostFile& file, uint64_t offset, const std::string& text) {
    Transfer written = file.WriteAt(offset, text.data(), static_cast<uint32_t>(text.size()));
    return written.error != HostError::kNone ? int64_t{-1} : int64_t{written.bytes};
}

}  // namespace

TEST_F(HostFsTest, TheServiceUsesThePlatformUnlessATestPutsAnotherInFront) {
    EXPECT_EQ(&hostfs::Fs(), &hostfs::PlatformFs());
    {
        FaultyFs outer;
        EXPECT_EQ(&hostfs::Fs(), &outer);
        {
            FaultyFs inner;
            EXPECT_EQ(&hostfs::Fs(), &inner);
        }
        EXPECT_EQ(&hostfs::Fs(), &outer);
    }
    EXPECT_EQ(&hostfs::Fs(), &hostfs::PlatformFs());
}

// Windows drops trailing dots and blanks: "..." or ". " would act on the folder itself.
TEST_F(HostFsTest, PlainNamesAreNamesOfEntriesOfThisHost) {
    struct Case {
        std::string name;
        bool posix;
        bool windows;
    };
    const Case cases[] = {
        {"movie.avi", true, true}, {".", true, true},       {"..", true, true},
        {"", false, false},        {"a/b", false, false},   {std::string("a\0b", 3), false, false},
        {"a\\b", true, false},     {"c:b", true, false},    {"...", true, false},
        {". ", true, false},       {" ", true, false},      {"foo ", true, true},
        {"foo.", true, true},      {".hidden", true, true}, {"a b.c", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fs.IsPlainName(c.name.data(), c.name.size()), OnWindows() ? c.windows : c.posix)
            << "'" << c.name << "'";
    }
    EXPECT_TRUE(fs.IsPlainName("ab/", 2)) << "only `length` bytes count";
    EXPECT_EQ(fs.SettlesTrailingDots(), OnWindows());
}

TEST_F(HostFsTest, RealLocationsFollowSymbolicLinks) {
    ASSERT_TRUE(dir.MakeFolder("real/sub"));
    PathText real;
    ASSERT_TRUE(fs.RealLocation(dir.Join("real/sub"), real));
    const std::string base(real.view().substr(0, real.size() - std::string("/real/sub").size()));
    EXPECT_TRUE(fs.RealLocation(dir.Join("real/missing/deeper"), real));
    EXPECT_EQ(real.view(),
              OnWindows() ? dir.Join("real/missing/deeper") : base + "/real/missing/deeper")
        << "what does not exist yet keeps its spelling";
    if (OnWindows()) GTEST_SKIP() << "links are not followed on Windows";
    stdfs::create_directory_symlink(dir.Join("real/sub"), dir.Join("link"));
    stdfs::create_symlink(dir.Join("nowhere"), dir.Join("dangling"));
    ASSERT_TRUE(fs.RealLocation(dir.Join("link/new.txt"), real));
    EXPECT_EQ(real.view(), base + "/real/sub/new.txt");
    ASSERT_TRUE(fs.RealLocation(dir.Join("link/.."), real));
    EXPECT_EQ(real.view(), base + "/real");
    EXPECT_FALSE(fs.RealLocation(dir.Join("dangling"), real));
    EXPECT_FALSE(fs.RealLocation(dir.Join("dangling/x"), real));
}

TEST_F(HostFsTest, StoredNamesKeepTheirLetterCase) {
    ASSERT_TRUE(dir.MakeFile("ReadMe.TXT", "x"));
    ASSERT_TRUE(dir.MakeFolder("SubFolder"));
    PathText name;
    ASSERT_TRUE(fs.FindStoredName(dir.Join("ReadMe.TXT"), name));
    EXPECT_EQ(name.view(), "ReadMe.TXT");
    ASSERT_TRUE(fs.FindStoredName(dir.Join("SubFolder"), name));
    EXPECT_EQ(name.view(), "SubFolder");
    EXPECT_FALSE(fs.FindStoredName(dir.Join("missing.txt"), name));

    // Windows finds the file under another case but reports its own spelling; a case-sensitive
    // POSIX file system has nothing under that name.
    name.Assign("");
    EXPECT_EQ(fs.FindStoredName(dir.Join("readme.txt"), name), OnWindows());
    EXPECT_NE(name.view(), "readme.txt");
    EXPECT_EQ(name.view(), OnWindows() ? "ReadMe.TXT" : "");
}

// Find-first would take them as wildcards on Windows.
TEST_F(HostFsTest, WildcardsInANameMatchNoOtherName) {
    ASSERT_TRUE(dir.MakeFile("ReadMe.TXT"));
    PathText name;
    for (const char* pattern : {"Read*", "ReadMe.T?T", "ReadMe<", "ReadMe.TXT\"*"}) {
        EXPECT_FALSE(fs.FindStoredName(dir.Join(pattern), name)) << pattern;
    }
}

// Where the name found is the one asked for, the status is the one Status gives.
TEST_F(HostFsTest, OneQueryFindsWhatStoredNameAndStatusFindApart) {
    ASSERT_TRUE(dir.MakeFile("ReadMe.TXT", "abc"));
    ASSERT_TRUE(dir.MakeFolder("Sub"));
    std::vector<std::string> names = {"ReadMe.TXT", "readme.txt", "Read*",  "Sub",
                                      "Sub/.",      "Sub/..",     "missing"};
    if (!OnWindows()) {
        stdfs::create_symlink(dir.Join("nowhere"), dir.Join("dangling"));
        stdfs::create_symlink(dir.Join("ReadMe.TXT"), dir.Join("link"));
        names.insert(names.end(), {"dangling", "link"});
    }
    for (const std::string& name : names) {
        const std::string path = dir.Join(name);
        PathText stored;
        PathText found("?");
        FileStatus apart;
        FileStatus together;
        const bool exists = fs.FindStoredName(path, stored);
        const bool stated = fs.Status(path, apart) == HostError::kNone;
        Presence presence = fs.FindWithStatus(path, found, together);
        EXPECT_EQ(presence != Presence::kNone, exists) << name;
        if (!exists) continue;
        EXPECT_EQ(found.view(), stored.view()) << name;
        if (path.compare(path.size() - stored.size(), stored.size(), stored) != 0) continue;
        EXPECT_EQ(presence == Presence::kWithStatus, stated) << name;
        if (!stated) continue;
        EXPECT_EQ(together.kind, apart.kind) << name;
        EXPECT_EQ(together.size, apart.size) << name;
        EXPECT_EQ(together.links, apart.links) << name;
        EXPECT_EQ(together.mtime, apart.mtime) << name;
        EXPECT_EQ(together.ctime, apart.ctime) << name;
        EXPECT_EQ(together.writable, apart.writable) << name;
        EXPECT_EQ(together.executable, apart.executable) << name;
    }
}

TEST_F(HostFsTest, AListingGivesEveryStoredNameOnceWithTheDots) {
    const std::vector<std::string> created = {"b.txt", "A.AVI", "Mixed Case.mkv", "Sub"};
    for (size_t i = 0; i + 1 < created.size(); ++i) ASSERT_TRUE(dir.MakeFile(created[i]));
    ASSERT_TRUE(dir.MakeFolder("Sub"));
    ASSERT_TRUE(dir.MakeFile("Sub/inner.txt"));

    std::map<std::string, int> names = Listed(dir.Path());
    for (const std::string& name : created) EXPECT_EQ(names[name], 1) << name;
    EXPECT_EQ(names["."], 1);
    EXPECT_EQ(names[".."], 1);
    EXPECT_EQ(names.size(), created.size() + 2) << "nothing else, nothing from inside Sub";
}

TEST_F(HostFsTest, AnEmptyFolderListsOnlyItsDots) {
    ASSERT_TRUE(dir.MakeFolder("empty"));
    std::map<std::string, int> names = Listed(dir.Join("empty"));
    EXPECT_EQ(names, (std::map<std::string, int>{{".", 1}, {"..", 1}}));
}

TEST_F(HostFsTest, AMissingFolderOrAFileCannotBeListed) {
    ASSERT_TRUE(dir.MakeFile("plain.txt"));
    EXPECT_EQ(fs.List(dir.Join("missing")), nullptr);
    EXPECT_EQ(fs.List(dir.Join("plain.txt")), nullptr);
}

TEST_F(HostFsTest, StatusGivesKindSizeAndTimes) {
    ASSERT_TRUE(dir.MakeFile("five.bin", "12345"));
    ASSERT_TRUE(dir.MakeFolder("folder"));
    const int64_t now = std::time(nullptr);

    FileStatus file = StatusOf("five.bin");
    EXPECT_EQ(file.kind, FileKind::kRegular);
    EXPECT_EQ(file.size, 5u);
    EXPECT_GE(file.links, 1u);
    EXPECT_NEAR(static_cast<double>(file.mtime), static_cast<double>(now), 120.0);
    EXPECT_NEAR(static_cast<double>(file.atime), static_cast<double>(now), 120.0);
    EXPECT_NEAR(static_cast<double>(file.ctime), static_cast<double>(now), 120.0);
    EXPECT_TRUE(file.readable);

    EXPECT_EQ(StatusOf("folder").kind, FileKind::kDirectory);
    // Listings join "." and ".." to the folder's path; those paths must have a status too.
    EXPECT_EQ(StatusOf("folder/.").kind, FileKind::kDirectory);
    EXPECT_EQ(StatusOf("folder/..").kind, FileKind::kDirectory);
}

TEST_F(HostFsTest, SizesAndOffsetsBeyondFourGigabytes) {
    ASSERT_TRUE(dir.MakeFile("big.bin"));
    ASSERT_EQ(fs.SetSize(dir.Join("big.bin"), 5 * kGiB), HostError::kNone);
    EXPECT_EQ(StatusOf("big.bin").size, 5 * kGiB);
    {
        std::unique_ptr<IHostFile> file = Open("big.bin", OpenMode::kWriteExisting);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(WriteText(*file, 5 * kGiB, "end"), 3);
    }
    EXPECT_EQ(StatusOf("big.bin").size, 5 * kGiB + 3);
    std::unique_ptr<IHostFile> file = Open("big.bin", OpenMode::kReadExisting);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadText(*file, 5 * kGiB - 1, 8), std::string("\0end", 4));
}

TEST_F(HostFsTest, ReadsAndWritesArePositioned) {
    ASSERT_TRUE(dir.MakeFile("data", "abcdef"));
    {
        std::unique_ptr<IHostFile> file = Open("data", OpenMode::kReadExisting);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(ReadText(*file, 2, 3), "cde");
        EXPECT_EQ(ReadText(*file, 4, 10), "ef") << "a read across the end stops there";
        EXPECT_EQ(ReadText(*file, 6, 4), "") << "at the end";
        EXPECT_EQ(ReadText(*file, 1000, 4), "") << "past the end";
        EXPECT_EQ(ReadText(*file, ~uint64_t{0} - 1, 4), "") << "past any end";
        EXPECT_EQ(ReadText(*file, 0, 0), "");
    }
    {
        std::unique_ptr<IHostFile> file = Open("data", OpenMode::kWriteExisting);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(WriteText(*file, 2, "XY"), 2);
        EXPECT_EQ(WriteText(*file, 8, "Z"), 1) << "past the end: the file grows";
        EXPECT_EQ(WriteText(*file, ~uint64_t{0} - 1, "no"), -1);
        EXPECT_EQ(file->Flush(), HostError::kNone);
    }
    EXPECT_EQ(dir.Contents("data"), std::string("abXYef\0\0Z", 9));
}

TEST_F(HostFsTest, AFileOpenedForOneDirectionRefusesTheOther) {
    ASSERT_TRUE(dir.MakeFile("data", "abc"));
    std::unique_ptr<IHostFile> reader = Open("data", OpenMode::kReadExisting);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(WriteText(*reader, 0, "x"), -1);
    reader.reset();
    std::unique_ptr<IHostFile> writer = Open("data", OpenMode::kWriteExisting);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(ReadText(*writer, 0, 3), "<failed>");
    writer.reset();
    EXPECT_EQ(dir.Contents("data"), "abc");
}

TEST_F(HostFsTest, CreateAlwaysMakesOrEmptiesAFileAndCanReadItBack) {
    ASSERT_TRUE(dir.MakeFile("full", "old contents"));
    {
        std::unique_ptr<IHostFile> file = Open("full", OpenMode::kCreateAlways);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(ReadText(*file, 0, 20), "");
        EXPECT_EQ(WriteText(*file, 0, "new"), 3);
        EXPECT_EQ(ReadText(*file, 0, 20), "new");
    }
    EXPECT_EQ(dir.Contents("full"), "new");
    EXPECT_NE(Open("fresh", OpenMode::kCreateAlways), nullptr);
    EXPECT_TRUE(dir.Exists("fresh"));
    EXPECT_EQ(StatusOf("fresh").size, 0u);
}

namespace {

// Every figure of a status, so that two statuses compare in one expectation.
std::vector<int64_t> Figures(const FileStatus& status) {
    return {static_cast<int64_t>(status.kind),
            status.readable,
            status.writable,
            status.executable,
            status.links,
            static_cast<int64_t>(status.size),
            status.atime,
            status.mtime,
            status.ctime};
}

}  // namespace

// The status comes from the open file, and must be what Status reports once the transfer is
// over; the opens refuse what Open refuses.
TEST_F(HostFsTest, OneShotTransfersReportTheFileAsItIsAfterThem) {
    ASSERT_TRUE(dir.MakeFile("clip.exe", "abcdef"));
    ASSERT_TRUE(dir.MakeFolder("folder"));
    const std::string clip = dir.Join("clip.exe");
    char buffer[8] = {};
    FileStatus after;
    hostfs::TransferResult read = fs.ReadOnce(clip, true, 2, buffer, sizeof buffer, &after);
    EXPECT_EQ(read.error, HostError::kNone);
    EXPECT_EQ(read.bytes, 4u);
    EXPECT_EQ(std::string(buffer, 4), "cdef");
    EXPECT_TRUE(read.hasStatus);
    EXPECT_EQ(Figures(after), Figures(StatusOf("clip.exe")));

    hostfs::TransferResult written = fs.WriteOnce(clip, false, 8, "XY", 2, &after);
    EXPECT_EQ(written.bytes, 2u);
    EXPECT_EQ(after.size, 10u);
    EXPECT_EQ(Figures(after), Figures(StatusOf("clip.exe")));
    EXPECT_FALSE(fs.WriteOnce(clip, false, 0, "Z", 1, nullptr).hasStatus);
    EXPECT_EQ(fs.FlushOnce(clip), HostError::kNone);
    EXPECT_EQ(dir.Contents("clip.exe"), std::string("Zbcdef\0\0XY", 10));
}

TEST_F(HostFsTest, OpensThatShareTheFileCoexist) {
    ASSERT_TRUE(dir.MakeFile("shared", "abc"));
    std::unique_ptr<IHostFile> first = Open("shared", OpenMode::kReadExisting);
    std::unique_ptr<IHostFile> second = Open("shared", OpenMode::kWriteExisting);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(WriteText(*second, 0, "X"), 1);
    EXPECT_EQ(second->Flush(), HostError::kNone);
    EXPECT_EQ(ReadText(*first, 0, 3), "Xbc");
}

TEST_F(HostFsTest, AnExclusiveOpenKeepsEveryOtherOpenOut) {
    if (!OnWindows()) GTEST_SKIP() << "POSIX has no share modes; exclusive opens promise nothing";
    ASSERT_TRUE(dir.MakeFile("locked", "abc"));
    std::unique_ptr<IHostFile> holder = Open("locked", OpenMode::kReadExisting, true);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(Open("locked", OpenMode::kReadExisting, true), nullptr);
    EXPECT_EQ(Open("locked", OpenMode::kReadExisting), nullptr);
    EXPECT_EQ(Open("locked", OpenMode::kWriteExisting), nullptr);
    EXPECT_EQ(Open("locked", OpenMode::kCreateAlways), nullptr);
    EXPECT_EQ(ReadText(*holder, 0, 3), "abc") << "the holder still reads";

    // An exclusive open also waits for the ordinary ones to close.
    holder.reset();
    holder = Open("locked", OpenMode::kReadExisting);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(Open("locked", OpenMode::kWriteExisting, true), nullptr);
    holder.reset();
    EXPECT_NE(Open("locked", OpenMode::kWriteExisting, true), nullptr);
    EXPECT_EQ(dir.Contents("locked"), "abc");
}

TEST_F(HostFsTest, PosixFlagsComeFromTheOwnerBits) {
    if (OnWindows()) GTEST_SKIP() << "Windows has no mode bits";
    ASSERT_TRUE(dir.MakeFile("f"));
    struct Case {
        stdfs::perms perms;
        bool readable, writable, executable;
    };
    const Case cases[] = {
        {stdfs::perms::owner_read, true, false, false},
        {stdfs::perms::owner_write, false, true, false},
        {stdfs::perms::owner_exec, false, false, true},
        {stdfs::perms::group_all | stdfs::perms::others_all, false, false, false},
        {stdfs::perms::owner_all, true, true, true},
    };
    for (const Case& c : cases) {
        stdfs::permissions(dir.Join("f"), c.perms);
        FileStatus status = StatusOf("f");
        EXPECT_EQ(status.readable, c.readable) << static_cast<int>(c.perms);
        EXPECT_EQ(status.writable, c.writable) << static_cast<int>(c.perms);
        EXPECT_EQ(status.executable, c.executable) << static_cast<int>(c.perms);
    }
}

TEST_F(HostFsTest, PosixReportsDevicesAndHardLinks) {
    if (OnWindows()) GTEST_SKIP() << "devices and link counts are POSIX matters here";
    FileStatus device;
    ASSERT_EQ(fs.Status("/dev/null", device), HostError::kNone);
    EXPECT_EQ(device.kind, FileKind::kCharDevice);
    std::unique_ptr<IHostFile> file;
    EXPECT_EQ(fs.Open("/dev/null", OpenMode::kReadExisting, false, file), HostError::kOther)
        << "only regular files are opened";

    ASSERT_TRUE(dir.MakeFile("one"));
    stdfs::create_hard_link(dir.Join("one"), dir.Join("two"));
    EXPECT_EQ(StatusOf("one").links, 2u);
}

TEST_F(HostFsTest, WindowsFlagsComeFromTheReadOnlyMarkAndTheProgramSuffixes) {
    if (!OnWindows()) GTEST_SKIP() << "the suffix rule and the read-only mark are Windows'";
    const std::vector<std::string> programs = {"a.exe", "B.BAT", "c.Cmd", "d.com"};
    const std::vector<std::string> others = {"e.txt", "exe", "f.exe.txt", "g.execute"};
    for (const std::string& name : programs) ASSERT_TRUE(dir.MakeFile(name));
    for (const std::string& name : others) ASSERT_TRUE(dir.MakeFile(name));
    for (const std::string& name : programs) EXPECT_TRUE(StatusOf(name).executable) << name;
    for (const std::string& name : others) EXPECT_FALSE(StatusOf(name).executable) << name;

    ASSERT_TRUE(dir.MakeFolder("folder"));
    FileStatus folder = StatusOf("folder");
    EXPECT_TRUE(folder.executable && folder.readable && folder.writable);
    EXPECT_EQ(StatusOf("e.txt").links, 1u);

    stdfs::permissions(dir.Join("e.txt"), stdfs::perms::owner_write, stdfs::perm_options::remove);
    FileStatus readOnly = StatusOf("e.txt");
    EXPECT_TRUE(readOnly.readable);
    EXPECT_FALSE(readOnly.writable);
}

TEST_F(HostFsTest, WindowsDriveRootsInTheirDotForm) {
    if (!OnWindows()) GTEST_SKIP() << "drive letters are Windows'";
    const std::string root = dir.Path().substr(0, 2) + "\\.";
    FileStatus status;
    ASSERT_EQ(fs.Status(root, status), HostError::kNone) << root;
    EXPECT_EQ(status.kind, FileKind::kDirectory);
    DiskSpace space;
    EXPECT_EQ(fs.FreeSpace(root, space), HostError::kNone);
    EXPECT_EQ(fs.FreeSpace("\\\\server\\share", space), HostError::kNotFound);
    EXPECT_EQ(fs.FreeSpace("", space), HostError::kNotFound);
}

TEST_F(HostFsTest, SetPermissionsTakesAwayAndGivesBackWriting) {
    ASSERT_TRUE(dir.MakeFile("f", "abc"));
    ASSERT_EQ(fs.SetPermissions(dir.Join("f"), true, false), HostError::kNone);
    EXPECT_FALSE(StatusOf("f").writable);
    EXPECT_TRUE(StatusOf("f").readable);
    ASSERT_EQ(fs.SetPermissions(dir.Join("f"), true, true), HostError::kNone);
    EXPECT_TRUE(StatusOf("f").writable);
    EXPECT_NE(Open("f", OpenMode::kWriteExisting), nullptr);
}

TEST_F(HostFsTest, PosixSetPermissionsKeepsEveryOtherBit) {
    if (OnWindows()) GTEST_SKIP() << "Windows has only the read-only mark";
    using P = stdfs::perms;
    ASSERT_TRUE(dir.MakeFile("f"));
    stdfs::permissions(dir.Join("f"),
                       P::owner_all | P::group_read | P::group_exec | P::others_read);
    ASSERT_EQ(fs.SetPermissions(dir.Join("f"), false, true), HostError::kNone);
    EXPECT_EQ(Perms("f"),
              P::owner_write | P::owner_exec | P::group_read | P::group_exec | P::others_read);
    ASSERT_EQ(fs.SetPermissions(dir.Join("f"), true, false), HostError::kNone);
    EXPECT_EQ(Perms("f"),
              P::owner_read | P::owner_exec | P::group_read | P::group_exec | P::others_read);
}

TEST_F(HostFsTest, SetSizeCutsAndExtends) {
    ASSERT_TRUE(dir.MakeFile("f", "abcdef"));
    ASSERT_EQ(fs.SetSize(dir.Join("f"), 3), HostError::kNone);
    EXPECT_EQ(dir.Contents("f"), "abc");
    ASSERT_EQ(fs.SetSize(dir.Join("f"), 5), HostError::kNone);
    EXPECT_EQ(dir.Contents("f"), std::string("abc\0\0", 5));
}

TEST_F(HostFsTest, SetTimesChangesOnlyTheTimesGiven) {
    ASSERT_TRUE(dir.MakeFile("f"));
    ASSERT_TRUE(dir.MakeFolder("folder"));
    const int64_t first = 1000000000;  // 2001-09-09
    const int64_t second = 1234567890;
    for (const char* name : {"f", "folder"}) {
        const std::string path = dir.Join(name);
        ASSERT_EQ(fs.SetTimes(path, &first, &second), HostError::kNone) << name;
        EXPECT_EQ(StatusOf(name).atime, first) << name;
        EXPECT_EQ(StatusOf(name).mtime, second) << name;
        ASSERT_EQ(fs.SetTimes(path, nullptr, &first), HostError::kNone);
        EXPECT_EQ(StatusOf(name).atime, first) << name;
        EXPECT_EQ(StatusOf(name).mtime, first) << name;
        ASSERT_EQ(fs.SetTimes(path, &second, nullptr), HostError::kNone);
        EXPECT_EQ(StatusOf(name).atime, second) << name;
        EXPECT_EQ(StatusOf(name).mtime, first) << name;
    }
}

TEST_F(HostFsTest, MoveRenamesAcrossFoldersButNeverReplaces) {
    ASSERT_TRUE(dir.MakeFile("a", "A"));
    ASSERT_TRUE(dir.MakeFile("b", "B"));
    ASSERT_TRUE(dir.MakeFolder("sub"));
    ASSERT_TRUE(dir.MakeFolder("empty"));

    EXPECT_EQ(fs.Move(dir.Join("a"), dir.Join("b")), HostError::kExists);
    EXPECT_EQ(dir.Contents("a"), "A");
    EXPECT_EQ(dir.Contents("b"), "B");
    EXPECT_EQ(fs.Move(dir.Join("sub"), dir.Join("empty")), HostError::kExists)
        << "not even an empty folder";
    EXPECT_TRUE(dir.Exists("sub"));
    // Onto itself: POSIX refuses (the name exists), MoveFileA lets it pass; nothing is lost.
    EXPECT_EQ(fs.Move(dir.Join("a"), dir.Join("a")),
              OnWindows() ? HostError::kNone : HostError::kExists);
    EXPECT_EQ(dir.Contents("a"), "A");

    EXPECT_EQ(fs.Move(dir.Join("a"), dir.Join("sub/moved")), HostError::kNone);
    EXPECT_FALSE(dir.Exists("a"));
    EXPECT_EQ(dir.Contents("sub/moved"), "A");
    EXPECT_EQ(fs.Move(dir.Join("sub"), dir.Join("renamed")), HostError::kNone);
    EXPECT_EQ(dir.Contents("renamed/moved"), "A");

    // A change of letter case alone: POSIX stores the new spelling, and so does Windows; Wine 8
    // answers success but keeps the old one. Common to all: the move succeeds, nothing is lost.
    PathText name;
    ASSERT_EQ(fs.Move(dir.Join("b"), dir.Join("B")), HostError::kNone);
    ASSERT_TRUE(fs.FindStoredName(dir.Join("B"), name));
    EXPECT_TRUE(OnWindows() || !dir.Exists("b"));
    EXPECT_EQ(dir.Contents(std::string(name.view())), "B");
}

TEST_F(HostFsTest, FoldersAndFilesAreMadeAndRemoved) {
    const std::string folder = dir.Join("folder");
    ASSERT_EQ(fs.MakeFolder(folder), HostError::kNone);
    EXPECT_EQ(StatusOf("folder").kind, FileKind::kDirectory);
    ASSERT_TRUE(dir.MakeFile("folder/inside"));
    EXPECT_EQ(fs.RemoveFile(dir.Join("folder/inside")), HostError::kNone);
    EXPECT_FALSE(dir.Exists("folder/inside"));
    EXPECT_EQ(fs.RemoveFolder(folder), HostError::kNone);
    EXPECT_FALSE(dir.Exists("folder"));
}

// The reason travels with the refusal, so that a client hears "exists", "not empty" or "no
// such file" rather than an I/O error. A folder is no file to open or transfer.
TEST_F(HostFsTest, RefusalsSayWhy) {
    ASSERT_TRUE(dir.MakeFolder("folder"));
    ASSERT_TRUE(dir.MakeFile("folder/inside"));
    ASSERT_TRUE(dir.MakeFile("file"));
    const std::string missing = dir.Join("missing");
    const int64_t when = 1000000000;
    FileStatus status;
    char buffer[4];
    std::unique_ptr<IHostFile> file;
    struct Case {
        const char* what;
        std::function<HostError()> change;
        HostError expected;
    };
    const Case cases[] = {
        {"status", [&] { return fs.Status(missing, status); }, HostError::kNotFound},
        {"set permissions", [&] { return fs.SetPermissions(missing, true, true); },
         HostError::kNotFound},
        {"set the size", [&] { return fs.SetSize(missing, 0); }, HostError::kNotFound},
        {"set times", [&] { return fs.SetTimes(missing, &when, &when); }, HostError::kNotFound},
        {"open to read", [&] { return fs.Open(missing, OpenMode::kReadExisting, false, file); },
         HostError::kNotFound},
        {"open to write", [&] { return fs.Open(missing, OpenMode::kWriteExisting, false, file); },
         HostError::kNotFound},
        {"read once", [&] { return fs.ReadOnce(missing, false, 0, buffer, 4, &status).error; },
         HostError::kNotFound},
        {"write once", [&] { return fs.WriteOnce(missing, false, 0, "x", 1, &status).error; },
         HostError::kNotFound},
        {"flush", [&] { return fs.FlushOnce(missing); }, HostError::kNotFound},
        {"read a folder",
         [&] { return fs.ReadOnce(dir.Join("folder"), false, 0, buffer, 4, &status).error; },
         HostError::kOther},
        {"write a folder",
         [&] { return fs.WriteOnce(dir.Join("folder"), false, 0, "x", 1, &status).error; },
         HostError::kOther},
        {"create over a folder",
         [&] { return fs.Open(dir.Join("folder"), OpenMode::kCreateAlways, false, file); },
         HostError::kOther},
        {"flush a folder", [&] { return fs.FlushOnce(dir.Join("folder")); }, HostError::kOther},
        {"make an existing folder", [&] { return fs.MakeFolder(dir.Join("folder")); },
         HostError::kExists},
        {"make a folder in a missing one", [&] { return fs.MakeFolder(dir.Join("no/child")); },
         HostError::kNotFound},
        {"remove a full folder", [&] { return fs.RemoveFolder(dir.Join("folder")); },
         HostError::kNotEmpty},
        {"remove a file as a folder", [&] { return fs.RemoveFolder(dir.Join("file")); },
         HostError::kNotFolder},
        {"remove a folder as a file", [&] { return fs.RemoveFile(dir.Join("folder")); },
         OnWindows() ? HostError::kDenied : HostError::kIsFolder},
        {"remove a missing file", [&] { return fs.RemoveFile(dir.Join("missing")); },
         HostError::kNotFound},
        {"move a missing file", [&] { return fs.Move(dir.Join("missing"), dir.Join("x")); },
         HostError::kNotFound},
    };
    for (const Case& c : cases) EXPECT_EQ(c.change(), c.expected) << c.what;
    EXPECT_EQ(file, nullptr);
    EXPECT_TRUE(dir.Exists("folder/inside"));
    EXPECT_TRUE(dir.Exists("file"));
    EXPECT_FALSE(dir.Exists("missing")) << "writing an existing file never creates one";
    DiskSpace space;
    EXPECT_EQ(fs.FreeSpace(missing, space), OnWindows() ? HostError::kNone : HostError::kNotFound)
        << "POSIX asks the file system that holds the path, Windows the drive of its letter";
}

TEST_F(HostFsTest, FreeSpaceOfTheTemporaryVolumeIsSane) {
    DiskSpace space;
    ASSERT_EQ(fs.FreeSpace(dir.Path(), space), HostError::kNone);
    EXPECT_GT(space.sectorsPerCluster * space.bytesPerSector, 0u);
    EXPECT_GT(space.freeClusters, 0u);
    EXPECT_GE(space.totalClusters, space.freeClusters);
    EXPECT_EQ(space.hasFileCounts, !OnWindows());
    EXPECT_GE(space.totalFiles, space.freeFiles);
}

// The fault-injecting file system that procedure tests put in front.

TEST_F(HostFsTest, FaultyFsRefusesWhatItIsToldForTheChosenPathsOnly) {
    ASSERT_TRUE(dir.MakeFile("locked.bin", "abc"));
    ASSERT_TRUE(dir.MakeFile("free.bin", "abc"));
    FaultyFs faulty;
    hostfs::IHostFs& host = hostfs::Fs();
    faulty.Fail(Fault::kStatus, "locked", HostError::kDenied);
    FileStatus status;
    EXPECT_EQ(host.Status(dir.Join("locked.bin"), status), HostError::kDenied);
    EXPECT_EQ(host.Status(dir.Join("free.bin"), status), HostError::kNone);
    EXPECT_EQ(status.size, 3u);
    PathText name;
    EXPECT_EQ(host.FindWithStatus(dir.Join("locked.bin"), name, status), Presence::kNameOnly);
    EXPECT_EQ(host.FindWithStatus(dir.Join("free.bin"), name, status), Presence::kWithStatus);
    EXPECT_EQ(faulty.Hits(Fault::kStatus), 2);
    faulty.Fail(Fault::kFindStoredName, "free");
    EXPECT_EQ(host.FindWithStatus(dir.Join("free.bin"), name, status), Presence::kNone);
    EXPECT_EQ(faulty.Hits(Fault::kFindStoredName), 1);
    faulty.Heal(Fault::kStatus);
    EXPECT_EQ(host.Status(dir.Join("locked.bin"), status), HostError::kNone);
    EXPECT_EQ(faulty.Hits(Fault::kStatus), 2);
    EXPECT_EQ(host.Separator(), fs.Separator());
}

// An operation that says why it failed says what the fault was armed with.
TEST_F(HostFsTest, FaultyFsRefusesEachOperationWithItsErrorAndForwardsItWhenHealed) {
    ASSERT_TRUE(dir.MakeFile("f", "abc"));
    ASSERT_TRUE(dir.MakeFolder("gone"));
    FaultyFs faulty;
    hostfs::IHostFs& host = hostfs::Fs();
    const int64_t when = 1000000000;
    PathText name;
    DiskSpace space;
    auto refused = [](bool done) { return done ? HostError::kNone : HostError::kOther; };
    // The file is closed again at once: Windows removes no file that is open.
    auto open = [&](const char* name, OpenMode mode) {
        std::unique_ptr<IHostFile> file;
        return host.Open(dir.Join(name), mode, false, file);
    };
    auto walk = [&] {
        std::unique_ptr<hostfs::IListing> listing = host.List(dir.Path());
        std::string entry;
        for (int i = 0; i < kMaxEntries && listing->Next(entry); ++i) continue;
        return listing->Error();
    };
    struct Case {
        Fault fault;
        std::function<HostError()> call;
    };
    const Case cases[] = {
        {Fault::kFindStoredName, [&] { return refused(host.FindStoredName(dir.Join("f"), name)); }},
        {Fault::kList, [&] { return refused(host.List(dir.Path()) != nullptr); }},
        {Fault::kListNext, walk},
        {Fault::kOpenRead, [&] { return open("f", OpenMode::kReadExisting); }},
        {Fault::kOpenWrite, [&] { return open("f", OpenMode::kWriteExisting); }},
        {Fault::kOpenCreate, [&] { return open("new", OpenMode::kCreateAlways); }},
        {Fault::kSetPermissions, [&] { return host.SetPermissions(dir.Join("f"), true, true); }},
        {Fault::kSetSize, [&] { return host.SetSize(dir.Join("f"), 3); }},
        {Fault::kSetTimes, [&] { return host.SetTimes(dir.Join("f"), &when, &when); }},
        {Fault::kMakeFolder, [&] { return host.MakeFolder(dir.Join("made")); }},
        {Fault::kRemoveFolder, [&] { return host.RemoveFolder(dir.Join("gone")); }},
        {Fault::kMove,
         [&] {
             HostError error = host.Move(dir.Join("f"), dir.Join("g"));
             return Done(error) ? host.Move(dir.Join("g"), dir.Join("f")) : error;
         }},
        {Fault::kFreeSpace, [&] { return host.FreeSpace(dir.Path(), space); }},
        {Fault::kRemoveFile, [&] { return host.RemoveFile(dir.Join("new")); }},
        {Fault::kRealLocation, [&] { return refused(host.RealLocation(dir.Join("f"), name)); }},
    };
    for (const Case& c : cases) {
        const int fault = static_cast<int>(c.fault);
        faulty.Fail(c.fault, "", HostError::kNoSpace);
        const HostError error = c.call();
        EXPECT_TRUE(error == HostError::kNoSpace || error == HostError::kOther) << fault;
        EXPECT_EQ(faulty.Hits(c.fault), 1) << fault;
        faulty.Heal(c.fault);
        EXPECT_EQ(c.call(), HostError::kNone) << fault;
    }
    EXPECT_FALSE(dir.Exists("gone"));
    EXPECT_TRUE(dir.Exists("made"));
    EXPECT_EQ(dir.Contents("f"), "abc");
}

TEST_F(HostFsTest, FaultyFsFilesFailReadsWritesAndFlushesEvenWhenArmedLate) {
    ASSERT_TRUE(dir.MakeFile("f", "abcd"));
    FaultyFs faulty;
    std::unique_ptr<IHostFile> file;
    ASSERT_EQ(hostfs::Fs().Open(dir.Join("f"), OpenMode::kWriteExisting, false, file),
              HostError::kNone);
    faulty.Fail(Fault::kShortWrite, "", HostError::kNoSpace);
    Transfer half = file->WriteAt(0, "WXYZ", 4);
    EXPECT_EQ(half.bytes, 2u) << "half of it, as a full disk does";
    EXPECT_EQ(half.error, HostError::kNoSpace);
    faulty.Heal(Fault::kShortWrite);
    faulty.Fail(Fault::kWriteAt, "f");
    EXPECT_EQ(WriteText(*file, 0, "1234"), -1);
    faulty.Fail(Fault::kFlush);
    EXPECT_EQ(file->Flush(), HostError::kOther);
    file.reset();
    EXPECT_EQ(dir.Contents("f"), "WXcd");

    ASSERT_EQ(hostfs::Fs().Open(dir.Join("f"), OpenMode::kReadExisting, false, file),
              HostError::kNone);
    EXPECT_EQ(ReadText(*file, 0, 4), "WXcd");
    faulty.Fail(Fault::kReadAt);
    EXPECT_EQ(ReadText(*file, 0, 4), "<failed>");
    EXPECT_EQ(faulty.Hits(Fault::kReadAt), 1);
}

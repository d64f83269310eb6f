#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "DorvelFileManager.h"
#include "FaultyFs.h"
#include "HostFs.h"
#include "Nfs3Reply.h"
#include "NfsTestbed.h"

using hostfs::HostError;

namespace {

enum Procedure : uint32_t { kRead = 6, kWrite = 7, kCreate = 8, kCommit = 21 };
enum CreateMode : uint32_t { kUnchecked = 0, kGuarded = 1, kExclusive = 2 };

using Message = std::pair<std::string, std::string>;
const Message kReadFailed{"File Reading operation failed ! ", "File I/O Error"};
const Message kWriteFailed{"File Writing operation failed ! ", "File I/O Error"};
const Message kCreateFailed{"File Creation operation failed ! ", "File Create Error"};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    return bytes;
}

XdrBytes ReadArgs(const std::vector<uint8_t>& file, uint64_t offset, uint32_t count) {
    return Handle(file).Hyper(offset).Word(count);
}

XdrBytes WriteArgs(const std::vector<uint8_t>& file, uint64_t offset, uint32_t count,
                   const std::string& data) {
    return Handle(file).Hyper(offset).Word(count).Word(0).Text(data);
}

XdrBytes CreateArgs(const std::vector<uint8_t>& folder, const std::string& name, uint32_t mode,
                    uint64_t verf = 0) {
    XdrBytes args = Handle(folder).Text(name).Word(mode);
    return mode == kExclusive ? args.Hyper(verf) : WithNoAttributes(args);
}

// What a READ that succeeded carries after its status, its data copied out of the reply.
struct ReadResult {
    fattr3 attributes;
    uint32_t count;
    bool eof;
    std::string data;
};

// A failure that carries an empty wcc_data (WRITE, CREATE, COMMIT).
void ExpectWccFailure(WordReader reply, uint32_t status) {
    EXPECT_EQ(RestWords(reply), (std::vector<uint32_t>{status, 0, 0}));
}

class Nfs3Transfer : public ::testing::Test {
  protected:
    Nfs3Transfer() {
        bed.Dir().MakeFile("share1/film.bin", content);
        root = bed.Root(1);
        film = bed.Lookup(root, "film.bin");
    }

    ReadResult Read(uint64_t offset, uint32_t count) {
        WordReader reply = bed.Nfs3(kRead, ReadArgs(film, offset, count));
        EXPECT_EQ(reply.Word(), 0u);
        READ3resok ok = Decoded<READ3resok>(reply);
        EXPECT_TRUE(ok.file_attributes.attributes_follow);
        EXPECT_EQ(reply.Left(), 0u);
        return {ok.file_attributes.attributes, ok.count, ok.eof,
                std::string(reinterpret_cast<const char*>(ok.data.data), ok.data.length)};
    }

    // A CREATE in the share's root that succeeded.
    NewEntry Create(const std::string& name, uint32_t mode, uint64_t verf = 0) {
        WordReader reply = bed.Nfs3(kCreate, CreateArgs(root, name, mode, verf));
        NewEntry entry = ReadNewEntry(reply);
        EXPECT_EQ(RestWords(reply), (std::vector<uint32_t>{0, 0})) << name;
        return entry;
    }

    // A READ that failed: its status and post_op_attr, then nothing.
    void ExpectReadFailure(WordReader reply, uint32_t status, bool attributes) {
        EXPECT_EQ(reply.Word(), status);
        post_op_attr after = Decoded<post_op_attr>(reply);
        EXPECT_EQ(after.attributes_follow, attributes);
        EXPECT_EQ(after.attributes.size, attributes ? content.size() : 0u);
        EXPECT_EQ(reply.Left(), 0u);
    }

    const std::string content = Pattern(100000);
    NfsTestbed bed;
    std::vector<uint8_t> root;
    std::vector<uint8_t> film;
    const std::vector<uint8_t> stale = std::vector<uint8_t>(64, 0xEE);
};

TEST_F(Nfs3Transfer, ReadAnswersCountEofAndPadding) {
    ReadResult first = Read(0, 32768);
    EXPECT_EQ(first.attributes.size, 100000u);
    EXPECT_EQ(first.count, 32768u);
    EXPECT_FALSE(first.eof);
    EXPECT_EQ(first.data, content.substr(0, 32768));

    ReadResult tail = Read(98304, 32768);
    EXPECT_EQ(tail.count, 1696u);
    EXPECT_TRUE(tail.eof);
    EXPECT_EQ(tail.data, content.substr(98304));

    ReadResult toTheEnd = Read(100000 - 32768, 32768);
    EXPECT_EQ(toTheEnd.count, 32768u);
    EXPECT_FALSE(toTheEnd.eof);

    for (uint64_t past : {100000ull, 1ull << 40}) {
        ReadResult beyond = Read(past, 100);
        EXPECT_EQ(beyond.count, 0u);
        EXPECT_TRUE(beyond.eof);
    }

    ReadResult none = Read(0, 0);
    EXPECT_EQ(none.count, 0u);
    EXPECT_TRUE(none.eof);
    EXPECT_EQ(none.data, "");

    // The last byte comes with three zero bytes of padding.
    WordReader last = bed.Nfs3(kRead, ReadArgs(film, 99999, 32768));
    last.Bytes(4 + 4 + 84);
    EXPECT_EQ(last.Word(), 1u);
    EXPECT_EQ(last.Word(), 1u);
    EXPECT_EQ(last.Word(), 1u);
    EXPECT_EQ(last.Word(), uint32_t(uint8_t(content[99999])) << 24);
    EXPECT_EQ(last.Left(), 0u);
}

TEST_F(Nfs3Transfer, ReadAboveRtmaxIsServedShortAndContinued) {
    ReadResult big = Read(0, 1000000);
    EXPECT_EQ(big.count, 32768u);
    EXPECT_FALSE(big.eof) << "the client continues";
    EXPECT_EQ(big.data, content.substr(0, 32768));
    ReadResult rest = Read(98304, 0xFFFFFFFF);
    EXPECT_EQ(rest.count, 1696u);
    EXPECT_TRUE(rest.eof);
}

TEST_F(Nfs3Transfer, ReadOfUnknownOrMissingFiles) {
    ExpectReadFailure(bed.Nfs3(kRead, ReadArgs(stale, 0, 10)), 70, false);
    ASSERT_EQ(hostfs::Fs().RemoveFile(bed.InShare(1, "film.bin")), hostfs::HostError::kNone);
    ExpectReadFailure(bed.Nfs3(kRead, ReadArgs(film, 0, 10)), 2, false);
    EXPECT_TRUE(bed.events.Messages().empty());
}

TEST_F(Nfs3Transfer, ReadOfAFileAnotherProgramHoldsExclusively) {
    if (hostfs::Fs().Separator() != '\\') {
        GTEST_SKIP() << "POSIX has no share modes: another program cannot hold a file alone";
    }
    std::unique_ptr<hostfs::IHostFile> holder;
    ASSERT_EQ(hostfs::Fs().Open(bed.InShare(1, "film.bin"), hostfs::OpenMode::kReadExisting, true,
                                holder),
              hostfs::HostError::kNone);
    ExpectReadFailure(bed.Nfs3(kRead, ReadArgs(film, 0, 10)), 5, true);
    EXPECT_EQ(bed.events.Messages(), std::vector<Message>{kReadFailed});
}

TEST_F(Nfs3Transfer, WriteExtendsTheFileAndAnswersFileSync) {
    bed.Dir().MakeFile("share1/small.bin", std::string(1000, 's'));
    std::vector<uint8_t> small = bed.Lookup(root, "small.bin");
    const std::string data = Pattern(8192);
    WordReader reply = bed.Nfs3(kWrite, WriteArgs(small, 4096, 8192, data));
    EXPECT_EQ(RestWords(reply), (std::vector<uint32_t>{0, 0, 0, 8192, 2, 0, 0}));
    EXPECT_EQ(bed.Dir().Contents("share1/small.bin"),
              std::string(1000, 's') + std::string(3096, '\0') + data);

    // A count below the data writes count bytes.
    WordReader part = bed.Nfs3(kWrite, WriteArgs(small, 0, 3, "abcdef"));
    EXPECT_EQ(RestWords(part), (std::vector<uint32_t>{0, 0, 0, 3, 2, 0, 0}));
    EXPECT_EQ(bed.Dir().Contents("share1/small.bin").substr(0, 5), "abcss");
}

TEST_F(Nfs3Transfer, WriteCountBeyondTheDataIsInvalidAndWritesNothing) {
    for (uint32_t count : {7u, 0xFFFFFFFFu}) {
        ExpectWccFailure(bed.Nfs3(kWrite, WriteArgs(film, 0, count, "abcdef")), 22);
    }
    EXPECT_EQ(bed.Dir().Contents("share1/film.bin"), content);
    EXPECT_TRUE(bed.events.Messages().empty());
}

// Answering "0 bytes, end of file" would make the client's copy silently short: a READ or WRITE
// the host refuses answers the host's reason (RFC 1813 2.6), with the file's attributes (READ) or
// an empty wcc_data (WRITE), and the person at the computer hears of every failure. The reply is
// there although nobody has acknowledged the message: the server does not wait for the user.
TEST_F(Nfs3Transfer, TransferFailuresOfTheHostAnswerWhyAndTellTheUser) {
    FaultyFs faulty;
    const std::tuple<Fault, HostError, uint32_t> failures[] = {
        {Fault::kOpenRead, HostError::kOther, 5},    {Fault::kReadAt, HostError::kOther, 5},
        {Fault::kOpenRead, HostError::kDenied, 13},  {Fault::kOpenWrite, HostError::kOther, 5},
        {Fault::kWriteAt, HostError::kOther, 5},     {Fault::kShortWrite, HostError::kNoSpace, 28},
        {Fault::kOpenWrite, HostError::kDenied, 13},
    };
    std::vector<Message> told;
    for (const auto& [fault, error, status] : failures) {
        faulty.Fail(fault, "film.bin", error);
        if (fault == Fault::kOpenRead || fault == Fault::kReadAt) {
            ExpectReadFailure(bed.Nfs3(kRead, ReadArgs(film, 0, 10)), status, true);
            told.push_back(kReadFailed);
        } else {
            ExpectWccFailure(bed.Nfs3(kWrite, WriteArgs(film, 0, 6, "abcdef")), status);
            told.push_back(kWriteFailed);
        }
        faulty.Heal(fault);
    }
    EXPECT_EQ(bed.events.Messages(), told);
    EXPECT_EQ(Read(0, 10).count, 10u);
    ExpectWccFailure(bed.Nfs3(kWrite, WriteArgs(stale, 0, 1, "x")), 70);
    EXPECT_EQ(bed.events.Messages().size(), told.size());
}

TEST_F(Nfs3Transfer, CreateMakesOrEmptiesUncheckedAndGuardsExistingNames) {
    NewEntry made = Create("new.bin", kUnchecked);
    EXPECT_EQ(IndexOf(made.handle), FileManager().GetFileId(bed.InShare(1, "new.bin")));
    EXPECT_EQ(made.attributes.type, 1u);
    EXPECT_EQ(made.attributes.size, 0u);
    EXPECT_TRUE(bed.Dir().Exists("share1/new.bin"));

    for (uint32_t mode : {kGuarded, kExclusive}) {
        ExpectWccFailure(bed.Nfs3(kCreate, CreateArgs(root, "film.bin", mode)), 17);
    }
    EXPECT_EQ(bed.Dir().Contents("share1/film.bin"), content);

    NewEntry emptied = Create("film.bin", kUnchecked);
    EXPECT_EQ(emptied.handle, film);
    EXPECT_EQ(emptied.attributes.size, 0u);
    EXPECT_EQ(bed.Dir().Contents("share1/film.bin"), "");

    Create("guarded.bin", kGuarded);
    EXPECT_TRUE(bed.Dir().Exists("share1/guarded.bin"));
    EXPECT_TRUE(bed.events.Messages().empty());
}

// Windows opens film.bin for "FILM.BIN" or "film.bin ": LOOKUP says the name is missing, the
// client creates it, and an UNCHECKED create would empty film.bin for a handle that then names
// nothing. A name the host only takes for another entry's is never created over.
TEST_F(Nfs3Transfer, CreateNeverEmptiesAFileOfAnotherSpelling) {
    const bool windows = hostfs::Fs().Separator() == '\\';
    for (uint32_t mode : {kUnchecked, kGuarded, kExclusive}) {
        for (const char* name : {"FILM.BIN", "film.bin ", "film.bin."}) {
            WordReader reply = bed.Nfs3(kCreate, CreateArgs(root, name, mode, mode));
            EXPECT_EQ(reply.Word(), windows ? 17u : 0u) << name << " mode " << mode;
            EXPECT_EQ(bed.Dir().Contents("share1/film.bin"), content) << name;
            if (!windows) hostfs::Fs().RemoveFile(bed.InShare(1, name));  // a name of its own
        }
    }
}

TEST_F(Nfs3Transfer, ExclusiveCreateKeepsItsVerifierForRetransmissions) {
    const uint64_t verf = 0x1234567823456789;
    NewEntry first = Create("once.bin", kExclusive, verf);
    EXPECT_EQ(first.attributes.atime.seconds, 0x12345678u);
    EXPECT_EQ(first.attributes.mtime.seconds, 0x23456789u);
    EXPECT_EQ(Create("once.bin", kExclusive, verf).handle, first.handle);
    ExpectWccFailure(bed.Nfs3(kCreate, CreateArgs(root, "once.bin", kExclusive, verf + 1)), 17);

    EXPECT_TRUE(bed.events.Messages().empty());
}

// FAT and exFAT (USB drives) store no time before 1980, and Linux clients' verifiers are such
// times: the verifier is kept where it survives, and every create still works once.
TEST_F(Nfs3Transfer, ExclusiveCreateWorksWhereTheHostRefusesItsTimes) {
    FaultyFs faulty;
    faulty.Fail(Fault::kTimesBefore1980);
    const uint64_t early = 0x0000000100000002;
    NewEntry first = Create("fat.bin", kExclusive, early);
    EXPECT_EQ(faulty.Hits(Fault::kTimesBefore1980), 1);
    EXPECT_EQ(Create("fat.bin", kExclusive, early).handle, first.handle) << "a retransmission";
    ExpectWccFailure(bed.Nfs3(kCreate, CreateArgs(root, "fat.bin", kExclusive, early + 1)), 17);

    faulty.Fail(Fault::kSetTimes);
    NewEntry refused = Create("untimed.bin", kExclusive, 0x5000000060000000);
    EXPECT_EQ(Create("untimed.bin", kExclusive, 0x5000000060000000).handle, refused.handle);
    EXPECT_TRUE(bed.events.Messages().empty());
}

TEST_F(Nfs3Transfer, CreateRefusals) {
    ExpectWccFailure(bed.Nfs3(kCreate, CreateArgs(stale, "x.bin", kUnchecked)), 5);
    EXPECT_EQ(bed.events.Messages(), std::vector<Message>{kCreateFailed});

    for (const std::string& name :
         std::vector<std::string>{"..", "../out.bin", "a/b.bin", std::string("a\0b", 3)}) {
        ExpectWccFailure(bed.Nfs3(kCreate, CreateArgs(root, name, kUnchecked)), 13);
    }
    EXPECT_FALSE(bed.Dir().Exists("out.bin"));
    EXPECT_EQ(bed.events.Messages().size(), 1u) << "a refused name is no host failure";

    // Whatever the host's reason, a creation it refuses answers NFS3ERR_IO.
    FaultyFs faulty;
    faulty.Fail(Fault::kOpenCreate, "", hostfs::HostError::kNoSpace);
    ExpectWccFailure(bed.Nfs3(kCreate, CreateArgs(root, "x.bin", kGuarded)), 5);
    EXPECT_EQ(bed.events.Messages(), std::vector<Message>(2, kCreateFailed));
}

TEST_F(Nfs3Transfer, CommitFlushesTheFile) {
    ASSERT_EQ(bed.Nfs3(kWrite, WriteArgs(film, 0, 4, "data")).Word(), 0u);
    WordReader done = bed.Nfs3(kCommit, Handle(film).Hyper(0).Word(0));
    EXPECT_EQ(RestWords(done), (std::vector<uint32_t>{0, 0, 0, 0, 0}));

    FaultyFs faulty;
    faulty.Fail(Fault::kFlush);
    ExpectWccFailure(bed.Nfs3(kCommit, Handle(film).Hyper(0).Word(4)), 5);
    EXPECT_EQ(faulty.Hits(Fault::kFlush), 1);
    ExpectWccFailure(bed.Nfs3(kCommit, Handle(stale).Hyper(0).Word(0)), 70);
    ASSERT_EQ(hostfs::Fs().RemoveFile(bed.InShare(1, "film.bin")), hostfs::HostError::kNone);
    ExpectWccFailure(bed.Nfs3(kCommit, Handle(film).Hyper(0).Word(0)), 2);
}

}  // namespace

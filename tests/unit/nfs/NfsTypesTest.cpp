#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "Nfs2Types.h"
#include "RpcBytes.h"
#include "Xdr.h"

namespace {

// One codec: a value of its type, and the bytes it stands for on the wire.
struct Case {
    const char* type;
    std::vector<uint8_t> golden;
    std::function<void(IOutputStream&)> write;                   // the value
    std::function<void(IInputStream&, IOutputStream&)> rewrite;  // what it reads, written again
};

template <typename T>
Case Of(const char* type, const XdrBytes& golden, std::function<void(T&)> fill) {
    return {type, golden.Get(),
            [fill](IOutputStream& out) {
                T value;
                fill(value);
                Write(out, value);
            },
            [](IInputStream& in, IOutputStream& out) {
                T value;
                Read(in, value);
                Write(out, value);
            }};
}

void Set(opaque& value, const char* text) {
    value.Allocate(static_cast<uint32_t>(std::strlen(text)));
    std::memcpy(value.Data(), text, value.Length());
}

std::vector<uint8_t> Written(const std::function<void(IOutputStream&)>& write) {
    static CSocketStream stream;
    stream.ResetOutput();
    write(stream);
    return OutputBytes(stream);
}

// `bytes` followed by `words`; a hyper is two words, its high one first.
XdrBytes Then(XdrBytes bytes, std::initializer_list<uint32_t> words) {
    for (uint32_t word : words) bytes.Word(word);
    return bytes;
}

const XdrBytes kFattr =
    Then(XdrBytes(), {1, 0100644, 2, 3, 4, 5, 6, 0, 7, 8, 9, 0, 10, 0, 11, 12, 13, 14, 15, 16, 17});
const fattr3 kAttributes{1,      0100644, 2,  3,        4,        0x500000006, 7,
                         {8, 9}, 10,      11, {12, 13}, {14, 15}, {16, 17}};
const XdrBytes kHandle = XdrBytes().Text("fh");
const XdrBytes kDirOp = XdrBytes().Text("fh").Text("name.avi");
const uint8_t kData[] = {'d', 'a', 't', 'a', '!'};
const OpaqueView kView{kData, 5};
const uint8_t kHandle2[32] = {1, 2, 3, 4, 5, 6, 7, 8};

// Every codec of the calls and results of both versions is reached: the composites call the
// smaller ones.
std::vector<Case> Cases() {
    return {
        Of<GETATTR3args>("GETATTR3args", kHandle, [](GETATTR3args& v) { Set(v.object, "fh"); }),
        Of<FSSTAT3args>("FSSTAT3args", kHandle, [](FSSTAT3args& v) { Set(v.fsroot, "fh"); }),
        Of<SETATTR3args>("SETATTR3args",
                         Then(kHandle, {1, 0644, 1, 5, 1, 6, 1, 0, 7, 2, 8, 9, 1, 1, 10, 11}),
                         [](SETATTR3args& v) {
                             Set(v.object, "fh");
                             sattr3& a = v.new_attributes;
                             a.set_mode = a.set_uid = a.set_gid = a.set_size = true;
                             a.mode = 0644;
                             a.uid = 5;
                             a.gid = 6;
                             a.size = 7;
                             a.atime = {SET_TO_CLIENT_TIME, {8, 9}};
                             a.mtime.how = SET_TO_SERVER_TIME;
                             v.guard = {true, {10, 11}};
                         }),
        Of<ACCESS3args>("ACCESS3args", Then(kHandle, {0x3F}),
                        [](ACCESS3args& v) {
                            Set(v.object, "fh");
                            v.access = 0x3F;
                        }),
        Of<ACCESS3resok>("ACCESS3resok", Then(XdrBytes(), {0, 0x1F}),
                         [](ACCESS3resok& v) { v.access = 0x1F; }),
        Of<READ3args>("READ3args", Then(kHandle, {1, 2, 32768}),
                      [](READ3args& v) {
                          Set(v.file, "fh");
                          v.offset = 0x100000002;
                          v.count = 32768;
                      }),
        Of<READ3resok>("READ3resok",
                       Then(XdrBytes().Word(1).Append(kFattr.Get()), {5, 1}).Text("data!"),
                       [](READ3resok& v) {
                           v = {{true, kAttributes}, 5, true, kView};
                       }),
        Of<WRITE3args>("WRITE3args", Then(kHandle, {0, 4096, 5, 2}).Text("data!"),
                       [](WRITE3args& v) {
                           Set(v.file, "fh");
                           v.offset = 4096;
                           v.count = 5;
                           v.stable = FILE_SYNC;
                           v.data = kView;
                       }),
        Of<WRITE3resok>("WRITE3resok", Then(XdrBytes(), {1, 0, 1, 2, 3, 4, 5, 0, 5, 2, 0, 0x77}),
                        [](WRITE3resok& v) {
                            v.file_wcc.before = {true, {1, {2, 3}, {4, 5}}};
                            v.count = 5;
                            v.committed = FILE_SYNC;
                            v.verf = 0x77;
                        }),
        Of<CREATE3args>("CREATE3args", Then(kDirOp, {2, 0, 0x1234}),
                        [](CREATE3args& v) {
                            Set(v.where.dir, "fh");
                            v.where.name.Set("name.avi");
                            v.how.mode = EXCLUSIVE;
                            v.how.verf = 0x1234;
                        }),
        Of<MKDIR3args>("MKDIR3args", Then(kDirOp, {0, 0, 0, 0, 0, 0}),
                       [](MKDIR3args& v) {
                           Set(v.where.dir, "fh");
                           v.where.name.Set("name.avi");
                       }),
        Of<RENAME3args>("RENAME3args", XdrBytes(kDirOp).Text("to").Text("b"),
                        [](RENAME3args& v) {
                            Set(v.from.dir, "fh");
                            v.from.name.Set("name.avi");
                            Set(v.to.dir, "to");
                            v.to.name.Set("b");
                        }),
        Of<READDIR3args>("READDIR3args", Then(kHandle, {0, 131, 0, 0xABC, 4096}),
                         [](READDIR3args& v) {
                             Set(v.dir, "fh");
                             v.cookie = 131;
                             v.cookieverf = 0xABC;
                             v.count = 4096;
                         }),
        Of<READDIRPLUS3args>("READDIRPLUS3args", Then(kHandle, {0, 10, 0, 0xABC, 1024, 8192}),
                             [](READDIRPLUS3args& v) {
                                 Set(v.dir, "fh");
                                 v.cookie = 10;
                                 v.cookieverf = 0xABC;
                                 v.dircount = 1024;
                                 v.maxcount = 8192;
                             }),
        Of<entryplus3>("entryplus3",
                       Then(Then(XdrBytes(), {0, 7}).Text("a.avi"), {0, 3, 0, 1}).Text("fh"),
                       [](entryplus3& v) {
                           v.entry = {7, "a.avi", 3};
                           v.name_handle.handle_follows = true;
                           Set(v.name_handle.handle, "fh");
                       }),
        Of<FSSTAT3resok>("FSSTAT3resok",
                         Then(XdrBytes(), {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 7}),
                         [](FSSTAT3resok& v) { v = {{}, 1, 2, 3, 4, 5, 6, 7}; }),
        Of<FSINFO3resok>("FSINFO3resok",
                         Then(XdrBytes(), {0, 1, 2, 3, 4, 5, 6, 7, 0, 8, 9, 10, 11}),
                         [](FSINFO3resok& v) {
                             v = {{}, 1, 2, 3, 4, 5, 6, 7, 8, {9, 10}, 11};
                         }),
        Of<COMMIT3args>("COMMIT3args", Then(kHandle, {0, 1, 2}),
                        [](COMMIT3args& v) {
                            Set(v.file, "fh");
                            v.offset = 1;
                            v.count = 2;
                        }),
        Of<COMMIT3resok>("COMMIT3resok", Then(XdrBytes(), {0, 0, 0, 9}),
                         [](COMMIT3resok& v) { v.verf = 9; }),
        // Version 2: fixed handles, 32-bit words, and the list of readdirres.
        Of<sattrargs>("sattrargs",
                      Then(XdrBytes().Bytes(kHandle2, 32), {0644, 1, 2, 3, 4, 5, 6, 7}),
                      [](sattrargs& v) {
                          std::memcpy(v.file.data, kHandle2, 32);
                          v.attributes = {0644, 1, 2, 3, {4, 5}, {6, 7}};
                      }),
        Of<writeargs>("writeargs", Then(XdrBytes().Bytes(kHandle2, 32), {1, 2, 3}).Text("data!"),
                      [](writeargs& v) {
                          std::memcpy(v.file.data, kHandle2, 32);
                          v.beginoffset = 1;
                          v.offset = 2;
                          v.totalcount = 3;
                          v.data = kView;
                      }),
        Of<diropokres>(
            "diropokres",
            Then(XdrBytes().Bytes(kHandle2, 32),
                 {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}),
            [](diropokres& v) {
                std::memcpy(v.file.data, kHandle2, 32);
                v.attributes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, {12, 13}, {14, 15}, {16, 17}};
            }),
        Of<readdirokres>("readdirokres",
                         Then(Then(XdrBytes(), {1, 7}).Text("a.avi"), {3, 1, 8})
                             .Text("b")
                             .Word(4)
                             .Word(0)
                             .Word(1),
                         [](readdirokres& v) {
                             v.entries = {{7, "a.avi", 3}, {8, "b", 4}};
                             v.eof = true;
                         }),
    };
}

// Each codec writes its golden bytes, reads them back to the same bytes, and fails on every
// prefix of them with the decoding failure that the dispatcher answers as GARBAGE_ARGS.
TEST(NfsTypes, EveryCodecRoundTripsItsGoldenBytesAndRefusesEveryPrefix) {
    for (const Case& c : Cases()) {
        EXPECT_EQ(Written(c.write), c.golden) << c.type;
        WordReader whole(c.golden);
        EXPECT_EQ(Written([&](IOutputStream& out) { c.rewrite(whole, out); }), c.golden) << c.type;
        EXPECT_EQ(whole.Left(), 0u) << c.type;
        for (size_t cut = 0; cut < c.golden.size(); ++cut) {
            WordReader prefix(std::vector<uint8_t>(c.golden.begin(), c.golden.begin() + cut));
            EXPECT_THROW(Written([&](IOutputStream& out) { c.rewrite(prefix, out); }),
                         XdrDecodeError)
                << c.type << " cut at " << cut;
        }
    }
}

}  // namespace

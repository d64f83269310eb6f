#include "Nfs2Calls.h"

#include <gtest/gtest.h>

namespace nfs2 {

Fattr ReadFattr(WordReader& r) {
    Fattr a;
    uint32_t* words[] = {&a.type,      &a.mode,  &a.nlink,   &a.uid,   &a.gid,    &a.size,
                         &a.blocksize, &a.rdev,  &a.blocks,  &a.fsid,  &a.fileid, &a.atime,
                         &a.atimeUs,   &a.mtime, &a.mtimeUs, &a.ctime, &a.ctimeUs};
    for (uint32_t* word : words) *word = r.Word();
    return a;
}

std::vector<Entry> ReadEntries(WordReader& reply, bool& eof) {
    std::vector<Entry> entries;
    while (reply.Word() == 1) {
        Entry entry;
        entry.fileid = reply.Word();
        std::vector<uint8_t> name = reply.Opaque();
        entry.name.assign(name.begin(), name.end());
        entry.cookie = reply.Word();
        entries.push_back(entry);
    }
    eof = reply.Word() == 1;
    return entries;
}

XdrBytes Fh(const Handle& handle) {
    return XdrBytes().Append(handle);
}

XdrBytes DirOp(const Handle& folder, const std::string& name) {
    return Fh(folder).Text(name);
}

XdrBytes ReadDirArgs(const Handle& folder, uint32_t cookie, uint32_t count) {
    return Fh(folder).Word(cookie).Word(count);
}

Client::Client(NfsTestbed& bed) : m_bed(bed) {
    auto set = std::make_unique<CQDV_ProcedureOld>();
    m_pSet = set.get();
    bed.nfs = std::move(set);
    bed.daemon.Register(100003, m_pSet);
}

Handle Client::Root(int k) {
    WordReader reply =
        AfterHeader(m_bed.Call(100005, 1, 1, XdrBytes().Text("/quonhd" + std::to_string(k))));
    EXPECT_EQ(reply.Word(), 0u) << "accepted";
    EXPECT_EQ(reply.Word(), 0u) << "mounted";
    return reply.Bytes(32);
}

HandledCall Client::Raw(uint32_t procedure, const XdrBytes& args) {
    return m_bed.Call(100003, 2, procedure, args);
}

WordReader Client::Call(uint32_t procedure, const XdrBytes& args) {
    WordReader reply = AfterHeader(Raw(procedure, args));
    EXPECT_EQ(reply.Word(), 0u) << "accept status of procedure " << procedure;
    return reply;
}

Handle Client::Lookup(const Handle& folder, const std::string& name) {
    WordReader reply = Call(kLookup, DirOp(folder, name));
    if (reply.Word() != 0) return {};
    return reply.Bytes(32);
}

}  // namespace nfs2

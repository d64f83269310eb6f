#include "ReplyData.h"

#include "HostFs.h"

namespace {

// The attributes come from the status the transfer took once its work was done.
void Complete(HostTransfer& transfer, const hostfs::TransferResult& result, const ClientPath& path,
              const hostfs::FileStatus& after) {
    transfer.done = result.bytes;
    transfer.error = result.error;
    transfer.hasAttributes = result.hasStatus;
    if (result.hasStatus) transfer.attributes = AttributesOf(after, FileIdOf(path));
}

}  // namespace

ReplyData ReadIntoReply(IOutputStream& out, uint32_t head, const ClientPath& path, uint64_t offset,
                        uint32_t count, bool exclusive) {
    ReplyData read;
    read.wanted = count;
    uint8_t* room = out.Room(head, read.wanted);
    read.data = room;
    hostfs::FileStatus after;
    Complete(read, hostfs::Fs().ReadOnce(path.path, exclusive, offset, room, read.wanted, &after),
             path, after);
    return read;
}

HostTransfer WriteFromCall(const ClientPath& path, bool exclusive, uint64_t offset,
                           const uint8_t* data, uint32_t count, bool withAttributes) {
    HostTransfer written;
    hostfs::FileStatus after;
    Complete(written,
             hostfs::Fs().WriteOnce(path.path, exclusive, offset, data, count,
                                    withAttributes ? &after : nullptr),
             path, after);
    return written;
}

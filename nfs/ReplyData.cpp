#include "ReplyData.h"

#include "ClientPaths.h"
#include "HostFs.h"

namespace {

// The attributes come from the status the transfer took once its work was done.
void Complete(HostTransfer& transfer, const hostfs::TransferResult& result, const std::string& path,
              const hostfs::FileStatus& after) {
    transfer.done = result.bytes;
    transfer.hasAttributes = result.hasStatus;
    if (result.hasStatus) transfer.attributes = AttributesOf(path, after);
}

}  // namespace

ReplyData ReadIntoReply(IOutputStream& out, uint32_t head, const char* path, uint64_t offset,
                        uint32_t count, bool exclusive) {
    ReplyData read;
    read.wanted = count;
    uint8_t* room = out.Room(head, read.wanted);
    read.data = room;
    const std::string& host = HostPath(path);
    hostfs::FileStatus after;
    Complete(read, hostfs::Fs().ReadOnce(host, exclusive, offset, room, read.wanted, &after), host,
             after);
    return read;
}

HostTransfer WriteFromCall(const char* path, bool exclusive, uint64_t offset, const uint8_t* data,
                           uint32_t count, bool withAttributes) {
    HostTransfer written;
    const std::string& host = HostPath(path);
    hostfs::FileStatus after;
    Complete(written,
             hostfs::Fs().WriteOnce(host, exclusive, offset, data, count,
                                    withAttributes ? &after : nullptr),
             host, after);
    return written;
}

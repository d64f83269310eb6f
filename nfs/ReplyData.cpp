#include "ReplyData.h"

#include "ClientPaths.h"
#include "HostFs.h"

ReplyData ReadIntoReply(IOutputStream& out, uint32_t head, const char* path, uint64_t offset,
                        uint32_t count, bool exclusive) {
    ReplyData data;
    data.wanted = count;
    uint8_t* room = out.Room(head, data.wanted);
    data.bytes = room;
    std::unique_ptr<hostfs::IHostFile> file =
        hostfs::Fs().Open(HostPath(path), hostfs::OpenMode::kReadExisting, exclusive);
    if (file != nullptr) data.got = file->ReadAt(offset, room, data.wanted);
    return data;
}

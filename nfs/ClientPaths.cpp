#include "ClientPaths.h"

#include "DorvelFileManager.h"
#include "SharePaths.h"

ClientPath PathOfHandle(const uint8_t* handle, uint32_t length) {
    ClientPath resolved;
    const FileEntry* entry = FileManager().EntryOf(handle, length);
    if (entry == nullptr) return resolved;
    const char* path = entry->pszPath.get();
    if (LiesInShare(path)) {
        resolved.path = path;
        resolved.outcome = PathOutcome::kFound;
        resolved.fileid = CDorvelFileManager::IndexOf(entry);
    } else {
        resolved.outcome = PathOutcome::kOutsideShare;
    }
    return resolved;
}

uint32_t FileIdOf(const ClientPath& path) {
    return path.fileid ? *path.fileid : FileManager().GetFileId(path.path);
}

bool QueryAttributes(const ClientPath& path, FileAttributes& attributes) {
    return path.path != nullptr && QueryAttributes(HostPath(path.path), FileIdOf(path), attributes);
}

ClientPath PathInFolder(const ClientPath& folder, const char* name, uint32_t nameLength,
                        std::string& joined) {
    if (folder.outcome != PathOutcome::kFound) return folder;
    ClientPath resolved;
    switch (JoinSharePath(folder.path, name, nameLength, joined)) {
        case JoinResult::kOk:
            resolved.path = joined.c_str();
            resolved.outcome = PathOutcome::kFound;
            break;
        case JoinResult::kTooLong:
            resolved.outcome = PathOutcome::kTooLong;
            break;
        case JoinResult::kNotPlainName:
        case JoinResult::kOutsideShare:
            resolved.outcome = PathOutcome::kOutsideShare;
            break;
    }
    return resolved;
}

ClientPath OwnEntry(const ClientPath& path) {
    if (path.outcome != PathOutcome::kFound || !EndsInDotStep(path.path)) return path;
    return ClientPath{nullptr, PathOutcome::kOutsideShare, std::nullopt};
}

const std::string& HostPath(const char* path) {
    thread_local std::string text;
    text.assign(path);
    return text;
}

PathOutcome ExistingOutcome(const ClientPath& path) {
    if (path.outcome != PathOutcome::kFound) return path.outcome;
    return PathExists(HostPath(path.path)) ? PathOutcome::kFound : PathOutcome::kMissing;
}

FoundPath ExistingWithAttributes(const ClientPath& path) {
    FoundPath found;
    found.outcome = path.outcome;
    if (path.outcome != PathOutcome::kFound) return found;
    const std::string& host = HostPath(path.path);
    hostfs::FileStatus status;
    switch (ExistingStatus(host, status)) {
        case hostfs::Presence::kNone:
            found.outcome = PathOutcome::kMissing;
            break;
        case hostfs::Presence::kNameOnly:
            break;
        case hostfs::Presence::kWithStatus:
            found.hasAttributes = true;
            found.attributes = AttributesOf(status, FileIdOf(path));
            break;
    }
    return found;
}

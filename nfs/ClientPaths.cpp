#include "ClientPaths.h"

#include "DorvelFileManager.h"
#include "SharePaths.h"

ClientPath PathOfHandle(const uint8_t* handle, uint32_t length) {
    ClientPath resolved;
    const FileEntry* entry = FileManager().EntryOf(handle, length);
    if (entry == nullptr) return resolved;
    const PathView path(entry->pszPath.get(), entry->nPathLength);
    if (LiesInShare(path)) {
        resolved.path.Assign(path);
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
    return path.Found() && QueryAttributes(path.path, FileIdOf(path), attributes);
}

ClientPath PathInFolder(const ClientPath& folder, std::string_view name) {
    if (!folder.Found()) return folder;
    ClientPath resolved;
    switch (JoinSharePath(folder.path, name, resolved.path)) {
        case JoinResult::kOk:
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

ClientPath OwnEntry(ClientPath path) {
    if (!path.Found() || !EndsInDotStep(path.path)) return path;
    return ClientPath{{}, PathOutcome::kOutsideShare, {}};
}

PathOutcome ExistingOutcome(const ClientPath& path) {
    if (!path.Found()) return path.outcome;
    return PathExists(path.path) ? PathOutcome::kFound : PathOutcome::kMissing;
}

FoundPath ExistingWithAttributes(const ClientPath& path) {
    FoundPath found;
    found.outcome = path.outcome;
    if (!path.Found()) return found;
    hostfs::FileStatus status;
    switch (ExistingStatus(path.path, status)) {
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

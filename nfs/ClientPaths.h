#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "FileAttributes.h"
#include "PathText.h"

// How a path that a client names, by a handle or by a folder's handle and a name, fares against
// the handle table, the share rule, the path limit and the host. Both NFS versions resolve their
// arguments through here and turn the outcome into a status of their own.
enum class PathOutcome {
    kFound,
    kStale,         // the handle names no table entry
    kOutsideShare,  // outside every share, or the name is no plain name of the host
    kTooLong,       // folder, separator and name would pass kMaxHostPath characters
    kMissing,       // the host has no entry under exactly this name
};

// A value: a call holds the paths it works on itself, RENAME two of them at once.
struct ClientPath {
    PathText path;  // set while the outcome is kFound
    PathOutcome outcome = PathOutcome::kStale;
    // The entry's index, for a path that a handle named: the fileid that handle reports.
    std::optional<uint32_t> fileid;

    bool Found() const { return outcome == PathOutcome::kFound; }
};

// The path of the handle's table entry.
ClientPath PathOfHandle(const uint8_t* handle, uint32_t length);

// The fileid reported for a found path: a handle's own index, whatever else the table holds
// (after a move two entries can hold one path, and a client that sees a handle's fileid change
// takes its file for another); else the index of the path's entry.
uint32_t FileIdOf(const ClientPath& path);

// The attributes of a found path; false when the host gives no status for it.
bool QueryAttributes(const ClientPath& path, FileAttributes& attributes);

// `name` joined to a found folder. A folder that was not found passes its outcome on.
ClientPath PathInFolder(const ClientPath& folder, std::string_view name);

// Only an entry named by its own name may be removed or moved: a path whose last step is "." or
// ".." names its folder or the folder above (on Windows, removing "share\." removes the share
// folder itself), and is refused like a path outside the share.
ClientPath OwnEntry(ClientPath path);

// The outcome once the host has been asked whether a found path exists with exactly its name.
PathOutcome ExistingOutcome(const ClientPath& path);

// ExistingOutcome, with the attributes of a found path from the same query of the host.
struct FoundPath {
    PathOutcome outcome = PathOutcome::kStale;
    bool hasAttributes = false;  // false also when the path exists but the host has no status
    FileAttributes attributes;
};
FoundPath ExistingWithAttributes(const ClientPath& path);

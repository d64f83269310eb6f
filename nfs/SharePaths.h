#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "PathText.h"

// The host folders behind the exports, and the rule that keeps every path a client can name
// inside one of them. Both NFS versions join names and check paths through here.

// Set at every start of the server, with the four share folders (empty for an unset share). The
// one record of them: MOUNT and both NFS versions read them from here.
void SetShareRoots(const std::string roots[4]);

// The folder of share `share` (0 to 3) as the last start gave it; empty for an unset share.
std::string ShareFolder(int share);

// Whether `path` lies inside a current share folder: as spelled, once its "." and ".." steps are
// taken without stepping above that folder on the way, and where the host's symbolic links take
// it. The server may run with more rights than the person who can write into a share: a link
// there to a file outside every share must not serve that file.
bool LiesInShare(PathView path);

enum class JoinResult {
    kOk,
    kTooLong,       // folder, separator and name would pass kMaxHostPath characters
    kNotPlainName,  // not a name of an entry on this host (empty, a separator, a NUL ...)
    kOutsideShare,  // the joined path would leave its share
};

// The host path that a name listed in `folder` stands for: the joined path, except that ".." in
// a share's own folder stands for that folder, as nothing above a share is the client's.
PathText ListedPath(std::string_view folder, std::string_view name);

// Joins a folder's host path and a name received from a client with the host's separator.
JoinResult JoinSharePath(std::string_view folder, std::string_view name, PathText& joined);

// Whether the last component of `path` is "." or "..": another name for a folder, which a client
// may look through but must not remove or move (the host would act on the folder itself, even on
// a share's own folder).
bool EndsInDotStep(std::string_view path);

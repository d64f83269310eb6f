#include "SharePaths.h"

#include <memory>
#include <string_view>

#include "HostFs.h"

namespace {

// Each share folder as given, as the containment rule takes it, and where the host's links took
// it at the server's start. A start puts a new set in place while calls may still be checking
// against the one before.
struct Shares {
    std::string folders[4];
    std::string roots[4];
    hostfs::ResolvedFolder realRoots[4];
};

std::shared_ptr<const Shares> g_shares = std::make_shared<const Shares>();

std::shared_ptr<const Shares> CurrentShares() {
    return std::atomic_load(&g_shares);
}

// A share folder written as a drive root with a final dot (D:\.) is the drive itself.
std::string WithoutDotSteps(std::string root, char separator) {
    while (root.size() >= 2 && root.back() == '.' && root[root.size() - 2] == separator) {
        root.resize(root.size() - 2);
    }
    return root;
}

// How many steps below where they start the steps of `rest` (separated by `separator`) end, or
// -1 when they climb above it on the way.
int DepthBelow(std::string_view rest, char separator) {
    int depth = 0;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(separator, start);
        if (end == std::string_view::npos) end = rest.size();
        size_t length = end - start;
        if (length == 2 && rest.compare(start, 2, "..") == 0) {
            if (--depth < 0) return -1;
        } else if (length > 0 && !(length == 1 && rest[start] == '.')) {
            ++depth;
        }
        start = end + 1;
    }
    return depth;
}

// How deep below `root` the path lies, or -1 when it does not lie in it.
int DepthIn(std::string_view path, const std::string& root, char separator) {
    if (root.empty() || path.compare(0, root.size(), root) != 0) return -1;
    if (path.size() > root.size() && root.back() != separator && path[root.size()] != separator) {
        return -1;
    }
    return DepthBelow(path.substr(root.size()), separator);
}

// The share whose folder, as configured, holds `path`; -1 when none does.
int ShareSpelledIn(std::string_view path, const Shares& shares, char separator) {
    for (int i = 0; i < 4; ++i) {
        if (DepthIn(path, shares.roots[i], separator) >= 0) return i;
    }
    return -1;
}

bool LiesInARealRoot(std::string_view real, const Shares& shares, char separator) {
    for (const hostfs::ResolvedFolder& root : shares.realRoots) {
        if (DepthIn(real, root.real, separator) >= 0) return true;
    }
    return false;
}

// Whether `path`, its "." and ".." steps taken, is a share folder itself.
bool IsShareRoot(std::string_view path) {
    char separator = hostfs::Fs().Separator();
    std::shared_ptr<const Shares> shares = CurrentShares();
    for (const std::string& root : shares->roots) {
        if (DepthIn(path, root, separator) == 0) return true;
    }
    return false;
}

}  // namespace

void SetShareRoots(const std::string roots[4]) {
    hostfs::IHostFs& fs = hostfs::Fs();
    char separator = fs.Separator();
    auto shares = std::make_shared<Shares>();
    for (int i = 0; i < 4; ++i) {
        shares->folders[i] = roots[i];
        shares->roots[i] = WithoutDotSteps(roots[i], separator);
        const std::string& spelled = shares->roots[i];
        hostfs::ResolvedFolder& real = shares->realRoots[i];
        if (spelled.empty() || !fs.ResolveFolder(spelled, real)) real = {spelled};
    }
    std::atomic_store(&g_shares, std::shared_ptr<const Shares>(std::move(shares)));
}

std::string ShareFolder(int share) {
    return CurrentShares()->folders[share];
}

// Only the part below the share folder is resolved while the folder's path leads where it did at
// the start.
bool LiesInShare(PathView path) {
    hostfs::IHostFs& fs = hostfs::Fs();
    char separator = fs.Separator();
    std::shared_ptr<const Shares> shares = CurrentShares();
    int share = ShareSpelledIn(path, *shares, separator);
    if (share < 0) return false;
    PathText real;
    return fs.RealLocationBelow(path, shares->roots[share].size(), shares->realRoots[share],
                                real) &&
           LiesInARealRoot(real, *shares, separator);
}

PathText ListedPath(std::string_view folder, std::string_view name) {
    PathText path(folder);
    if (name == ".." && IsShareRoot(folder)) return path;
    path.Append(hostfs::Fs().Separator()).Append(name);
    return path;
}

JoinResult JoinSharePath(std::string_view folder, std::string_view name, PathText& joined) {
    hostfs::IHostFs& fs = hostfs::Fs();
    if (folder.size() + name.size() + 1 > kMaxHostPath) return JoinResult::kTooLong;
    if (!fs.IsPlainName(name.data(), name.size())) return JoinResult::kNotPlainName;
    joined.Assign(folder).Append(fs.Separator()).Append(name);
    return LiesInShare(joined) ? JoinResult::kOk : JoinResult::kOutsideShare;
}

bool EndsInDotStep(std::string_view path) {
    const std::string_view last = path.substr(path.rfind(hostfs::Fs().Separator()) + 1);
    return last == "." || last == "..";
}

#include "SharePaths.h"

#include <cstring>
#include <mutex>
#include <string_view>

#include "HostFs.h"

namespace {

std::mutex g_rootsLock;
// Each share folder as configured, and where the host's links take it.
std::string g_roots[4];
std::string g_realRoots[4];

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

bool LiesInOneOf(std::string_view path, const std::string (&roots)[4], char separator) {
    for (const std::string& root : roots) {
        if (DepthIn(path, root, separator) >= 0) return true;
    }
    return false;
}

// Whether `path`, its "." and ".." steps taken, is a share folder itself.
bool IsShareRoot(std::string_view path) {
    char separator = hostfs::Fs().Separator();
    std::lock_guard<std::mutex> lock(g_rootsLock);
    for (const std::string& root : g_roots) {
        if (DepthIn(path, root, separator) == 0) return true;
    }
    return false;
}

}  // namespace

void SetShareRoots(const std::string roots[4]) {
    hostfs::IHostFs& fs = hostfs::Fs();
    char separator = fs.Separator();
    std::string spelled[4];
    std::string real[4];
    for (int i = 0; i < 4; ++i) {
        spelled[i] = WithoutDotSteps(roots[i], separator);
        if (spelled[i].empty() || !fs.RealLocation(spelled[i], real[i])) real[i] = spelled[i];
    }
    std::lock_guard<std::mutex> lock(g_rootsLock);
    for (int i = 0; i < 4; ++i) {
        g_roots[i] = spelled[i];
        g_realRoots[i] = real[i];
    }
}

// The path and where it leads are kept per thread, so that the checks of call after call reuse
// their room.
bool LiesInShare(std::string_view path) {
    hostfs::IHostFs& fs = hostfs::Fs();
    char separator = fs.Separator();
    thread_local std::string spelled;
    thread_local std::string real;
    spelled.assign(path);
    if (!fs.RealLocation(spelled, real)) return false;
    std::lock_guard<std::mutex> lock(g_rootsLock);
    return LiesInOneOf(path, g_roots, separator) && LiesInOneOf(real, g_realRoots, separator);
}

const std::string& ListedPath(std::string_view folder, const std::string& name) {
    thread_local std::string path;
    path.assign(folder);
    if (name == ".." && IsShareRoot(folder)) return path;
    path += hostfs::Fs().Separator();
    path += name;
    return path;
}

JoinResult JoinSharePath(const char* folder, const char* name, uint32_t nameLength,
                         std::string& joined) {
    hostfs::IHostFs& fs = hostfs::Fs();
    size_t folderLength = std::strlen(folder);
    if (folderLength + nameLength + 1 > kMaxHostPath) return JoinResult::kTooLong;
    if (!fs.IsPlainName(name, nameLength)) return JoinResult::kNotPlainName;
    joined.assign(folder, folderLength);
    joined += fs.Separator();
    joined.append(name, nameLength);
    return LiesInShare(joined) ? JoinResult::kOk : JoinResult::kOutsideShare;
}

bool EndsInDotStep(const std::string& path) {
    size_t separator = path.rfind(hostfs::Fs().Separator());
    std::string_view last(path);
    if (separator != std::string::npos) last.remove_prefix(separator + 1);
    return last == "." || last == "..";
}

#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "Privileges.h"

// glibc applies setgroups, setgid and setuid to every thread of the process: the socket threads,
// already running, drop their rights with the main thread.
bool BecomeUser(const std::string& user, std::string& error) {
    errno = 0;
    const passwd* entry = getpwnam(user.c_str());
    if (entry == nullptr) {
        error = "no user '" + user + "' on this machine";
        return false;
    }
    const uid_t uid = entry->pw_uid;
    const gid_t gid = entry->pw_gid;
    const std::string name = entry->pw_name;
    if (initgroups(name.c_str(), gid) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
        error = "cannot serve as user '" + user + "': " + std::strerror(errno);
        return false;
    }
    // Where the way back to root is still open, nothing was given up.
    if (uid != 0 && (setuid(0) == 0 || geteuid() == 0)) {
        error = "serving as user '" + user + "' would still allow root";
        return false;
    }
    return true;
}

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Privileges.h"

namespace {

constexpr uint32_t kBindService = 1u << CAP_NET_BIND_SERVICE;

// The first of the two 32-bit halves holds every capability below 32.
__user_cap_data_struct Capabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    syscall(SYS_capget, &header, data);
    return data[0];
}

bool KeepOnlyBindService() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    data[0].effective = data[0].permitted = kBindService;
    return syscall(SYS_capset, &header, data) == 0;
}

bool SwitchUser(uid_t uid, gid_t gid, const std::string& name) {
    prctl(PR_SET_KEEPCAPS, 1L, 0L, 0L, 0L);
    const bool switched = initgroups(name.c_str(), gid) == 0 && setgid(gid) == 0 &&
                          setuid(uid) == 0 && (uid == 0 || KeepOnlyBindService());
    const int reason = errno;
    prctl(PR_SET_KEEPCAPS, 0L, 0L, 0L, 0L);
    errno = reason;
    return switched;
}

}  // namespace

// glibc applies setgroups, setgid and setuid to every thread of the process: the socket threads,
// already running, drop their rights with the main thread. The capability set, though, is each
// thread's own; only the main thread binds ports again.
bool BecomeUser(const std::string& user, std::string& error) {
    errno = 0;
    const passwd* entry = getpwnam(user.c_str());
    if (entry == nullptr) {
        error = "no user '" + user + "' on this machine";
        return false;
    }
    const uid_t uid = entry->pw_uid;
    if (!SwitchUser(uid, entry->pw_gid, entry->pw_name)) {
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

bool MayBindPort(uint16_t port) {
    unsigned first = 1024;
    if (std::FILE* file = std::fopen("/proc/sys/net/ipv4/ip_unprivileged_port_start", "r")) {
        if (std::fscanf(file, "%u", &first) != 1) first = 1024;
        std::fclose(file);
    }
    return port >= first || (Capabilities().effective & kBindService) != 0;
}

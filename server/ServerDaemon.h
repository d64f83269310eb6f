#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SocketApi.h"

// Start and stop of the whole server: the portmapper, MOUNT and NFS programs on their three
// ports, over UDP and TCP, answered by the socket threads until StopServer.

// Results of StartServer.
enum StartResult : int32_t {
    kStartRunning = 1,
    kStartNoPaths = -1,
    kStartNotReady = -2,  // the socket interface's start-up errors (net::StartupError)
    kStartVersion = -3,
    kStartInProgress = -4,
    kStartProcessLimit = -5,
    kStartMountPortBusy = -6,    // 1058
    kStartNfsPortBusy = -7,      // 2049
    kStartPortmapPortBusy = -8,  // 111
    kStartNoNetwork = -9,        // the host's first address is 127.0.0.1
};

struct ServerPorts {
    uint16_t portmap = 111;
    uint16_t nfs = 2049;
    uint16_t mount = 1058;
};

// What the standard start fixes and the headless front end and the tests may choose.
struct ServerOptions {
    ServerPorts ports;
    // Serve although the machine's first address is the loopback address: for a front end that
    // was explicitly asked to serve on loopback.
    bool allowLoopbackOnly = false;
    // One address of this machine to serve on alone, in place of bindToAll and addressIndex: the
    // host entry the server reports then names it first, so the address line shows it.
    std::optional<uint32_t> address;
};

// The paths are the caller's modifiable texts, each possibly null: a closing double quote and a
// trailing separator are cut in them (an opening quote is only stepped over).
int32_t StartServer(int32_t uid, int32_t gid, uint8_t flag, uint8_t bindToAll, int32_t addressIndex,
                    char* path1, char* path2, char* path3, char* path4);
int32_t StartServerWith(const ServerOptions& options, int32_t uid, int32_t gid, uint8_t flag,
                        uint8_t bindToAll, int32_t addressIndex, char* path1, char* path2,
                        char* path3, char* path4);
// Closes every socket, ends the use of the socket interface that a successful start took (a
// failed start has ended its own) and empties the handle table; stopping a stopped server
// closes nothing.
int32_t StopServer();
int32_t GetMountCount();

// This machine's addresses in the order addressIndex counts them (from 1): what the
// Configuration dialog offers, so that an entry's position is the index the server binds with.
// Empty when they cannot be had.
std::vector<uint32_t> LocalAddresses();

// The local host entry found by the last start that opened all its sockets, or null.
const net::HostEntry* ServerHostEntry();

// The charset in which names travel to the players: on POSIX any iconv charset, or empty for
// the bytes the host stores; on Windows only empty, the system's code page. False for a charset
// this platform cannot use.
bool UseNameCharset(const std::string& charset);
// The text to hand StartServer for a share folder given in the host's own spelling (POSIX: its
// bytes; Windows: UTF-8): the folder as the server names it, in the charset names travel in,
// with an alias for each name of it that the charset lacks.
std::string ServedFolder(const std::string& folder);

#include "ServerDaemon.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "DatagramSocket.h"
#include "DorvelFileManager.h"
#include "HostFs.h"
#include "ListingCache.h"
#include "QDV_MountManager.h"
#include "QDV_NFSManager.h"
#include "QDV_PortManager.h"
#include "QDV_RPCDeamon.h"
#include "ServerSocket.h"

namespace {

constexpr uint32_t kPortmapProgram = 100000;
constexpr uint32_t kNfsProgram = 100003;
constexpr uint32_t kMountProgram = 100005;
constexpr uint32_t kProtocolTcp = 6;
constexpr uint32_t kProtocolUdp = 17;

// The server's process-wide objects, built at first use in this order and destroyed in the
// reverse one: the sockets (joining their threads) before the handlers they call.
struct ServerObjects {
    // The handle table, the kept listings and the host file system are process-wide objects of
    // their own. Made here, they are complete before these objects are, and so are destroyed
    // after them: a process that ends while the server runs finishes its last calls with all of
    // them still there.
    ServerObjects() {
        FileManager();
        Listings();
        hostfs::PlatformFs();
    }
    ~ServerObjects();

    CQDV_RPCDeamon daemon;
    CQDV_PortManager portmapper;
    CQDV_NFSManager nfs;
    CQDV_MountManager mount;
    CDatagramSocket udp[3];
    CServerSocket tcp[3];
    int32_t uid = 0;
    int32_t gid = 0;
    uint8_t handlerFlag = 0;
    std::unique_ptr<net::HostEntry> hostEntry;
    // The running server's one use of the socket interface, which counts its users: Stop ends
    // only this one, so no other user's sockets are ended by our stop.
    bool socketsInUse = false;
};

ServerObjects& Server() {
    static ServerObjects objects;
    return objects;
}

// Every socket of the six objects is woken before any thread is joined: a thread stuck on one
// client must not keep the others serving, nor the stop waiting.
void CloseSockets(ServerObjects& server) {
    for (int i = 0; i < 3; ++i) {
        server.udp[i].Shutdown();
        server.tcp[i].Shutdown();
    }
    for (int i = 0; i < 3; ++i) {
        server.udp[i].Close();
        server.tcp[i].Close();
    }
}

ServerObjects::~ServerObjects() {
    CloseSockets(*this);
}

struct PortPlan {
    uint16_t port;
    int slots;
    int32_t failure;
};

int32_t StartupFailure(net::StartupError error) {
    static const struct {
        net::StartupError error;
        int32_t result;
    } kResults[] = {{net::StartupError::kVersion, kStartVersion},
                    {net::StartupError::kInProgress, kStartInProgress},
                    {net::StartupError::kProcessLimit, kStartProcessLimit}};
    for (const auto& known : kResults) {
        if (known.error == error) return known.result;
    }
    return kStartNotReady;
}

// Steps over an opening double quote and cuts a closing one, in the caller's own text.
char* WithoutQuotes(char* path) {
    if (path == nullptr) return nullptr;
    if (path[0] == '"') ++path;
    size_t length = std::strlen(path);
    if (length > 0 && path[length - 1] == '"') path[length - 1] = '\0';
    return path;
}

// One trailing separator goes (D:\Movies\ becomes D:\Movies, D:\ becomes D:), except where the
// separator is all there is (the POSIX root).
void CutTrailingSeparator(char* path) {
    if (path == nullptr) return;
    size_t length = std::strlen(path);
    if (length > 1 && path[length - 1] == hostfs::Fs().Separator()) path[length - 1] = '\0';
}

// What the portmapper lists: itself, MOUNT (versions 1 and 3) and NFS (versions 2 and 3), each
// over TCP and UDP.
std::vector<CQDV_PortManager::Mapping> Mappings(const ServerPorts& ports) {
    struct Program {
        uint32_t program;
        std::vector<uint32_t> versions;
        uint16_t port;
    };
    const Program programs[] = {{kPortmapProgram, {2}, ports.portmap},
                                {kMountProgram, {1, 3}, ports.mount},
                                {kNfsProgram, {2, 3}, ports.nfs}};
    std::vector<CQDV_PortManager::Mapping> mappings;
    for (const Program& program : programs) {
        for (uint32_t version : program.versions) {
            for (uint32_t protocol : {kProtocolTcp, kProtocolUdp}) {
                mappings.push_back({program.program, version, protocol, program.port});
            }
        }
    }
    return mappings;
}

int32_t OpenSockets(const ServerOptions& options, bool bindToAll, int32_t addressIndex) {
    ServerObjects& server = Server();
    const ServerPorts& ports = options.ports;
    const PortPlan plans[3] = {{ports.portmap, 3, kStartPortmapPortBusy},
                               {ports.nfs, 10, kStartNfsPortBusy},
                               {ports.mount, 3, kStartMountPortBusy}};
    for (int i = 0; i < 3; ++i) {
        const PortPlan& plan = plans[i];
        const bool opened =
            options.address ? server.tcp[i].OpenAt(*options.address, plan.port, plan.slots) &&
                                  server.udp[i].OpenAt(*options.address, plan.port)
                            : server.tcp[i].Open(bindToAll, addressIndex, plan.port, plan.slots) &&
                                  server.udp[i].Open(bindToAll, addressIndex, plan.port);
        if (!opened) return plan.failure;
    }
    return kStartRunning;
}

// The first address decides whether there is a network at all; a host entry that cannot be
// had counts as none.
int32_t CheckNetwork(const ServerOptions& options) {
    ServerObjects& server = Server();
    auto entry = std::make_unique<net::HostEntry>();
    if (!net::LocalHostEntry(*entry) || entry->addresses.empty()) return kStartNoNetwork;
    if (options.address) {
        std::vector<uint32_t>& addresses = entry->addresses;
        addresses.erase(std::remove(addresses.begin(), addresses.end(), *options.address),
                        addresses.end());
        addresses.insert(addresses.begin(), *options.address);
    }
    bool loopbackOnly = net::AddressText(entry->addresses.front()) == "127.0.0.1";
    server.hostEntry = std::move(entry);
    return loopbackOnly && !options.allowLoopbackOnly ? kStartNoNetwork : kStartRunning;
}

void EndSocketUse() {
    ServerObjects& server = Server();
    if (!server.socketsInUse) return;
    server.socketsInUse = false;
    net::Cleanup();
}

int32_t StartProper(const ServerOptions& options, bool bindToAll, int32_t addressIndex,
                    char* paths[4]) {
    ServerObjects& server = Server();
    // A start while running ends the running sockets first: the handlers are rewritten below,
    // and no call may be using them meanwhile.
    CloseSockets(server);
    for (int i = 0; i < 4; ++i) CutTrailingSeparator(paths[i]);
    server.portmapper.SetPort(kMountProgram, options.ports.mount);
    server.portmapper.SetPort(kNfsProgram, options.ports.nfs);
    // The portmapper is found through itself too: rpcinfo asks GETPORT for program 100000
    // before it asks for the DUMP.
    server.portmapper.SetPort(kPortmapProgram, options.ports.portmap);
    server.portmapper.SetMappings(Mappings(options.ports));
    server.nfs.SetOwner(server.uid, server.gid);
    server.mount.SetSharePaths(paths[0] ? paths[0] : "", paths[1] ? paths[1] : "",
                               paths[2] ? paths[2] : "", paths[3] ? paths[3] : "");
    server.daemon.Register(kPortmapProgram, &server.portmapper);
    server.daemon.Register(kNfsProgram, &server.nfs);
    server.daemon.Register(kMountProgram, &server.mount);
    server.daemon.BroadcastFlag(server.handlerFlag);
    for (int i = 0; i < 3; ++i) {
        server.udp[i].SetListener(&server.daemon);
        server.tcp[i].SetListener(&server.daemon);
    }
    int32_t result = OpenSockets(options, bindToAll, addressIndex);
    if (result == kStartRunning) result = CheckNetwork(options);
    if (result != kStartRunning) CloseSockets(server);
    return result;
}

}  // namespace

int32_t StartServerWith(const ServerOptions& options, int32_t uid, int32_t gid, uint8_t flag,
                        uint8_t bindToAll, int32_t addressIndex, char* path1, char* path2,
                        char* path3, char* path4) {
    ServerObjects& server = Server();
    server.uid = uid;
    server.gid = gid;
    if (flag != 0) server.handlerFlag = 1;
    char* paths[4] = {WithoutQuotes(path1), WithoutQuotes(path2), WithoutQuotes(path3),
                      WithoutQuotes(path4)};
    if (!paths[0] && !paths[1] && !paths[2] && !paths[3]) return kStartNoPaths;
    net::StartupError error = net::Startup();
    if (error != net::StartupError::kNone) return StartupFailure(error);
    int32_t result = StartProper(options, bindToAll != 0, addressIndex, paths);
    // A start while running keeps the one use; a failed start has closed every socket, the
    // running ones included, and ends its own use and the running server's.
    if (result > 0 && !server.socketsInUse) {
        server.socketsInUse = true;
        return kStartRunning;
    }
    net::Cleanup();
    if (result > 0) return kStartRunning;
    EndSocketUse();
    return result;
}

int32_t StartServer(int32_t uid, int32_t gid, uint8_t flag, uint8_t bindToAll, int32_t addressIndex,
                    char* path1, char* path2, char* path3, char* path4) {
    return StartServerWith(ServerOptions{}, uid, gid, flag, bindToAll, addressIndex, path1, path2,
                           path3, path4);
}

// Every socket thread has ended before the handle table and what the server keeps are emptied,
// so no call can see them half-way.
int32_t StopServer() {
    ServerObjects& server = Server();
    CloseSockets(server);
    EndSocketUse();
    FileManager().Reset();
    Listings().Forget();
    server.daemon.ForgetReplies();
    return 0;
}

int32_t GetMountCount() {
    return Server().mount.GetMountCount();
}

bool UseNameCharset(const std::string& charset) {
    return hostfs::SetNameCharset(charset);
}

std::string ServedFolder(const std::string& folder) {
    return hostfs::Fs().ServedPath(folder);
}

// The socket interface is taken for this look only: a running server keeps its own use.
std::vector<uint32_t> LocalAddresses() {
    net::HostEntry entry;
    if (net::Startup() != net::StartupError::kNone) return {};
    const bool found = net::LocalHostEntry(entry);
    net::Cleanup();
    return found ? entry.addresses : std::vector<uint32_t>();
}

const net::HostEntry* ServerHostEntry() {
    return Server().hostEntry.get();
}

#include "FuzzServer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "QDV_MountManager.h"
#include "QDV_NFSManager.h"
#include "QDV_PortManager.h"
#include "QDV_RPCDeamon.h"
#include "Socket.h"

namespace fs = std::filesystem;

namespace {

// Built once and never destroyed: libFuzzer may end the process from any point.
struct Programs {
    CQDV_RPCDeamon daemon;
    CQDV_PortManager portmapper;
    CQDV_NFSManager nfs;
    CQDV_MountManager mount;
    CSocket udp{kTransportUdp};
    CSocket tcp{kTransportTcp};
    fs::path share;
};

Programs* g_programs = nullptr;

void WriteFile(const fs::path& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

}  // namespace

FuzzServer& FuzzServer::Get() {
    static FuzzServer* server = new FuzzServer;
    return *server;
}

FuzzServer::FuzzServer() {
    g_programs = new Programs;
    Programs& p = *g_programs;
    p.share = fs::temp_directory_path() / ("qdv-fuzz-" + std::to_string(::getpid()));
    LayShare();
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(g_programs->share, ignored);
    });
    const std::string root = p.share.string();
    p.portmapper.SetPort(100005, 1058);
    p.portmapper.SetPort(100003, 2049);
    p.portmapper.SetPort(100000, 111);
    p.portmapper.SetMappings({{100000, 2, 6, 111}, {100005, 3, 17, 1058}, {100003, 3, 6, 2049}});
    p.mount.SetSharePaths(root.c_str(), "", "", "");
    p.daemon.Register(100000, &p.portmapper);
    p.daemon.Register(100003, &p.nfs);
    p.daemon.Register(100005, &p.mount);
    const char separator = hostfs::Fs().Separator();
    for (const std::string& path :
         {root, root + separator + "film.avi", root + separator + "folder",
          root + separator + "folder" + separator + "clip.mpg"}) {
        FileManager().GetHandle(path);
    }
    p.udp.Attach(net::kNoSocket, &p.daemon, nullptr);
    p.tcp.Attach(net::kNoSocket, &p.daemon, nullptr);
    m_pUdp = &p.udp;
    m_pTcp = &p.tcp;
}

std::vector<uint8_t> FuzzServer::BeginInput(const uint8_t* data, size_t size) {
    LayShare();
    g_programs->udp.Attach(net::kNoSocket, &g_programs->daemon, nullptr);
    g_programs->tcp.Attach(net::kNoSocket, &g_programs->daemon, nullptr);
    std::vector<uint8_t> input(data, data + size);
    const uint8_t marker[4] = {'S', 'T', 'M', 'P'};
    const uint32_t stamp = FileManager().Stamp();
    for (auto at = input.begin();
         (at = std::search(at, input.end(), marker, marker + 4)) != input.end();) {
        for (int i = 0; i < 4; ++i) *at++ = static_cast<uint8_t>(stamp >> (8 * i));
    }
    return input;
}

void FuzzServer::LayShare() {
    const fs::path& share = g_programs->share;
    std::error_code ignored;
    fs::remove_all(share, ignored);
    fs::create_directories(share / "folder");
    WriteFile(share / "film.avi", std::string(3000, 'f'));
    WriteFile(share / "folder" / "clip.mpg", "clip");
}

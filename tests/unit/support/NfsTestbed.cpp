#include "NfsTestbed.h"

#include <stdexcept>

#include "DorvelFileManager.h"
#include "HostFs.h"
#include "ListingCache.h"
#include "QDV_Procedure3.h"
#include "Socket.h"

NfsTestbed::NfsTestbed(int shares) : nfs(std::make_unique<CQDV_Procedure3>()) {
    FileManager().Reset();
    Listings().Forget();
    std::string paths[4];
    for (int k = 1; k <= shares; ++k) {
        m_dir.MakeFolder("share" + std::to_string(k));
        paths[k - 1] = Share(k);
    }
    mount.SetSharePaths(paths[0].c_str(), paths[1].c_str(), paths[2].c_str(), paths[3].c_str());
    daemon.Register(100005, &mount);
    daemon.Register(100003, nfs.get());
}

NfsTestbed::~NfsTestbed() {
    FileManager().Reset();
    Listings().Forget();
}

std::string NfsTestbed::Share(int k) const {
    return m_dir.Join("share" + std::to_string(k));
}

std::string NfsTestbed::InShare(int k, const std::string& name) const {
    return Share(k) + hostfs::Fs().Separator() + name;
}

HandledCall NfsTestbed::Call(uint32_t program, uint32_t version, uint32_t procedure,
                             const XdrBytes& args, const char* client) {
    CallHeaderSpec h;
    h.program = program;
    h.version = version;
    h.procedure = procedure;
    return RunCall(daemon, kTransportUdp, MakeCall(h, args.Get()), client);
}

std::vector<std::string> HostListing(const std::string& folder) {
    std::vector<std::string> names;
    std::unique_ptr<hostfs::IListing> listing = hostfs::Fs().List(folder);
    std::string name;
    while (listing != nullptr && listing->Next(name)) names.push_back(name);
    return names;
}

WordReader AfterHeader(const HandledCall& call) {
    WordReader reader(call.reply);
    reader.Bytes(20);
    return reader;
}

WordReader NfsTestbed::Nfs3(uint32_t procedure, const XdrBytes& args) {
    WordReader reader = AfterHeader(Call(100003, 3, procedure, args));
    if (reader.Word() != 0) throw std::runtime_error("call not accepted with SUCCESS");
    return reader;
}

std::vector<uint8_t> NfsTestbed::Root(int k) {
    WordReader reader =
        AfterHeader(Call(100005, 3, 1, XdrBytes().Text("/quonhd" + std::to_string(k))));
    if (reader.Word() != 0 || reader.Word() != 0) throw std::runtime_error("mount refused");
    return reader.Opaque();
}

std::vector<uint8_t> NfsTestbed::Lookup(const std::vector<uint8_t>& folder,
                                        const std::string& name) {
    WordReader reader = Nfs3(3, XdrBytes().Opaque(folder.data(), folder.size()).Text(name));
    if (reader.Word() != 0) return {};
    return reader.Opaque();
}

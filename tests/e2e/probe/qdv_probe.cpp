// A small NFS client over libnfs for the end-to-end tests: the calls the stock tools do not make
// with chosen arguments (READDIR counts, MNT and UMNT, version 2), and libnfs' own nfs_rename,
// which no stock tool offers. Prints one result per
// line; exits 0 on success, 1 when the server refused, 2 on a usage or transport error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern "C" {
// libnfs.h defines what the raw headers use, so it comes first.
#include <nfsc/libnfs.h>

#include <nfsc/libnfs-raw.h>

#include <nfsc/libnfs-raw-mount.h>
#include <nfsc/libnfs-raw-nfs.h>
}

#include "RawClient.h"

namespace {

struct Target {
    std::string host;
    int mountPort = 0;
    int nfsPort = 0;
    std::string exportPath;
};

int Broken(const std::string& what) {
    std::fprintf(stderr, "qdv_probe: %s\n", what.c_str());
    return 2;
}

// MNT version 3 of the export: its status, and the root handle when it is 0.
bool Mount(const Target& target, uint32_t& status, std::vector<char>& root, std::string& error) {
    RawClient mount(target.host, target.mountPort, MOUNT_PROGRAM, MOUNT_V3);
    if (!mount.Connected()) {
        error = mount.Error();
        return false;
    }
    std::string path = target.exportPath;
    bool ok = mount.Call([&](rpc_context* rpc, auto cb,
                             void* p) { return rpc_mount3_mnt_async(rpc, cb, path.data(), p); },
                         [&](void* data) {
                             auto* res = static_cast<mountres3*>(data);
                             status = res->fhs_status;
                             if (status != 0) return;
                             fhandle3& fh = res->mountres3_u.mountinfo.fhandle;
                             root.assign(fh.fhandle3_val, fh.fhandle3_val + fh.fhandle3_len);
                         });
    if (!ok) error = mount.Error();
    return ok;
}

// Mounts the export and connects to NFS; null, after saying why, when either fails.
std::unique_ptr<RawClient> OpenExport(const Target& target, std::vector<char>& root) {
    uint32_t status = 0;
    std::string error;
    if (!Mount(target, status, root, error)) {
        Broken(error);
        return nullptr;
    }
    if (status != 0) {
        Broken("mount refused");
        return nullptr;
    }
    auto nfs = std::make_unique<RawClient>(target.host, target.nfsPort, NFS_PROGRAM, NFS_V3);
    if (!nfs->Connected()) {
        Broken(nfs->Error());
        return nullptr;
    }
    return nfs;
}

nfs_fh3 AsHandle(std::vector<char>& bytes) {
    nfs_fh3 fh{};
    fh.data.data_len = static_cast<u_int>(bytes.size());
    fh.data.data_val = bytes.data();
    return fh;
}

int CommandMnt(const Target& target, const std::vector<std::string>&) {
    uint32_t status = 0;
    std::vector<char> root;
    std::string error;
    if (!Mount(target, status, root, error)) return Broken(error);
    std::printf("mnt %u %zu\n", status, root.size());
    return status == 0 ? 0 : 1;
}

// UMNT of the export, printed as "umnt".
int Unmount(RawClient& mount, const Target& target) {
    std::string path = target.exportPath;
    bool ok = mount.Call([&](rpc_context* rpc, auto cb,
                             void* p) { return rpc_mount3_umnt_async(rpc, cb, path.data(), p); },
                         nullptr);
    if (!ok) return Broken(mount.Error());
    std::printf("umnt\n");
    return 0;
}

int CommandUmnt(const Target& target, const std::vector<std::string>&) {
    RawClient mount(target.host, target.mountPort, MOUNT_PROGRAM, MOUNT_V3);
    if (!mount.Connected()) return Broken(mount.Error());
    return Unmount(mount, target);
}

int CommandMntUmnt(const Target& target, const std::vector<std::string>&) {
    RawClient mount(target.host, target.mountPort, MOUNT_PROGRAM, MOUNT_V3);
    if (!mount.Connected()) return Broken(mount.Error());
    std::string path = target.exportPath;
    uint32_t status = 99;
    bool ok = mount.Call([&](rpc_context* rpc, auto cb,
                             void* p) { return rpc_mount3_mnt_async(rpc, cb, path.data(), p); },
                         [&](void* data) { status = static_cast<mountres3*>(data)->fhs_status; });
    if (!ok) return Broken(mount.Error());
    std::printf("mnt %u\n", status);
    std::fflush(stdout);
    // Gives the test time to see the mount before the unmount follows.
    std::getchar();
    return Unmount(mount, target);
}

// Prints the names of one page of a listing and notes where the next page starts.
template <typename Page>
void TakePage(const Page& page, uint64_t& cookie, bool& eof) {
    for (auto* entry = page.entries; entry != nullptr; entry = entry->nextentry) {
        std::printf("%s\n", entry->name);
        cookie = entry->cookie;
    }
    eof = page.eof;
}

// Follows the cookies through the whole folder with the given byte counts, printing every
// name and, last, how many calls it took.
int ListFolder(const Target& target, bool plus, uint32_t dircount, uint32_t count) {
    std::vector<char> root;
    std::unique_ptr<RawClient> connection = OpenExport(target, root);
    if (!connection) return 2;
    RawClient& nfs = *connection;
    uint32_t status = 0;
    uint64_t cookie = 0;
    bool eof = false;
    int calls = 0;
    while (!eof && calls < 100000) {
        ++calls;
        bool ok = nfs.Call(
            [&](rpc_context* rpc, auto cb, void* p) {
                if (plus) {
                    READDIRPLUS3args args{};
                    args.dir = AsHandle(root);
                    args.cookie = cookie;
                    args.dircount = dircount;
                    args.maxcount = count;
                    return rpc_nfs3_readdirplus_async(rpc, cb, &args, p);
                }
                READDIR3args args{};
                args.dir = AsHandle(root);
                args.cookie = cookie;
                args.count = count;
                return rpc_nfs3_readdir_async(rpc, cb, &args, p);
            },
            [&](void* data) {
                if (plus) {
                    auto* res = static_cast<READDIRPLUS3res*>(data);
                    status = res->status;
                    if (status == 0) TakePage(res->READDIRPLUS3res_u.resok.reply, cookie, eof);
                    return;
                }
                auto* res = static_cast<READDIR3res*>(data);
                status = res->status;
                if (status == 0) TakePage(res->READDIR3res_u.resok.reply, cookie, eof);
            });
        if (!ok) return Broken(nfs.Error());
        if (status != 0) {
            std::printf("status %u\n", status);
            return 1;
        }
    }
    std::printf("calls %d\n", calls);
    return eof ? 0 : 1;
}

int CommandReadDir(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 1) return Broken("readdir wants COUNT");
    return ListFolder(target, false, 0, static_cast<uint32_t>(std::atoi(args[0].c_str())));
}

int CommandReadDirPlus(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 2) return Broken("readdirplus wants DIRCOUNT MAXCOUNT");
    return ListFolder(target, true, static_cast<uint32_t>(std::atoi(args[0].c_str())),
                      static_cast<uint32_t>(std::atoi(args[1].c_str())));
}

// LOOKUP of a name in a folder: its status, and the handle when it is 0.
uint32_t Lookup(RawClient& nfs, std::vector<char>& folder, const std::string& name,
                std::vector<char>& handle) {
    uint32_t status = 99;
    std::string text = name;
    nfs.Call(
        [&](rpc_context* rpc, auto cb, void* p) {
            LOOKUP3args args{};
            args.what.dir = AsHandle(folder);
            args.what.name = text.data();
            return rpc_nfs3_lookup_async(rpc, cb, &args, p);
        },
        [&](void* data) {
            auto* res = static_cast<LOOKUP3res*>(data);
            status = res->status;
            if (status != 0) return;
            const nfs_fh3& object = res->LOOKUP3res_u.resok.object;
            handle.assign(object.data.data_val, object.data.data_val + object.data.data_len);
        });
    return status;
}

// Makes one call whose reply starts with its nfsstat3 and prints "<label> <status>".
template <typename Result>
int StatusCall(RawClient& nfs, const char* label, const RawClient::Issue& issue) {
    uint32_t status = 99;
    if (!nfs.Call(issue, [&](void* data) { status = static_cast<Result*>(data)->status; })) {
        return Broken(nfs.Error());
    }
    std::printf("%s %u\n", label, status);
    return status == 0 ? 0 : 1;
}

// RENAME of a name in this export's root to a name in the root of another (or the same) export.
int CommandRename(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 3) return Broken("rename wants FROM TOEXPORT TONAME");
    std::vector<char> root;
    auto connection = OpenExport(target, root);
    if (!connection) return 2;
    Target other = target;
    other.exportPath = args[1];
    std::vector<char> otherRoot;
    uint32_t status = 0;
    std::string error;
    if (!Mount(other, status, otherRoot, error) || status != 0) return Broken("second mount");
    std::vector<char> file;
    Lookup(*connection, root, args[0], file);  // the server renames only what it has met
    std::string from = args[0];
    std::string to = args[2];
    return StatusCall<RENAME3res>(*connection, "rename", [&](rpc_context* rpc, rpc_cb cb, void* p) {
        RENAME3args a{};
        a.from.dir = AsHandle(root);
        a.from.name = from.data();
        a.to.dir = AsHandle(otherRoot);
        a.to.name = to.data();
        return rpc_nfs3_rename_async(rpc, cb, &a, p);
    });
}

// Opens NAME in the export's root: the connection, and the file's handle in `file`.
std::unique_ptr<RawClient> OpenFile(const Target& target, const std::string& name,
                                    std::vector<char>& file) {
    std::vector<char> root;
    auto connection = OpenExport(target, root);
    if (!connection) return nullptr;
    uint32_t status = Lookup(*connection, root, name, file);
    if (status != 0) {
        std::printf("lookup %u\n", status);
        return nullptr;
    }
    return connection;
}

int CommandWrite(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 3) return Broken("write wants NAME OFFSET TEXT");
    std::vector<char> file;
    auto connection = OpenFile(target, args[0], file);
    if (!connection) return 1;
    std::string text = args[2];
    uint32_t status = 99;
    uint32_t count = 0;
    bool ok = connection->Call(
        [&](rpc_context* rpc, auto cb, void* p) {
            WRITE3args a{};
            a.file = AsHandle(file);
            a.offset = std::strtoull(args[1].c_str(), nullptr, 10);
            a.count = static_cast<count3>(text.size());
            a.stable = FILE_SYNC;
            a.data.data_len = static_cast<u_int>(text.size());
            a.data.data_val = text.data();
            return rpc_nfs3_write_async(rpc, cb, &a, p);
        },
        [&](void* data) {
            auto* res = static_cast<WRITE3res*>(data);
            status = res->status;
            if (status == 0) count = res->WRITE3res_u.resok.count;
        });
    if (!ok) return Broken(connection->Error());
    std::printf("write %u %u\n", status, count);
    return status == 0 ? 0 : 1;
}

// One READ with a file's handle, printed as "read <status> <bytes> <eof> <text>".
int ReadWith(RawClient& nfs, std::vector<char>& file, const std::string& offset,
             const std::string& count) {
    uint32_t status = 99;
    std::string bytes;
    bool eof = false;
    bool ok = nfs.Call(
        [&](rpc_context* rpc, auto cb, void* p) {
            READ3args a{};
            a.file = AsHandle(file);
            a.offset = std::strtoull(offset.c_str(), nullptr, 10);
            a.count = static_cast<count3>(std::strtoul(count.c_str(), nullptr, 10));
            return rpc_nfs3_read_async(rpc, cb, &a, p);
        },
        [&](void* data) {
            auto* res = static_cast<READ3res*>(data);
            status = res->status;
            if (status != 0) return;
            const READ3resok& ok = res->READ3res_u.resok;
            bytes.assign(ok.data.data_val, ok.data.data_len);
            eof = ok.eof;
        });
    if (!ok) return Broken(nfs.Error());
    std::printf("read %u %zu %d %s\n", status, bytes.size(), eof ? 1 : 0, bytes.c_str());
    return status == 0 ? 0 : 1;
}

int CommandRead(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 3) return Broken("read wants NAME OFFSET COUNT");
    std::vector<char> file;
    auto connection = OpenFile(target, args[0], file);
    if (!connection) return 1;
    return ReadWith(*connection, file, args[1], args[2]);
}

// The handle of a name in the export's root folder, in hex, for a later read-handle: a player
// keeps its handles across the server's restarts.
int CommandLookup(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 1) return Broken("lookup wants NAME");
    std::vector<char> file;
    if (!OpenFile(target, args[0], file)) return 1;
    std::printf("lookup 0 ");
    for (char byte : file) std::printf("%02x", static_cast<unsigned char>(byte));
    std::printf("\n");
    return 0;
}

// A READ with a handle kept from before, on a new connection and without mounting again.
int CommandReadHandle(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 3 || args[0].size() % 2 != 0) {
        return Broken("read-handle wants HEXHANDLE OFFSET COUNT");
    }
    std::vector<char> file;
    for (size_t i = 0; i < args[0].size(); i += 2) {
        file.push_back(static_cast<char>(std::strtoul(args[0].substr(i, 2).c_str(), nullptr, 16)));
    }
    RawClient nfs(target.host, target.nfsPort, NFS_PROGRAM, NFS_V3);
    if (!nfs.Connected()) return Broken(nfs.Error());
    return ReadWith(nfs, file, args[1], args[2]);
}

int CommandCommit(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 1) return Broken("commit wants NAME");
    std::vector<char> file;
    auto connection = OpenFile(target, args[0], file);
    if (!connection) return 1;
    return StatusCall<COMMIT3res>(*connection, "commit", [&](rpc_context* rpc, rpc_cb cb, void* p) {
        COMMIT3args a{};
        a.file = AsHandle(file);
        return rpc_nfs3_commit_async(rpc, cb, &a, p);
    });
}

// MOUNT version 1 of the export and a connection to NFS version 2 (over TCP: libnfs has no
// other transport); null, after saying why, when either fails.
std::unique_ptr<RawClient> OpenExportVersion2(const Target& target, fhandle2& root) {
    RawClient mount(target.host, target.mountPort, MOUNT_PROGRAM, MOUNT_V1);
    std::string path = target.exportPath;
    uint32_t status = 99;
    bool ok = mount.Connected() &&
              mount.Call([&](rpc_context* rpc, rpc_cb cb,
                             void* p) { return rpc_mount1_mnt_async(rpc, cb, path.data(), p); },
                         [&](void* data) {
                             auto* res = static_cast<mountres1*>(data);
                             status = res->fhs_status;
                             if (status == 0)
                                 std::memcpy(root, res->mountres1_u.mountinfo.fhandle, FHSIZE2);
                         });
    if (!ok || status != 0) {
        Broken("version 1 mount: " + mount.Error());
        return nullptr;
    }
    auto nfs = std::make_unique<RawClient>(target.host, target.nfsPort, NFS_PROGRAM, NFS_V2);
    if (!nfs->Connected()) {
        Broken(nfs->Error());
        return nullptr;
    }
    return nfs;
}

// The export's root listed through version 2 READDIR with the given count, cookie by cookie.
int CommandListVersion2(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 1) return Broken("v2-readdir wants COUNT");
    fhandle2 root;
    auto nfs = OpenExportVersion2(target, root);
    if (!nfs) return 2;
    char cookie[NFSCOOKIESIZE2] = {};
    bool eof = false;
    int calls = 0;
    uint32_t status = 0;
    while (!eof && status == 0 && calls < 100000) {
        ++calls;
        bool ok = nfs->Call(
            [&](rpc_context* rpc, rpc_cb cb, void* p) {
                READDIR2args a{};
                std::memcpy(a.dir, root, FHSIZE2);
                std::memcpy(a.cookie, cookie, NFSCOOKIESIZE2);
                a.count = static_cast<u_int>(std::atoi(args[0].c_str()));
                return rpc_nfs2_readdir_async(rpc, cb, &a, p);
            },
            [&](void* data) {
                auto* res = static_cast<READDIR2res*>(data);
                status = res->status;
                if (status != 0) return;
                for (entry2* e = res->READDIR2res_u.resok.entries; e; e = e->nextentry) {
                    std::printf("%s\n", e->name);
                    std::memcpy(cookie, e->cookie, NFSCOOKIESIZE2);
                }
                eof = res->READDIR2res_u.resok.eof;
            });
        if (!ok) return Broken(nfs->Error());
    }
    if (status != 0) std::printf("status %u\n", status);
    std::printf("calls %d\n", calls);
    return status == 0 && eof ? 0 : 1;
}

// LOOKUP of a name in the export's root and a READ of it through version 2.
int CommandReadVersion2(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 3) return Broken("v2-read wants NAME OFFSET COUNT");
    fhandle2 root;
    auto nfs = OpenExportVersion2(target, root);
    if (!nfs) return 2;
    std::string name = args[0];
    fhandle2 file;
    uint32_t status = 99;
    nfs->Call(
        [&](rpc_context* rpc, rpc_cb cb, void* p) {
            LOOKUP2args a{};
            std::memcpy(a.what.dir, root, FHSIZE2);
            a.what.name = name.data();
            return rpc_nfs2_lookup_async(rpc, cb, &a, p);
        },
        [&](void* data) {
            auto* res = static_cast<LOOKUP2res*>(data);
            status = res->status;
            if (status == 0) std::memcpy(file, res->LOOKUP2res_u.resok.file, FHSIZE2);
        });
    if (status != 0) {
        std::printf("lookup %u\n", status);
        return 1;
    }
    std::string bytes;
    bool ok = nfs->Call(
        [&](rpc_context* rpc, rpc_cb cb, void* p) {
            READ2args a{};
            std::memcpy(a.file, file, FHSIZE2);
            a.offset = static_cast<u_int>(std::atoi(args[1].c_str()));
            a.count = static_cast<u_int>(std::atoi(args[2].c_str()));
            return rpc_nfs2_read_async(rpc, cb, &a, p);
        },
        [&](void* data) {
            auto* res = static_cast<READ2res*>(data);
            status = res->status;
            if (status == 0)
                bytes.assign(res->READ2res_u.resok.data.nfsdata2_val,
                             res->READ2res_u.resok.data.nfsdata2_len);
        });
    if (!ok) return Broken(nfs->Error());
    std::printf("read2 %u %zu %s\n", status, bytes.size(), bytes.c_str());
    return status == 0 ? 0 : 1;
}

// libnfs' own nfs_rename over a mount of the export, as applications call it: it looks up the
// folders on the way and renames the file without looking it up.
int CommandNfsRename(const Target& target, const std::vector<std::string>& args) {
    if (args.size() != 2) return Broken("nfs-rename wants FROM TO (paths in the export)");
    std::unique_ptr<nfs_context, decltype(&nfs_destroy_context)> nfs(nfs_init_context(),
                                                                     nfs_destroy_context);
    if (!nfs) return Broken("no libnfs context");
    const std::string url = "nfs://" + target.host + target.exportPath +
                            "?nfsport=" + std::to_string(target.nfsPort) +
                            "&mountport=" + std::to_string(target.mountPort) + "&version=3";
    nfs_url* parsed = nfs_parse_url_dir(nfs.get(), url.c_str());
    if (parsed == nullptr) return Broken(nfs_get_error(nfs.get()));
    int mounted = nfs_mount(nfs.get(), parsed->server, parsed->path);
    nfs_destroy_url(parsed);
    if (mounted != 0) return Broken(std::string("mount: ") + nfs_get_error(nfs.get()));
    int status = nfs_rename(nfs.get(), args[0].c_str(), args[1].c_str());
    std::printf("nfs_rename %d\n", status);
    if (status != 0) std::fprintf(stderr, "%s\n", nfs_get_error(nfs.get()));
    return status == 0 ? 0 : 1;
}

using Command = int (*)(const Target&, const std::vector<std::string>&);

const std::map<std::string, Command> kCommands = {
    {"mnt", CommandMnt},
    {"mnt-umnt", CommandMntUmnt},
    {"umnt", CommandUmnt},
    {"lookup", CommandLookup},
    {"read-handle", CommandReadHandle},
    {"readdir", CommandReadDir},
    {"readdirplus", CommandReadDirPlus},
    {"rename", CommandRename},
    {"write", CommandWrite},
    {"read", CommandRead},
    {"commit", CommandCommit},
    {"v2-readdir", CommandListVersion2},
    {"v2-read", CommandReadVersion2},
    {"nfs-rename", CommandNfsRename},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        return Broken(
            "usage: qdv_probe HOST MOUNTPORT NFSPORT EXPORT COMMAND [ARGS]\n"
            "commands: mnt, mnt-umnt, umnt, lookup NAME, read-handle HEX OFFSET COUNT, readdir "
            "COUNT, readdirplus DIRCOUNT MAXCOUNT, "
            "rename FROM TOEXPORT TONAME, write NAME OFFSET TEXT, read NAME OFFSET COUNT, "
            "commit NAME, v2-readdir COUNT, v2-read NAME OFFSET COUNT, nfs-rename FROM TO");
    }
    Target target{argv[1], std::atoi(argv[2]), std::atoi(argv[3]), argv[4]};
    auto command = kCommands.find(argv[5]);
    if (command == kCommands.end()) return Broken(std::string("unknown command ") + argv[5]);
    std::vector<std::string> args(argv + 6, argv + argc);
    return command->second(target, args);
}

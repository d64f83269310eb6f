#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Loopback.h"
#include "RpcBytes.h"

// A synchronous client of a running server over one loopback socket: each call waits (bounded)
// for the reply with its own xid.
class RpcClient {
  public:
    static RpcClient Udp(uint16_t port);
    static RpcClient Tcp(uint16_t port);

    bool Valid() const { return m_socket.Valid(); }
    void SetTimeout(uint32_t milliseconds) { m_socket.SetTimeout(milliseconds); }
    // The results after a SUCCESS accept status; nothing on any other answer, or none.
    std::optional<WordReader> Call(uint32_t program, uint32_t version, uint32_t procedure,
                                   const XdrBytes& args);

  private:
    RpcClient(ClientSocket socket, bool tcp, uint16_t port);

    ClientSocket m_socket;
    bool m_bTcp;
    uint16_t m_nPort;
    uint32_t m_nXid;
};

// NFS version 3 and MOUNT version 3 calls over such a client. Handles are the 64-byte records;
// an empty handle stands for a refusal.
namespace nfs3 {

using Handle = std::vector<uint8_t>;

Handle MountRoot(RpcClient& mount, const std::string& exportPath);
Handle Lookup(RpcClient& nfs, const Handle& folder, const std::string& name);
// Made or emptied (UNCHECKED).
Handle Create(RpcClient& nfs, const Handle& folder, const std::string& name);
std::optional<std::vector<uint8_t>> Read(RpcClient& nfs, const Handle& file, uint64_t offset,
                                         uint32_t count);
bool Write(RpcClient& nfs, const Handle& file, uint64_t offset, const std::vector<uint8_t>& data);
// The names of the first READDIR reply.
std::optional<std::vector<std::string>> List(RpcClient& nfs, const Handle& folder);
XdrBytes ReadArgs(const Handle& file, uint64_t offset, uint32_t count);

}  // namespace nfs3

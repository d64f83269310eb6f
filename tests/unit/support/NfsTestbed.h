#pragma once

#include <memory>
#include <string>
#include <vector>

#include "QDV_MountManager.h"
#include "QDV_RPCDeamon.h"
#include "RecordingEvents.h"
#include "RpcBytes.h"
#include "TempDir.h"

// A MOUNT handler and an NFS program over real share folders in a temporary folder, driven by
// calls held in bytes. The handle table and the kept listings are emptied for each testbed.
class NfsTestbed {
  public:
    // Share k (1 to 4) is the folder "share<k>" of the temporary folder, for k up to `shares`.
    explicit NfsTestbed(int shares = 2);
    ~NfsTestbed();

    // The host path of share k, and of a name inside it.
    std::string Share(int k) const;
    std::string InShare(int k, const std::string& name) const;
    TempDir& Dir() { return m_dir; }

    // Runs one call; the reply's words follow the accept status in `reply`.
    HandledCall Call(uint32_t program, uint32_t version, uint32_t procedure, const XdrBytes& args,
                     const char* client = "127.0.0.1");
    // NFS version 3: the reply after the accept status (which must be SUCCESS).
    WordReader Nfs3(uint32_t procedure, const XdrBytes& args);
    // The 64-byte root handle of export k, from a version 3 MNT.
    std::vector<uint8_t> Root(int k);
    // LOOKUP of `name` in `folder`; the 64-byte handle, or empty when refused.
    std::vector<uint8_t> Lookup(const std::vector<uint8_t>& folder, const std::string& name);

    RecordingEvents events;
    CQDV_MountManager mount;
    CQDV_RPCDeamon daemon;
    std::unique_ptr<CQDV_RPC> nfs;

  private:
    TempDir m_dir;
};

// The folder's names in the host's order, "." and ".." included where the host lists them.
std::vector<std::string> HostListing(const std::string& folder);

// Words after the RPC accepted-reply header (xid, REPLY, MSG_ACCEPTED, verifier), starting with
// the accept status.
WordReader AfterHeader(const HandledCall& call);

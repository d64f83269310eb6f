#include "RpcClient.h"

#include <atomic>
#include <utility>

namespace {

constexpr uint32_t kNfs = 100003;
constexpr uint32_t kMount = 100005;
constexpr int kStrayReplies = 16;

std::atomic<uint32_t> g_nextXid{0x51000000};

// post_op_attr: a boolean, then 21 words of fattr3 when it is set.
void SkipPostOpAttr(WordReader& reply) {
    if (reply.Word() != 0) reply.Bytes(84);
}

}  // namespace

RpcClient::RpcClient(ClientSocket socket, bool tcp, uint16_t port)
    : m_socket(std::move(socket)), m_bTcp(tcp), m_nPort(port), m_nXid(g_nextXid += 0x10000) {}

RpcClient RpcClient::Udp(uint16_t port) {
    return RpcClient(ClientSocket::Udp(), false, port);
}

RpcClient RpcClient::Tcp(uint16_t port) {
    return RpcClient(ClientSocket::Tcp(port), true, port);
}

std::optional<WordReader> RpcClient::Call(uint32_t program, uint32_t version, uint32_t procedure,
                                          const XdrBytes& args) {
    CallHeaderSpec h;
    h.xid = ++m_nXid;
    h.program = program;
    h.version = version;
    h.procedure = procedure;
    std::vector<uint8_t> call = MakeCall(h, args.Get());
    if (!(m_bTcp ? m_socket.Send(AsRecord(call)) : m_socket.SendTo(m_nPort, call))) return {};
    // A UDP reply to an earlier call that timed out may still come in first.
    for (int stray = 0; stray < kStrayReplies; ++stray) {
        auto bytes = m_bTcp ? m_socket.ReceiveRecord() : m_socket.ReceiveDatagram();
        if (!bytes) return {};
        WordReader reply(std::move(*bytes));
        if (m_bTcp) reply.Word();
        if (reply.Left() < 24 || reply.Word() != h.xid) continue;
        reply.Bytes(16);
        if (reply.Word() != 0) return {};
        return reply;
    }
    return {};
}

namespace nfs3 {

Handle MountRoot(RpcClient& mount, const std::string& exportPath) {
    auto reply = mount.Call(kMount, 3, 1, XdrBytes().Text(exportPath));
    if (!reply || reply->Word() != 0) return {};
    return reply->Opaque();
}

Handle Lookup(RpcClient& nfs, const Handle& folder, const std::string& name) {
    auto reply = nfs.Call(kNfs, 3, 3, XdrBytes().Opaque(folder.data(), folder.size()).Text(name));
    if (!reply || reply->Word() != 0) return {};
    return reply->Opaque();
}

Handle Create(RpcClient& nfs, const Handle& folder, const std::string& name) {
    XdrBytes args;
    args.Opaque(folder.data(), folder.size()).Text(name).Word(0);  // UNCHECKED
    for (int i = 0; i < 6; ++i) args.Word(0);                      // sattr3: nothing set
    auto reply = nfs.Call(kNfs, 3, 8, args);
    if (!reply || reply->Word() != 0 || reply->Word() == 0) return {};
    return reply->Opaque();
}

XdrBytes ReadArgs(const Handle& file, uint64_t offset, uint32_t count) {
    return XdrBytes().Opaque(file.data(), file.size()).Hyper(offset).Word(count);
}

std::optional<std::vector<uint8_t>> Read(RpcClient& nfs, const Handle& file, uint64_t offset,
                                         uint32_t count) {
    auto reply = nfs.Call(kNfs, 3, 6, ReadArgs(file, offset, count));
    if (!reply || reply->Word() != 0) return {};
    SkipPostOpAttr(*reply);
    reply->Word();  // count
    reply->Word();  // eof
    return reply->Opaque();
}

bool Write(RpcClient& nfs, const Handle& file, uint64_t offset, const std::vector<uint8_t>& data) {
    XdrBytes args;
    args.Opaque(file.data(), file.size()).Hyper(offset).Word(uint32_t(data.size())).Word(2);
    args.Opaque(data.data(), data.size());  // FILE_SYNC above
    auto reply = nfs.Call(kNfs, 3, 7, args);
    return reply && reply->Word() == 0;
}

std::optional<std::vector<std::string>> List(RpcClient& nfs, const Handle& folder) {
    XdrBytes args;
    args.Opaque(folder.data(), folder.size()).Hyper(0).Hyper(0).Word(8192);
    auto reply = nfs.Call(kNfs, 3, 16, args);
    if (!reply || reply->Word() != 0) return {};
    SkipPostOpAttr(*reply);
    reply->Bytes(8);  // cookie verifier
    std::vector<std::string> names;
    while (reply->Left() >= 4 && reply->Word() != 0) {
        reply->Hyper();  // fileid
        std::vector<uint8_t> name = reply->Opaque();
        names.emplace_back(name.begin(), name.end());
        reply->Hyper();  // cookie
    }
    return names;
}

}  // namespace nfs3

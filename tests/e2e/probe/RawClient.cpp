#include "RawClient.h"

#include <poll.h>

#include <chrono>

extern "C" {
// libnfs.h defines what the raw headers use, so it comes first.
#include <nfsc/libnfs.h>

#include <nfsc/libnfs-raw.h>
}

struct RawClient::Pending {
    bool done = false;
    int status = RPC_STATUS_ERROR;
    Handle handle;
    std::string error;
};

namespace {
constexpr auto kCallLimit = std::chrono::seconds(20);
}

RawClient::RawClient(const std::string& host, int port, int program, int version)
    : m_rpc(rpc_init_context()) {
    Pending pending;
    if (rpc_connect_port_async(m_rpc, host.c_str(), port, program, version, OnReply, &pending) ==
        0) {
        m_connected = Wait(pending);
    }
    if (!m_connected) m_error = "cannot connect: " + pending.error;
}

RawClient::~RawClient() {
    rpc_destroy_context(m_rpc);
}

void RawClient::OnReply(rpc_context*, int status, void* data, void* pending) {
    Pending& p = *static_cast<Pending*>(pending);
    p.done = true;
    p.status = status;
    if (status == RPC_STATUS_SUCCESS && p.handle) p.handle(data);
    if (status == RPC_STATUS_ERROR && data != nullptr) p.error = static_cast<const char*>(data);
}

bool RawClient::Wait(Pending& pending) {
    auto deadline = std::chrono::steady_clock::now() + kCallLimit;
    while (!pending.done) {
        if (std::chrono::steady_clock::now() > deadline) {
            pending.error = "no reply in time";
            return false;
        }
        pollfd fd{rpc_get_fd(m_rpc), static_cast<short>(rpc_which_events(m_rpc)), 0};
        if (poll(&fd, 1, 100) < 0 || rpc_service(m_rpc, fd.revents) < 0) {
            pending.error = rpc_get_error(m_rpc);
            return false;
        }
    }
    return pending.status == RPC_STATUS_SUCCESS;
}

bool RawClient::Call(const Issue& issue, const Handle& handle) {
    Pending pending;
    pending.handle = handle;
    bool ok = issue(m_rpc, OnReply, &pending) == 0 && Wait(pending);
    if (!ok) m_error = pending.error.empty() ? "call failed" : pending.error;
    return ok;
}

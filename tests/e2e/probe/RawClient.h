#pragma once

#include <functional>
#include <string>

struct rpc_context;

// One ONC RPC connection of libnfs's raw interface, driven synchronously: each call is issued,
// then the connection is serviced until its reply has been handled or a time-out passes.
class RawClient {
  public:
    using Issue =
        std::function<int(rpc_context*, void (*)(rpc_context*, int, void*, void*), void*)>;
    using Handle = std::function<void(void* reply)>;

    RawClient(const std::string& host, int port, int program, int version);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return m_connected; }
    // Issues a call and hands its decoded reply to `handle` (valid only during that call).
    bool Call(const Issue& issue, const Handle& handle);
    const std::string& Error() const { return m_error; }

  private:
    struct Pending;
    static void OnReply(rpc_context* rpc, int status, void* data, void* pending);
    bool Wait(Pending& pending);

    rpc_context* m_rpc;
    bool m_connected = false;
    std::string m_error;
};

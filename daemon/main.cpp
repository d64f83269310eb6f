#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "CommandLine.h"
#include "ConsoleShareEvents.h"
#include "DaemonOptions.h"
#include "Privileges.h"
#include "QDV_RPC.h"
#include "ServerDaemon.h"
#include "SocketApi.h"

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_stopRequested{false};

extern "C" void RequestStop(int) {
    g_stopRequested = true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "quondorveld: %s\n", message.c_str());
    return 2;
}

// Share folders are served by their absolute path, as the tray program's folder chooser
// gives them. The paths are in the host's spelling: UTF-8 on Windows, whatever the code page.
bool ResolveShares(DaemonOptions& options, std::string& error) {
    bool any = false;
    for (const std::string& share : options.shares) any = any || !share.empty();
    std::error_code ec;
    if (!any) {
        options.shares[0] = "quonhd1";
        fs::create_directories(options.shares[0], ec);
    }
    for (std::string& share : options.shares) {
        if (share.empty()) continue;
        fs::path path = fs::absolute(fs::u8path(share), ec).lexically_normal();
        if (ec || !fs::is_directory(path, ec)) {
            error = "share folder '" + share + "' is not a folder";
            return false;
        }
        share = path.u8string();
        if (share.size() > 1 && path.has_relative_path() &&
            share.back() == fs::path::preferred_separator) {
            share.pop_back();
        }
    }
    return true;
}

struct AddressChoice {
    uint8_t bindToAll = 1;
    int32_t index = 0;
    bool loopback = false;
};

bool ParseDotted(const std::string& text, uint32_t& address) {
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 ||
        b > 255 || c > 255 || d > 255) {
        return false;
    }
    address = (a << 24) | (b << 16) | (c << 8) | d;
    return true;
}

// An explicit address is put first in the host entry the server sees and chosen by number 1,
// so it is both what the sockets bind to and what the address line shows. Loopback is always
// there; any other address must be one of this machine's.
bool ChooseAddress(const std::string& text, AddressChoice& choice, std::string& error) {
    if (text == "all") return true;
    net::HostEntry host;
    net::PlatformLocalHostEntry(host);
    uint32_t address = 0;
    if (!ParseDotted(text, address)) {
        char* end = nullptr;
        long number = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || number < 1 ||
            static_cast<size_t>(number) > host.addresses.size()) {
            error = "--address wants all, an address number from 1 to " +
                    std::to_string(host.addresses.size()) + ", or an address, not '" + text + "'";
            return false;
        }
        address = host.addresses[number - 1];
    }
    choice.loopback = (address >> 24) == 127;
    bool known = choice.loopback;
    for (uint32_t own : host.addresses) known = known || own == address;
    if (!known) {
        error = text + " is not an address of this machine";
        return false;
    }
    net::SetLocalHostEntrySource([address](net::HostEntry& entry) {
        net::HostEntry platform;
        net::PlatformLocalHostEntry(platform);
        entry.name = platform.name;
        entry.addresses = {address};
        for (uint32_t own : platform.addresses) {
            if (own != address) entry.addresses.push_back(own);
        }
        return true;
    });
    choice.bindToAll = 0;
    choice.index = 1;
    return true;
}

std::string AddressLine() {
    const net::HostEntry* host = ServerHostEntry();
    std::string address = host != nullptr && !host->addresses.empty()
                              ? net::AddressText(host->addresses.front())
                              : std::string();
    return " IP : " + address;
}

struct StartFailureText {
    int32_t result;
    const char* text;
};

const char* const kBlockedPort = "Blocked by Firewall \n or other program already use port !";

const StartFailureText kStartFailureTexts[] = {
    {kStartNoPaths, "Please Set Share Root Folder !!!"},
    {kStartNotReady, "Check Network is disconnected !!"},
    {kStartNoNetwork, "Check Network is disconnected !!"},
    {kStartInProgress, "Conflict with other Network program !!!"},
    {kStartProcessLimit, "Exceeded the limit of winsock resource !!!"},
    {kStartMountPortBusy, kBlockedPort},
    {kStartNfsPortBusy, kBlockedPort},
    {kStartPortmapPortBusy, kBlockedPort},
};

// The status window's lines for a start that failed. A blocked port is named by its number,
// which is the standard one unless --ports chose another.
void ReportStartFailure(ConsoleShareEvents& console, int32_t result, const ServerPorts& ports) {
    for (const StartFailureText& failure : kStartFailureTexts) {
        if (failure.result == result) console.Status(failure.text);
    }
    const std::pair<int32_t, uint16_t> blocked[] = {{kStartMountPortBusy, ports.mount},
                                                    {kStartNfsPortBusy, ports.nfs},
                                                    {kStartPortmapPortBusy, ports.portmap}};
    for (const auto& [busy, port] : blocked) {
        if (busy == result) console.Status("Blocked Port :" + std::to_string(port));
    }
    if (result == kStartVersion) console.Status("Cannot Start !!!!!");
}

int Serve(DaemonOptions& options, const AddressChoice& address) {
    ConsoleShareEvents console;
    SetShareEvents(&console);
    ServerOptions server;
    server.ports = options.ports;
    server.allowLoopbackOnly = address.loopback;
    std::string served[4];
    for (int k = 0; k < 4; ++k) {
        if (!options.shares[k].empty()) served[k] = ServedFolder(options.shares[k]);
    }
    int32_t result =
        StartServerWith(server, 0, 0, 0, address.bindToAll, address.index, served[0].data(),
                        served[1].data(), served[2].data(), served[3].data());
    if (result != kStartRunning) {
        ReportStartFailure(console, result, options.ports);
        StopServer();
        SetShareEvents(nullptr);
        return 1;
    }
    // Never serve on as root when told otherwise.
    std::string error;
    if (!options.user.empty() && !BecomeUser(options.user, error)) {
        StopServer();
        SetShareEvents(nullptr);
        return Fail(error);
    }
    console.SetState(kShareSharing);
    console.Status("Quon sharing started. ");
    console.Status(AddressLine());
    for (int k = 0; k < 4; ++k) {
        if (!options.shares[k].empty()) {
            console.Status(" /quonhd" + std::to_string(k + 1) + " : " + options.shares[k]);
        }
    }
    while (!g_stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    console.SetState(kShareStopped);
    console.Status("Quon sharing closed . ");
    console.Status(AddressLine());
    StopServer();
    SetShareEvents(nullptr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments = CommandLine(argc, argv);
    std::vector<const char*> texts;
    for (const std::string& argument : arguments) texts.push_back(argument.c_str());
    DaemonOptions options;
    std::string error;
    if (!ParseDaemonOptions(static_cast<int>(texts.size()), texts.data(), options, error)) {
        return Fail(error + " (quondorveld --help tells more)");
    }
    if (options.help) {
        std::fputs(DaemonUsage(), stdout);
        return 0;
    }
    if (!UseNameCharset(options.charset)) {
        return Fail("--charset " + options.charset +
                    ": not known here (on Windows names travel in the system's code page)");
    }
    // Held for the whole run: the address lookup below already needs the socket interface.
    net::Startup();
    AddressChoice address;
    if (!ResolveShares(options, error) || !ChooseAddress(options.address, address, error)) {
        net::Cleanup();
        return Fail(error);
    }
    if (options.trace) SetTraceOutput(stderr);
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    int status = Serve(options, address);
    net::Cleanup();
    return status;
}

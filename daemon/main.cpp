#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "CommandLine.h"
#include "ConsoleShareEvents.h"
#include "DaemonOptions.h"
#include "DaemonSignals.h"
#include "Privileges.h"
#include "QDV_RPC.h"
#include "ServerDaemon.h"
#include "SocketApi.h"
#include "StatusTexts.h"

namespace fs = std::filesystem;

namespace {

void Notice(std::FILE* stream, const std::string& message) {
    std::fprintf(stream, "quondorveld: %s\n", message.c_str());
    std::fflush(stream);
}

int Fail(const std::string& message) {
    Notice(stderr, message);
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
        const bool folder = !ec && fs::is_directory(path, ec);
        if (!folder) {
            error = "share folder '" + share + "' " +
                    (ec ? "cannot be reached: " + ec.message() : std::string("is not a folder"));
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
    std::optional<uint32_t> address;  // none: every address
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

// An explicit address is the one the server serves on alone, and the one its address line shows.
// Loopback is always there; any other address must be one of this machine's.
bool ChooseAddress(const std::string& text, AddressChoice& choice, std::string& error) {
    if (text == "all") return true;
    net::HostEntry host;
    net::LocalHostEntry(host);
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
    choice.address = address;
    return true;
}

std::string AddressLine() {
    const net::HostEntry* host = ServerHostEntry();
    std::string address = host != nullptr && !host->addresses.empty()
                              ? net::AddressText(host->addresses.front())
                              : std::string();
    return " IP : " + address;
}

// The status window's lines for a start that failed. A blocked port is named by its number,
// which is the standard one unless --ports chose another.
void ReportStartFailure(ConsoleShareEvents& console, int32_t result, const ServerPorts& ports) {
    const StartFailureReport report = DescribeStartFailure(result, ports);
    if (report.headline) console.Status(MessageText(*report.headline, false));
    if (!report.secondLine.empty()) console.Status(report.secondLine);
}

// The status lines say only that a port was blocked; whoever reads a service's journal also
// wants to know why, and what usually holds the standard port on Linux.
void ExplainBlockedPort(int32_t result, const ServerPorts& ports) {
    const ServerPorts standard;
    const struct {
        int32_t result;
        uint16_t port;
        uint16_t standard;
        const char* usualHolder;
    } blocked[] = {
        {kStartPortmapPortBusy, ports.portmap, standard.portmap,
         " (a portmapper such as rpcbind cannot run beside this server: systemctl disable "
         "--now rpcbind.socket rpcbind.service)"},
        {kStartNfsPortBusy, ports.nfs, standard.nfs,
         " (an NFS server such as the kernel's cannot run beside this server: systemctl "
         "disable --now nfs-server.service)"},
        {kStartMountPortBusy, ports.mount, standard.mount, ""},
    };
    for (const auto& port : blocked) {
        if (port.result != result) continue;
        const std::string number = std::to_string(port.port);
        if (!MayBindPort(port.port)) {
            Notice(stderr, "this user may not bind port " + number +
                               ": start quondorveld as root (--user NAME gives root up once the "
                               "ports are bound) or give it CAP_NET_BIND_SERVICE");
        } else {
            Notice(stderr, "another program holds port " + number +
                               (port.port == port.standard ? port.usualHolder : ""));
        }
    }
}

// What the program shares: its options with the folders made absolute, and the address.
struct Sharing {
    DaemonOptions options;
    AddressChoice address;
};

// Checks what a start needs before the start. The charset comes last because taking it is
// also what applies it: a reload that fails here leaves the running sharing as it was, and one
// that gets past it only has the old sharing's last calls answered in the new charset, whose
// handles end with the stop anyway.
bool Prepare(Sharing& sharing, std::string& error) {
    if (!ResolveShares(sharing.options, error)) return false;
    if (!ChooseAddress(sharing.options.address, sharing.address, error)) return false;
    if (!UseNameCharset(sharing.options.charset)) {
        error = "--charset " + sharing.options.charset +
                ": not known here (on Windows names travel in the system's code page)";
        return false;
    }
    SetTraceOutput(sharing.options.trace ? stderr : nullptr);
    return true;
}

// Start Sharing: on failure the status lines say why and nothing stays open.
bool StartSharing(ConsoleShareEvents& console, const Sharing& sharing) {
    ServerOptions server;
    server.ports = sharing.options.ports;
    server.allowLoopbackOnly = sharing.address.loopback;
    server.address = sharing.address.address;
    std::string served[4];
    for (int k = 0; k < 4; ++k) {
        if (!sharing.options.shares[k].empty()) served[k] = ServedFolder(sharing.options.shares[k]);
    }
    int32_t result = StartServerWith(server, 0, 0, 0, 1, 0, served[0].data(), served[1].data(),
                                     served[2].data(), served[3].data());
    if (result == kStartRunning) return true;
    ReportStartFailure(console, result, sharing.options.ports);
    ExplainBlockedPort(result, sharing.options.ports);
    StopServer();
    return false;
}

void ReportSharing(ConsoleShareEvents& console, const DaemonOptions& options) {
    console.SetState(kShareSharing);
    console.Status(MessageText(MsgSharingStarted, false));
    console.Status(AddressLine());
    for (int k = 0; k < 4; ++k) {
        if (!options.shares[k].empty()) {
            console.Status(" /quonhd" + std::to_string(k + 1) + " : " + options.shares[k]);
        }
    }
}

void StopSharing(ConsoleShareEvents& console) {
    console.SetState(kShareStopped);
    console.Status(MessageText(MsgSharingClosed, false));
    console.Status(AddressLine());
    StopServer();
}

using Arguments = std::vector<const char*>;

// A reload reads the command line and its settings file again and stops and starts sharing
// with them, changed or not, as the tray program's Configuration OK does. Settings that cannot
// be used leave the sharing running as it was. False when sharing could not start again.
bool Reload(ConsoleShareEvents& console, const Arguments& arguments, Sharing& sharing) {
    Sharing next;
    std::string error;
    if (!LoadDaemonOptions(static_cast<int>(arguments.size()), arguments.data(), next.options,
                           error) ||
        !Prepare(next, error)) {
        Notice(stderr, "settings not reloaded, sharing goes on as it was: " + error);
        return true;
    }
    Notice(stdout, "settings read again from " + next.options.config);
    const std::vector<std::string> changes = DaemonOptionChanges(sharing.options, next.options);
    for (const std::string& change : changes) Notice(stdout, change);
    if (changes.empty()) Notice(stdout, "nothing changed");
    StopSharing(console);
    sharing = next;
    if (!StartSharing(console, sharing)) return false;
    ReportSharing(console, sharing.options);
    return true;
}

// Serves until asked to stop. Without a settings file there is nothing to read again, and a
// hang-up ends the program as it ends any other.
int Share(ConsoleShareEvents& console, const Arguments& arguments, Sharing& sharing) {
    if (!StartSharing(console, sharing)) return 1;
    // Never serve on as root when told otherwise.
    std::string error;
    if (!sharing.options.user.empty() && !BecomeUser(sharing.options.user, error)) {
        StopServer();
        return Fail(error);
    }
    ReportSharing(console, sharing.options);
    while (WaitForRequest() == DaemonRequest::kReload && !sharing.options.config.empty()) {
        if (!Reload(console, arguments, sharing)) return 1;
    }
    StopSharing(console);
    return 0;
}

int Serve(const Arguments& arguments, Sharing& sharing) {
    ConsoleShareEvents console;
    SetShareEvents(&console);
    int status = Share(console, arguments, sharing);
    SetShareEvents(nullptr);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    HoldRequests();
    const std::vector<std::string> arguments = CommandLine(argc, argv);
    Arguments texts;
    for (const std::string& argument : arguments) texts.push_back(argument.c_str());
    Sharing sharing;
    std::string error;
    if (!LoadDaemonOptions(static_cast<int>(texts.size()), texts.data(), sharing.options, error)) {
        return Fail(error + " (quondorveld --help tells more)");
    }
    if (sharing.options.help) {
        std::fputs(DaemonUsage(), stdout);
        return 0;
    }
    // Held for the whole run: the address lookup already needs the socket interface.
    net::Startup();
    if (!Prepare(sharing, error)) {
        net::Cleanup();
        return Fail(error);
    }
    int status = Serve(texts, sharing);
    net::Cleanup();
    return status;
}

#include "DaemonOptions.h"

#include <cstdlib>
#include <cstring>

namespace {

bool ParsePort(const std::string& text, uint16_t& port) {
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value == 0 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool ParsePorts(const std::string& text, ServerPorts& ports) {
    size_t first = text.find(',');
    size_t second = first == std::string::npos ? first : text.find(',', first + 1);
    if (second == std::string::npos || text.find(',', second + 1) != std::string::npos) {
        return false;
    }
    return ParsePort(text.substr(0, first), ports.portmap) &&
           ParsePort(text.substr(first + 1, second - first - 1), ports.nfs) &&
           ParsePort(text.substr(second + 1), ports.mount);
}

// --shareN (N from 1 to 4): the index of the share, or -1.
int ShareIndex(const char* option) {
    if (std::strncmp(option, "--share", 7) != 0 || option[7] < '1' || option[7] > '4' ||
        option[8] != '\0') {
        return -1;
    }
    return option[7] - '1';
}

}  // namespace

const char* DaemonUsage() {
    return "usage: quondorveld [--share1 DIR] ... [--share4 DIR] [--address all|N|A.B.C.D]\n"
           "                   [--ports PORTMAP,NFS,MOUNT] [--user NAME] [--charset CS]\n"
           "                   [--trace]\n"
           "\n"
           "Shares up to four folders with Quon network media players as the NFS exports\n"
           "/quonhd1 to /quonhd4 (portmapper, MOUNT and NFS versions 2 and 3, UDP and TCP).\n"
           "\n"
           "  --shareN DIR   folder behind /quonhdN; with none given, ./quonhd1 (made when\n"
           "                 missing) is shared as /quonhd1\n"
           "  --address A    all (the default), the number of one of this machine's\n"
           "                 addresses counted from 1, or one address; 127.0.0.1 serves\n"
           "                 this machine only\n"
           "  --ports P,N,M  portmapper, NFS and MOUNT ports (default 111,2049,1058)\n"
           "  --user NAME    once the ports are bound, serve as this user rather than\n"
           "                 as root (POSIX)\n"
           "  --charset CS   send the players names in charset CS (an iconv name such as\n"
           "                 CP949), the host's being UTF-8; a name CS lacks goes under an\n"
           "                 alias. Without it names go as the bytes the host stores (POSIX)\n"
           "  --trace        write what every call does to standard error\n"
           "  --help         show this text\n"
           "\n"
           "Runs until interrupted (Ctrl+C or SIGTERM), then stops sharing.\n";
}

bool ParseDaemonOptions(int argc, const char* const argv[], DaemonOptions& options,
                        std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            continue;
        }
        if (option == "--trace") {
            options.trace = true;
            continue;
        }
        int share = ShareIndex(argv[i]);
        if (share < 0 && option != "--address" && option != "--ports" && option != "--user" &&
            option != "--charset") {
            error = "unknown option '" + option + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = "option '" + option + "' needs a value";
            return false;
        }
        std::string value = argv[++i];
        if (share >= 0) {
            options.shares[share] = value;
        } else if (option == "--address") {
            options.address = value;
        } else if (option == "--user") {
            options.user = value;
        } else if (option == "--charset") {
            options.charset = value;
        } else if (!ParsePorts(value, options.ports)) {
            error = "--ports wants three port numbers such as 111,2049,1058, not '" + value + "'";
            return false;
        }
    }
    return true;
}

#pragma once

#include <cstdint>
#include <string>

#include "ServerDaemon.h"

// What the command line of quondorveld asks for.
struct DaemonOptions {
    std::string shares[4];
    // "all", an address number from 1, or a dotted address.
    std::string address = "all";
    ServerPorts ports;
    // The user to serve as once the ports are bound; empty: stay who started the program.
    std::string user;
    // The iconv charset names travel in to the players; empty: the bytes the host stores.
    std::string charset;
    bool trace = false;
    bool help = false;
};

// False with `error` set when the command line cannot be used.
bool ParseDaemonOptions(int argc, const char* const argv[], DaemonOptions& options,
                        std::string& error);

const char* DaemonUsage();

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ServerDaemon.h"

// What quondorveld runs with: its command line, over the settings file that --config names.
struct DaemonOptions {
    std::string shares[4];
    // "all", an address number from 1, or a dotted address.
    std::string address = "all";
    ServerPorts ports;
    // The user to serve as once the ports are bound; empty: stay who started the program.
    std::string user;
    // The iconv charset names travel in to the players; empty: the bytes the host stores.
    std::string charset;
    // The settings file, read at the start and again on a reload; empty: none.
    std::string config;
    bool trace = false;
    bool help = false;
};

// False with `error` set when the command line cannot be used. Sets only what it names.
bool ParseDaemonOptions(int argc, const char* const argv[], DaemonOptions& options,
                        std::string& error);

// A settings file's text: NAME=value lines, NAME being a command-line option in capitals
// (SHARE1, ADDRESS, PORTS, CHARSET, TRACE=yes|no), with blank lines and #-comment lines. An
// empty value is the option's default; a value may stand in double or single quotes. False
// with `error` naming the line when a line cannot be used. Sets only what it names.
bool ParseDaemonSettings(const std::string& text, DaemonOptions& options, std::string& error);

// The command line over the settings file it names: what the program starts with, and what a
// reload reads again.
bool LoadDaemonOptions(int argc, const char* const argv[], DaemonOptions& options,
                       std::string& error);

// One "name : now (was before)" line for each setting that differs.
std::vector<std::string> DaemonOptionChanges(const DaemonOptions& before,
                                             const DaemonOptions& after);

const char* DaemonUsage();

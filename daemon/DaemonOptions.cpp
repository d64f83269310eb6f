#include "DaemonOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

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

// Each setter takes an empty value as the option's default; false: the value cannot be used.
template <int kShare>
bool SetShare(DaemonOptions& options, const std::string& value) {
    options.shares[kShare] = value;
    return true;
}

bool SetAddress(DaemonOptions& options, const std::string& value) {
    options.address = value.empty() ? DaemonOptions().address : value;
    return true;
}

bool SetPorts(DaemonOptions& options, const std::string& value) {
    if (!value.empty()) return ParsePorts(value, options.ports);
    options.ports = ServerPorts();
    return true;
}

bool SetUser(DaemonOptions& options, const std::string& value) {
    options.user = value;
    return true;
}

bool SetCharset(DaemonOptions& options, const std::string& value) {
    options.charset = value;
    return true;
}

bool SetConfig(DaemonOptions& options, const std::string& value) {
    options.config = value;
    return true;
}

bool SetTrace(DaemonOptions& options, const std::string& value) {
    if (value != "yes" && value != "no" && !value.empty()) return false;
    options.trace = value == "yes";
    return true;
}

bool SetHelp(DaemonOptions& options, const std::string&) {
    options.help = true;
    return true;
}

// One rule per option, for the command line and the settings file alike.
struct OptionRule {
    // "--" + name on the command line; the name in capitals in a settings file.
    const char* name;
    // Given alone on the command line; yes or no in a settings file.
    bool flag;
    // Only the command line can name the user to become (who the service runs as is its
    // unit's business) and the settings file itself.
    bool inSettings;
    bool (*set)(DaemonOptions&, const std::string&);
    // What a value the setter refuses should have been.
    const char* wants;
};

const OptionRule kOptionRules[] = {
    {"share1", false, true, SetShare<0>, ""},
    {"share2", false, true, SetShare<1>, ""},
    {"share3", false, true, SetShare<2>, ""},
    {"share4", false, true, SetShare<3>, ""},
    {"address", false, true, SetAddress, ""},
    {"ports", false, true, SetPorts, "three port numbers such as 111,2049,1058"},
    {"user", false, false, SetUser, ""},
    {"charset", false, true, SetCharset, ""},
    {"config", false, false, SetConfig, ""},
    {"trace", true, true, SetTrace, "yes or no"},
    {"help", true, false, SetHelp, ""},
};

const OptionRule* FindOption(const std::string& name) {
    for (const OptionRule& rule : kOptionRules) {
        if (name == rule.name) return &rule;
    }
    return nullptr;
}

// `label` is how the user wrote the option's name: --ports, or PORTS.
bool ApplyOption(const OptionRule& rule, const std::string& label, const std::string& value,
                 DaemonOptions& options, std::string& error) {
    if (rule.set(options, value)) return true;
    error = label + " wants " + rule.wants + ", not '" + value + "'";
    return false;
}

bool IsSettingName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    }
    return true;
}

std::string Lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string Trimmed(const std::string& text) {
    const char* const blanks = " \t\r";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A value in quotes as a shell would take it when nothing in it needs escaping.
bool Unquoted(const std::string& text, std::string& value) {
    if (text.empty() || (text[0] != '"' && text[0] != '\'')) {
        value = text;
        return true;
    }
    if (text.size() < 2 || text.back() != text[0]) return false;
    value = text.substr(1, text.size() - 2);
    return true;
}

bool ApplySetting(const std::string& line, DaemonOptions& options, std::string& error) {
    if (line.empty() || line[0] == '#') return true;
    const size_t equals = line.find('=');
    const std::string name = Trimmed(line.substr(0, equals));
    if (equals == std::string::npos || !IsSettingName(name)) {
        error = "wants NAME=value, not '" + line + "'";
        return false;
    }
    const OptionRule* rule = FindOption(Lowered(name));
    if (rule == nullptr || !rule->inSettings) {
        error = "unknown setting '" + name + "'";
        return false;
    }
    std::string value;
    if (!Unquoted(Trimmed(line.substr(equals + 1)), value)) {
        error = name + "'s value lacks its closing quote";
        return false;
    }
    return ApplyOption(*rule, name, value, options, error);
}

bool ReadSettingsFile(const std::string& path, DaemonOptions& options, std::string& error) {
    std::ifstream file(std::filesystem::u8path(path));
    if (!file.is_open()) {
        error = "cannot read the settings file '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (ParseDaemonSettings(text.str(), options, error)) return true;
    error = path + ", " + error;
    return false;
}

std::string PortsText(const ServerPorts& ports) {
    return std::to_string(ports.portmap) + "," + std::to_string(ports.nfs) + "," +
           std::to_string(ports.mount);
}

std::vector<std::pair<std::string, std::string>> DescribedSettings(const DaemonOptions& options) {
    std::vector<std::pair<std::string, std::string>> settings;
    for (int k = 0; k < 4; ++k) {
        const std::string& share = options.shares[k];
        settings.emplace_back("/quonhd" + std::to_string(k + 1),
                              share.empty() ? "not shared" : share);
    }
    settings.emplace_back("address", options.address);
    settings.emplace_back("ports", PortsText(options.ports));
    settings.emplace_back("charset", options.charset.empty() ? "none" : options.charset);
    settings.emplace_back("trace", options.trace ? "yes" : "no");
    return settings;
}

}  // namespace

const char* DaemonUsage() {
    return "usage: quondorveld [--share1 DIR] ... [--share4 DIR] [--address all|N|A.B.C.D]\n"
           "                   [--ports PORTMAP,NFS,MOUNT] [--user NAME] [--charset CS]\n"
           "                   [--config FILE] [--trace]\n"
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
           "  --config FILE  read settings from FILE first, NAME=value lines such as\n"
           "                 SHARE1=/srv/films, PORTS=111,2049,1058 or TRACE=yes; the\n"
           "                 options given here win. SIGHUP reads FILE again and restarts\n"
           "                 sharing with it (POSIX)\n"
           "  --trace        write what every call does to standard error\n"
           "  --help         show this text\n"
           "\n"
           "Runs until interrupted (Ctrl+C, SIGTERM, or SIGHUP without --config), then\n"
           "stops sharing.\n";
}

bool ParseDaemonOptions(int argc, const char* const argv[], DaemonOptions& options,
                        std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const OptionRule* rule = option == "-h"               ? FindOption("help")
                                 : option.rfind("--", 0) == 0 ? FindOption(option.substr(2))
                                                              : nullptr;
        if (rule == nullptr) {
            error = "unknown option '" + option + "'";
            return false;
        }
        if (rule->flag) {
            rule->set(options, "yes");
            continue;
        }
        if (i + 1 >= argc) {
            error = "option '" + option + "' needs a value";
            return false;
        }
        if (!ApplyOption(*rule, option, argv[++i], options, error)) return false;
    }
    return true;
}

bool ParseDaemonSettings(const std::string& text, DaemonOptions& options, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!ApplySetting(Trimmed(line), options, error)) {
            error = "line " + std::to_string(number) + ": " + error;
            return false;
        }
    }
    return true;
}

bool LoadDaemonOptions(int argc, const char* const argv[], DaemonOptions& options,
                       std::string& error) {
    DaemonOptions given;
    if (!ParseDaemonOptions(argc, argv, given, error)) return false;
    if (given.config.empty() || given.help) {
        options = given;
        return true;
    }
    DaemonOptions loaded;
    if (!ReadSettingsFile(given.config, loaded, error)) return false;
    // The command line was parsed once already: it cannot fail now.
    ParseDaemonOptions(argc, argv, loaded, error);
    options = loaded;
    return true;
}

std::vector<std::string> DaemonOptionChanges(const DaemonOptions& before,
                                             const DaemonOptions& after) {
    const auto was = DescribedSettings(before);
    const auto now = DescribedSettings(after);
    std::vector<std::string> changes;
    for (size_t k = 0; k < now.size(); ++k) {
        if (now[k].second != was[k].second) {
            changes.push_back(now[k].first + " : " + now[k].second + " (was " + was[k].second +
                              ")");
        }
    }
    return changes;
}

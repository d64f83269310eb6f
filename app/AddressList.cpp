#include "AddressList.h"

void AddressList::Append(const std::string& entry) {
    if (m_entries.size() < kMaxEntries) m_entries.push_back(entry);
}

void AddressList::AddAdapters(const std::vector<NetworkAdapter>& adapters,
                              const std::vector<std::string>& hostAddresses) {
    size_t next = 0;
    for (const NetworkAdapter& adapter : adapters) {
        if (!adapter.up || next >= hostAddresses.size()) continue;
        const std::string& address = hostAddresses[next];
        if (address.empty() || address[0] == '0' || address == "127.0.0.1") continue;
        const bool wireless = !adapter.friendlyName.empty() && adapter.friendlyName[0] == 'W';
        if (next == 0) Append("All");
        Append((wireless ? "Wi - Fi: " : "Wired: ") + address);
        ++next;
    }
}

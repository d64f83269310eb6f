#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A network adapter as the address list sees it.
struct NetworkAdapter {
    bool up = false;
    std::string friendlyName;
};

// The local addresses the Configuration dialog offers: "All", then one entry per accepted
// adapter, "Wired: " or "Wi - Fi: " followed by a host address. An entry's position is the
// address index the server binds with: 0 for every address, k for host address k - 1.
class AddressList {
  public:
    static constexpr size_t kMaxEntries = 100;

    void Clear() { m_entries.clear(); }
    // A full list takes no more entries.
    void Append(const std::string& entry);
    const std::vector<std::string>& Entries() const { return m_entries; }

    // Walks the adapters in order with a counter of host addresses: an adapter that is up
    // while the host has an address at the counter gets that address, unless the address is
    // the loopback one or begins with 0. So the k-th accepted adapter is labelled with the
    // k-th host address, whatever its own address is.
    void AddAdapters(const std::vector<NetworkAdapter>& adapters,
                     const std::vector<std::string>& hostAddresses);

  private:
    std::vector<std::string> m_entries;
};

#include "WireNames.h"

#include <cstdint>

namespace hostfs {

namespace {

// Where a name's extension starts: its last ".", unless that is its first character.
size_t ExtensionAt(std::string_view name) {
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameExtension(std::string_view a, std::string_view b) {
    a.remove_prefix(ExtensionAt(a));
    b.remove_prefix(ExtensionAt(b));
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// The bytes of the UTF-8 sequence at `at`; 1 for a byte that starts none, so that names in no
// valid UTF-8 (possible on POSIX) still go character by character.
size_t CharLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (length == 1 || at + length > text.size()) return 1;
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

// Eight characters of a 64-bit FNV-1a hash of the name and the salt (its upper 40 bits), in
// digits and capitals that no code page spells otherwise. Without I, L, O and U, which read as
// other characters.
std::string HashText(std::string_view name, int salt) {
    uint64_t hash = 14695981039346656037u;
    auto mix = [&hash](unsigned char byte) {
        hash ^= byte;
        hash *= 1099511628211u;
    };
    for (char c : name) mix(static_cast<unsigned char>(c));
    mix(static_cast<unsigned char>(salt));
    static const char kDigits[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
    std::string text(8, '0');
    for (int i = 0; i < 8; ++i) text[i] = kDigits[(hash >> (59 - 5 * i)) & 31];
    return text;
}

std::string Key(const std::string& folder, std::string_view alias) {
    std::string key = folder;
    key += '\0';
    key.append(alias);
    return key;
}

}  // namespace

// The entries of a folder under the names they travel by. The aliases it has given so far keep
// the next ones apart from them.
class WireListing final : public IListing {
  public:
    WireListing(WireNames& names, std::string folder, std::unique_ptr<IHostWalk> walk)
        : m_names(names), m_folder(std::move(folder)), m_walk(std::move(walk)) {}

    bool Next(std::string& name) override {
        if (!m_walk->Next(m_entry)) return false;
        name = m_names.NameIn(m_folder, m_entry, m_given);
        return true;
    }

    bool MayLeadElsewhere() const override { return m_entry.mayLeadElsewhere; }
    HostError Error() const override { return m_walk->Error(); }

  private:
    WireNames& m_names;
    std::string m_folder;
    std::unique_ptr<IHostWalk> m_walk;
    HostEntry m_entry;
    WireNames::Given m_given;
};

WireNames::WireNames(std::unique_ptr<INameHost> host) : m_host(std::move(host)) {}

bool WireNames::IsText(std::string_view wire) const {
    std::string name;
    return m_host->ToHost(wire, name);
}

bool WireNames::IsExact(std::string_view name, std::string& wire) const {
    return m_host->ToWire(name, wire) && m_host->Carries(wire);
}

bool WireNames::ShortNameServes(const HostEntry& entry, std::string& wire) const {
    return !entry.shortName.empty() && SameExtension(entry.name, entry.shortName) &&
           IsExact(entry.shortName, wire);
}

std::string WireNames::Rendered(std::string_view name) const {
    std::string rendered;
    std::string wire;
    for (size_t at = 0; at < name.size();) {
        const size_t length = CharLength(name, at);
        rendered += IsExact(name.substr(at, length), wire) ? wire : "_";
        at += length;
    }
    return rendered;
}

// Past kSalts taken hashes the entry keeps its rendering, which leads nowhere, as a name the
// charset lacks did before there were aliases.
std::string WireNames::Generated(const std::string& folder, const std::string& name, Given& given) {
    const size_t extension = ExtensionAt(name);
    const std::string stem = Rendered(std::string_view(name).substr(0, extension)) + "~";
    const std::string tail = Rendered(std::string_view(name).substr(extension));
    std::string spelled;
    for (int salt = 0; salt < kSalts; ++salt) {
        std::string alias = stem + HashText(name, salt) + tail;
        const bool taken =
            given.count(alias) != 0 || (m_host->ToHost(alias, spelled) &&
                                        m_host->Exists(folder + m_host->Separator() + spelled));
        if (taken) continue;
        given.insert(alias);
        return alias;
    }
    return Rendered(name);
}

std::string WireNames::AliasIn(const std::string& folder, const HostEntry& entry, Given& given) {
    std::string wire;
    if (ShortNameServes(entry, wire)) return wire;
    wire = Generated(folder, entry.name, given);
    Remember(folder, wire, entry.name);
    return wire;
}

std::string WireNames::NameIn(const std::string& folder, const HostEntry& entry, Given& given) {
    std::string wire;
    return IsExact(entry.name, wire) ? wire : AliasIn(folder, entry, given);
}

// The aliases of `folder` from its first entry on, as a listing gives them, each to `visit`
// until it answers true. Names that travel as they are are passed over.
template <typename Visit>
void WireNames::WalkAliases(const std::string& folder, Visit visit) {
    std::unique_ptr<IHostWalk> walk = m_host->Walk(folder);
    if (walk == nullptr) return;
    Given given;
    HostEntry entry;
    std::string wire;
    while (walk->Next(entry)) {
        if (IsExact(entry.name, wire)) continue;
        if (visit(entry, AliasIn(folder, entry, given))) return;
    }
}

std::string WireNames::AliasOfName(const std::string& folder, const std::string& name) {
    std::string found;
    WalkAliases(folder, [&](const HostEntry& entry, const std::string& alias) {
        if (entry.name != name) return false;
        found = alias;
        return true;
    });
    return found.empty() ? Rendered(name) : found;
}

bool WireNames::FindByAlias(const std::string& folder, std::string_view alias, std::string& name) {
    if (Recall(folder, alias, name)) {
        if (m_host->Exists(folder + m_host->Separator() + name)) return true;
        Forget(folder, alias);
    }
    bool found = false;
    WalkAliases(folder, [&](const HostEntry& entry, const std::string& given) {
        if (given != alias) return false;
        name = entry.name;
        found = true;
        return true;
    });
    return found;
}

std::string WireNames::WireNameOf(const std::string& folder, const HostEntry& entry) {
    std::string wire;
    if (IsExact(entry.name, wire) || ShortNameServes(entry, wire)) return wire;
    return AliasOfName(folder, entry.name);
}

std::unique_ptr<IListing> WireNames::List(const std::string& folder) {
    std::unique_ptr<IHostWalk> walk = m_host->Walk(folder);
    if (walk == nullptr) return nullptr;
    return std::make_unique<WireListing>(*this, folder, std::move(walk));
}

// `resolved.path` holds the folder so far, ending in the separator (or nothing before the first
// step); `name` is `step` in the host's spelling.
void WireNames::AppendStep(std::string_view step, const std::string& name, ResolvedPath& resolved) {
    const size_t folderEnd = resolved.path.size();
    resolved.path += name;
    resolved.lastByAlias = false;
    if (folderEnd == 0 || step.find('~') == std::string_view::npos ||
        m_host->Exists(resolved.path)) {
        return;
    }
    // The folder without its separator, except where the separator is all of it (POSIX's root).
    const std::string folder = resolved.path.substr(0, folderEnd == 1 ? 1 : folderEnd - 1);
    std::string aliased;
    if (FindByAlias(folder, step, aliased)) {
        resolved.path.replace(folderEnd, std::string::npos, aliased);
        resolved.lastByAlias = true;
    }
}

void WireNames::ToHostPath(std::string_view wire, ResolvedPath& resolved) {
    const char separator = m_host->Separator();
    resolved.path.clear();
    std::string name;
    for (size_t start = 0;;) {
        const size_t end = wire.find(separator, start);
        const std::string_view step = wire.substr(start, end - start);
        if (m_host->ToHost(step, name)) {
            AppendStep(step, name, resolved);
        } else {
            resolved.path.append(step);
            resolved.lastByAlias = false;
        }
        if (end == std::string_view::npos) return;
        resolved.path += separator;
        start = end + 1;
    }
}

// The first step is no name but where the path starts (a drive, or nothing before POSIX's root).
std::string WireNames::ToWirePath(const std::string& path) {
    const char separator = m_host->Separator();
    std::string wire;
    std::string name;
    for (size_t start = 0;;) {
        const size_t end = path.find(separator, start);
        const std::string step = path.substr(start, end - start);
        if (start == 0) {
            wire += m_host->ToWire(step, name) ? name : Rendered(step);
        } else if (IsExact(step, name)) {
            wire += name;
        } else {
            wire += AliasOfName(path.substr(0, start == 1 ? 1 : start - 1), step);
        }
        if (end == std::string::npos) return wire;
        wire += separator;
        start = end + 1;
    }
}

void WireNames::Remember(const std::string& folder, std::string_view alias,
                         const std::string& name) {
    std::lock_guard<std::mutex> hold(m_lock);
    std::string key = Key(folder, alias);
    auto kept = m_kept.find(key);
    if (kept != m_kept.end()) {
        kept->second->second = name;
        m_recent.splice(m_recent.begin(), m_recent, kept->second);
        return;
    }
    m_recent.emplace_front(key, name);
    m_kept.emplace(std::move(key), m_recent.begin());
    if (m_recent.size() > kRemembered) {
        m_kept.erase(m_recent.back().first);
        m_recent.pop_back();
    }
}

bool WireNames::Recall(const std::string& folder, std::string_view alias, std::string& name) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto kept = m_kept.find(Key(folder, alias));
    if (kept == m_kept.end()) return false;
    m_recent.splice(m_recent.begin(), m_recent, kept->second);
    name = kept->second->second;
    return true;
}

void WireNames::Forget(const std::string& folder, std::string_view alias) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto kept = m_kept.find(Key(folder, alias));
    if (kept == m_kept.end()) return;
    m_recent.erase(kept->second);
    m_kept.erase(kept);
}

}  // namespace hostfs

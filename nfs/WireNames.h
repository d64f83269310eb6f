#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "HostFs.h"

// Names between the host's own spelling and the charset in which they travel to the players
// (Windows: the system's ANSI code page). The host seams use this where the two differ; the file
// service above them sees only names as they travel.
//
// A host name travels as its bytes in the charset when they convert back to the very same name
// and can stand as a name on the host's paths. Any other name travels under an alias that the
// charset carries and that leads back to the same entry:
// - the volume's 8.3 short name, where the volume keeps one that the charset carries and that
//   keeps the name's extension: players tell a file's kind by it, and "SONG~J3E.FLA" would not
//   play;
// - otherwise the name itself with "_" for each character that cannot travel, and "~" with eight
//   characters of a hash of the name before its extension ("Beyonc_~K3J9QX2A.flac"). The hash
//   keeps the alias the same on every listing and after every restart. Where the alias would
//   equal a name of the folder (an entry's own or its 8.3 name, in any letter case on Windows) or
//   the alias of an entry listed before in the host's order, the hash is taken again with a
//   salt.
// An alias always holds "~". A step of a path with "~" is looked for as spelled first: only when
// the host has no such entry is its folder walked for the entry whose alias it is.
namespace hostfs {

// One entry of a host folder, in the host's own spelling.
struct HostEntry {
    std::string name;
    std::string shortName;  // the volume's 8.3 alias of the name, where it keeps one
    bool mayLeadElsewhere = true;
};

// The entries of one host folder in the host's order.
class IHostWalk {
  public:
    virtual ~IHostWalk() = default;
    virtual bool Next(HostEntry& entry) = 0;
    // As IListing::Error.
    virtual HostError Error() const = 0;
};

// What the name rules need of a host whose own spelling of names (POSIX: their bytes, taken as
// UTF-8; Windows: UTF-8, WTF-8 for lone surrogates) is not the charset that names travel in.
class INameHost {
  public:
    virtual ~INameHost() = default;
    virtual char Separator() const = 0;
    // `name` in the charset; false when the charset lacks a character of it or its bytes would
    // read back as another name.
    virtual bool ToWire(std::string_view name, std::string& wire) const = 0;
    // False when `wire` is no text in the charset.
    virtual bool ToHost(std::string_view wire, std::string& name) const = 0;
    // Whether bytes in the charset can stand as a name on the host's paths: no separator, no
    // character the host forbids in names.
    virtual bool Carries(std::string_view wire) const = 0;
    virtual bool Exists(const std::string& path) const = 0;
    // Null when the folder cannot be listed.
    virtual std::unique_ptr<IHostWalk> Walk(const std::string& folder) const = 0;
};

// A path in the host's spelling, and whether its last step was an alias.
struct ResolvedPath {
    std::string path;
    bool lastByAlias = false;
};

class WireNames {
  public:
    // Aliases kept from the walks that met them (see Remember).
    static constexpr size_t kRemembered = 4096;
    // Salted hashes tried before an entry is given up as unreachable by alias; it takes as many
    // names of the folder built to match.
    static constexpr int kSalts = 16;

    explicit WireNames(std::unique_ptr<INameHost> host);
    WireNames(const WireNames&) = delete;
    WireNames& operator=(const WireNames&) = delete;

    // Whether `wire` is text in the charset, as every name from a client must be.
    bool IsText(std::string_view wire) const;
    // The host path of a path as the file service names it. A step that is no text in the
    // charset (no name from a client: IsText turned it away) keeps its bytes and leads nowhere.
    void ToHostPath(std::string_view wire, ResolvedPath& resolved);
    // The path by which the file service names a host path: each step as it travels. A step that
    // is not in its folder (or whose folder cannot be listed) travels with "_" for what the
    // charset lacks, and leads nowhere.
    std::string ToWirePath(const std::string& path);
    // The name under which `entry` of the host folder `folder` travels.
    std::string WireNameOf(const std::string& folder, const HostEntry& entry);
    // The entries of the host folder `folder` under the names they travel by; null when the
    // folder cannot be listed.
    std::unique_ptr<IListing> List(const std::string& folder);

  private:
    using Given = std::unordered_set<std::string>;
    friend class WireListing;

    bool IsExact(std::string_view name, std::string& wire) const;
    bool ShortNameServes(const HostEntry& entry, std::string& wire) const;
    std::string Rendered(std::string_view name) const;
    std::string Generated(const std::string& folder, const std::string& name, Given& given);
    std::string AliasIn(const std::string& folder, const HostEntry& entry, Given& given);
    std::string NameIn(const std::string& folder, const HostEntry& entry, Given& given);
    template <typename Visit>
    void WalkAliases(const std::string& folder, Visit visit);
    std::string AliasOfName(const std::string& folder, const std::string& name);
    bool FindByAlias(const std::string& folder, std::string_view alias, std::string& name);
    void AppendStep(std::string_view step, const std::string& name, ResolvedPath& resolved);

    // Kept aliases. Key: the host folder and the alias; value: the host name it led to. At most
    // kRemembered, the least recently used going first. A kept alias serves only after the host
    // has said that it has no entry spelled as the alias, and only while its folder holds an
    // entry of the kept name; otherwise the folder is walked again. So it never leads to a name
    // that is gone, and never hides an entry spelled as the alias. It can be stale only where a
    // new name of the folder shares the hash of an older one's alias, for as long as the older
    // name stays.
    void Remember(const std::string& folder, std::string_view alias, const std::string& name);
    bool Recall(const std::string& folder, std::string_view alias, std::string& name);
    void Forget(const std::string& folder, std::string_view alias);

    std::unique_ptr<INameHost> m_host;
    // Held by the few callers outside the server's call lock too (a share's path at a start).
    std::mutex m_lock;
    std::list<std::pair<std::string, std::string>> m_recent;
    std::unordered_map<std::string, std::list<std::pair<std::string, std::string>>::iterator>
        m_kept;
};

}  // namespace hostfs

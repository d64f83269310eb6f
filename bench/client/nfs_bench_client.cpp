// A client-side load for one NFS server over libnfs, one call in flight at a time, as a media
// player makes them. Prints one line of figures (key=value) and asserts nothing.
//   nfs_bench_client getattr URL SECONDS   GETATTR of the file, again and again
//   nfs_bench_client lookup URL SECONDS    the file found by name in its folder, then its
//                                          attributes: one LOOKUP and one GETATTR each time
//   nfs_bench_client read URL              the whole file in READs of the server's preferred
//                                          size, the data dropped
// URL names a file: nfs://HOST/FOLDER/FILE?nfsport=N&mountport=M&version=3; FOLDER is mounted.
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <nfsc/libnfs.h>
}

namespace {

using Clock = std::chrono::steady_clock;

struct Session {
    nfs_context* nfs = nullptr;
    nfs_url* url = nullptr;
    nfsfh* file = nullptr;

    ~Session() {
        if (file != nullptr) nfs_close(nfs, file);
        if (url != nullptr) nfs_destroy_url(url);
        if (nfs != nullptr) nfs_destroy_context(nfs);
    }
    // The file's name within the mounted folder, as the high-level calls take it.
    const char* Name() const { return url->file; }
};

int Fail(const Session& session, const char* what) {
    std::fprintf(stderr, "nfs_bench_client: %s: %s\n", what,
                 session.nfs != nullptr ? nfs_get_error(session.nfs) : "no context");
    return 2;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Repeats one call for `seconds` and prints how many were answered per second.
int Repeat(Session& session, double seconds, const char* what, const std::function<int()>& call) {
    uint64_t count = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    while (elapsed < seconds) {
        if (call() != 0) return Fail(session, what);
        ++count;
        if ((count & 63) == 0) elapsed = SecondsSince(start);
    }
    elapsed = SecondsSince(start);
    std::printf("%s=%llu seconds=%.3f per_second=%.1f\n", what,
                static_cast<unsigned long long>(count), elapsed, count / elapsed);
    return 0;
}

int GetattrRate(Session& session, double seconds) {
    struct nfs_stat_64 st;
    return Repeat(session, seconds, "getattr",
                  [&] { return nfs_fstat64(session.nfs, session.file, &st); });
}

int LookupRate(Session& session, double seconds) {
    struct nfs_stat_64 st;
    return Repeat(session, seconds, "lookup",
                  [&] { return nfs_stat64(session.nfs, session.Name(), &st); });
}

int ReadAll(Session& session, double) {
    const uint64_t chunk = nfs_get_readmax(session.nfs);
    std::vector<char> buffer(chunk);
    uint64_t total = 0;
    const auto start = Clock::now();
    for (;;) {
        int got = nfs_read(session.nfs, session.file, chunk, buffer.data());
        if (got < 0) return Fail(session, "read");
        if (got == 0) break;
        total += static_cast<uint64_t>(got);
    }
    const double elapsed = SecondsSince(start);
    std::printf("bytes=%llu seconds=%.3f bytes_per_second=%.0f read_size=%llu\n",
                static_cast<unsigned long long>(total), elapsed, total / elapsed,
                static_cast<unsigned long long>(chunk));
    return 0;
}

int Open(Session& session, const char* text) {
    session.nfs = nfs_init_context();
    if (session.nfs == nullptr) return Fail(session, "init");
    session.url = nfs_parse_url_full(session.nfs, text);
    if (session.url == nullptr || session.url->file == nullptr) return Fail(session, "url");
    if (nfs_mount(session.nfs, session.url->server, session.url->path) != 0) {
        return Fail(session, "mount");
    }
    if (nfs_open(session.nfs, session.Name(), O_RDONLY, &session.file) != 0) {
        return Fail(session, "open");
    }
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: nfs_bench_client getattr|lookup URL SECONDS\n"
                 "       nfs_bench_client read URL\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using Mode = int (*)(Session&, double);
    static const std::map<std::string, Mode> modes = {
        {"getattr", GetattrRate}, {"lookup", LookupRate}, {"read", ReadAll}};
    if (argc < 3) return Usage();
    auto mode = modes.find(argv[1]);
    const bool timed = mode != modes.end() && mode->second != ReadAll;
    if (mode == modes.end() || argc != (timed ? 4 : 3)) return Usage();
    const double seconds = timed ? std::atof(argv[3]) : 0;
    Session session;
    int opened = Open(session, argv[2]);
    return opened != 0 ? opened : mode->second(session, seconds);
}

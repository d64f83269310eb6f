#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "Loopback.h"
#include "RecordingEvents.h"
#include "RpcClient.h"
#include "ServerDaemon.h"
#include "TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kLoadTime = std::chrono::seconds(3);
// How long a client may wait for its first round at most: on a machine busy with other work, the
// load time alone can pass before every thread has had its turn.
constexpr auto kServedWithin = std::chrono::seconds(30);
constexpr uint32_t kBlock = 4096;
constexpr uint32_t kBlocks = 16;
constexpr uint32_t kFilmSize = 256 * 1024;
constexpr int kWriters = 10;

uint8_t FilmByte(uint32_t offset) {
    return uint8_t(offset * 7 + offset / 251);
}

// Block `block` of writer `writer` in its generation `generation`.
std::vector<uint8_t> BlockData(int writer, uint32_t block, uint32_t generation) {
    std::vector<uint8_t> data(kBlock);
    for (uint32_t i = 0; i < kBlock; ++i)
        data[i] = uint8_t(writer * 31 + block * 7 + generation + i);
    return data;
}

std::string WriterFile(int writer) {
    return "w" + std::to_string(writer) + ".bin";
}

// Threads alive in this process, where the system tells (Linux); -1 elsewhere.
long ThreadCount() {
    std::error_code ec;
    std::filesystem::directory_iterator tasks("/proc/self/task", ec);
    if (ec) return -1;
    return std::distance(tasks, std::filesystem::directory_iterator());
}

struct Tally {
    std::atomic<long> calls{0};
    std::atomic<long> verifiedBytes{0};
    std::atomic<long> mismatches{0};
    std::atomic<long> reconnects{0};
};

// Per block of a writer's file: the generation last acknowledged and the last one tried. A WRITE
// whose reply the stop cut off may or may not have reached the disk, so after the restart each
// block must hold one of the generations in between.
struct WriterState {
    uint32_t acknowledged[kBlocks] = {};
    uint32_t attempted[kBlocks] = {};
};

struct Misbehaviour {
    std::vector<uint8_t> sends;
    bool stays;  // keeps the connection until the load ends; otherwise leaves at once
};

class ServerLoad : public ::testing::Test {
  protected:
    ServerLoad() {
        net::Startup();
        std::vector<uint16_t> ports = FreePorts(3);
        options.ports = {ports[0], ports[1], ports[2]};
        options.allowLoopbackOnly = true;
        std::string film(kFilmSize, '\0');
        for (uint32_t i = 0; i < kFilmSize; ++i) film[i] = char(FilmByte(i));
        dir.MakeFile("film.bin", film);
        for (int w = 0; w < kWriters; ++w) {
            std::string initial;
            for (uint32_t b = 0; b < kBlocks; ++b) {
                std::vector<uint8_t> data = BlockData(w, b, 0);
                initial.append(data.begin(), data.end());
            }
            dir.MakeFile(WriterFile(w), initial);
        }
    }
    ~ServerLoad() override {
        running = false;
        for (std::thread& thread : threads) thread.join();
        StopServer();
        net::Cleanup();
    }

    int32_t Start() {
        std::string share = dir.Path();
        return StartServerWith(options, 0, 0, 0, 0, 0, share.data(), nullptr, nullptr, nullptr);
    }

    // Runs `body` over and over on its own thread until the load ends; a body that fails
    // (connection refused, closed or silent) gets a fresh connection after a breather. A reply
    // is waited for a second at most, so that the threads end soon after the stop.
    void Spawn(std::function<bool(RpcClient&)> body, std::function<RpcClient()> connect) {
        progress.push_back(std::make_unique<std::atomic<long>>(0));
        std::atomic<long>* rounds = progress.back().get();
        threads.emplace_back([this, body, connect, rounds] {
            std::optional<RpcClient> client(connect());
            while (running) {
                bool ok = false;
                try {
                    client->SetTimeout(1000);
                    ok = client->Valid() && body(*client);
                } catch (const std::exception&) {
                    ok = false;  // a reply cut short
                }
                if (ok) {
                    ++*rounds;
                    continue;
                }
                ++tally.reconnects;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                client.reset();
                client.emplace(connect());
            }
        });
    }

    bool ReadFilm(RpcClient& nfs, const nfs3::Handle& film, uint32_t round) {
        uint32_t offset = (round * 12289u) % (kFilmSize - 8192);
        auto data = nfs3::Read(nfs, film, offset, 8192);
        if (!data) return false;
        ++tally.calls;
        for (uint32_t i = 0; i < data->size(); ++i) {
            if ((*data)[i] != FilmByte(offset + i)) {
                ++tally.mismatches;
                return true;
            }
        }
        tally.verifiedBytes += long(data->size());
        return true;
    }

    // One NFS client over TCP: a WRITE of a block of its own file, read back at once, a READ of
    // the shared film, and a listing. Handles hold across connections while the server runs.
    void SpawnNfsClient(int writer, WriterState& state) {
        struct Handles {
            nfs3::Handle root, own, film;
            uint32_t round = 0;
        };
        auto handles = std::make_shared<Handles>();
        Spawn(
            [this, writer, &state, handles](RpcClient& nfs) {
                Handles& h = *handles;
                if (h.own.empty()) {
                    RpcClient mount = RpcClient::Udp(options.ports.mount);
                    h.root = nfs3::MountRoot(mount, "/quonhd1");
                    h.own = nfs3::Lookup(nfs, h.root, WriterFile(writer));
                    h.film = nfs3::Lookup(nfs, h.root, "film.bin");
                    if (h.own.empty() || h.film.empty()) return false;
                }
                uint32_t block = h.round % kBlocks;
                uint32_t generation = h.round / kBlocks + 1;
                std::vector<uint8_t> data = BlockData(writer, block, generation);
                state.attempted[block] = generation;
                if (!nfs3::Write(nfs, h.own, uint64_t(block) * kBlock, data)) return false;
                state.acknowledged[block] = generation;
                auto back = nfs3::Read(nfs, h.own, uint64_t(block) * kBlock, kBlock);
                if (!back) return false;
                tally.calls += 2;
                if (*back != data) ++tally.mismatches;
                tally.verifiedBytes += long(back->size());
                if (!ReadFilm(nfs, h.film, h.round) || !nfs3::List(nfs, h.root)) return false;
                tally.calls += 1;
                ++h.round;
                return true;
            },
            [this] { return RpcClient::Tcp(options.ports.nfs); });
    }

    void SpawnGetPortClient(std::function<RpcClient()> connect) {
        Spawn(
            [this](RpcClient& portmap) {
                auto reply =
                    portmap.Call(100000, 2, 3, XdrBytes().Word(100003).Word(3).Word(6).Word(0));
                if (!reply) return false;
                if (reply->Word() != options.ports.nfs) ++tally.mismatches;
                ++tally.calls;
                return true;
            },
            connect);
    }

    void SpawnMountClient(std::function<RpcClient()> connect) {
        Spawn(
            [this](RpcClient& mount) {
                if (nfs3::MountRoot(mount, "/quonhd1").empty()) return false;
                if (!mount.Call(100005, 3, 3, XdrBytes().Text("/quonhd1"))) return false;
                tally.calls += 2;
                return true;
            },
            connect);
    }

    // Clients that misbehave, over and over: gone in the middle of a record, half a record and
    // then silence, hundreds of READs and no reply read, a connection and nothing at all.
    void SpawnFaultyClients(const nfs3::Handle& film) {
        CallHeaderSpec h;
        h.program = 100003;
        h.version = 3;
        h.procedure = 6;
        std::vector<uint8_t> read = AsRecord(MakeCall(h, nfs3::ReadArgs(film, 0, 32768).Get()));
        std::vector<uint8_t> half(read.begin(), read.begin() + long(read.size() / 2));
        std::vector<uint8_t> flood;
        for (int i = 0; i < 200; ++i) flood = Concat(flood, read);
        const Misbehaviour kinds[] = {{half, false}, {half, true}, {flood, true}, {{}, true}};
        for (const Misbehaviour& kind : kinds) {
            threads.emplace_back([this, kind] {
                while (running) {
                    ClientSocket client = ClientSocket::Tcp(options.ports.nfs);
                    if (!kind.sends.empty()) client.Send(kind.sends);
                    for (int wait = 0; wait < 500 && running && (kind.stays || wait < 5); ++wait) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    }
                    ++tally.reconnects;
                }
            });
        }
    }

    // Whether every client has made a round by kServedWithin after the load began.
    bool EveryClientServed() {
        const auto served = [this] {
            return std::all_of(progress.begin(), progress.end(),
                               [](const auto& rounds) { return rounds->load() > 0; });
        };
        const auto deadline = Clock::now() + kServedWithin - kLoadTime;
        while (!served() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return served();
    }

    // What must hold after a stop: nothing answers on any port.
    bool NothingAnswers() {
        for (uint16_t port : {options.ports.portmap, options.ports.nfs, options.ports.mount}) {
            if (ClientSocket::Tcp(port).Valid()) return false;
            ClientSocket udp = ClientSocket::Udp();
            udp.SetTimeout(300);
            CallHeaderSpec null;
            null.procedure = 0;
            if (udp.SendTo(port, MakeCall(null)) && udp.ReceiveDatagram()) return false;
        }
        return true;
    }

    // Reads every writer's file back through a fresh start of the server.
    long VerifyWrittenData(WriterState states[]) {
        RpcClient mount = RpcClient::Udp(options.ports.mount);
        RpcClient nfs = RpcClient::Tcp(options.ports.nfs);
        nfs3::Handle root = nfs3::MountRoot(mount, "/quonhd1");
        long verified = 0;
        for (int w = 0; w < kWriters; ++w) {
            nfs3::Handle own = nfs3::Lookup(nfs, root, WriterFile(w));
            for (uint32_t b = 0; b < kBlocks; ++b) {
                auto back = nfs3::Read(nfs, own, uint64_t(b) * kBlock, kBlock);
                bool intact = false;
                for (uint32_t g = states[w].acknowledged[b]; back && g <= states[w].attempted[b];
                     ++g) {
                    intact = intact || *back == BlockData(w, b, g);
                }
                EXPECT_TRUE(intact) << "writer " << w << " block " << b;
                if (intact) verified += kBlock;
            }
        }
        return verified;
    }

    ServerOptions options;
    RecordingEvents events;
    TempDir dir;
    Tally tally;
    std::atomic<bool> running{true};
    std::vector<std::thread> threads;
    std::vector<std::unique_ptr<std::atomic<long>>> progress;  // rounds done, per client
};

// Every TCP slot busy (10 NFS, 3 portmapper, 3 MOUNT) and UDP on each port, with clients that
// vanish, stall, stop reading or say nothing; then a stop and a start while the load runs.
TEST_F(ServerLoad, ServesEveryClientThroughFaultsAStopAndARestart) {
    // A sanitizer runtime starts a helper thread of its own with the first thread of a process.
    std::thread([] {}).join();
    const long threadsBefore = ThreadCount();
    ASSERT_EQ(Start(), kStartRunning);
    RpcClient setup = RpcClient::Udp(options.ports.nfs);
    RpcClient setupMount = RpcClient::Udp(options.ports.mount);
    nfs3::Handle film = nfs3::Lookup(setup, nfs3::MountRoot(setupMount, "/quonhd1"), "film.bin");
    ASSERT_FALSE(film.empty());

    WriterState states[kWriters];
    for (int w = 0; w < kWriters; ++w) SpawnNfsClient(w, states[w]);
    for (int i = 0; i < 3; ++i) {
        SpawnGetPortClient([this] { return RpcClient::Tcp(options.ports.portmap); });
        SpawnMountClient([this] { return RpcClient::Tcp(options.ports.mount); });
    }
    SpawnGetPortClient([this] { return RpcClient::Udp(options.ports.portmap); });
    SpawnMountClient([this] { return RpcClient::Udp(options.ports.mount); });
    Spawn([this, film](RpcClient& nfs) { return ReadFilm(nfs, film, uint32_t(tally.calls)); },
          [this] { return RpcClient::Udp(options.ports.nfs); });
    SpawnFaultyClients(film);

    const auto loadStart = Clock::now();
    std::this_thread::sleep_for(kLoadTime);  // the load runs for a fixed time
    EXPECT_TRUE(EveryClientServed()) << "a client was starved";
    const long callsBeforeStop = tally.calls;
    auto stopStart = Clock::now();
    const auto loadTime =
        std::chrono::duration_cast<std::chrono::milliseconds>(stopStart - loadStart);
    StopServer();
    auto stopTime = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stopStart);
    EXPECT_LT(stopTime.count(), 2000);
    running = false;
    for (std::thread& thread : threads) thread.join();
    threads.clear();
    EXPECT_TRUE(NothingAnswers());
    if (threadsBefore > 0) {
        EXPECT_EQ(ThreadCount(), threadsBefore) << "a thread outlived the stop";
    }
    EXPECT_EQ(tally.mismatches, 0);

    ASSERT_EQ(Start(), kStartRunning);
    long verifiedAfterRestart = VerifyWrittenData(states);
    std::printf(
        "load: %ld calls served in %lld ms, %ld bytes verified during the load, %ld after "
        "the restart, %ld reconnects, stop took %lld ms, %zu user messages\n",
        callsBeforeStop, static_cast<long long>(loadTime.count()), tally.verifiedBytes.load(),
        verifiedAfterRestart, tally.reconnects.load(), static_cast<long long>(stopTime.count()),
        events.Messages().size());
}

}  // namespace

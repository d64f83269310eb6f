#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CSocket;

// The server's call path as a fuzz target sees it: the daemon with the portmapper, MOUNT and
// both NFS versions registered, /quonhd1 over a small temporary share (a file, a folder and a
// file in it, laid anew for every input), and one connection of each transport attached without
// a socket, so that what it is handed runs the whole way through and the replies are dropped.
// The share's entries hold handle indices 0 (the share), 1 "film.avi", 2 "folder" and
// 3 "folder/clip.mpg", which the seed calls use; their handles carry the marker "STMP" where the
// table's stamp goes, which differs from run to run.
class FuzzServer {
  public:
    static FuzzServer& Get();

    // Lays the share anew and gives both connections a fresh start; called before every input.
    // Returns the input with the handle table's stamp wherever it holds the marker "STMP".
    std::vector<uint8_t> BeginInput(const uint8_t* data, size_t size);
    CSocket& Udp() { return *m_pUdp; }
    CSocket& Tcp() { return *m_pTcp; }

  private:
    FuzzServer();
    void LayShare();

    CSocket* m_pUdp;
    CSocket* m_pTcp;
};

#pragma once

#include <cstddef>
#include <cstdint>

class CSocket;

// The server's call path as a fuzz target sees it: the daemon with the portmapper, MOUNT and
// both NFS versions registered, /quonhd1 over a small temporary share (a file, a folder and a
// file in it, laid anew for every input), and one connection of each transport attached without
// a socket, so that what it is handed runs the whole way through and the replies are dropped.
// The share's entries hold handle indices 0 (the share), 1 "film.avi", 2 "folder" and
// 3 "folder/clip.mpg", which the seed calls use.
class FuzzServer {
  public:
    static FuzzServer& Get();

    // Lays the share anew and gives both connections a fresh start; called before every input.
    void BeginInput();
    CSocket& Udp() { return *m_pUdp; }
    CSocket& Tcp() { return *m_pTcp; }

  private:
    FuzzServer();
    void LayShare();

    CSocket* m_pUdp;
    CSocket* m_pTcp;
};

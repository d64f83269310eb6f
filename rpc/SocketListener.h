#pragma once

class CSocket;

// Receives every buffer a connection has read; decodes, answers and sends before returning.
class ISocketListener {
  public:
    virtual void OnReceive(CSocket& connection) = 0;

  protected:
    ~ISocketListener() = default;
};

// A device on the far end of a TCP channel, played by a thread of the test on 127.0.0.1.
//
// The peer listens at construction; its script runs on its own thread for each connection
// it accepts (at most aConnections of them, each awaited for up to 5 s), and the thread is
// joined by the destructor. A script that waits on the test uses Signal/WaitFor so that it
// never sleeps on a guess.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "platform/socket.h"

namespace qv::test_support {

class TcpPeer {
 public:
  using Script = std::function<void(TcpPeer& aPeer, platform::TcpStream& aConnection)>;

  explicit TcpPeer(Script aScript, int aConnections = 1);
  ~TcpPeer();
  TcpPeer(const TcpPeer&) = delete;
  TcpPeer& operator=(const TcpPeer&) = delete;

  uint16_t Port() const { return fListener.Port(); }

  // Marks aEvent as happened and wakes every waiter.
  void Signal(const std::string& aEvent);
  // Waits up to aTimeoutMs for aEvent; whether it happened.
  bool WaitFor(const std::string& aEvent, int aTimeoutMs = 5000);

  // Everything a script read with ReadAvailable, in order (kept for the test to check).
  std::string Received();
  // Reads what arrives within aTimeoutMs into Received.
  void Receive(platform::TcpStream& aConnection, std::size_t aCount, int aTimeoutMs = 5000);

 private:
  void Run(int aConnections);

  platform::TcpListener fListener;
  Script fScript;
  std::mutex fMutex;
  std::condition_variable fChanged;
  std::set<std::string> fEvents;
  std::string fReceived;
  bool fStopping = false;
  std::thread fThread;
};

// A port on 127.0.0.1 where nothing listens (the system picked it and it was let go).
uint16_t ClosedPort();

}  // namespace qv::test_support

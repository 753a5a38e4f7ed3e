#include "channels/support/tcp_peer.h"

#include <chrono>

namespace qv::test_support {

TcpPeer::TcpPeer(Script aScript, int aConnections)
    : fScript(std::move(aScript)), fThread([this, aConnections] { Run(aConnections); }) {}

TcpPeer::~TcpPeer() {
  Signal("stop");
  fThread.join();
}

void TcpPeer::Run(int aConnections) {
  for (int i = 0; i < aConnections && !WaitFor("stop", 0); ++i) {
    // Short waits, so that a test that never connects is not held up at its end.
    std::unique_ptr<platform::TcpStream> connection;
    for (int waited = 0; !connection && waited < 5000 && !WaitFor("stop", 0); waited += 100) {
      connection = fListener.Accept(100);
    }
    if (!connection) return;
    connection->SetReadTimeout(5000);
    try {
      fScript(*this, *connection);
    } catch (const std::exception&) {
      // The channel went away in the middle of the script; the test checks what it saw.
    }
  }
}

void TcpPeer::Signal(const std::string& aEvent) {
  {
    std::lock_guard<std::mutex> lock(fMutex);
    fEvents.insert(aEvent);
  }
  fChanged.notify_all();
}

bool TcpPeer::WaitFor(const std::string& aEvent, int aTimeoutMs) {
  std::unique_lock<std::mutex> lock(fMutex);
  return fChanged.wait_for(lock, std::chrono::milliseconds(aTimeoutMs),
                           [&] { return fEvents.count(aEvent) > 0; });
}

std::string TcpPeer::Received() {
  std::lock_guard<std::mutex> lock(fMutex);
  return fReceived;
}

void TcpPeer::Receive(platform::TcpStream& aConnection, std::size_t aCount, int aTimeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aTimeoutMs);
  std::size_t got = 0;
  while (got < aCount && std::chrono::steady_clock::now() < deadline) {
    const std::string bytes = aConnection.ReadSome(100);
    if (bytes.empty() && aConnection.PeerClosed()) break;
    got += bytes.size();
    std::lock_guard<std::mutex> lock(fMutex);
    fReceived += bytes;
  }
}

uint16_t ClosedPort() {
  platform::TcpListener listener;
  return listener.Port();
}

}  // namespace qv::test_support

// TCP connections on Winsock. Sockets stay in blocking mode except while connecting;
// every wait goes through WSAPoll so that a time-out is a time-out whatever the peer does.
// Winsock is started once per process on first use and left running.
#include "platform/socket.h"
#include "platform/socket_system.h"
#include "platform/system_error.h"
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <climits>
#include <mutex>
#include <utility>

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;
using socket_system::PeerName;
using socket_system::RemainingMs;

void StartWinsock() {
  static std::once_flag started;
  std::call_once(started, [] {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

int SocketError() { return WSAGetLastError(); }

SOCKET AsSocket(intptr_t aHandle) { return static_cast<SOCKET>(aHandle); }

// WSAPoll for aEvents on one socket. Returns its result.
int PollOne(SOCKET aHandle, short aEvents, int aTimeoutMs) {
  WSAPOLLFD entry{};
  entry.fd = aHandle;
  entry.events = aEvents;
  return WSAPoll(&entry, 1, aTimeoutMs < 0 ? -1 : aTimeoutMs);
}

void SetBlocking(SOCKET aHandle, bool aBlocking) {
  u_long nonBlocking = aBlocking ? 0 : 1;
  ioctlsocket(aHandle, FIONBIO, &nonBlocking);
}

}  // namespace

// ----- connecting

namespace socket_system {

static_assert(static_cast<intptr_t>(INVALID_SOCKET) == kNoSocket, "no socket is INVALID_SOCKET");

const int kConnectionRefused = WSAECONNREFUSED;
const int kTimedOut = WSAETIMEDOUT;
const int kNotConnected = WSAENOTCONN;

std::vector<Address> Resolve(const std::string& aHost, uint16_t aPort) {
  StartWinsock();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  // No AI_ADDRCONFIG: a till without a network still reaches its own "localhost".
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(aHost.c_str(), std::to_string(aPort).c_str(), &hints, &found);
  if (resolved != 0) {
    throw Error("Cannot resolve host " + aHost + ": " + SystemErrorText(resolved));
  }
  std::vector<Address> addresses = AddressesOf(found);
  freeaddrinfo(found);
  return addresses;
}

intptr_t ConnectTo(const Address& aAddress, Clock::time_point aDeadline, bool aUseDeadline,
                   int& aError) {
  const SOCKET handle = socket(aAddress.family, aAddress.type, aAddress.protocol);
  if (handle == INVALID_SOCKET) {
    aError = SocketError();
    return kNoSocket;
  }
  SetBlocking(handle, false);
  int result = connect(handle, reinterpret_cast<const sockaddr*>(aAddress.bytes.data()),
                       static_cast<int>(aAddress.bytes.size()));
  if (result != 0 && SocketError() == WSAEWOULDBLOCK) {
    const int waited = PollOne(handle, POLLWRNORM, aUseDeadline ? RemainingMs(aDeadline) : -1);
    if (waited == 0) {
      aError = WSAETIMEDOUT;
    } else if (waited < 0) {
      aError = SocketError();
    } else {
      int length = sizeof aError;
      getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&aError), &length);
      if (aError == 0) result = 0;
    }
  } else if (result != 0) {
    aError = SocketError();
  }
  if (result != 0) {
    closesocket(handle);
    return kNoSocket;
  }
  SetBlocking(handle, true);
  const BOOL on = TRUE;
  setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return static_cast<intptr_t>(handle);
}

int WaitReadable(intptr_t aHandle, int32_t aTimeoutMs, int& aError) {
  const int waited = PollOne(AsSocket(aHandle), POLLRDNORM, aTimeoutMs);
  if (waited < 0) aError = SocketError();
  return waited < 0 ? -1 : (waited > 0 ? 1 : 0);
}

int64_t Receive(intptr_t aHandle, char* aBuffer, std::size_t aCount, int& aError) {
  const int count =
      recv(AsSocket(aHandle), aBuffer, static_cast<int>(std::min<std::size_t>(aCount, INT_MAX)), 0);
  if (count < 0) aError = SocketError();
  return count;
}

int64_t Send(intptr_t aHandle, const char* aBytes, std::size_t aCount, int& aError) {
  const int count =
      send(AsSocket(aHandle), aBytes, static_cast<int>(std::min<std::size_t>(aCount, INT_MAX)), 0);
  if (count < 0) aError = SocketError();
  return count;
}

}  // namespace socket_system

// ----- TcpStream

TcpStream::TcpStream(intptr_t aHandle, std::string aPeer)
    : fHandle(aHandle), fPeer(std::move(aPeer)) {}

TcpStream::~TcpStream() { closesocket(AsSocket(fHandle)); }

void TcpStream::ShutdownWrite() { shutdown(AsSocket(fHandle), SD_SEND); }

// ----- TcpListener

TcpListener::TcpListener(int aBacklog) {
  StartWinsock();
  const SOCKET handle = socket(AF_INET, SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) {
    throw Error(SystemErrorMessage("Cannot create a listening socket", SocketError()));
  }
  fHandle = static_cast<intptr_t>(handle);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof address;
  if (bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(handle, aBacklog) != 0 ||
      getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = SocketError();
    closesocket(handle);
    throw Error(SystemErrorMessage("Cannot listen on 127.0.0.1", error));
  }
  fPort = ntohs(address.sin_port);
}

TcpListener::~TcpListener() { closesocket(AsSocket(fHandle)); }

std::unique_ptr<TcpStream> TcpListener::Accept(int32_t aTimeoutMs) {
  if (PollOne(AsSocket(fHandle), POLLRDNORM, aTimeoutMs) <= 0) return nullptr;
  sockaddr_in peer{};
  int length = sizeof peer;
  const SOCKET handle = accept(AsSocket(fHandle), reinterpret_cast<sockaddr*>(&peer), &length);
  if (handle == INVALID_SOCKET) return nullptr;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  return std::make_unique<TcpStream>(static_cast<intptr_t>(handle),
                                     PeerName(text, ntohs(peer.sin_port)));
}

void MakeExclusiveListener(intptr_t aHandle) {
  const BOOL yes = TRUE;
  setsockopt(static_cast<SOCKET>(aHandle), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
             reinterpret_cast<const char*>(&yes), sizeof yes);
}

}  // namespace qv::platform

// TCP connections on POSIX sockets. Sockets stay in blocking mode except while connecting;
// every wait goes through poll so that a time-out is a time-out whatever the peer does.
#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

#include "platform/socket_system.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;
using socket_system::PeerName;
using socket_system::RemainingMs;

// poll for aEvents on one socket, restarting after signals. Returns poll's result.
int PollOne(int aHandle, short aEvents, int aTimeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(aTimeoutMs);
  for (;;) {
    pollfd entry{aHandle, aEvents, 0};
    const int result = poll(&entry, 1, aTimeoutMs < 0 ? -1 : aTimeoutMs);
    if (result >= 0 || errno != EINTR) return result;
    if (aTimeoutMs >= 0) aTimeoutMs = RemainingMs(deadline);
  }
}

void SetBlocking(int aHandle, bool aBlocking) {
  const int flags = fcntl(aHandle, F_GETFL, 0);
  fcntl(aHandle, F_SETFL, aBlocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

}  // namespace

// ----- connecting

namespace socket_system {

const int kConnectionRefused = ECONNREFUSED;
const int kTimedOut = ETIMEDOUT;
const int kNotConnected = ENOTCONN;

std::vector<Address> Resolve(const std::string& aHost, uint16_t aPort) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  // No AI_ADDRCONFIG: a till without a network still reaches its own "localhost".
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(aHost.c_str(), std::to_string(aPort).c_str(), &hints, &found);
  if (resolved != 0) {
    const std::string text =
        resolved == EAI_SYSTEM ? SystemErrorText(errno) : std::string(gai_strerror(resolved));
    throw Error("Cannot resolve host " + aHost + ": " + text);
  }
  std::vector<Address> addresses = AddressesOf(found);
  freeaddrinfo(found);
  return addresses;
}

intptr_t ConnectTo(const Address& aAddress, Clock::time_point aDeadline, bool aUseDeadline,
                   int& aError) {
  const int handle = socket(aAddress.family, aAddress.type | SOCK_CLOEXEC, aAddress.protocol);
  if (handle < 0) {
    aError = errno;
    return kNoSocket;
  }
  SetBlocking(handle, false);
  int result = connect(handle, reinterpret_cast<const sockaddr*>(aAddress.bytes.data()),
                       static_cast<socklen_t>(aAddress.bytes.size()));
  if (result != 0 && errno == EINPROGRESS) {
    const int waited = PollOne(handle, POLLOUT, aUseDeadline ? RemainingMs(aDeadline) : -1);
    if (waited == 0) {
      aError = ETIMEDOUT;
    } else if (waited < 0) {
      aError = errno;
    } else {
      socklen_t length = sizeof aError;
      getsockopt(handle, SOL_SOCKET, SO_ERROR, &aError, &length);
      if (aError == 0) result = 0;
    }
  } else if (result != 0) {
    aError = errno;
  }
  if (result != 0) {
    close(handle);
    return kNoSocket;
  }
  SetBlocking(handle, true);
  const int on = 1;
  setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return handle;
}

int WaitReadable(intptr_t aHandle, int32_t aTimeoutMs, int& aError) {
  const int waited = PollOne(static_cast<int>(aHandle), POLLIN, aTimeoutMs);
  if (waited < 0) aError = errno;
  return waited < 0 ? -1 : (waited > 0 ? 1 : 0);
}

int64_t Receive(intptr_t aHandle, char* aBuffer, std::size_t aCount, int& aError) {
  ssize_t count;
  do {
    count = recv(static_cast<int>(aHandle), aBuffer, aCount, 0);
  } while (count < 0 && errno == EINTR);
  if (count < 0) aError = errno;
  return count;
}

int64_t Send(intptr_t aHandle, const char* aBytes, std::size_t aCount, int& aError) {
  ssize_t count;
  do {
    // MSG_NOSIGNAL: a peer that went away is an error text, not a SIGPIPE for the host.
    count = send(static_cast<int>(aHandle), aBytes, aCount, MSG_NOSIGNAL);
  } while (count < 0 && errno == EINTR);
  if (count < 0) aError = errno;
  return count;
}

}  // namespace socket_system

// ----- TcpStream

TcpStream::TcpStream(intptr_t aHandle, std::string aPeer)
    : fHandle(aHandle), fPeer(std::move(aPeer)) {}

TcpStream::~TcpStream() { close(static_cast<int>(fHandle)); }

void TcpStream::ShutdownWrite() { shutdown(static_cast<int>(fHandle), SHUT_WR); }

// ----- TcpListener

TcpListener::TcpListener(int aBacklog) {
  const int handle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle < 0) throw Error(SystemErrorMessage("Cannot create a listening socket", errno));
  fHandle = handle;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(handle, aBacklog) != 0 ||
      getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    close(handle);
    throw Error(SystemErrorMessage("Cannot listen on 127.0.0.1", error));
  }
  fPort = ntohs(address.sin_port);
}

TcpListener::~TcpListener() { close(static_cast<int>(fHandle)); }

std::unique_ptr<TcpStream> TcpListener::Accept(int32_t aTimeoutMs) {
  if (PollOne(static_cast<int>(fHandle), POLLIN, aTimeoutMs) <= 0) return nullptr;
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  int handle;
  do {
    handle = accept4(static_cast<int>(fHandle), reinterpret_cast<sockaddr*>(&peer), &length,
                     SOCK_CLOEXEC);
  } while (handle < 0 && errno == EINTR);
  if (handle < 0) return nullptr;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  return std::make_unique<TcpStream>(handle, PeerName(text, ntohs(peer.sin_port)));
}

void MakeExclusiveListener(intptr_t aHandle) {
  const int yes = 1;
  setsockopt(static_cast<int>(aHandle), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

}  // namespace qv::platform

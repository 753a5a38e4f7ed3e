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

#include "platform/system_error.h"

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunkSize = 4096;

// Milliseconds left until aDeadline, at least 0.
int RemainingMs(Clock::time_point aDeadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(aDeadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

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

// One attempt on one address. Returns the connected socket, or -1 with aError set.
int ConnectToAddress(const addrinfo& aAddress, Clock::time_point aDeadline, bool aUseDeadline,
                     int& aError) {
  const int handle =
      socket(aAddress.ai_family, aAddress.ai_socktype | SOCK_CLOEXEC, aAddress.ai_protocol);
  if (handle < 0) {
    aError = errno;
    return -1;
  }
  SetBlocking(handle, false);
  int result = connect(handle, aAddress.ai_addr, aAddress.ai_addrlen);
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
    return -1;
  }
  SetBlocking(handle, true);
  const int on = 1;
  setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return handle;
}

std::string PeerName(const std::string& aHost, uint16_t aPort) {
  return aHost + ":" + std::to_string(aPort);
}

}  // namespace

// ----- TcpStream

TcpStream::TcpStream(intptr_t aHandle, std::string aPeer)
    : fHandle(aHandle), fPeer(std::move(aPeer)) {}

TcpStream::~TcpStream() { close(static_cast<int>(fHandle)); }

void TcpStream::Write(std::string_view aBytes) {
  std::size_t sent = 0;
  while (sent < aBytes.size()) {
    // MSG_NOSIGNAL: a peer that went away is an error text, not a SIGPIPE for the host.
    const ssize_t count =
        send(static_cast<int>(fHandle), aBytes.data() + sent, aBytes.size() - sent, MSG_NOSIGNAL);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw Error(SystemErrorMessage("Write to " + fPeer, errno));
    }
    sent += static_cast<std::size_t>(count);
  }
}

void TcpStream::FailRead(int aCode) const {
  throw Error(SystemErrorMessage("Read from " + fPeer, aCode));
}

void TcpStream::FailReadTimedOut() const { FailRead(ETIMEDOUT); }

bool TcpStream::Fill(int32_t aTimeoutMs) {
  if (fPeerClosed) return false;
  const int waited = PollOne(static_cast<int>(fHandle), POLLIN, aTimeoutMs);
  if (waited < 0) FailRead(errno);
  if (waited == 0) return false;
  char chunk[kChunkSize];
  ssize_t count;
  do {
    count = recv(static_cast<int>(fHandle), chunk, sizeof chunk, 0);
  } while (count < 0 && errno == EINTR);
  if (count < 0) FailRead(errno);
  if (count == 0) {
    fPeerClosed = true;
    return false;
  }
  Keep(chunk, static_cast<std::size_t>(count));
  return true;
}

void TcpStream::ShutdownWrite() { shutdown(static_cast<int>(fHandle), SHUT_WR); }

// ----- TcpClient

TcpClient::TcpClient(std::string aHost, uint16_t aPort, int32_t aConnectTimeoutMs)
    : fHost(std::move(aHost)), fPort(aPort), fConnectTimeout(aConnectTimeoutMs) {}

TcpClient::~TcpClient() = default;

void TcpClient::SetReadTimeout(int32_t aMilliseconds) {
  fReadTimeout = aMilliseconds;
  if (fStream) fStream->SetReadTimeout(aMilliseconds);
}

void TcpClient::Connect() {
  Disconnect();
  const std::string peer = PeerName(fHost, fPort);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  // No AI_ADDRCONFIG: a till without a network still reaches its own "localhost".
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* addresses = nullptr;
  const int resolved =
      getaddrinfo(fHost.c_str(), std::to_string(fPort).c_str(), &hints, &addresses);
  if (resolved != 0) {
    const std::string text =
        resolved == EAI_SYSTEM ? SystemErrorText(errno) : std::string(gai_strerror(resolved));
    throw Error("Cannot resolve host " + fHost + ": " + text);
  }
  const bool useDeadline = fConnectTimeout > 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(fConnectTimeout);
  int error = ECONNREFUSED;
  int handle = -1;
  for (const addrinfo* address = addresses; address != nullptr && handle < 0;
       address = address->ai_next) {
    if (useDeadline && RemainingMs(deadline) == 0) {
      error = ETIMEDOUT;
      break;
    }
    handle = ConnectToAddress(*address, deadline, useDeadline, error);
  }
  freeaddrinfo(addresses);
  if (handle < 0) throw Error(SystemErrorMessage("Cannot connect to " + peer, error));
  fStream = std::make_unique<TcpStream>(handle, peer);
  fStream->SetReadTimeout(fReadTimeout);
}

TcpStream& TcpClient::Stream() {
  if (!fStream) throw Error(SystemErrorMessage(PeerName(fHost, fPort), ENOTCONN));
  return *fStream;
}

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

}  // namespace qv::platform

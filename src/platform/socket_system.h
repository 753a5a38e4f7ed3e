// The system's half of a TCP connection, for socket.cpp: resolving a host name, one
// connection attempt, waiting for data, receiving and sending, implemented in
// socket_posix.cpp and socket_win32.cpp, with the two helpers both halves use. Used inside
// the platform layer only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::platform::socket_system {

// One address of a host as the resolver gives it: what a socket for it is made with, and the
// system's address structure as bytes.
struct Address {
  int family = 0;
  int type = 0;
  int protocol = 0;
  std::string bytes;
};

// A socket handle that is no socket.
constexpr intptr_t kNoSocket = -1;
// The system's codes for a refused connection, a time-out and a socket that is not connected.
extern const int kConnectionRefused;
extern const int kTimedOut;
extern const int kNotConnected;

// Shared by both halves (socket.cpp): "host:port" for messages; milliseconds left until
// aDeadline, at least 0.
std::string PeerName(const std::string& aHost, uint16_t aPort);
int RemainingMs(std::chrono::steady_clock::time_point aDeadline);

// The entries of the resolver's list (an addrinfo list on every system) as Addresses.
template <class TAddrInfo>
std::vector<Address> AddressesOf(const TAddrInfo* aList) {
  std::vector<Address> addresses;
  for (const TAddrInfo* entry = aList; entry != nullptr; entry = entry->ai_next) {
    addresses.push_back({entry->ai_family, entry->ai_socktype, entry->ai_protocol,
                         std::string(reinterpret_cast<const char*>(entry->ai_addr),
                                     static_cast<std::size_t>(entry->ai_addrlen))});
  }
  return addresses;
}

// The addresses of aHost for aPort, in the resolver's order. Fails with
// "Cannot resolve host <host>: <text>".
std::vector<Address> Resolve(const std::string& aHost, uint16_t aPort);
// One attempt on aAddress, waiting until aDeadline when aUseDeadline (else as long as the
// system waits). Returns the connected socket, in blocking mode and without send delay, or
// kNoSocket with aError set to the system's code.
intptr_t ConnectTo(const Address& aAddress, std::chrono::steady_clock::time_point aDeadline,
                   bool aUseDeadline, int& aError);

// Waits at most aTimeoutMs (negative: no limit) until the connected socket aHandle has data
// or its peer closed. 1 when it has, 0 on the time-out, -1 with aError set to the system's
// code.
int WaitReadable(intptr_t aHandle, int32_t aTimeoutMs, int& aError);
// Receives up to aCount bytes into aBuffer: the number received, 0 at the end of the stream,
// or -1 with aError set.
int64_t Receive(intptr_t aHandle, char* aBuffer, std::size_t aCount, int& aError);
// Sends up to aCount bytes: the number sent, or -1 with aError set. A peer that went away is
// an error, never a signal to the process.
int64_t Send(intptr_t aHandle, const char* aBytes, std::size_t aCount, int& aError);

}  // namespace qv::platform::socket_system

// The input buffer of a TCP stream (what the system layer received and the reads take from
// it), its writes, and the TCP client. The same on every system; the *_posix.cpp and
// *_win32.cpp files wait for data, receive and send, resolve host names and make each
// connection attempt (socket_system.h).
#include "platform/socket.h"

#include <chrono>
#include <utility>

#include "platform/socket_system.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace {

constexpr std::size_t kChunkSize = 4096;

}  // namespace

void TcpStream::Write(std::string_view aBytes) {
  std::size_t sent = 0;
  while (sent < aBytes.size()) {
    int error = 0;
    const int64_t count =
        socket_system::Send(fHandle, aBytes.data() + sent, aBytes.size() - sent, error);
    if (count < 0) throw Error(SystemErrorMessage("Write to " + fPeer, error));
    sent += static_cast<std::size_t>(count);
  }
}

bool TcpStream::Fill(int32_t aTimeoutMs) {
  if (fPeerClosed) return false;
  int error = 0;
  const int waited = socket_system::WaitReadable(fHandle, aTimeoutMs, error);
  if (waited < 0) FailRead(error);
  if (waited == 0) return false;
  char chunk[kChunkSize];
  const int64_t count = socket_system::Receive(fHandle, chunk, sizeof chunk, error);
  if (count < 0) FailRead(error);
  if (count == 0) {
    fPeerClosed = true;
    return false;
  }
  Keep(chunk, static_cast<std::size_t>(count));
  return true;
}

void TcpStream::Keep(const char* aBytes, std::size_t aCount) {
  if (fBufferStart > 0 && fBufferStart == fBuffer.size()) {
    fBuffer.clear();
    fBufferStart = 0;
  }
  fBuffer.append(aBytes, aCount);
}

void TcpStream::FillWithoutWaiting() {
  // Bounded, so that a peer that never stops sending cannot hold the caller here.
  for (int chunk = 0; chunk < 64 && Fill(0); ++chunk) {
  }
}

void TcpStream::FailRead(int aCode) const {
  throw Error(SystemErrorMessage("Read from " + fPeer, aCode));
}

void TcpStream::FailReadTimedOut() const { FailRead(socket_system::kTimedOut); }

uint8_t TcpStream::ReadByte() { return static_cast<uint8_t>(ReadBytes(1)[0]); }

std::string TcpStream::ReadBytes(std::size_t aCount) {
  while (fBuffer.size() - fBufferStart < aCount) {
    if (!Fill(fReadTimeout > 0 ? fReadTimeout : -1)) {
      if (fPeerClosed) throw ConnectionClosedError("Read from " + fPeer + ": Connection closed");
      FailReadTimedOut();
    }
  }
  std::string bytes = fBuffer.substr(fBufferStart, aCount);
  fBufferStart += aCount;
  if (fBufferStart == fBuffer.size()) {
    fBuffer.clear();
    fBufferStart = 0;
  }
  return bytes;
}

std::string TcpStream::ReadSome(int32_t aTimeoutMs) {
  if (fBufferStart == fBuffer.size()) Fill(aTimeoutMs);
  std::string bytes = fBuffer.substr(fBufferStart);
  fBuffer.clear();
  fBufferStart = 0;
  return bytes;
}

std::size_t TcpStream::InputBufferSize() {
  FillWithoutWaiting();
  return fBuffer.size() - fBufferStart;
}

void TcpStream::ClearInputBuffer() {
  FillWithoutWaiting();
  fBuffer.clear();
  fBufferStart = 0;
}

// ----- TcpClient

using Clock = std::chrono::steady_clock;

namespace socket_system {

std::string PeerName(const std::string& aHost, uint16_t aPort) {
  return aHost + ":" + std::to_string(aPort);
}

int RemainingMs(Clock::time_point aDeadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(aDeadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace socket_system

using socket_system::PeerName;
using socket_system::RemainingMs;

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
  const std::vector<socket_system::Address> addresses = socket_system::Resolve(fHost, fPort);
  const bool useDeadline = fConnectTimeout > 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(fConnectTimeout);
  int error = socket_system::kConnectionRefused;
  intptr_t handle = socket_system::kNoSocket;
  for (const socket_system::Address& address : addresses) {
    if (useDeadline && RemainingMs(deadline) == 0) {
      error = socket_system::kTimedOut;
      break;
    }
    handle = socket_system::ConnectTo(address, deadline, useDeadline, error);
    if (handle != socket_system::kNoSocket) break;
  }
  if (handle == socket_system::kNoSocket) {
    throw Error(SystemErrorMessage("Cannot connect to " + peer, error));
  }
  fStream = std::make_unique<TcpStream>(handle, peer);
  fStream->SetReadTimeout(fReadTimeout);
}

TcpStream& TcpClient::Stream() {
  if (!fStream) {
    throw Error(SystemErrorMessage(PeerName(fHost, fPort), socket_system::kNotConnected));
  }
  return *fStream;
}

bool TcpClient::Connected() const { return fStream != nullptr && !fStream->PeerClosed(); }

void TcpClient::Disconnect() { fStream.reset(); }

void TcpClient::Write(std::string_view aBytes) { Stream().Write(aBytes); }

uint8_t TcpClient::ReadByte() { return Stream().ReadByte(); }

std::string TcpClient::ReadBytes(std::size_t aCount) { return Stream().ReadBytes(aCount); }

std::size_t TcpClient::InputBufferSize() { return fStream ? fStream->InputBufferSize() : 0; }

void TcpClient::ClearInputBuffer() {
  if (fStream) fStream->ClearInputBuffer();
}

}  // namespace qv::platform

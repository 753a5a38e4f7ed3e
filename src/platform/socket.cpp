// The input buffer of a TCP stream: what the system layer received and the reads take
// from it. The same on every system; the *_posix.cpp and *_win32.cpp files fill it.
#include "platform/socket.h"

namespace qv::platform {

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

// TcpClient: what it does with an open stream is the same on every system.

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

// TCP connections for the channels that talk to a device over the network.
//
// TcpClient is the client side of one connection to a host and port: it resolves the host
// name ("localhost", "pos-printer.local", "192.168.1.20"), connects within a time-out, sends
// whole buffers and reads through an input buffer of its own, so that bytes received but not
// yet read stay there until they are read or cleared. A read waits at most the read time-out
// for each piece of data it needs (0 or less: no limit) and fails when none comes.
//
// TcpListener accepts connections on the loopback address only. The library itself never
// listens; test programs use it to play a device or a server on 127.0.0.1.
//
// Failures are qv::Error with "context: system text", such as
// "Cannot connect to 127.0.0.1:5001: Connection refused". A read that finds the connection
// closed by the peer after every byte was read fails with ConnectionClosedError.
//
// Threading: one thread at a time per object; different objects are independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace qv::platform {

// The peer closed the connection and nothing is left to read.
class ConnectionClosedError : public Error {
 public:
  using Error::Error;
};

// One open connection (either side) with its input buffer. Closed on destruction.
class TcpStream {
 public:
  // Takes over the connected socket aHandle; aPeer names the other end in messages
  // ("127.0.0.1:5001").
  TcpStream(intptr_t aHandle, std::string aPeer);
  ~TcpStream();
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;

  // Milliseconds a read waits for data; 0 or less waits without limit. Initially no limit.
  int32_t ReadTimeout() const { return fReadTimeout; }
  void SetReadTimeout(int32_t aMilliseconds) { fReadTimeout = aMilliseconds; }

  // Sends every byte. Fails with the system text ("Broken pipe", "Connection reset by peer").
  void Write(std::string_view aBytes);
  // The next byte, waiting at most the read time-out. Fails with "...: Connection timed out"
  // when none comes and with ConnectionClosedError when the peer has closed.
  uint8_t ReadByte();
  // Exactly aCount bytes. On failure the bytes that did arrive stay in the input buffer.
  std::string ReadBytes(std::size_t aCount);
  // Whatever can be had: the buffered bytes, or when there are none, what arrives within
  // aTimeoutMs (the empty text when nothing came or the peer has closed).
  std::string ReadSome(int32_t aTimeoutMs);
  // The bytes waiting in the input buffer, after taking in what the system already holds
  // for this connection; never waits.
  std::size_t InputBufferSize();
  // Drops the buffered bytes and what the system already holds for this connection.
  void ClearInputBuffer();
  // Whether the peer was seen closing the connection (by a read that found no more data).
  bool PeerClosed() const { return fPeerClosed; }
  // No more bytes will be sent; the peer reads the end of the stream.
  void ShutdownWrite();

  const std::string& Peer() const { return fPeer; }

 private:
  // Waits for data within aTimeoutMs (negative: no limit) and appends what comes to the
  // buffer. Returns false on a time-out; fails on a system error. Sets fPeerClosed at the
  // end of the stream.
  bool Fill(int32_t aTimeoutMs);
  // Takes in what the system holds without waiting.
  void FillWithoutWaiting();
  [[noreturn]] void FailRead(int aCode) const;
  // FailRead with the system's code for a read that timed out.
  [[noreturn]] void FailReadTimedOut() const;
  // Keeps aCount received bytes in the input buffer.
  void Keep(const char* aBytes, std::size_t aCount);

  intptr_t fHandle;
  std::string fPeer;
  std::string fBuffer;
  std::size_t fBufferStart = 0;
  int32_t fReadTimeout = 0;
  bool fPeerClosed = false;
};

class TcpClient {
 public:
  // Nothing is opened yet.
  TcpClient(std::string aHost, uint16_t aPort, int32_t aConnectTimeoutMs);
  // Closes the connection when it is open.
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  const std::string& Host() const { return fHost; }
  uint16_t Port() const { return fPort; }
  int32_t ConnectTimeout() const { return fConnectTimeout; }
  void SetConnectTimeout(int32_t aMilliseconds) { fConnectTimeout = aMilliseconds; }
  // Milliseconds each read waits for data; 0 or less waits without limit (the initial
  // setting). Kept across connections.
  int32_t ReadTimeout() const { return fReadTimeout; }
  void SetReadTimeout(int32_t aMilliseconds);

  // Resolves the host and connects to the first of its addresses that answers, all within
  // the connect time-out (0 or less: the system's own limit). An open connection is closed
  // first. Fails with "Cannot resolve host <host>: <text>" or
  // "Cannot connect to <host>:<port>: <system text>" ("Connection refused",
  // "Connection timed out").
  void Connect();
  // Open and not seen closed by the peer.
  bool Connected() const;
  // Closes the connection; the input buffer goes with it. Nothing happens when closed.
  void Disconnect();

  // The operations of TcpStream on the open connection. Without one they fail with
  // "<host>:<port>: Transport endpoint is not connected"; the buffer queries give 0.
  void Write(std::string_view aBytes);
  uint8_t ReadByte();
  std::string ReadBytes(std::size_t aCount);
  std::size_t InputBufferSize();
  void ClearInputBuffer();

 private:
  TcpStream& Stream();

  std::string fHost;
  uint16_t fPort;
  int32_t fConnectTimeout;
  int32_t fReadTimeout = 0;
  std::unique_ptr<TcpStream> fStream;
};

// Makes the socket aHandle (not yet bound) the only listener of the port it will be bound
// to: the port can be taken again at once after a restart, but not by a second program
// while this one listens (no SO_REUSEPORT sharing on Linux; SO_EXCLUSIVEADDRUSE on
// Windows).
void MakeExclusiveListener(intptr_t aHandle);

// A listening socket on 127.0.0.1 at a port the system picks.
class TcpListener {
 public:
  // Listens with room for aBacklog connections that wait to be accepted. Fails with the
  // system text.
  explicit TcpListener(int aBacklog = 16);
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  uint16_t Port() const { return fPort; }
  // The next connection, or nullptr when none comes within aTimeoutMs.
  std::unique_ptr<TcpStream> Accept(int32_t aTimeoutMs);

 private:
  intptr_t fHandle;
  uint16_t fPort = 0;
};

}  // namespace qv::platform

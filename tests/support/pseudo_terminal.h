// A pseudo-terminal pair that stands in for a serial device in tests: the program under test
// opens the terminal end by its path (SlavePath) as if it were a COM port, and the test plays
// the device at the other end with Send and Receive.
//
// The terminal end is held open for the pair's whole life, in raw mode, so that bytes sent
// before the port is opened wait for it unchanged and the port may be opened and closed
// again. Line settings that the port sets (baud rate, data bits, stop bits, parity) can be
// read back with Line.
//
// Threading: Send, Receive and Line may be called from one thread (the device's) while the
// port is used from another; CloseDevice must not run while another thread uses the pair.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv::testing {

// The line settings of the terminal end, as a serial port sets them.
struct PseudoTerminalLine {
  uint32_t baudRate = 0;  // 0 when the speed is none of the standard rates
  int dataBits = 0;
  int stopBits = 0;   // 1 or 2
  char parity = 'N';  // 'N', 'O', 'E', 'M' (mark) or 'S' (space)
};

class PseudoTerminal {
 public:
  // Opens a new pair. Fails with qv::Error and the system's text when none is available.
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // The path of the terminal end, such as "/dev/pts/4".
  const std::string& SlavePath() const { return fSlavePath; }

  // Sends aBytes from the device to the port. Fails with qv::Error when the pair is closed.
  void Send(std::string_view aBytes);
  // Bytes the port sent: waits until aCount bytes have come or aTimeoutMs have passed and
  // returns what came (possibly fewer).
  std::string Receive(size_t aCount, int aTimeoutMs);
  // The line settings of the terminal end.
  PseudoTerminalLine Line() const;

  // Takes the device away: closes the device end, so that the port's reads fail.
  void CloseDevice();

 private:
  int fMaster = -1;
  int fSlave = -1;
  std::string fSlavePath;
};

}  // namespace qv::testing

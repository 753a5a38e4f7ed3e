// Pseudo-terminal pairs through posix_openpt (tests run on Linux and may use its headers).
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/error.h"
#include "platform/system_error.h"
#include "support/pseudo_terminal.h"

namespace qv::testing {

using platform::LastSystemError;
using platform::SystemErrorMessage;
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* aContext) {
  throw Error(SystemErrorMessage(aContext, LastSystemError()));
}

uint32_t BaudRateOf(speed_t aSpeed) {
  struct Rate {
    speed_t speed;
    uint32_t baud;
  };
  static constexpr Rate kRates[] = {
      {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
      {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
      {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
      {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
      {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
      {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
      {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
      {B3500000, 3500000}, {B4000000, 4000000},
  };
  for (const Rate& rate : kRates) {
    if (rate.speed == aSpeed) return rate.baud;
  }
  return 0;
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
  fMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fMaster < 0) Fail("posix_openpt");
  char name[128] = {};
  if (grantpt(fMaster) != 0 || unlockpt(fMaster) != 0 || ptsname_r(fMaster, name, sizeof name)) {
    const int error = LastSystemError();
    ::close(fMaster);
    throw Error(SystemErrorMessage("pseudo-terminal", error));
  }
  fSlavePath = name;
  fSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fSlave < 0) {
    const int error = LastSystemError();
    ::close(fMaster);
    throw Error(SystemErrorMessage(fSlavePath, error));
  }
  termios settings{};
  if (tcgetattr(fSlave, &settings) == 0) {
    cfmakeraw(&settings);
    tcsetattr(fSlave, TCSANOW, &settings);
  }
  fcntl(fMaster, F_SETFL, fcntl(fMaster, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() {
  CloseDevice();
  if (fSlave >= 0) ::close(fSlave);
}

void PseudoTerminal::Send(std::string_view aBytes) {
  while (!aBytes.empty()) {
    if (fMaster < 0) throw Error("The device end of the pseudo-terminal is closed");
    const ssize_t put = ::write(fMaster, aBytes.data(), aBytes.size());
    if (put > 0) {
      aBytes.remove_prefix(static_cast<size_t>(put));
    } else if (put < 0 && errno == EAGAIN) {
      pollfd request{fMaster, POLLOUT, 0};
      poll(&request, 1, 10);
    } else if (!(put < 0 && errno == EINTR)) {
      Fail("write to pseudo-terminal");
    }
  }
}

std::string PseudoTerminal::Receive(size_t aCount, int aTimeoutMs) {
  std::string received;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(aTimeoutMs);
  while (fMaster >= 0 && received.size() < aCount) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd request{fMaster, POLLIN, 0};
    if (poll(&request, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[256];
    const size_t wanted = std::min(sizeof buffer, aCount - received.size());
    const ssize_t got = ::read(fMaster, buffer, wanted);
    if (got > 0) received.append(buffer, static_cast<size_t>(got));
  }
  return received;
}

PseudoTerminalLine PseudoTerminal::Line() const {
  termios settings{};
  if (tcgetattr(fSlave, &settings) != 0) Fail("tcgetattr");
  PseudoTerminalLine line;
  line.baudRate = BaudRateOf(cfgetospeed(&settings));
  switch (settings.c_cflag & CSIZE) {
    case CS5:
      line.dataBits = 5;
      break;
    case CS6:
      line.dataBits = 6;
      break;
    case CS7:
      line.dataBits = 7;
      break;
    default:
      line.dataBits = 8;
      break;
  }
  line.stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
  const tcflag_t parity = settings.c_cflag & (PARENB | PARODD | CMSPAR);
  if (!(parity & PARENB)) {
    line.parity = 'N';
  } else if (parity & CMSPAR) {
    line.parity = (parity & PARODD) ? 'M' : 'S';
  } else {
    line.parity = (parity & PARODD) ? 'O' : 'E';
  }
  return line;
}

void PseudoTerminal::CloseDevice() {
  if (fMaster < 0) return;
  ::close(fMaster);
  fMaster = -1;
}

}  // namespace qv::testing

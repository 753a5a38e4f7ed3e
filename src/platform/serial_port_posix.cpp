// Serial ports on terminal devices: termios for the line, poll for the time-outs, flock and
// TIOCEXCL for the exclusive open that Windows gives every COM port.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#include "platform/environment.h"
#include "platform/serial_port.h"
#include "platform/serial_port_system.h"

namespace qv::platform {
namespace {

using Clock = std::chrono::steady_clock;

bool BaudRateConstant(uint32_t aBaudRate, speed_t& aSpeed) {
  struct Rate {
    uint32_t baud;
    speed_t speed;
  };
  static constexpr Rate kRates[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},
      {150, B150},         {200, B200},         {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
      {3500000, B3500000}, {4000000, B4000000},
  };
  for (const Rate& rate : kRates) {
    if (rate.baud == aBaudRate) {
      aSpeed = rate.speed;
      return true;
    }
  }
  return false;
}

bool ByteSizeFlag(uint8_t aDataBits, tcflag_t& aFlag) {
  switch (aDataBits) {
    case 5:
      aFlag = CS5;
      return true;
    case 6:
      aFlag = CS6;
      return true;
    case 7:
      aFlag = CS7;
      return true;
    case 8:
      aFlag = CS8;
      return true;
    default:
      return false;
  }
}

tcflag_t ParityFlags(SerialParity aParity) {
  switch (aParity) {
    case SerialParity::None:
      return 0;
    case SerialParity::Odd:
      return PARENB | PARODD;
    case SerialParity::Even:
      return PARENB;
    case SerialParity::Mark:
      return PARENB | CMSPAR | PARODD;
    case SerialParity::Space:
      return PARENB | CMSPAR;
  }
  return 0;
}

// A Windows COM port carries bytes as they are; a terminal needs raw mode for that.
void MakeRaw(int aHandle) {
  termios settings{};
  if (tcgetattr(aHandle, &settings) != 0) return;
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  tcsetattr(aHandle, TCSANOW, &settings);
}

// Milliseconds from now until aDeadline, rounded up so that poll never wakes too early.
int MillisecondsUntil(Clock::time_point aDeadline) {
  const auto left = aDeadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<int64_t>(ms, 1 << 30));
}

}  // namespace

std::string SerialDevicePath(const std::string& aDeviceName) {
  const std::optional<uint64_t> number = serial_system::ComPortNumber(aDeviceName);
  if (!number) return aDeviceName;
  const std::optional<std::string> mapped =
      GetEnvironmentVariable("QVFP_COM" + std::to_string(*number));
  if (mapped && !mapped->empty()) return *mapped;
  if (*number == 0) return {};
  return "/dev/ttyS" + std::to_string(*number - 1);
}

int SerialPort::Open(const std::string& aDeviceName) {
  Close();
  const std::string path = SerialDevicePath(aDeviceName);
  if (path.empty()) return ENOENT;
  const int handle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (handle < 0) return errno;
  if (flock(handle, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(handle);
    return error;
  }
  // Keeps out programs that open the terminal without asking for the lock. A device that is
  // no terminal refuses; its first settings change reports that.
  ioctl(handle, TIOCEXCL);
  MakeRaw(handle);
  fHandle = handle;
  fIntervalTimeout = 0;
  fTotalTimeout = 0;
  return 0;
}

SerialSettingsResult SerialPort::SetLineParameters(uint32_t aBaudRate, uint8_t aDataBits,
                                                   SerialStopBits aStopBits, SerialParity aParity) {
  termios settings{};
  if (fHandle < 0 || tcgetattr(fHandle, &settings) != 0) return SerialSettingsResult::ReadFailed;
  speed_t speed = B0;
  tcflag_t byteSize = 0;
  if (!BaudRateConstant(aBaudRate, speed) || !ByteSizeFlag(aDataBits, byteSize) ||
      aStopBits == SerialStopBits::OneHalf) {
    return SerialSettingsResult::WriteFailed;
  }
  settings.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
  settings.c_cflag |= byteSize | ParityFlags(aParity);
  if (aStopBits == SerialStopBits::Two) settings.c_cflag |= CSTOPB;
  if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0 ||
      tcsetattr(fHandle, TCSANOW, &settings) != 0) {
    return SerialSettingsResult::WriteFailed;
  }
  return SerialSettingsResult::Ok;
}

SerialSettingsResult SerialPort::SetReadTimeouts(uint32_t aIntervalMs, uint32_t aTotalMs) {
  if (fHandle < 0) return SerialSettingsResult::ReadFailed;
  fIntervalTimeout = aIntervalMs;
  fTotalTimeout = aTotalMs;
  return SerialSettingsResult::Ok;
}

int32_t SerialPort::Read(void* aBuffer, uint32_t aCount, uint32_t& aErrorCode) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::milliseconds(fTotalTimeout);
  auto* bytes = static_cast<unsigned char*>(aBuffer);
  uint32_t count = 0;
  Clock::time_point lastByte = start;
  int error = fHandle < 0 ? EBADF : 0;
  while (error == 0 && count < aCount) {
    int waitMs = -1;
    if (fTotalTimeout > 0) waitMs = MillisecondsUntil(deadline);
    if (count > 0 && fIntervalTimeout > 0) {
      const int intervalMs =
          MillisecondsUntil(lastByte + std::chrono::milliseconds(fIntervalTimeout));
      waitMs = waitMs < 0 ? intervalMs : std::min(waitMs, intervalMs);
    }
    if (waitMs == 0) break;
    pollfd request{fHandle, POLLIN, 0};
    const int ready = poll(&request, 1, waitMs);
    if (ready < 0 && errno != EINTR) error = errno;
    if (ready <= 0) continue;
    const ssize_t got = ::read(fHandle, bytes + count, aCount - count);
    if (got > 0) {
      count += static_cast<uint32_t>(got);
      lastByte = Clock::now();
    } else if (got == 0) {
      error = EIO;  // the other end hung up
    } else if (errno != EAGAIN && errno != EINTR) {
      error = errno;
    }
  }
  // Bytes that came before a failure are handed over; the failure shows on the next read.
  if (error == 0 || count > 0) return static_cast<int32_t>(count);
  if (fTotalTimeout > 0) std::this_thread::sleep_until(deadline);
  aErrorCode = static_cast<uint32_t>(error);
  return -1;
}

int64_t SerialPort::Write(std::string_view aBytes, int& aErrorCode) {
  if (fHandle < 0) {
    aErrorCode = EBADF;
    return -1;
  }
  size_t written = 0;
  while (written < aBytes.size()) {
    const ssize_t put = ::write(fHandle, aBytes.data() + written, aBytes.size() - written);
    if (put > 0) {
      written += static_cast<size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno != EAGAIN) {
      aErrorCode = errno;
      return -1;
    }
    pollfd request{fHandle, POLLOUT, 0};
    if (poll(&request, 1, -1) < 0 && errno != EINTR) {
      aErrorCode = errno;
      return -1;
    }
  }
  return static_cast<int64_t>(written);
}

bool SerialPort::Purge() { return fHandle >= 0 && tcflush(fHandle, TCIOFLUSH) == 0; }

int32_t SerialPort::BytesPending() const {
  int pending = 0;
  if (fHandle < 0 || ioctl(fHandle, FIONREAD, &pending) != 0) return -1;
  return pending;
}

bool SerialPort::SetDTR(bool aAssert) {
  int line = TIOCM_DTR;
  return fHandle >= 0 && ioctl(fHandle, aAssert ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool SerialPort::SetRTS(bool aAssert) {
  int line = TIOCM_RTS;
  return fHandle >= 0 && ioctl(fHandle, aAssert ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

void SerialPort::Close() {
  if (fHandle < 0) return;
  // The exclusive mode belongs to the terminal, not to this descriptor: hand it back.
  ioctl(fHandle, TIOCNXCL);
  ::close(fHandle);
  fHandle = -1;
  fIntervalTimeout = 0;
  fTotalTimeout = 0;
}

}  // namespace qv::platform

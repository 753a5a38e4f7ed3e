#include "channels/tcomport.h"

namespace qv::channels {
namespace {

// The gap allowed between two bytes of one read.
constexpr uint32_t kReadIntervalTimeoutMs = 100;
// The system's "file not found": the port does not exist.
constexpr int kPortMissing = 2;

}  // namespace

TComPort::TComPort(uint32_t aComNumber, uint32_t aBaudRate, uint8_t aDataBits, TStopBits aStopBits,
                   TParity aParity)
    : fComNumber(aComNumber),
      fBaudRate(aBaudRate),
      fDataBits(aDataBits),
      fStopBits(aStopBits),
      fParity(aParity) {}

TComPort::~TComPort() {
  if (fIsOpen) Close();
}

void TComPort::Open() {
  // Opening an open port starts it afresh.
  fIsOpen = false;
  const int error = fComHandle.Open("\\\\.\\" + PortName());
  if (error == kPortMissing) throw TComPortException(PortName() + " is not a valid COM port.");
  if (error != 0) {
    throw TComPortException("Cannot open " + PortName() + " (error #" + std::to_string(error) +
                            ").");
  }
  try {
    SetLineParameters(fBaudRate, fDataBits, fStopBits, fParity);
  } catch (...) {
    // A port whose line cannot be set stays closed, and is not kept from the next opener.
    fComHandle.Close();
    throw;
  }
  fIsOpen = true;
  fCurrentComTimeout = kNoTimeout;
}

void TComPort::Close() {
  if (fIsOpen) fComHandle.Purge();
  // The port is released even when the purge was refused, so that it can be opened again.
  fComHandle.Close();
  fIsOpen = false;
}

void TComPort::SetLineParameters(uint32_t aBaudRate, uint8_t aDataBits, TStopBits aStopBits,
                                 TParity aParity) {
  switch (fComHandle.SetLineParameters(aBaudRate, aDataBits,
                                       static_cast<platform::SerialStopBits>(aStopBits),
                                       static_cast<platform::SerialParity>(aParity))) {
    case platform::SerialSettingsResult::ReadFailed:
      throw TComPortException("GetCommState failed!");
    case platform::SerialSettingsResult::WriteFailed:
      throw TComPortException("SetCommState failed!");
    case platform::SerialSettingsResult::Ok:
      break;
  }
  fBaudRate = aBaudRate;
  fDataBits = aDataBits;
  fStopBits = aStopBits;
  fParity = aParity;
}

void TComPort::ClearBuffers() {
  if (!fIsOpen) return;
  if (!fComHandle.Purge()) throw TComPortException("PurgeComm failed!");
}

void TComPort::GiveReadTimeout(uint32_t aTimeoutMs) {
  switch (fComHandle.SetReadTimeouts(kReadIntervalTimeoutMs, aTimeoutMs)) {
    case platform::SerialSettingsResult::ReadFailed:
      throw TComPortException("GetCommTimeouts failed.");
    case platform::SerialSettingsResult::WriteFailed:
      throw TComPortException("SetCommTimeouts failed.");
    case platform::SerialSettingsResult::Ok:
      break;
  }
  fCurrentComTimeout = aTimeoutMs;
}

int32_t TComPort::Read(void* aBuffer, uint32_t aCount, uint32_t aTimeoutMs, uint32_t& aErrorCode) {
  if (!fIsOpen) throw TComPortException("Cannot read because COM port is not open.");
  if (aTimeoutMs != 0 && aTimeoutMs != fCurrentComTimeout) GiveReadTimeout(aTimeoutMs);
  uint32_t error = 0;
  const int32_t count = fComHandle.Read(aBuffer, aCount, error);
  if (count < 0) {
    aErrorCode = error;
    return -1;
  }
  return count;
}

bool TComPort::WriteText(std::string_view aText) {
  if (!fIsOpen) throw TComPortException("Cannot write because COM port is not open.");
  int error = 0;
  const int64_t written = fComHandle.Write(aText, error);
  if (written < 0) throw TComPortException("Write to com port failed.");
  return written == static_cast<int64_t>(aText.size());
}

uint32_t TComPort::GetBytesPending() const {
  const int32_t pending = fComHandle.BytesPending();
  return pending > 0 ? static_cast<uint32_t>(pending) : 0;
}

void TComPort::SetDTR(bool aAssert) {
  if (!fIsOpen) throw TComPortException("SetDTR failed because COM port not open.");
  // A line the device does not carry (a pseudo-terminal, a USB adapter without it) is
  // not an error of the caller.
  fComHandle.SetDTR(aAssert);
}

void TComPort::SetRTS(bool aAssert) {
  if (!fIsOpen) throw TComPortException("SetRTS failed because COM port not open.");
  fComHandle.SetRTS(aAssert);
}

}  // namespace qv::channels

// kIOHandler_Spool: the channel of the Spool connection type, printing through the print
// spooler on the printer named by the connection's PrinterName. Each Write is one complete
// print job: in Raw mode the message as bytes that reach the printer unchanged (a receipt
// printer's own control sequences pass through), in Normal mode the caller's bitmap scaled
// and centred on one page. The channel keeps no printer open between calls.
//
// Threading: one thread at a time per channel. The bitmap belongs to the caller and must
// stay alive while a Normal write runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/io_handler.h"
#include "platform/print_spooler.h"

namespace qv::channels {

// What Write prints.
enum class qvSpoolOutputType : int32_t { Raw = 0, Normal = 1 };

// Where a bitmap lands on the printable area of a page, in device pixels.
struct tSpoolPlacement {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  double scale = 1.0;
  // False when the scale is exactly 1 and the bitmap is drawn pixel for pixel.
  bool stretched = false;
};

// The placement rule of Normal jobs. The bitmap counts as made for 300 dpi, so it is scaled
// by dpiX / 300; a bitmap then wider than the page is shrunk to the page width, and one then
// taller than the page to the page height, keeping its proportions. It is centred on the
// page (halves truncated toward zero), shifted by the page's physical offsets.
tSpoolPlacement PlaceBitmapOnPage(const platform::PrinterPage& aPage, int32_t aBitmapWidth,
                                  int32_t aBitmapHeight);

class kIOHandler_Spool : public framework::kIOHandler {
 public:
  // Base construction (time-outs, device log, START line); the printer is the connection's
  // PrinterName, the output type Normal.
  kIOHandler_Spool(const framework::kConnection* aConnection, const std::string& aDirectory,
                   const std::string& aFileName);
  ~kIOHandler_Spool() override;

  // Always true: every write opens the printer afresh.
  bool Connected() override;
  // The connect banner; true.
  bool Connect() override;
  std::string ClassName() const override { return "kIOHandler_Spool"; }

  // True; nothing to close.
  bool Disconnect() override;
  void ClearBuffers() override;
  // Raw: WriteRaw(aMessage). Normal: WriteNormal (aMessage is not used).
  bool Write(const std::string& aMessage) override;
  // One raw job of aBytes as they are; the result and error as WriteRaw.
  bool WriteBytes(std::string_view aBytes);
  // The empty text.
  std::string ReadUpTo(const std::vector<uint8_t>& aChars) override;
  std::string ReadChars(int32_t aCharsNum) override;
  // Fails with "ReadAll Unsupported".
  std::string ReadAll() override;
  // The empty text.
  std::string DecodeError(int32_t aErrorCode) override;
  // Fails with "InputBufferContainsData Unsupported".
  bool InputBufferContainsData() override;
  // Ignored.
  void SetParameter(const std::string& aName, const std::string& aValue) override;

  qvSpoolOutputType OutputType() const { return fOutputType; }
  void SetOutputType(qvSpoolOutputType aValue) { fOutputType = aValue; }
  // The picture of Normal writes; not owned, nullptr until the caller sets one.
  const platform::Bitmap* Bitmap() const { return fBitmap; }
  void SetBitmap(const platform::Bitmap* aValue) { fBitmap = aValue; }

 protected:
  // One raw job "ZEB Receipt" with aMessage in CodePage (the machine's ANSI code page when
  // CodePage is 0 or less). True when the spooler took it; otherwise false and
  // ErrorMessage holds the spooler's text (ErrorFound and ErrorCode stay as they were).
  bool WriteRaw(const std::string& aMessage);
  // One page job "Orvesta Spool Output" with the bitmap placed by PlaceBitmapOnPage. Fails
  // with "kIOHandler_Spool.WriteNormal: Printer <name> not found" for a printer that is not
  // installed (the name compared without regard to letter case), with
  // "kIOHandler_Spool.WriteNormal: No bitmap to print" when none was set, and with the
  // spooler's text when printing fails; true otherwise.
  bool WriteNormal();

 private:
  bool SendRaw(std::string_view aBytes);

  std::string fPrinterName;
  qvSpoolOutputType fOutputType = qvSpoolOutputType::Normal;
  const platform::Bitmap* fBitmap = nullptr;
};

}  // namespace qv::channels

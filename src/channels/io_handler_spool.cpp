#include "channels/io_handler_spool.h"

#include <cmath>

#include "base/utils.h"
#include "framework/device_handler.h"
#include "platform/code_page.h"
#include "platform/error.h"

namespace qv::channels {

namespace {

const char* const kRawDocumentName = "ZEB Receipt";
const char* const kNormalJobTitle = "Orvesta Spool Output";
const char* const kWriteNormalTitle = "kIOHandler_Spool.WriteNormal: ";
constexpr int32_t kBitmapDpi = 300;

// The installed printer whose name equals aName without regard to letter case, or empty.
std::string FindInstalledPrinter(const std::string& aName) {
  const std::string wanted = base::LowerCase(aName);
  for (const std::string& printer : platform::InstalledPrinters()) {
    if (base::LowerCase(printer) == wanted) return printer;
  }
  return {};
}

int32_t Truncated(double aValue) { return static_cast<int32_t>(std::trunc(aValue)); }

}  // namespace

tSpoolPlacement PlaceBitmapOnPage(const platform::PrinterPage& aPage, int32_t aBitmapWidth,
                                  int32_t aBitmapHeight) {
  double scale = aPage.dpiX == kBitmapDpi ? 1.0 : static_cast<double>(aPage.dpiX) / kBitmapDpi;
  if (aPage.width < aBitmapWidth * scale) scale = static_cast<double>(aPage.width) / aBitmapWidth;
  if (aPage.height < aBitmapHeight * scale) {
    scale = static_cast<double>(aPage.height) / aBitmapHeight;
  }
  tSpoolPlacement placement;
  placement.scale = scale;
  placement.width = Truncated(aBitmapWidth * scale);
  placement.height = Truncated(aBitmapHeight * scale);
  placement.x = (aPage.width - placement.width) / 2 + aPage.offsetX;
  placement.y = (aPage.height - placement.height) / 2 + aPage.offsetY;
  placement.stretched = scale != 1.0;
  return placement;
}

kIOHandler_Spool::kIOHandler_Spool(const framework::kConnection* aConnection,
                                   const std::string& aDirectory, const std::string& aFileName)
    : kIOHandler(aConnection, aDirectory, aFileName),
      fPrinterName(aConnection != nullptr ? aConnection->PrinterName() : std::string()) {}

kIOHandler_Spool::~kIOHandler_Spool() = default;

bool kIOHandler_Spool::Connected() { return true; }

bool kIOHandler_Spool::Connect() {
  kIOHandler::Connect();
  return true;
}

bool kIOHandler_Spool::Disconnect() { return true; }

void kIOHandler_Spool::ClearBuffers() {}

bool kIOHandler_Spool::Write(const std::string& aMessage) {
  return fOutputType == qvSpoolOutputType::Raw ? WriteRaw(aMessage) : WriteNormal();
}

bool kIOHandler_Spool::WriteRaw(const std::string& aMessage) {
  std::string bytes;
  try {
    bytes = platform::Utf8ToCodePage(aMessage, CodePage() > 0 ? CodePage() : 0);
  } catch (const Error& error) {
    // A code page the machine does not know prints nothing rather than the wrong bytes.
    SetErrorMessage(error.what());
    return false;
  }
  return SendRaw(bytes);
}

bool kIOHandler_Spool::WriteBytes(std::string_view aBytes) { return SendRaw(aBytes); }

bool kIOHandler_Spool::SendRaw(std::string_view aBytes) {
  std::string error;
  if (platform::PrintRawDocument(fPrinterName, kRawDocumentName, aBytes, error)) return true;
  SetErrorMessage(error);
  return false;
}

bool kIOHandler_Spool::WriteNormal() {
  const std::string printer = FindInstalledPrinter(fPrinterName);
  if (printer.empty()) {
    throw Error(std::string(kWriteNormalTitle) + "Printer " + fPrinterName + " not found");
  }
  if (fBitmap == nullptr) throw Error(std::string(kWriteNormalTitle) + "No bitmap to print");
  platform::PrinterPageJob job(printer, kNormalJobTitle);
  const tSpoolPlacement placement =
      PlaceBitmapOnPage(job.Page(), fBitmap->Width(), fBitmap->Height());
  if (placement.stretched) {
    job.StretchDraw(placement.x, placement.y, placement.width, placement.height, *fBitmap);
  } else {
    job.Draw(placement.x, placement.y, *fBitmap);
  }
  job.End();
  return true;
}

std::string kIOHandler_Spool::ReadUpTo(const std::vector<uint8_t>& aChars) { return {}; }

std::string kIOHandler_Spool::ReadChars(int32_t aCharsNum) { return {}; }

std::string kIOHandler_Spool::ReadAll() { throw Error("ReadAll Unsupported"); }

std::string kIOHandler_Spool::DecodeError(int32_t aErrorCode) { return {}; }

bool kIOHandler_Spool::InputBufferContainsData() {
  throw Error("InputBufferContainsData Unsupported");
}

void kIOHandler_Spool::SetParameter(const std::string& aName, const std::string& aValue) {}

}  // namespace qv::channels

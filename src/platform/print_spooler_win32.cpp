// The print spooler on Windows: raw jobs through the spooler's own functions with the "RAW"
// datatype, so no printer driver changes a byte; page jobs drawn on the printer's device
// context, one page per job.
#include "platform/windows_headers_win32.h"

#include <winspool.h>

#include <algorithm>
#include <vector>

#include "platform/error.h"
#include "platform/print_spooler.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

// Closes a printer opened with OpenPrinterW.
class PrinterHandle {
 public:
  PrinterHandle() = default;
  ~PrinterHandle() {
    if (fHandle != nullptr) ClosePrinter(fHandle);
  }
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;

  bool Open(const std::wstring& aPrinter) {
    return OpenPrinterW(const_cast<wchar_t*>(aPrinter.c_str()), &fHandle, nullptr) != FALSE;
  }
  HANDLE Get() const { return fHandle; }

 private:
  HANDLE fHandle = nullptr;
};

std::string LastSpoolerError() { return SystemErrorText(LastSystemError()); }

bool WriteAll(HANDLE aPrinter, std::string_view aBytes) {
  size_t written = 0;
  while (written < aBytes.size()) {
    const auto chunk = static_cast<DWORD>(std::min<size_t>(aBytes.size() - written, 1u << 20));
    DWORD put = 0;
    if (!WritePrinter(aPrinter, const_cast<char*>(aBytes.data() + written), chunk, &put) ||
        put == 0) {
      return false;
    }
    written += put;
  }
  return true;
}

// The bitmap as a top-down 32-bit DIB: 0x00RRGGBB is exactly a pixel's blue, green, red
// and unused byte in memory order.
struct DeviceBitmap {
  BITMAPINFO info{};
  std::vector<uint32_t> pixels;

  explicit DeviceBitmap(const Bitmap& aBitmap) {
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = aBitmap.Width();
    info.bmiHeader.biHeight = -aBitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels.reserve(static_cast<size_t>(aBitmap.Width()) * static_cast<size_t>(aBitmap.Height()));
    for (int32_t y = 0; y < aBitmap.Height(); ++y) {
      for (int32_t x = 0; x < aBitmap.Width(); ++x) pixels.push_back(aBitmap.Pixel(x, y));
    }
  }
};

}  // namespace

bool PrintRawDocument(const std::string& aPrinter, const std::string& aDocumentName,
                      std::string_view aBytes, std::string& aError) {
  PrinterHandle printer;
  if (!printer.Open(ToWide(aPrinter))) {
    aError = LastSpoolerError();
    return false;
  }
  std::wstring name = ToWide(aDocumentName);
  wchar_t datatype[] = L"RAW";
  DOC_INFO_1W document{name.data(), nullptr, datatype};
  const DWORD jobId = StartDocPrinterW(printer.Get(), 1, reinterpret_cast<LPBYTE>(&document));
  if (jobId == 0) {
    aError = LastSpoolerError();
    return false;
  }
  bool sent = StartPagePrinter(printer.Get()) != FALSE;
  if (sent) sent = WriteAll(printer.Get(), aBytes);
  if (sent) sent = EndPagePrinter(printer.Get()) != FALSE;
  if (!sent) {
    aError = LastSpoolerError();
    // A job that failed half way is removed rather than printed in part.
    SetJobW(printer.Get(), jobId, 0, nullptr, JOB_CONTROL_DELETE);
    EndDocPrinter(printer.Get());
    return false;
  }
  if (!EndDocPrinter(printer.Get())) {
    aError = LastSpoolerError();
    SetJobW(printer.Get(), jobId, 0, nullptr, JOB_CONTROL_DELETE);
    return false;
  }
  return true;
}

std::vector<std::string> InstalledPrinters() {
  std::vector<std::string> names;
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0, count = 0;
  EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
  if (needed == 0) return names;
  std::vector<BYTE> buffer(needed);
  if (!EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) return names;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    if (printers[i].pPrinterName != nullptr) names.push_back(FromWide(printers[i].pPrinterName));
  }
  return names;
}

std::vector<PrintJobInfo> PrinterJobs(const std::string& aPrinter, bool aCompleted) {
  std::vector<PrintJobInfo> result;
  PrinterHandle printer;
  if (!printer.Open(ToWide(aPrinter))) return result;
  DWORD needed = 0, count = 0;
  EnumJobsW(printer.Get(), 0, 0xFFFFFFFF, 1, nullptr, 0, &needed, &count);
  if (needed == 0) return result;
  std::vector<BYTE> buffer(needed);
  if (!EnumJobsW(printer.Get(), 0, 0xFFFFFFFF, 1, buffer.data(), needed, &needed, &count)) {
    return result;
  }
  const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    const bool completed = (jobs[i].Status & (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE)) != 0;
    if (completed != aCompleted) continue;
    PrintJobInfo job;
    job.id = static_cast<int32_t>(jobs[i].JobId);
    job.title = jobs[i].pDocument != nullptr ? FromWide(jobs[i].pDocument) : "";
    // The spooler's datatype ("RAW", "NT EMF 1.008") stands for the document's type.
    job.format = jobs[i].pDatatype != nullptr ? FromWide(jobs[i].pDatatype) : "";
    job.completed = completed;
    result.push_back(std::move(job));
  }
  return result;
}

// ---- page jobs ----

struct PrinterPageJob::State {
  HDC dc = nullptr;
  bool started = false;
  bool ended = false;
  PrinterPage page;

  ~State() {
    if (dc == nullptr) return;
    // A job that never reached End prints nothing.
    if (started && !ended) AbortDoc(dc);
    DeleteDC(dc);
  }
};

PrinterPageJob::PrinterPageJob(const std::string& aPrinter, const std::string& aTitle)
    : fState(std::make_unique<State>()) {
  const std::wstring printer = ToWide(aPrinter);
  fState->dc = CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr);
  if (fState->dc == nullptr) throw Error(LastSpoolerError());
  HDC dc = fState->dc;
  const std::wstring title = ToWide(aTitle);
  DOCINFOW document{};
  document.cbSize = sizeof document;
  document.lpszDocName = title.c_str();
  if (StartDocW(dc, &document) <= 0) throw Error(LastSpoolerError());
  fState->started = true;
  if (StartPage(dc) <= 0) throw Error(LastSpoolerError());
  PrinterPage& page = fState->page;
  page.width = GetDeviceCaps(dc, HORZRES);
  page.height = GetDeviceCaps(dc, VERTRES);
  page.offsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
  page.offsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
  page.dpiX = GetDeviceCaps(dc, LOGPIXELSX);
  page.dpiY = GetDeviceCaps(dc, LOGPIXELSY);
  page.paperWidth = GetDeviceCaps(dc, PHYSICALWIDTH);
  page.paperHeight = GetDeviceCaps(dc, PHYSICALHEIGHT);
  // A driver that tells no sheet (a display-like device) has the printable area as its sheet.
  if (page.paperWidth <= 0) page.paperWidth = page.width + page.offsetX;
  if (page.paperHeight <= 0) page.paperHeight = page.height + page.offsetY;
}

PrinterPageJob::~PrinterPageJob() = default;

const PrinterPage& PrinterPageJob::Page() const { return fState->page; }

void PrinterPageJob::Draw(int32_t aX, int32_t aY, const Bitmap& aBitmap) {
  StretchDraw(aX, aY, aBitmap.Width(), aBitmap.Height(), aBitmap);
}

void PrinterPageJob::StretchDraw(int32_t aX, int32_t aY, int32_t aWidth, int32_t aHeight,
                                 const Bitmap& aBitmap) {
  if (fState->ended || aWidth <= 0 || aHeight <= 0 || aBitmap.Empty()) return;
  const DeviceBitmap bitmap(aBitmap);
  // The device context's origin is the printable area's corner; GDI cuts off the rest.
  SetStretchBltMode(fState->dc, COLORONCOLOR);
  if (StretchDIBits(fState->dc, aX, aY, aWidth, aHeight, 0, 0, aBitmap.Width(), aBitmap.Height(),
                    bitmap.pixels.data(), &bitmap.info, DIB_RGB_COLORS, SRCCOPY) == 0) {
    throw Error(SystemErrorMessage("The picture cannot be drawn on the page", LastSystemError()));
  }
}

void PrinterPageJob::End() {
  if (fState->ended) return;
  fState->ended = true;
  if (EndPage(fState->dc) <= 0) {
    const std::string message = LastSpoolerError();
    AbortDoc(fState->dc);
    throw Error(message);
  }
  if (EndDoc(fState->dc) <= 0) {
    const std::string message = LastSpoolerError();
    AbortDoc(fState->dc);
    throw Error(message);
  }
}

}  // namespace qv::platform

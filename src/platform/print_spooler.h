// The print spooler: raw jobs whose bytes reach the printer unchanged (receipt printers
// with their own control sequences), and one-page jobs that draw a picture on the printer's
// page, as the Windows print spooler and the printer drawing surface do.
//
// On Linux the spooler is CUPS. The server is whatever the CUPS client configuration names
// (the CUPS_SERVER environment variable, ~/.cups/client.conf, /etc/cups/client.conf, else
// the local scheduler); it is looked up again for every job, so a till that is pointed at
// another server needs no restart. Failures carry CUPS's own text ("The printer or class
// does not exist."). Connecting to the server waits at most kSpoolerConnectTimeoutMs.
//
// Threading: the functions may be called from any thread; a PrinterPageJob belongs to the
// thread that made it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

inline constexpr int kSpoolerConnectTimeoutMs = 10000;

// A picture in 24-bit colour, rows from the top, each pixel 0xRRGGBB. A new bitmap is white.
class Bitmap {
 public:
  Bitmap() = default;
  // Fails with "Invalid bitmap size" for a negative size or one above 65535 pixels a side.
  Bitmap(int32_t aWidth, int32_t aHeight, uint32_t aColour = 0xFFFFFF);

  int32_t Width() const { return fWidth; }
  int32_t Height() const { return fHeight; }
  bool Empty() const { return fWidth == 0 || fHeight == 0; }
  // Points outside the bitmap read as white and are not written.
  uint32_t Pixel(int32_t aX, int32_t aY) const;
  void SetPixel(int32_t aX, int32_t aY, uint32_t aColour);
  // Fills the rectangle [aX, aX + aWidth) x [aY, aY + aHeight), clipped to the bitmap.
  void FillRect(int32_t aX, int32_t aY, int32_t aWidth, int32_t aHeight, uint32_t aColour);

 private:
  int32_t fWidth = 0;
  int32_t fHeight = 0;
  std::vector<uint32_t> fPixels;
};

// Sends aBytes as one raw job (no printer driver touches them) to aPrinter, with
// aDocumentName as the job's and the document's name. True when the spooler took the whole
// job; otherwise false with the spooler's text in aError, and no job is left behind.
bool PrintRawDocument(const std::string& aPrinter, const std::string& aDocumentName,
                      std::string_view aBytes, std::string& aError);

// The names of the printers that the spooler has; empty when the spooler cannot be reached.
std::vector<std::string> InstalledPrinters();

// What the printer's drawing surface offers, in device pixels, as Windows' device
// capabilities HORZRES/VERTRES (printable width and height), PHYSICALOFFSETX/Y (printable
// area's distance from the paper's edge) and LOGPIXELSX/Y (dots per inch).
struct PrinterPage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t offsetX = 0;
  int32_t offsetY = 0;
  int32_t dpiX = 0;
  int32_t dpiY = 0;
  // The whole sheet, printable area and margins.
  int32_t paperWidth = 0;
  int32_t paperHeight = 0;
};

// One job of one page drawn with pictures. The constructor begins the document on aPrinter
// with aTitle and reads the page (CUPS: the queue's default media, margins and resolution;
// 300 dpi and A4 when the queue names none); End renders the page and hands it to the
// spooler (CUPS: as a PWG raster page). A job that is destroyed without End prints nothing.
// Failures throw qv::Error with the spooler's text.
class PrinterPageJob {
 public:
  PrinterPageJob(const std::string& aPrinter, const std::string& aTitle);
  ~PrinterPageJob();
  PrinterPageJob(const PrinterPageJob&) = delete;
  PrinterPageJob& operator=(const PrinterPageJob&) = delete;

  const PrinterPage& Page() const;
  // Draws aBitmap pixel for pixel with its top left corner at (aX, aY) of the printable
  // area; what falls outside the paper is cut off.
  void Draw(int32_t aX, int32_t aY, const Bitmap& aBitmap);
  // Stretches aBitmap into the rectangle from (aX, aY) to (aX + aWidth, aY + aHeight).
  void StretchDraw(int32_t aX, int32_t aY, int32_t aWidth, int32_t aHeight, const Bitmap& aBitmap);
  // Sends the page; the job is then complete on the spooler's side.
  void End();

 private:
  struct State;
  std::unique_ptr<State> fState;
};

// A job as the spooler lists it.
struct PrintJobInfo {
  int32_t id = 0;
  std::string title;
  std::string format;  // MIME type of its document ("application/vnd.cups-raw")
  bool completed = false;
};

// The jobs of aPrinter, the completed ones with aCompleted, else the waiting and printing
// ones; empty when the spooler cannot be reached.
std::vector<PrintJobInfo> PrinterJobs(const std::string& aPrinter, bool aCompleted);

}  // namespace qv::platform

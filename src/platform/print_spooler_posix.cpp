// The print spooler through CUPS. Raw jobs go to the queue as "application/vnd.cups-raw",
// so no filter changes a byte; page jobs are rendered here, one sRGB page at the queue's
// resolution, and sent as a PWG raster document, the page format of IPP printers.
#include <cups/cups.h>
#include <cups/raster.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/error.h"
#include "platform/optional_library.h"
#include "platform/print_spooler.h"
#include "platform/system_error.h"

namespace qv::platform {
namespace {

// The functions of CUPS that this file calls, bound when the first job or listing needs
// them: the fiscal library loads, and runs its fiscal day, on a till without CUPS.
// clang-format off
#define QV_CUPS_FUNCTIONS(X) \
  X(cupsCancelJob2) X(cupsDoRequest) X(cupsEncryption) X(cupsFinishDocument) X(cupsFreeDests) \
  X(cupsFreeJobs) X(cupsGetDests2) X(cupsGetJobs2) X(cupsLastError) X(cupsLastErrorString) \
  X(cupsRasterClose) X(cupsRasterErrorString) X(cupsRasterInitPWGHeader) X(cupsRasterOpenIO) \
  X(cupsRasterWriteHeader2) X(cupsRasterWritePixels) X(cupsServer) X(cupsSetServer) \
  X(cupsStartDocument) X(cupsUser) X(cupsWriteRequestData) X(httpAssembleURIf) X(httpClose) \
  X(httpConnect2) X(httpError) X(httpReconnect2) X(httpSetTimeout) X(ippAddString) \
  X(ippAddStrings) X(ippDelete) X(ippErrorString) X(ippFindAttribute) X(ippGetCollection) \
  X(ippGetInteger) X(ippGetResolution) X(ippGetString) X(ippGetValueTag) X(ippNewRequest) \
  X(ippPort) X(pwgMediaForLegacy) X(pwgMediaForPWG) X(pwgMediaForSize)
// clang-format on

QV_OPTIONAL_LIBRARY_FUNCTIONS(CupsLibrary, QV_CUPS_FUNCTIONS);

// Throws qv::Error with the loader's text when CUPS is not installed; a later call tries
// again.
const CupsLibrary& Cups() {
  // Never unloaded, as a library linked at build time is not: CUPS keeps process-wide state
  // (its globals, its per-thread data) that would dangle.
  static OptionalLibrary& library =
      *new OptionalLibrary("The print spooler library", {"libcups.so.2"});
  static const CupsLibrary cups = CupsLibrary::BoundFrom(library);
  return cups;
}

constexpr double kSpoolerReplyTimeoutSeconds = 30.0;
constexpr int kDefaultDpi = 300;
// A4, in hundredths of millimetres as IPP states media sizes.
constexpr int kDefaultPaperWidth = 21000;
constexpr int kDefaultPaperLength = 29700;
constexpr int kHundredthsMmPerInch = 2540;
constexpr unsigned char kWhiteSample = 0xFF;

std::string LastSpoolerError() {
  const char* text = Cups().cupsLastErrorString();
  return text != nullptr && *text != '\0' ? text : Cups().ippErrorString(Cups().cupsLastError());
}

// One connection to the spooler, closed with the object. The server is looked up again each
// time, so that a changed CUPS_SERVER or client.conf counts from the next job on.
class SpoolerConnection {
 public:
  // Never throws: a spooler that cannot be reached, CUPS missing included, leaves its reason
  // in Error.
  SpoolerConnection() {
    try {
      Connect();
    } catch (const qv::Error& e) {
      fError = e.what();
    }
  }
  ~SpoolerConnection() {
    if (fHttp != nullptr) Cups().httpClose(fHttp);
  }
  SpoolerConnection(const SpoolerConnection&) = delete;
  SpoolerConnection& operator=(const SpoolerConnection&) = delete;

  http_t* Http() const { return fHttp; }
  bool Connected() const { return fHttp != nullptr; }
  const std::string& Error() const { return fError; }

 private:
  void Connect() {
    Cups().cupsSetServer(nullptr);
    const std::string server = Cups().cupsServer();
    // Made without connecting (a time-out of 0), so that a failed connect leaves its reason
    // in the object instead of losing it when the object is freed.
    fHttp = Cups().httpConnect2(server.c_str(), Cups().ippPort(), nullptr, AF_UNSPEC,
                                Cups().cupsEncryption(),
                                /*blocking=*/1, /*msec=*/0, nullptr);
    if (fHttp == nullptr) {
      fError = "Unable to connect to the print server " + server + ": " + LastSpoolerError();
      return;
    }
    if (Cups().httpReconnect2(fHttp, kSpoolerConnectTimeoutMs, nullptr) != 0) {
      const int code = Cups().httpError(fHttp);
      fError = "Unable to connect to the print server " + server + ": " +
               (code != 0 ? SystemErrorText(code) : LastSpoolerError());
      Cups().httpClose(fHttp);
      fHttp = nullptr;
      return;
    }
    Cups().httpSetTimeout(fHttp, kSpoolerReplyTimeoutSeconds, nullptr, nullptr);
  }

  http_t* fHttp = nullptr;
  std::string fError;
};

std::string PrinterUri(const std::string& aPrinter) {
  char uri[HTTP_MAX_URI];
  Cups().httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost",
                          Cups().ippPort(), "/printers/%s", aPrinter.c_str());
  return uri;
}

// Asks the queue itself for a new job, so that a queue the spooler does not have is
// reported in the spooler's words ("The printer or class does not exist."). The job id, or 0.
int CreateJob(http_t* aHttp, const std::string& aPrinter, const std::string& aName) {
  ipp_t* request = Cups().ippNewRequest(IPP_OP_CREATE_JOB);
  Cups().ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                      PrinterUri(aPrinter).c_str());
  Cups().ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                      Cups().cupsUser());
  Cups().ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, aName.c_str());
  ipp_t* response = Cups().cupsDoRequest(aHttp, request, ("/printers/" + aPrinter).c_str());
  ipp_attribute_t* id = Cups().ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
  const int jobId = Cups().cupsLastError() <= IPP_STATUS_OK_CONFLICTING && id != nullptr
                        ? Cups().ippGetInteger(id, 0)
                        : 0;
  Cups().ippDelete(response);
  return jobId;
}

// A job that failed half way is removed, on a connection of its own since the job's
// connection may be in the middle of a request.
void CancelJob(const std::string& aPrinter, int aJobId) {
  SpoolerConnection connection;
  if (connection.Connected()) Cups().cupsCancelJob2(connection.Http(), aPrinter.c_str(), aJobId, 0);
}

// Sends one document as a whole job: create, send, finish. False with the spooler's text.
template <typename WriteDocument>
bool SendJob(const std::string& aPrinter, const std::string& aName, const char* aFormat,
             WriteDocument aWrite, std::string& aError) {
  SpoolerConnection connection;
  if (!connection.Connected()) {
    aError = connection.Error();
    return false;
  }
  http_t* http = connection.Http();
  const int jobId = CreateJob(http, aPrinter, aName);
  if (jobId == 0) {
    aError = LastSpoolerError();
    return false;
  }
  bool sent = Cups().cupsStartDocument(http, aPrinter.c_str(), jobId, aName.c_str(), aFormat,
                                       /*last_document=*/1) == HTTP_STATUS_CONTINUE;
  if (sent) sent = aWrite(http);
  if (sent) sent = Cups().cupsFinishDocument(http, aPrinter.c_str()) == IPP_STATUS_OK;
  if (!sent) {
    aError = LastSpoolerError();
    CancelJob(aPrinter, jobId);
  }
  return sent;
}

bool WriteRequestData(http_t* aHttp, const void* aData, size_t aLength) {
  if (aLength == 0) return true;
  return Cups().cupsWriteRequestData(aHttp, static_cast<const char*>(aData), aLength) ==
         HTTP_STATUS_CONTINUE;
}

// ---- the page of a queue ----

struct MediaSize {
  int width = kDefaultPaperWidth;
  int length = kDefaultPaperLength;
  int left = 0, top = 0, right = 0, bottom = 0;
};

int DotsPerInch(int aValue, ipp_res_t aUnits) {
  return aUnits == IPP_RES_PER_CM ? static_cast<int>(std::lround(aValue * 2.54)) : aValue;
}

// "150dpi", "150x300dpi", "60dpcm".
bool ParseResolutionText(const char* aText, int& aX, int& aY) {
  if (aText == nullptr) return false;
  int x = 0, y = 0;
  char units[8] = {};
  if (std::sscanf(aText, "%dx%d%7s", &x, &y, units) == 3 ||
      (std::sscanf(aText, "%d%7s", &x, units) == 2 && (y = x) > 0)) {
    const ipp_res_t kind = std::strcmp(units, "dpcm") == 0 ? IPP_RES_PER_CM : IPP_RES_PER_INCH;
    aX = DotsPerInch(x, kind);
    aY = DotsPerInch(y, kind);
    return aX > 0 && aY > 0;
  }
  return false;
}

void ReadResolution(ipp_t* aResponse, int& aX, int& aY) {
  aX = aY = kDefaultDpi;
  ipp_attribute_t* attr =
      Cups().ippFindAttribute(aResponse, "printer-resolution-default", IPP_TAG_ZERO);
  if (attr == nullptr) return;
  if (Cups().ippGetValueTag(attr) == IPP_TAG_RESOLUTION) {
    int y = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    const int x = Cups().ippGetResolution(attr, 0, &y, &units);
    if (x > 0 && y > 0) aX = DotsPerInch(x, units), aY = DotsPerInch(y, units);
    return;
  }
  int x = 0, y = 0;
  if (ParseResolutionText(Cups().ippGetString(attr, 0, nullptr), x, y)) aX = x, aY = y;
}

int CollectionInteger(ipp_t* aCollection, const char* aName) {
  ipp_attribute_t* attr = Cups().ippFindAttribute(aCollection, aName, IPP_TAG_INTEGER);
  return attr != nullptr ? std::max(Cups().ippGetInteger(attr, 0), 0) : 0;
}

MediaSize ReadMedia(ipp_t* aResponse) {
  MediaSize media;
  if (ipp_attribute_t* col =
          Cups().ippFindAttribute(aResponse, "media-col-default", IPP_TAG_BEGIN_COLLECTION)) {
    ipp_t* value = Cups().ippGetCollection(col, 0);
    ipp_attribute_t* size = Cups().ippFindAttribute(value, "media-size", IPP_TAG_BEGIN_COLLECTION);
    if (size != nullptr) {
      ipp_t* dimensions = Cups().ippGetCollection(size, 0);
      const int width = CollectionInteger(dimensions, "x-dimension");
      const int length = CollectionInteger(dimensions, "y-dimension");
      if (width > 0 && length > 0) {
        media.width = width, media.length = length;
        media.left = CollectionInteger(value, "media-left-margin");
        media.top = CollectionInteger(value, "media-top-margin");
        media.right = CollectionInteger(value, "media-right-margin");
        media.bottom = CollectionInteger(value, "media-bottom-margin");
        return media;
      }
    }
  }
  ipp_attribute_t* keyword = Cups().ippFindAttribute(aResponse, "media-default", IPP_TAG_ZERO);
  if (keyword != nullptr) {
    pwg_media_t* known = Cups().pwgMediaForPWG(Cups().ippGetString(keyword, 0, nullptr));
    if (known == nullptr)
      known = Cups().pwgMediaForLegacy(Cups().ippGetString(keyword, 0, nullptr));
    if (known != nullptr && known->width > 0 && known->length > 0) {
      media.width = known->width, media.length = known->length;
    }
  }
  return media;
}

// Asks the queue for its default media and resolution; throws with the spooler's text.
void ReadQueueDefaults(http_t* aHttp, const std::string& aPrinter, MediaSize& aMedia, int& aDpiX,
                       int& aDpiY) {
  ipp_t* request = Cups().ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  Cups().ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                      PrinterUri(aPrinter).c_str());
  static const char* const kWanted[] = {"media-col-default", "media-default",
                                        "printer-resolution-default"};
  Cups().ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                       static_cast<int>(sizeof kWanted / sizeof kWanted[0]), nullptr, kWanted);
  ipp_t* response = Cups().cupsDoRequest(aHttp, request, "/");
  if (response == nullptr || Cups().cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
    const std::string message = LastSpoolerError();
    Cups().ippDelete(response);
    throw Error(message);
  }
  aMedia = ReadMedia(response);
  ReadResolution(response, aDpiX, aDpiY);
  Cups().ippDelete(response);
}

int ToPixels(int aHundredthsMm, int aDpi) {
  return static_cast<int>(int64_t{aHundredthsMm} * aDpi / kHundredthsMmPerInch);
}

}  // namespace

bool PrintRawDocument(const std::string& aPrinter, const std::string& aDocumentName,
                      std::string_view aBytes, std::string& aError) {
  return SendJob(
      aPrinter, aDocumentName, CUPS_FORMAT_RAW,
      [aBytes](http_t* aHttp) { return WriteRequestData(aHttp, aBytes.data(), aBytes.size()); },
      aError);
}

std::vector<std::string> InstalledPrinters() {
  std::vector<std::string> names;
  SpoolerConnection connection;
  if (!connection.Connected()) return names;
  cups_dest_t* dests = nullptr;
  const int count = Cups().cupsGetDests2(connection.Http(), &dests);
  for (int i = 0; i < count; ++i) {
    if (dests[i].instance == nullptr) names.emplace_back(dests[i].name);
  }
  Cups().cupsFreeDests(count, dests);
  return names;
}

std::vector<PrintJobInfo> PrinterJobs(const std::string& aPrinter, bool aCompleted) {
  std::vector<PrintJobInfo> result;
  SpoolerConnection connection;
  if (!connection.Connected()) return result;
  cups_job_t* jobs = nullptr;
  const int count =
      Cups().cupsGetJobs2(connection.Http(), &jobs, aPrinter.c_str(), /*myjobs=*/0,
                          aCompleted ? CUPS_WHICHJOBS_COMPLETED : CUPS_WHICHJOBS_ACTIVE);
  for (int i = 0; i < count; ++i) {
    PrintJobInfo job;
    job.id = jobs[i].id;
    job.title = jobs[i].title != nullptr ? jobs[i].title : "";
    job.format = jobs[i].format != nullptr ? jobs[i].format : "";
    job.completed = jobs[i].state == IPP_JSTATE_COMPLETED;
    result.push_back(std::move(job));
  }
  Cups().cupsFreeJobs(count, jobs);
  return result;
}

// ---- page jobs ----

struct PrinterPageJob::State {
  std::string printer;
  std::string title;
  PrinterPage page;
  cups_page_header2_t header{};
  // The whole sheet as sRGB samples, three bytes a pixel, rows from the top.
  std::vector<unsigned char> sheet;
  bool ended = false;

  void Put(int64_t aX, int64_t aY, uint32_t aColour) {
    const int64_t x = aX + page.offsetX;
    const int64_t y = aY + page.offsetY;
    if (x < 0 || y < 0 || x >= page.paperWidth || y >= page.paperHeight) return;
    unsigned char* sample = &sheet[static_cast<size_t>((y * page.paperWidth + x) * 3)];
    sample[0] = static_cast<unsigned char>(aColour >> 16);
    sample[1] = static_cast<unsigned char>(aColour >> 8);
    sample[2] = static_cast<unsigned char>(aColour);
  }
};

PrinterPageJob::PrinterPageJob(const std::string& aPrinter, const std::string& aTitle)
    : fState(std::make_unique<State>()) {
  fState->printer = aPrinter;
  fState->title = aTitle;
  MediaSize media;
  int dpiX = kDefaultDpi, dpiY = kDefaultDpi;
  {
    SpoolerConnection connection;
    if (!connection.Connected()) throw Error(connection.Error());
    ReadQueueDefaults(connection.Http(), aPrinter, media, dpiX, dpiY);
  }
  pwg_media_t* size = Cups().pwgMediaForSize(media.width, media.length);
  if (size == nullptr || !Cups().cupsRasterInitPWGHeader(&fState->header, size, "srgb_8", dpiX,
                                                         dpiY, "one-sided", nullptr)) {
    throw Error(std::string("The page of printer ") + aPrinter +
                " cannot be rendered: " + Cups().cupsRasterErrorString());
  }
  PrinterPage& page = fState->page;
  page.paperWidth = static_cast<int32_t>(fState->header.cupsWidth);
  page.paperHeight = static_cast<int32_t>(fState->header.cupsHeight);
  page.offsetX = ToPixels(media.left, dpiX);
  page.offsetY = ToPixels(media.top, dpiY);
  page.width = std::max(page.paperWidth - page.offsetX - ToPixels(media.right, dpiX), 0);
  page.height = std::max(page.paperHeight - page.offsetY - ToPixels(media.bottom, dpiY), 0);
  page.dpiX = dpiX;
  page.dpiY = dpiY;
  fState->sheet.assign(static_cast<size_t>(page.paperWidth) * page.paperHeight * 3, kWhiteSample);
}

PrinterPageJob::~PrinterPageJob() = default;

const PrinterPage& PrinterPageJob::Page() const { return fState->page; }

void PrinterPageJob::Draw(int32_t aX, int32_t aY, const Bitmap& aBitmap) {
  for (int32_t row = 0; row < aBitmap.Height(); ++row) {
    for (int32_t column = 0; column < aBitmap.Width(); ++column) {
      fState->Put(int64_t{aX} + column, int64_t{aY} + row, aBitmap.Pixel(column, row));
    }
  }
}

void PrinterPageJob::StretchDraw(int32_t aX, int32_t aY, int32_t aWidth, int32_t aHeight,
                                 const Bitmap& aBitmap) {
  if (aWidth <= 0 || aHeight <= 0 || aBitmap.Empty()) return;
  // Only the part of the rectangle that lies on the sheet is worked out.
  const int64_t firstRow = std::max<int64_t>(0, -(int64_t{aY} + fState->page.offsetY));
  const int64_t lastRow = std::min<int64_t>(aHeight, fState->page.paperHeight);
  const int64_t firstColumn = std::max<int64_t>(0, -(int64_t{aX} + fState->page.offsetX));
  const int64_t lastColumn = std::min<int64_t>(aWidth, fState->page.paperWidth);
  for (int64_t row = firstRow; row < lastRow; ++row) {
    const auto sourceRow = static_cast<int32_t>(row * aBitmap.Height() / aHeight);
    for (int64_t column = firstColumn; column < lastColumn; ++column) {
      const auto sourceColumn = static_cast<int32_t>(column * aBitmap.Width() / aWidth);
      fState->Put(aX + column, aY + row, aBitmap.Pixel(sourceColumn, sourceRow));
    }
  }
}

void PrinterPageJob::End() {
  if (fState->ended) return;
  fState->ended = true;
  State& state = *fState;
  std::string error;
  const bool sent = SendJob(
      state.printer, state.title, "image/pwg-raster",
      [&state](http_t* aHttp) {
        cups_raster_t* raster = Cups().cupsRasterOpenIO(
            [](void* aContext, unsigned char* aBuffer, size_t aLength) -> ssize_t {
              return WriteRequestData(static_cast<http_t*>(aContext), aBuffer, aLength)
                         ? static_cast<ssize_t>(aLength)
                         : -1;
            },
            aHttp, CUPS_RASTER_WRITE_PWG);
        if (raster == nullptr) return false;
        bool written = Cups().cupsRasterWriteHeader2(raster, &state.header) != 0;
        const size_t rowBytes = state.header.cupsBytesPerLine;
        for (unsigned row = 0; written && row < state.header.cupsHeight; ++row) {
          written = Cups().cupsRasterWritePixels(raster, &state.sheet[row * rowBytes],
                                                 static_cast<unsigned>(rowBytes)) == rowBytes;
        }
        Cups().cupsRasterClose(raster);
        return written;
      },
      error);
  if (!sent) throw Error(error);
}

}  // namespace qv::platform

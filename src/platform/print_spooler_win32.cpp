// The print spooler on Windows. Not yet written on the spooler and GDI: printing fails with
// a clear text, so a spooler channel reports it instead of pretending.
#include "platform/error.h"
#include "platform/print_spooler.h"

namespace qv::platform {

namespace {
const char kNotAvailable[] = "printing is not available in this Windows build";
}

struct PrinterPageJob::State {
  PrinterPage page;
};

bool PrintRawDocument(const std::string& aPrinter, const std::string&, std::string_view,
                      std::string& aError) {
  aError = "Cannot print on " + aPrinter + ": " + kNotAvailable;
  return false;
}

std::vector<std::string> InstalledPrinters() { return {}; }

PrinterPageJob::PrinterPageJob(const std::string& aPrinter, const std::string&) {
  throw Error("Cannot print on " + aPrinter + ": " + kNotAvailable);
}
PrinterPageJob::~PrinterPageJob() = default;
const PrinterPage& PrinterPageJob::Page() const { return fState->page; }
void PrinterPageJob::Draw(int32_t, int32_t, const Bitmap&) {}
void PrinterPageJob::StretchDraw(int32_t, int32_t, int32_t, int32_t, const Bitmap&) {}
void PrinterPageJob::End() {}

std::vector<PrintJobInfo> PrinterJobs(const std::string&, bool) { return {}; }

}  // namespace qv::platform

// The result documents of the report and status calls: ZReport, XReport and Status.
//
// Each is a bare root element with one child per figure, in a fixed order, rendered without
// XML declaration and without indentation, every line ended by CR LF. Amounts are in their
// shortest decimal form with "." (1234.5, -0.01, 0), date-times as 2023-08-09T09:39:19 (the
// zero date-time as 1899-12-30T00:00:00), Booleans "True" and "False".
//
// Stateless; safe from any thread.
#pragma once

#include <string>

#include "driver/wrappers.h"

namespace qv::driver {

// The ZReport (aRootName "ZReport") or XReport (aRootName "XReport") document of a report
// wrapper's figures.
std::string ReportResultDocument(const kFiscalProcessorWrapper_PROCESSZREPORT& aWrapper,
                                 const char* aRootName);
// The Status document of a status wrapper.
std::string StatusResultDocument(const kFiscalProcessorWrapper_GETSTATUS& aWrapper);

// Every line break of aText (CR LF, LF or a lone CR) as CR LF, and CR LF after the last line.
std::string WithCrLfLines(const std::string& aText);

}  // namespace qv::driver

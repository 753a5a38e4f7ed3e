// Request documents as a point-of-sale host writes them, and the sample receipts of the demo.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::host {

struct TillOptions {
  std::string till = "T1";        // FPTillSerial: names the till's folder
  std::string port = "KAVREN-1";  // ProcessorPort handed to the signing device
  std::string logId = "DEMO";     // part of the log file name
};

// A whole request for one export; aBody (a Receipt or ZReport element) goes last.
std::string BuildRequest(std::string_view aMethod, int32_t aHandle, const TillOptions& aTill,
                         std::string_view aBody = {});

// The request with the root's Handle element set to aHandle (added when missing). Throws
// qv::Error with the parser's message for malformed XML.
std::string WithHandle(std::string_view aRequest, int32_t aHandle);

struct SampleReceipt {
  std::string title;
  std::string receiptXml;  // a Receipt element
};
// Sale with discounts, markup and change; refund; void; a sale in Greek paid by two means.
std::vector<SampleReceipt> SampleReceipts();

}  // namespace qv::host

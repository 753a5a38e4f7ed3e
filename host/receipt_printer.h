// The receipt-printer driver as the host uses it to show a signed receipt the way it prints:
// the returned Receipt element is laid out as text by the driver's PRINTFR call.
#pragma once

#include <string>

#include "platform/dynamic_library.h"

namespace qv::host {

class ReceiptPrinter {
 public:
  // Loads "QVRP_GENERIC_10" (beside this program first); throws qv::Error when it cannot.
  ReceiptPrinter();
  // The printable text of the Receipt element found in aRequestXml. Throws qv::Error with
  // the driver's reason when it refuses.
  std::string Layout(const std::string& aRequestXml, int aLineLength = 52);

 private:
  platform::DynamicLibrary fLibrary;
};

}  // namespace qv::host

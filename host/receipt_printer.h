// The receipt-printer driver as the host uses it to show a signed receipt the way it prints:
// the returned Receipt element is laid out as text by the driver, exactly as the library
// lays out the receipt it signs.
#pragma once

#include <string>

#include "platform/dynamic_library.h"

namespace qv::host {

class ReceiptPrinter {
 public:
  // Loads "QVRP_GENERIC_10" (beside this program first) and keeps it loaded, so that the
  // layout of each receipt finds it in the process; throws qv::Error when it cannot.
  ReceiptPrinter();
  // The printable text of the Receipt element found in aRequestXml. Throws qv::Error with
  // the driver's reason when it refuses.
  std::string Layout(const std::string& aRequestXml);

 private:
  platform::DynamicLibrary fLibrary;
};

}  // namespace qv::host

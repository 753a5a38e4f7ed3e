#include "receipt_printer.h"

#include <pugixml.hpp>

#include "base/xml_utils.h"
#include "documents/receipt.h"
#include "kavren/fiscal_processor_kavren.h"
#include "kavren/receipt_text.h"
#include "platform/error.h"

namespace qv::host {

ReceiptPrinter::ReceiptPrinter() {
  std::string reason;
  if (!fLibrary.Load(kavren::kFiscalProcessor_KAVREN::kPrinterDriverLibrary, reason)) {
    throw Error("Cannot load the receipt-printer driver QVRP_GENERIC_10: " + reason);
  }
}

std::string ReceiptPrinter::Layout(const std::string& aRequestXml) {
  pugi::xml_document request;
  base::ParseXml(request, aRequestXml);
  const pugi::xml_node receipt = documents::FindReceiptElement(request);
  if (!receipt) throw Error("Receipt node not found");

  const kavren::tReceiptText laidOut = kavren::LayOutReceiptText(receipt);
  if (laidOut.resultCode != 0) {
    throw Error("The receipt-printer driver refused the receipt (" +
                std::to_string(laidOut.resultCode) + "): " + laidOut.errorText);
  }
  return laidOut.text;
}

}  // namespace qv::host

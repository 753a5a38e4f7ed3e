// The receipt text as the receipt-printer driver "QVRP_GENERIC_10" lays it out, and the 8-bit
// form in which the till keeps texts in files (the receipt-text file that is signed, the
// journal files). Also used by whoever checks a receipt's signature afterwards.
//
// Stateless; the driver is loaded for each call.
#pragma once

#include <string>

#include "kavren/fiscal_processor_kavren.h"

namespace pugi {
class xml_node;
}

namespace qv::kavren {

// Lays out aReceipt (a Receipt element) through the receipt-printer driver, loaded for this
// call only. Failures become a result code and an error text, except a driver without
// PRINTFR, which raises "Unable to Find Method PRINTFR. Error: ...".
tReceiptText LayOutReceiptText(const pugi::xml_node& aReceipt);

// aText as 8-bit text in the system's ANSI code page, every line ended by CR LF.
std::string AnsiLines(const std::string& aText);

}  // namespace qv::kavren

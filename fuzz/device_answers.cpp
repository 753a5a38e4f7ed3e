// The answers of the receipt-printer driver and of the signing component as the library
// parses them. The input is the control file of the stand-in receipt printer, a line
// "====", and the control file of the stand-in signing box: through them the stand-ins give
// any output, error text, status or failure the input asks for. Each input then re-opens
// the processor (version and status of the signing device), sends a receipt (handle and
// receipt text of the printer, signature of the box) and closes the day (the box's answer).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/exports.h"
#include "fuzz/support/fuzz_till.h"
#include "platform/file_system.h"

namespace {

const char* const kParameters =
    "<Type>FISCALPROCESSOR</Type><Driver>QVFP_CYKAVREN_10</Driver><LogId>FUZZ</LogId>"
    "<Handle>1</Handle><Parameters><Processor>QVFP_CYKAVREN_10</Processor>"
    "<FPTillSerial>EX1</FPTillSerial><ProcessorPort>KAVREN-1</ProcessorPort></Parameters>";

const std::string kOpen = std::string("<FiscalRequest>") + kParameters + "</FiscalRequest>";
const std::string kReceipt =
    std::string("<FiscalRequest>") + kParameters +
    "<Receipt><Type>Sale</Type><CurrencyCode>EUR</CurrencyCode><TotalAmount>3.00</TotalAmount>"
    "<Lines><ProductSale><Description>Espresso</Description><Quantity>2</Quantity>"
    "<TaxCode>A</TaxCode><Price>1.50</Price><Amount>3.00</Amount></ProductSale></Lines>"
    "<Taxes><Tax><Type>VAT</Type><Code>A</Code><Rate>19</Rate><TaxableAmount>2.52"
    "</TaxableAmount><TaxAmount>0.48</TaxAmount><TotalAmount>3.00</TotalAmount></Tax></Taxes>"
    "<Payments><Payment><Type>Cash</Type><Amount>3.00</Amount></Payment></Payments>"
    "</Receipt></FiscalRequest>";
const std::string kZReport = std::string("<FiscalRequest>") + kParameters +
                             "<ZReport><PrintText>false</PrintText></ZReport></FiscalRequest>";

void WriteControl(const std::string& aRelative, const std::string& aText) {
  const std::string path = qv::fuzz::DriveCFile(aRelative);
  // A folder that cannot be made fails the write, which stops the harness.
  qv::platform::ForceDirectories(path.substr(0, path.find_last_of('/'))).IgnoreFailure();
  if (!qv::platform::WriteWholeFile(path, aText).IsOk()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::fuzz::PrepareTill();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::string input(reinterpret_cast<const char*>(aData), aSize);
  const std::size_t split = input.find("\n====\n");
  WriteControl("QVRP_GENERIC_10/control.txt", input.substr(0, split));
  WriteControl("AlgoBox/control.txt",
               split == std::string::npos ? std::string() : input.substr(split + 6));
  qv::fuzz::CallOpen(qv::platform::OleString(kOpen));
  qv::fuzz::Call(PROCESSRECEIPT, qv::platform::OleString(kReceipt));
  qv::fuzz::Call(PROCESSZREPORT, qv::platform::OleString(kZReport));
  qv::fuzz::TidyTill();
  return 0;
}

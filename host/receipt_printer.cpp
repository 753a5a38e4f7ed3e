#include "receipt_printer.h"

#include <cstdint>

#include <pugixml.hpp>

#include "base/xml_utils.h"
#include "platform/error.h"
#include "platform/export.h"
#include "platform/ole_string.h"

namespace qv::host {

namespace {

using DriverFunction = int16_t(QV_STDCALL*)(platform::OleStr, platform::OleStr*, platform::OleStr*);

std::string DeviceXml(const std::string& aMethod, int aHandle, int aLineLength) {
  std::string xml = "<ReceiptPrinterManager><Type>FISCALPRINTER</Type>";
  xml += "<Driver>QVRP_GENERIC_10</Driver><Method>" + aMethod + "</Method><LogId/>";
  if (aMethod != "OPEN") xml += "<Handle>" + std::to_string(aHandle) + "</Handle>";
  xml += "<Connection><Type>COM</Type></Connection><Parameters><Protocol>text</Protocol>";
  xml += "<LineLength>" + std::to_string(aLineLength) + "</LineLength>";
  xml += "<HexLog>False</HexLog><GetReceiptText>True</GetReceiptText></Parameters>";
  xml += "</ReceiptPrinterManager>";
  return xml;
}

// Calls one driver function; gives its output, or throws with its reason.
std::string CallDriver(void* aFunction, const std::string& aName, const std::string& aRequest) {
  if (aFunction == nullptr) throw Error("The receipt-printer driver has no function " + aName);
  platform::OleString request(aRequest);
  platform::OleString output;
  platform::OleString error;
  int16_t status =
      reinterpret_cast<DriverFunction>(aFunction)(request.Get(), output.Out(), error.Out());
  if (status != 0) {
    throw Error("The receipt-printer driver refused " + aName + " (" + std::to_string(status) +
                "): " + error.ToUtf8());
  }
  return output.ToUtf8();
}

pugi::xml_node WrappedChild(pugi::xml_document& aDocument, const std::string& aFragment,
                            const char* aName) {
  base::ParseXml(aDocument, "<Root>" + aFragment + "</Root>");
  return aDocument.document_element().child(aName);
}

}  // namespace

ReceiptPrinter::ReceiptPrinter() {
  std::string reason;
  if (!fLibrary.Load("QVRP_GENERIC_10.dll", reason)) {
    throw Error("Cannot load the receipt-printer driver QVRP_GENERIC_10: " + reason);
  }
}

std::string ReceiptPrinter::Layout(const std::string& aRequestXml, int aLineLength) {
  pugi::xml_document request;
  base::ParseXml(request, aRequestXml);
  pugi::xml_node receipt = request.document_element();
  if (std::string(receipt.name()) != "Receipt") receipt = receipt.child("Receipt");
  if (!receipt) throw Error("Receipt node not found");

  pugi::xml_document opened;
  std::string openOutput =
      CallDriver(fLibrary.Symbol("OPEN"), "OPEN", DeviceXml("OPEN", 0, aLineLength));
  int handle = WrappedChild(opened, openOutput, "Handle").text().as_int();

  pugi::xml_document print;
  base::ParseXml(print, DeviceXml("PRINTFR", handle, aLineLength));
  print.document_element().append_copy(receipt);
  std::string printOutput =
      CallDriver(fLibrary.Symbol("PRINTFR"), "PRINTFR", base::RenderXml(print));
  pugi::xml_document printed;
  return WrappedChild(printed, printOutput, "ReceiptText").text().get();
}

}  // namespace qv::host

// The receipt text: laid out by the receipt-printer driver "QVRP_GENERIC_10", asked to
// "print" the receipt to text. The driver is loaded, opened and released for every receipt.
#include <cstdint>
#include <memory>

#include <pugixml.hpp>

#include "base/utils.h"
#include "base/xml_utils.h"
#include "framework/device_handler.h"
#include "kavren/fiscal_processor_kavren.h"
#include "kavren/receipt_text.h"
#include "platform/code_page.h"
#include "platform/dynamic_library.h"
#include "platform/error.h"
#include "platform/export.h"
#include "platform/ole_string.h"

namespace qv::kavren {

namespace {

constexpr int32_t kDriverFailure = -999;

using tDriverFunction = int16_t(QV_STDCALL*)(platform::OleStr, platform::OleStr*,
                                             platform::OleStr*);

// The text-only receipt printer the driver is asked to open.
std::unique_ptr<framework::kDeviceHandler> CreatePrinterDevice() {
  auto device = std::make_unique<framework::kDeviceHandler>();
  device->SetType("FISCALPRINTER");
  device->SetDriver("QVRP_GENERIC_10");
  device->SetMethod("OPEN");
  device->SetLogId("");
  device->SetDeviceHandle(1);
  device->Connection().SetConnectionType(framework::qvConnectionType::Com);
  device->SetParameter("Protocol", "text");
  device->SetParameter("LineLength", "52");
  device->SetParameter("HexLog", "False");
  device->SetParameter("GetReceiptText", "True");
  return device;
}

// aSystemMessage is the system's own text for the failed look-up.
std::string MissingMethodMessage(const std::string& aMethod, const std::string& aSystemMessage) {
  return "Unable to Find Method " + aMethod + ". Error: " + aSystemMessage;
}

struct tDriverAnswer {
  int16_t status = 0;
  std::string output;
  std::string error;
};

// Calls one driver function; the outputs are null on entry and freed here.
tDriverAnswer CallDriver(void* aFunction, const std::string& aRequest) {
  platform::OleString request(aRequest);
  platform::OleString output;
  platform::OleString error;
  tDriverAnswer answer;
  answer.status =
      reinterpret_cast<tDriverFunction>(aFunction)(request.Get(), output.Out(), error.Out());
  answer.output = output.ToUtf8();
  answer.error = error.ToUtf8();
  return answer;
}

// Opens the device in the driver and keeps the handle it gives.
void OpenPrinterDevice(const platform::DynamicLibrary& aDriver, framework::kDeviceHandler& aDevice,
                       tReceiptText& aResult) {
  aDevice.SetMethod("OPEN");
  std::string lookUpError;
  void* open = aDriver.Symbol("OPEN", lookUpError);
  if (open == nullptr) {
    aResult.resultCode = kDriverFailure;
    aResult.errorText = MissingMethodMessage("OPEN", lookUpError);
    return;
  }
  tDriverAnswer answer;
  try {
    answer = CallDriver(open, aDevice.Serialize());
  } catch (const std::exception& e) {
    aResult.resultCode = kDriverFailure;
    aResult.errorText = e.what();
    return;
  }
  aResult.errorText = answer.error;
  if (answer.status != 0) {
    aResult.resultCode = kDriverFailure;
    return;
  }
  int32_t handle = 0;
  try {
    pugi::xml_document document;
    base::ParseXml(document, "<Root>" + answer.output + "</Root>");
    // An absent or non-numeric handle counts as none.
    if (!base::TryStrToInt(base::ElementText(document.document_element().child("Handle")),
                           handle)) {
      handle = 0;
    }
  } catch (const std::exception& e) {
    aResult.resultCode = kDriverFailure;
    aResult.errorText = e.what();
    return;
  }
  aDevice.SetDeviceHandle(handle);
  if (handle == 0) {
    aResult.resultCode = kDriverFailure;
    aResult.errorText = "Unable to get Device Handle";
  }
}

// The text of the ReceiptText element of the driver's output; empty when absent.
std::string ExtractReceiptText(const std::string& aOutput) {
  pugi::xml_document document;
  base::ParseXml(document, "<root>" + aOutput + "</root>");
  return base::ElementText(document.document_element().child("ReceiptText"));
}

// The device XML with a copy of the receipt as the root's last child, without the XML
// declaration: built as a document, not rendered and read back.
std::string PrintRequest(const framework::kDeviceHandler& aDevice, const pugi::xml_node& aReceipt) {
  pugi::xml_document document;
  aDevice.AppendDeviceElement(document).append_copy(aReceipt);
  std::string text = base::RenderXml(document);
  const std::string declaration = "<?xml version=\"1.0\"?>";
  for (size_t at = text.find(declaration); at != std::string::npos; at = text.find(declaration)) {
    text.erase(at, declaration.size());
  }
  return text;
}

}  // namespace

tReceiptText LayOutReceiptText(const pugi::xml_node& aReceipt) {
  tReceiptText result;
  std::unique_ptr<framework::kDeviceHandler> device = CreatePrinterDevice();
  platform::DynamicLibrary driver;
  std::string loadError;
  const std::string library = kFiscalProcessor_KAVREN::kPrinterDriverLibrary;
  if (!driver.Load(library, loadError)) {
    result.resultCode = kDriverFailure;
    result.errorText = "Unable to Load Library " + library + ". Error: (" +
                       std::to_string(driver.LoadErrorCode()) + ") " + driver.LoadErrorMessage();
    return result;
  }
  OpenPrinterDevice(driver, *device, result);
  if (result.resultCode != 0) return result;

  device->SetMethod("PRINTFR");
  std::string lookUpError;
  void* print = driver.Symbol("PRINTFR", lookUpError);
  if (print == nullptr) throw Error(MissingMethodMessage("PRINTFR", lookUpError));
  try {
    tDriverAnswer answer = CallDriver(print, PrintRequest(*device, aReceipt));
    result.resultCode = answer.status;
    result.errorText = answer.error;
    result.text = ExtractReceiptText(answer.output);
  } catch (const std::exception& e) {
    result.resultCode = kDriverFailure;
    result.errorText = e.what();
  }
  return result;
}

tReceiptText kFiscalProcessor_KAVREN::BuildReceiptText(const pugi::xml_node& aReceipt) {
  return LayOutReceiptText(aReceipt);
}

std::string AnsiLines(const std::string& aText) {
  std::string text;
  text.reserve(aText.size() + aText.size() / 16);
  for (size_t i = 0; i < aText.size(); ++i) {
    char c = aText[i];
    if (c == '\r') {
      if (i + 1 < aText.size() && aText[i + 1] == '\n') ++i;
      text += "\r\n";
    } else if (c == '\n') {
      text += "\r\n";
    } else {
      text += c;
    }
  }
  if (!text.empty() && (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)) {
    text += "\r\n";
  }
  return platform::Utf8ToCodePage(text, 0);
}

}  // namespace qv::kavren

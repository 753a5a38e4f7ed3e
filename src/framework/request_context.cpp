#include "framework/request_context.h"

#include <pugixml.hpp>
#include <string>

#include "base/xml_utils.h"
#include "documents/other_documents.h"
#include "documents/receipt.h"
#include "platform/error.h"

namespace qv::framework {

namespace {

pugi::xml_node RequiredChild(const pugi::xml_node& aParent, const char* aName) {
  pugi::xml_node child = base::FindChild(aParent, aName);
  if (!child) throw Error(std::string(aName) + " node not found");
  return child;
}

// The processor's driver name: Parameters/Processor, or Parameters/PROCESSOR when the
// request has no Processor element.
std::string ProcessorName(const pugi::xml_node& aRoot) {
  pugi::xml_node parameters = RequiredChild(aRoot, "Parameters");
  pugi::xml_node processor = base::FindChild(parameters, "Processor");
  if (!processor) processor = base::FindChild(parameters, "PROCESSOR");
  if (!processor) throw Error("Processor node not found");
  return base::ElementText(processor);
}

// All of them, not only the first: a second Connection would otherwise be read in place of
// the fixed one.
void RemoveConnections(pugi::xml_node aRoot) {
  while (pugi::xml_node connection = base::FindChild(aRoot, "Connection")) {
    aRoot.remove_child(connection);
  }
}

void AppendFixedConnection(pugi::xml_node aRoot) {
  pugi::xml_node connection = aRoot.append_child("Connection");
  base::tQV_XMLUtils::AddNode(connection, "Type", "TCP");
  base::tQV_XMLUtils::AddNode(connection, "ConnectTimeout", std::to_string(kFixedConnectTimeout));
  base::tQV_XMLUtils::AddNode(connection, "ReadTimeout", std::to_string(kFixedReadTimeout));
  base::tQV_XMLUtils::AddNode(connection, "Address", kFixedConnectionAddress);
  base::tQV_XMLUtils::AddNode(connection, "Port", std::to_string(kFixedConnectionPort));
}

// The connection every request is read with, made once: a document is read by many calls
// and changed by none.
pugi::xml_node FixedConnection() {
  struct tFixedConnection {
    tFixedConnection() { AppendFixedConnection(document); }
    pugi::xml_document document;
  };
  static const tFixedConnection fixed;
  return fixed.document.first_child();
}

// The root of a parsed request, with the elements every request must have.
struct tRequestRoot {
  pugi::xml_node root;
  std::string processorName;
};

tRequestRoot CheckedRequestRoot(const pugi::xml_document& aDocument) {
  tRequestRoot request{aDocument.document_element(), {}};
  if (!request.root) throw Error("Parameters node not found");
  request.processorName = ProcessorName(request.root);
  RequiredChild(request.root, "Driver");
  return request;
}

// Made on the first call that looks at it.
template <typename TDocument>
TDocument& Made(std::unique_ptr<TDocument>& aDocument) {
  if (!aDocument) aDocument = std::make_unique<TDocument>();
  return *aDocument;
}

}  // namespace

std::string RewriteRequest(const std::string& aXml) {
  pugi::xml_document document;
  base::ParseXml(document, aXml);
  const tRequestRoot request = CheckedRequestRoot(document);
  base::SetElementText(base::FindChild(request.root, "Driver"), request.processorName);
  RemoveConnections(request.root);
  AppendFixedConnection(request.root);
  return base::RenderXml(document);
}

kFiscalProcessorHandler::kFiscalProcessorHandler() = default;

kFiscalProcessorHandler::~kFiscalProcessorHandler() {
  fReceipt.reset();
  fNFReceipt.reset();
  fCustomerDisplay.reset();
  fDrawer.reset();
  fEJReport.reset();
  fVATTable.reset();
  fDeptTable.reset();
  fEATable.reset();
  fPaymentReceipt.reset();
  fReceiptReference.reset();
  fEJFilesRequest.reset();
  fZreport.reset();
}

void kFiscalProcessorHandler::Deserialize(const std::string& aXml,
                                          qvReceiptHandlerDocumentTypes aDocumentTypes) {
  Connection().SetConnectTimeOut(1000);
  fXmlString = aXml;
  base::ParseXml(fRequest, aXml);
  const tRequestRoot request = CheckedRequestRoot(fRequest);
  // Read as the request with the processor name as its Driver and the fixed connection in
  // place of its own would be, without changing the request itself.
  ReadDeviceValues(request.root);
  SetDriver(request.processorName);
  ReadConnection(FixedConnection());
  ReadParameterList(request.root);
  fTillSerial = GetParameter("FPTillSerial");
  ReadDocuments(aDocumentTypes);
}

void kFiscalProcessorHandler::ReadDocuments(qvReceiptHandlerDocumentTypes aDocumentTypes) {
  if (aDocumentTypes.Contains(dt_Receipt)) Receipt().Deserialize(fRequest);
  if (aDocumentTypes.Contains(dt_NFReceipt)) NFReceipt().Deserialize(fRequest);
  if (aDocumentTypes.Contains(dt_Display)) CustomerDisplay().Deserialize(fRequest);
  if (aDocumentTypes.Contains(dt_Drawer)) Drawer().Deserialize(fRequest);
  if (aDocumentTypes.Contains(dt_EJReport)) EJReport().Deserialize(fRequest);
  if (aDocumentTypes.Contains(dt_VatTable)) VATTable().Deserialize(fRequest);
  // The Z-report request is read before the tables.
  if (aDocumentTypes.Contains(dt_ZReport)) ZReport().Deserialize(fRequest);
  if (aDocumentTypes.Contains(dt_DeptTable)) {
    EATable().Deserialize(fRequest);
    DeptTable().Deserialize(fRequest);
  }
  if (aDocumentTypes.Contains(dt_Pay)) PaymentReceipt().Deserialize(fRequest);
  if (aDocumentTypes.Contains(dt_ReceiptReference)) ReceiptReference().Deserialize(fRequest);
  if (aDocumentTypes.Contains(dt_EJFilesRequest)) EJFilesRequest().Deserialize(fRequest);
  // An X-report request carries no document.
}

documents::kReceipt& kFiscalProcessorHandler::Receipt() const { return Made(fReceipt); }
documents::kNFReceipt& kFiscalProcessorHandler::NFReceipt() const { return Made(fNFReceipt); }
documents::kCustomerDisplay& kFiscalProcessorHandler::CustomerDisplay() const {
  return Made(fCustomerDisplay);
}
documents::kDrawer& kFiscalProcessorHandler::Drawer() const { return Made(fDrawer); }
documents::kEJReport& kFiscalProcessorHandler::EJReport() const { return Made(fEJReport); }
documents::kVatTable& kFiscalProcessorHandler::VATTable() const { return Made(fVATTable); }
documents::kDeptTable& kFiscalProcessorHandler::DeptTable() const { return Made(fDeptTable); }
documents::kEconomicActivityTable& kFiscalProcessorHandler::EATable() const {
  return Made(fEATable);
}
documents::kPaymentReceipt& kFiscalProcessorHandler::PaymentReceipt() const {
  return Made(fPaymentReceipt);
}
documents::kReceiptReference& kFiscalProcessorHandler::ReceiptReference() const {
  return Made(fReceiptReference);
}
documents::kEJFilesRequest& kFiscalProcessorHandler::EJFilesRequest() const {
  return Made(fEJFilesRequest);
}
documents::kZReport& kFiscalProcessorHandler::ZReport() const { return Made(fZreport); }

}  // namespace qv::framework

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

}  // namespace

std::string RewriteRequest(const std::string& aXml) {
  pugi::xml_document document;
  base::ParseXml(document, aXml);
  pugi::xml_node root = document.document_element();
  if (!root) throw Error("Parameters node not found");
  const std::string processorName = ProcessorName(root);
  base::SetElementText(RequiredChild(root, "Driver"), processorName);
  RemoveConnections(root);
  AppendFixedConnection(root);
  return base::RenderXml(document);
}

kFiscalProcessorHandler::kFiscalProcessorHandler()
    : fReceipt(std::make_unique<documents::kReceipt>()),
      fNFReceipt(std::make_unique<documents::kNFReceipt>()),
      fCustomerDisplay(std::make_unique<documents::kCustomerDisplay>()),
      fDrawer(std::make_unique<documents::kDrawer>()),
      fEJReport(std::make_unique<documents::kEJReport>()),
      fVATTable(std::make_unique<documents::kVatTable>()),
      fDeptTable(std::make_unique<documents::kDeptTable>()),
      fEATable(std::make_unique<documents::kEconomicActivityTable>()),
      fPaymentReceipt(std::make_unique<documents::kPaymentReceipt>()),
      fReceiptReference(std::make_unique<documents::kReceiptReference>()),
      fEJFilesRequest(std::make_unique<documents::kEJFilesRequest>()),
      fZreport(std::make_unique<documents::kZReport>()) {}

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
  const std::string deviceXml = RewriteRequest(aXml);
  std::unique_ptr<pugi::xml_document> request = kDeviceHandler::Deserialize(deviceXml);
  fTillSerial = GetParameter("FPTillSerial");
  ReadDocuments(*request, aDocumentTypes);
}

void kFiscalProcessorHandler::ReadDocuments(const pugi::xml_document& aRequest,
                                            qvReceiptHandlerDocumentTypes aDocumentTypes) {
  if (aDocumentTypes.Contains(dt_Receipt)) fReceipt->Deserialize(aRequest);
  if (aDocumentTypes.Contains(dt_NFReceipt)) fNFReceipt->Deserialize(aRequest);
  if (aDocumentTypes.Contains(dt_Display)) fCustomerDisplay->Deserialize(aRequest);
  if (aDocumentTypes.Contains(dt_Drawer)) fDrawer->Deserialize(aRequest);
  if (aDocumentTypes.Contains(dt_EJReport)) fEJReport->Deserialize(aRequest);
  if (aDocumentTypes.Contains(dt_VatTable)) fVATTable->Deserialize(aRequest);
  // The Z-report request is read before the tables.
  if (aDocumentTypes.Contains(dt_ZReport)) fZreport->Deserialize(aRequest);
  if (aDocumentTypes.Contains(dt_DeptTable)) {
    fEATable->Deserialize(aRequest);
    fDeptTable->Deserialize(aRequest);
  }
  if (aDocumentTypes.Contains(dt_Pay)) fPaymentReceipt->Deserialize(aRequest);
  if (aDocumentTypes.Contains(dt_ReceiptReference)) fReceiptReference->Deserialize(aRequest);
  if (aDocumentTypes.Contains(dt_EJFilesRequest)) fEJFilesRequest->Deserialize(aRequest);
  // An X-report request carries no document.
}

}  // namespace qv::framework

// Reading a Receipt element of a request into the receipt object. The reader takes only the
// element names it knows; everything else in the element is left for the receipt-printer
// driver, which works on the request text itself. The first failure ends the reading.
#include <string_view>

#include "base/xml_utils.h"
#include "documents/receipt.h"
#include "platform/error.h"

namespace qv::documents {

using U = krptUtil;

// The reading steps of kReceipt::Deserialize; a friend of the line classes whose values come
// from the document only.
class kReceiptReader {
 public:
  static pugi::xml_node FindReceiptElement(const pugi::xml_document& aXmlDocument);
  static void ReadHeader(const pugi::xml_node& aNode, kReceipt& aReceipt);
  static void ReadOriginalReceipt(const pugi::xml_node& aNode, qvOriginalReceipt& aOriginal);
  static void ReadHeaders(const pugi::xml_node& aNode, std::vector<std::string>& aHeaders);
  static void ReadLines(const pugi::xml_node& aNode, kReceipt& aReceipt);
  static void ReadTaxes(const pugi::xml_node& aNode, kReceipt& aReceipt);
  static void ReadPayments(const pugi::xml_node& aNode, kReceipt& aReceipt);
  static void ReadMessageLines(const pugi::xml_node& aNode, kReceipt& aReceipt,
                               kReceiptMessageLines& aList);

 private:
  static void ReadLineValues(const pugi::xml_node& aNode, kReceiptLine& aLine);
  static void ReadProductSale(const pugi::xml_node& aNode, kReceiptLineProductSale& aLine);
  static void ReadWeightedProductSale(const pugi::xml_node& aNode,
                                      kReceiptLineWeightedProductSale& aLine);
  static void ReadCollectAmount(const pugi::xml_node& aNode, kReceiptLineCollectAmount& aLine);
  static std::unique_ptr<kReceiptMessageLine> ReadMessageLine(const pugi::xml_node& aNode,
                                                              kReceipt& aReceipt);
};

namespace {

bool IsNamed(const pugi::xml_node& aNode, std::string_view aName) {
  return aNode.type() == pugi::node_element && aName == aNode.name();
}

// Code, description, department, tax code and price: the values shared by the voucher and
// gift-card lines.
template <class TLine>
void ReadPricedItem(const pugi::xml_node& aNode, TLine& aLine) {
  aLine.SetCode(U::GetNodeValueAsString(aNode, "Code"));
  aLine.SetDescription(U::GetNodeValueAsString(aNode, "Description"));
  aLine.SetDepartment(U::GetNodeValueAsString(aNode, "Department"));
  aLine.SetTaxCode(U::GetNodeValueAsString(aNode, "TaxCode"));
  aLine.SetPrice(U::GetNodeValueAsCurrency(aNode, "Price"));
}

template <class TLine>
void ReadAmountAdjustment(const pugi::xml_node& aNode, TLine& aLine) {
  aLine.SetAmount(U::GetNodeValueAsCurrency(aNode, "Amount"));
  aLine.SetDescription(U::GetNodeValueAsString(aNode, "Description"));
}

template <class TLine>
void ReadPercentageAdjustment(const pugi::xml_node& aNode, TLine& aLine) {
  aLine.SetPercentage(U::GetNodeValueAsCurrency(aNode, "Percentage"));
  aLine.SetAmount(U::GetNodeValueAsCurrency(aNode, "Amount"));
  aLine.SetDescription(U::GetNodeValueAsString(aNode, "Description"));
}

}  // namespace

pugi::xml_node kReceiptReader::FindReceiptElement(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node root = aXmlDocument.document_element();
  if (IsNamed(root, "Receipt")) return root;
  return root ? base::FindChild(root, "Receipt") : pugi::xml_node();
}

void kReceiptReader::ReadHeader(const pugi::xml_node& aNode, kReceipt& aReceipt) {
  const std::string layout = U::GetNodeValueAsString(aNode, "Layout");
  aReceipt.SetDefaultLayout(layout.empty());
  aReceipt.SetLayout(layout.empty() ? std::string("DocumentLayout") : layout);
  // Without its own business date the receipt belongs to the day of its date-time.
  aReceipt.SetBusinessDate(U::HasNode(aNode, "BusinessDate")
                               ? U::GetNodeValueAsDateTime(aNode, "BusinessDate")
                               : U::GetNodeValueAsDateTime(aNode, "DateTime"));

  aReceipt.SetReceiptType(U::DecodeReceiptType(U::GetNodeValueAsString(aNode, "Type")));
  aReceipt.SetReceiptSubtype(U::GetNodeValueAsString(aNode, "SubType"));
  aReceipt.SetReceiptTypeDescription(U::GetNodeValueAsString(aNode, "ReceiptTypeDescription"));
  aReceipt.SetExternalReference(U::GetNodeValueAsString(aNode, "ExternalReference"));
  aReceipt.SetStoreCode(U::GetNodeValueAsString(aNode, "StoreCode"));
  aReceipt.SetStoreAddress(U::GetNodeValueAsString(aNode, "StoreAddress"));
  aReceipt.SetStoreZipCode(U::GetNodeValueAsString(aNode, "StoreZipCode"));
  aReceipt.SetStoreCity(U::GetNodeValueAsString(aNode, "StoreCity"));
  aReceipt.SetTillCode(U::GetNodeValueAsString(aNode, "TillCode"));
  aReceipt.SetReceiptNumber(U::GetNodeValueAsString(aNode, "Number"));
  aReceipt.SetReceiptDateTime(U::GetNodeValueAsDateTime(aNode, "DateTime"));
  aReceipt.SetReceiptZReportNumber(U::GetNodeValueAsString(aNode, "ZReportNumber"));
  aReceipt.SetDeviceSerialNumber(U::GetNodeValueAsString(aNode, "DeviceSerialNumber"));
  aReceipt.SetInvoiceNumber(U::GetNodeValueAsString(aNode, "InvoiceNumber"));
  aReceipt.SetInvoiceDateTime(U::GetNodeValueAsDateTime(aNode, "InvoiceDateTime"));
  aReceipt.SetTotalAmount(U::GetNodeValueAsCurrency(aNode, "TotalAmount"));
  aReceipt.SetTipAmount(U::GetNodeValueAsCurrency(aNode, "TipAmount"));
  aReceipt.SetCountryCode(U::GetNodeValueAsString(aNode, "CountryCode"));
  aReceipt.SetFiscalAreaCode(U::GetNodeValueAsString(aNode, "FiscalAreaCode"));
  aReceipt.SetCompanyCode(U::GetNodeValueAsString(aNode, "CompanyCode"));
  aReceipt.SetCompanyTaxCode(U::GetNodeValueAsString(aNode, "CompanyTaxCode"));
  aReceipt.SetOperatorCode(U::GetNodeValueAsString(aNode, "OperatorCode"));
  aReceipt.SetReceiptBarcode(U::GetNodeValueAsString(aNode, "ReceiptBarcode"));
  aReceipt.SetCurrencyCode(U::GetNodeValueAsString(aNode, "CurrencyCode"));
  aReceipt.SetCustomerCode(U::GetNodeValueAsString(aNode, "CustomerCode"));
  aReceipt.SetCustomerCard(U::GetNodeValueAsString(aNode, "CustomerCard"));
  aReceipt.SetCustomerBusinessName(U::GetNodeValueAsString(aNode, "CustomerBusinessName"));
  aReceipt.SetCustomerName(U::GetNodeValueAsString(aNode, "CustomerName"));
  aReceipt.SetCustomerSurname(U::GetNodeValueAsString(aNode, "CustomerSurname"));
  aReceipt.SetCustomerAddress(U::GetNodeValueAsString(aNode, "CustomerAddress"));
  // Tills send the postal code under either spelling; the upper-case one wins when it has text.
  std::string zipCode = U::GetNodeValueAsString(aNode, "CustomerZIPCode");
  if (zipCode.empty()) zipCode = U::GetNodeValueAsString(aNode, "CustomerZipCode");
  aReceipt.SetCustomerZipCode(std::move(zipCode));
  aReceipt.SetCustomerCity(U::GetNodeValueAsString(aNode, "CustomerCity"));
  aReceipt.SetCustomerProvince(U::GetNodeValueAsString(aNode, "CustomerProvince"));
  aReceipt.SetCustomerCountry(U::GetNodeValueAsString(aNode, "CustomerCountry"));
  aReceipt.SetCustomerCountryDescription(
      U::GetNodeValueAsString(aNode, "CustomerCountryDescription"));
  aReceipt.SetCustomerTaxCode(U::GetNodeValueAsString(aNode, "CustomerTaxCode"));
  aReceipt.SetCustomerFiscalCode(U::GetNodeValueAsString(aNode, "CustomerFiscalCode"));
  aReceipt.SetCustomerIdNumber(U::GetNodeValueAsString(aNode, "CustomerIdNumber"));
  aReceipt.SetCustomerDateOfBirth(U::GetNodeValueAsDateTime(aNode, "CustomerDateOfBirth"));
  aReceipt.SetLotteryIdCode(U::GetNodeValueAsString(aNode, "LotteryIdCode"));
  aReceipt.SetToBeInvoiced(U::GetNodeValueAsBoolean(aNode, "ToBeInvoiced", false));
  aReceipt.SetSendByEmail(U::GetNodeValueAsBoolean(aNode, "SendByEmail", false));
  aReceipt.SetEmailReference(U::GetNodeValueAsString(aNode, "EmailReference"));
  aReceipt.SetEmailRecipients(U::GetNodeValueAsString(aNode, "EmailRecipients"));
  aReceipt.SetPrintReceipt(U::GetNodeValueAsBoolean(aNode, "PrintReceipt", true));
}

void kReceiptReader::ReadOriginalReceipt(const pugi::xml_node& aNode,
                                         qvOriginalReceipt& aOriginal) {
  aOriginal.ReceiptDateTime = U::GetNodeValueAsDateTime(aNode, "ReceiptDateTime");
  aOriginal.ReceiptNumber = U::GetNodeValueAsString(aNode, "ReceiptNumber");
  aOriginal.DeviceSerialNumber = U::GetNodeValueAsString(aNode, "DeviceSerialNumber");
  aOriginal.ServerSerialNumber = U::GetNodeValueAsString(aNode, "ServerSerialNumber");
  aOriginal.EJNumber = U::GetNodeValueAsString(aNode, "EJNumber");
  aOriginal.EJClosingNumber = U::GetNodeValueAsString(aNode, "EJClosingNumber");
  aOriginal.ExcludeFPCheck = U::GetNodeValueAsBoolean(aNode, "ExcludeFPCheck", false);
  aOriginal.ReferenceType = U::DecodeReferenceType(U::GetNodeValueAsString(aNode, "ReferenceType"));
  aOriginal.InvoiceNumber = U::GetNodeValueAsString(aNode, "InvoiceNumber");
  aOriginal.InvoiceDateTime = U::GetNodeValueAsDateTime(aNode, "InvoiceDateTime");
}

void kReceiptReader::ReadHeaders(const pugi::xml_node& aNode, std::vector<std::string>& aHeaders) {
  for (const pugi::xml_node& child : aNode.children()) {
    if (child.type() == pugi::node_element) aHeaders.push_back(base::ElementText(child));
  }
}

void kReceiptReader::ReadProductSale(const pugi::xml_node& aNode, kReceiptLineProductSale& aLine) {
  aLine.SetCode(U::GetNodeValueAsString(aNode, "Code"));
  aLine.SetDescription(U::GetNodeValueAsString(aNode, "Description"));
  aLine.SetQuantity(U::GetNodeValueAsCurrency(aNode, "Quantity"));
  aLine.SetUOM(U::GetNodeValueAsString(aNode, "UOM"));
  aLine.SetDepartment(U::GetNodeValueAsString(aNode, "Department"));
  aLine.SetTaxCode(U::GetNodeValueAsString(aNode, "TaxCode"));
  aLine.SetPrice(U::GetNodeValueAsCurrency(aNode, "Price"));
  aLine.SetAmount(U::GetNodeValueAsCurrency(aNode, "Amount"));
}

void kReceiptReader::ReadWeightedProductSale(const pugi::xml_node& aNode,
                                             kReceiptLineWeightedProductSale& aLine) {
  ReadProductSale(aNode, aLine);
  aLine.fTare = U::GetNodeValueAsCurrency(aNode, "Tare");
}

void kReceiptReader::ReadCollectAmount(const pugi::xml_node& aNode,
                                       kReceiptLineCollectAmount& aLine) {
  aLine.fDescription = U::GetNodeValueAsString(aNode, "Description");
  aLine.fDepartment = U::GetNodeValueAsString(aNode, "Department");
  aLine.fTaxCode = U::GetNodeValueAsString(aNode, "TaxCode");
  aLine.fAmount = U::GetNodeValueAsCurrency(aNode, "Amount");
}

// The values of one body line, by its type (the class always matches the type).
void kReceiptReader::ReadLineValues(const pugi::xml_node& aNode, kReceiptLine& aLine) {
  switch (aLine.LineType()) {
    case rlt_ProductSale:
    case rlt_ProductReturn: {
      auto& line = static_cast<kReceiptLineProductSale&>(aLine);
      ReadProductSale(aNode, line);
      line.SetFreeOfCharge(U::GetNodeValueAsBoolean(aNode, "FreeOfCharge", false));
      line.SetAttribute(U::DecodeLineAttribute(U::GetNodeValueAsString(aNode, "Attribute")));
      break;
    }
    case rlt_WeightedProductSale: {
      auto& line = static_cast<kReceiptLineWeightedProductSale&>(aLine);
      ReadWeightedProductSale(aNode, line);
      line.SetFreeOfCharge(U::GetNodeValueAsBoolean(aNode, "FreeOfCharge", false));
      line.SetAttribute(U::DecodeLineAttribute(U::GetNodeValueAsString(aNode, "Attribute")));
      break;
    }
    case rlt_VoucherSale: {
      auto& line = static_cast<kReceiptLineVoucherSale&>(aLine);
      ReadPricedItem(aNode, line);
      line.SetFreeOfCharge(U::GetNodeValueAsBoolean(aNode, "FreeOfCharge", false));
      break;
    }
    case rlt_VoucherRedeem:
      // A redeemed voucher is never free of charge.
      ReadPricedItem(aNode, static_cast<kReceiptLineVoucherSale&>(aLine));
      break;
    case rlt_GiftCardSale: {
      auto& line = static_cast<kReceiptLineGiftCardSale&>(aLine);
      ReadPricedItem(aNode, line);
      line.SetFreeOfCharge(U::GetNodeValueAsBoolean(aNode, "FreeOfCharge", false));
      break;
    }
    case rlt_GiftCardRedeem:
      ReadPricedItem(aNode, static_cast<kReceiptLineGiftCardSale&>(aLine));
      break;
    case rlt_SubTotal:
      static_cast<kReceiptLineSubtotal&>(aLine).SetAmount(
          U::GetNodeValueAsCurrency(aNode, "Amount"));
      break;
    case rlt_Text:
      static_cast<kReceiptLineText&>(aLine).SetDescription(
          U::GetNodeValueAsString(aNode, "Description"));
      break;
    case rlt_DiscountAmount:
    case rlt_DiscountAmountOnSubtotal:
    case rlt_MarkupAmount:
    case rlt_MarkupAmountOnSubtotal:
      ReadAmountAdjustment(aNode, static_cast<kReceiptLineDiscountAmount&>(aLine));
      break;
    case rlt_DiscountPercentage:
    case rlt_DiscountPercentageOnSubTotal:
    case rlt_MarkupPercentage:
    case rlt_MarkupPercentageOnSubTotal:
      ReadPercentageAdjustment(aNode, static_cast<kReceiptLineDiscountPercentage&>(aLine));
      break;
    case rlt_CollectAmount:
      ReadCollectAmount(aNode, static_cast<kReceiptLineCollectAmount&>(aLine));
      break;
  }
}

void kReceiptReader::ReadLines(const pugi::xml_node& aNode, kReceipt& aReceipt) {
  for (const pugi::xml_node& child : aNode.children()) {
    if (child.type() != pugi::node_element) continue;
    // The element name is the line type, in any letter case.
    const qvReceiptLineType type = U::DecodeLineType(child.name());
    std::unique_ptr<kReceiptLine> line = CreateReceiptLine(&aReceipt, type);
    ReadLineValues(child, *line);
    aReceipt.Lines().Add(std::move(line));
  }
}

void kReceiptReader::ReadTaxes(const pugi::xml_node& aNode, kReceipt& aReceipt) {
  for (const pugi::xml_node& child : aNode.children()) {
    if (!IsNamed(child, "Tax")) continue;
    auto tax = std::make_unique<kReceiptTaxLine>(&aReceipt);
    tax->SetTaxType(U::DecodeTaxType(U::GetNodeValueAsString(child, "Type")));
    tax->SetTaxCode(U::GetNodeValueAsString(child, "Code"));
    tax->SetTaxDescription(U::GetNodeValueAsString(child, "Description"));
    tax->SetTaxRate(U::GetNodeValueAsCurrency(child, "Rate"));
    tax->SetTaxableAmount(U::GetNodeValueAsCurrency(child, "TaxableAmount"));
    tax->SetTaxAmount(U::GetNodeValueAsCurrency(child, "TaxAmount"));
    tax->SetTotalAmount(U::GetNodeValueAsCurrency(child, "TotalAmount"));
    aReceipt.Taxes().Add(std::move(tax));
  }
}

void kReceiptReader::ReadPayments(const pugi::xml_node& aNode, kReceipt& aReceipt) {
  for (const pugi::xml_node& child : aNode.children()) {
    if (!IsNamed(child, "Payment")) continue;
    auto payment = std::make_unique<kReceiptPaymentLine>(&aReceipt);
    payment->SetPaymentType(U::DecodePaymentType(U::GetNodeValueAsString(child, "Type")));
    payment->SetDescription(U::GetNodeValueAsString(child, "Description"));
    payment->SetAmount(U::GetNodeValueAsCurrency(child, "Amount"));
    payment->SetPaymentCurrency(U::GetNodeValueAsString(child, "Currency"));
    payment->SetQuantity(U::GetNodeValueAsCurrency(child, "Quantity"));
    payment->SetUnitPrice(U::GetNodeValueAsCurrency(child, "UnitPrice"));
    aReceipt.PaymentLines().Add(std::move(payment));
  }
}

// One Text, Barcode or Image child; null for any other element. The section is not in the
// document: the list the line goes into tells leader from trailer.
std::unique_ptr<kReceiptMessageLine> kReceiptReader::ReadMessageLine(const pugi::xml_node& aNode,
                                                                     kReceipt& aReceipt) {
  if (IsNamed(aNode, "Barcode")) {
    auto line = std::make_unique<kReceiptMessageBarcodeLine>(&aReceipt);
    line->SetValue(U::GetNodeValueAsString(aNode, "Value"));
    line->SetBarcodeType(U::DecodeBarcodeType(U::GetNodeValueAsString(aNode, "Type")));
    line->SetHRI(U::GetNodeValueAsBoolean(aNode, "HRI", true));
    const int32_t minVersion = U::GetNodeValueAsInteger(aNode, "QRCodeMinVersion");
    line->SetQRCodeMinVersion(minVersion < 2 ? 1 : minVersion);
    return line;
  }
  if (IsNamed(aNode, "Text")) {
    auto line = std::make_unique<kReceiptMessageTextLine>(&aReceipt);
    line->SetValue(U::GetNodeValueAsString(aNode, "Value"));
    line->SetSize(U::GetNodeValueAsInteger(aNode, "Size"));
    line->SetAlignment(U::DecodeAlignment(U::GetNodeValueAsString(aNode, "Alignment")));
    return line;
  }
  if (IsNamed(aNode, "Image")) {
    auto line = std::make_unique<kReceiptMessageImageLine>(&aReceipt);
    line->SetAlignment(U::DecodeAlignment(U::GetNodeValueAsString(aNode, "Alignment")));
    return line;
  }
  return nullptr;
}

void kReceiptReader::ReadMessageLines(const pugi::xml_node& aNode, kReceipt& aReceipt,
                                      kReceiptMessageLines& aList) {
  for (const pugi::xml_node& child : aNode.children()) {
    if (std::unique_ptr<kReceiptMessageLine> line = ReadMessageLine(child, aReceipt)) {
      aList.Add(std::move(line));
    }
  }
}

void kReceipt::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node receipt = kReceiptReader::FindReceiptElement(aXmlDocument);
  if (!receipt) throw qv::Error("Receipt node not found");

  kReceiptReader::ReadHeader(receipt, *this);

  const pugi::xml_node original =
      base::FindChild(base::FindChild(receipt, "References"), "OriginalReceipt");
  if (original) kReceiptReader::ReadOriginalReceipt(original, fOriginalReceipt);

  if (const pugi::xml_node headers = base::FindChild(receipt, "Headers")) {
    kReceiptReader::ReadHeaders(headers, fHeaders);
  }

  const pugi::xml_node lines = base::FindChild(receipt, "Lines");
  if (!lines) throw qv::Error("Unable to find Lines node ");
  kReceiptReader::ReadLines(lines, *this);

  const pugi::xml_node taxes = base::FindChild(receipt, "Taxes");
  if (!taxes) throw qv::Error("Unable to find Taxes node ");
  kReceiptReader::ReadTaxes(taxes, *this);

  const pugi::xml_node payments = base::FindChild(receipt, "Payments");
  if (!payments) throw qv::Error("Unable to find Payments node ");
  kReceiptReader::ReadPayments(payments, *this);

  if (const pugi::xml_node trailer = base::FindChild(receipt, "TrailerMessages")) {
    kReceiptReader::ReadMessageLines(trailer, *this, fTrailerMessages);
  }
  if (const pugi::xml_node leader = base::FindChild(receipt, "LeaderLines")) {
    kReceiptReader::ReadMessageLines(leader, *this, fLeaderLines);
  }
}

}  // namespace qv::documents

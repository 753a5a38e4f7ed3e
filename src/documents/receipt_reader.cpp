// Reading a Receipt element of a request into the receipt object. The reader takes only the
// element names it knows; everything else in the element is left for the receipt-printer
// driver, which works on the request text itself. The first failure ends the reading.
#include <array>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "base/utils.h"
#include "base/xml_utils.h"
#include "documents/receipt.h"
#include "platform/error.h"

namespace qv::documents {

using U = krptUtil;

namespace {

bool IsNamed(const pugi::xml_node& aNode, std::string_view aName) {
  return aNode.type() == pugi::node_element && aName == aNode.name();
}

// The values of one element (a body line, a tax, a payment, a message line), read exactly as
// the krptUtil accessors read them: the first child of each name counts, a missing child gives
// the default, a text that does not convert fails with the accessor's own message. The
// children are looked up in one pass instead of one scan per value, which keeps a receipt of
// a thousand lines quick to read.
class FieldReader {
 public:
  FieldReader(const pugi::xml_node& aParent, std::initializer_list<std::string_view> aNames)
      : fParent(aParent) {
    for (std::string_view name : aNames) {
      if (fCount < fSlots.size()) fSlots[fCount++].SetName(name);
    }
    // Tills write the values in the usual order, so the search starts after the last match.
    std::size_t missing = fCount;
    std::size_t next = 0;
    for (pugi::xml_node child = aParent.first_child(); missing > 0; child = child.next_sibling()) {
      // Only elements have names; the end of the list has the empty name too.
      const char* name = child.name();
      if (*name == '\0') {
        if (!child) break;
        continue;
      }
      for (std::size_t tried = 0, i = next; tried < fCount; ++tried, i = Following(i)) {
        if (!fSlots[i].node.has_value() && base::NameIs(name, fSlots[i].Name())) {
          fSlots[i].node = child;
          --missing;
          next = Following(i);
          break;
        }
      }
    }
  }

  std::string Text(std::string_view aName) const {
    const pugi::xml_node node = Find(aName);
    if (const char* text = SingleText(node)) return std::string(text);
    return base::ElementText(node);
  }
  Currency Amount(std::string_view aName) const {
    const pugi::xml_node node = Find(aName);
    Currency value;
    if (const char* text = SingleText(node)) {
      if (*text == '\0' || base::TryCStringToCurrency(text, value)) return value;
    } else {
      const std::string composed = base::ElementText(node);
      if (composed.empty() || base::TryStrToCurrency(composed, value)) return value;
    }
    return U::GetNodeValueAsCurrency(fParent, aName);  // fails with the accessor's message
  }
  bool Flag(std::string_view aName, bool aDefault) const {
    // Booleans are rare in a line: the accessor itself is quick enough.
    return Has(aName) ? U::GetNodeValueAsBoolean(fParent, aName, aDefault) : aDefault;
  }

 private:
  // The node stays unset until found: a node's own constructor and tests are calls into the
  // XML library, too many for a thousand lines.
  // Only the slots named by the reads are filled: the names are not cleared beforehand.
  struct Slot {
    std::string_view Name() const { return {nameData, nameSize}; }
    void SetName(std::string_view aName) {
      nameData = aName.data();
      nameSize = aName.size();
    }
    const char* nameData;
    std::size_t nameSize;
    std::optional<pugi::xml_node> node;
  };
  static pugi::xml_node NodeOf(const Slot& aSlot) {
    return aSlot.node.has_value() ? *aSlot.node : pugi::xml_node();
  }

  // The text of aNode as the parser keeps it (not copied, NUL-terminated) when it is missing,
  // empty or one text, the usual case; null when the text has to be composed.
  static const char* SingleText(const pugi::xml_node& aNode) {
    const char* own = aNode.value();  // the first text, kept in the element itself
    const pugi::xml_node first = aNode.first_child();
    if (!first) return own;
    if (*own != '\0') return nullptr;
    const pugi::xml_node_type type = first.type();
    if ((type != pugi::node_pcdata && type != pugi::node_cdata) || first.next_sibling()) {
      return nullptr;
    }
    return first.value();
  }

  // The slot after aIndex, round to the first (no division: this runs for every value).
  std::size_t Following(std::size_t aIndex) const { return aIndex + 1 == fCount ? 0 : aIndex + 1; }

  // Whether the line has a child named aName, without a call into the XML library when the
  // name was announced.
  bool Has(std::string_view aName) const {
    for (std::size_t i = 0; i < fCount; ++i) {
      if (fSlots[i].Name() == aName) return fSlots[i].node.has_value();
    }
    return static_cast<bool>(base::FindChild(fParent, aName));
  }

  pugi::xml_node Find(std::string_view aName) const {
    // The reads name their values with the same literals as the constructor, mostly in the
    // same order: the slot after the last read is tried first.
    if (fNextRead < fCount && fSlots[fNextRead].nameData == aName.data()) {
      const Slot& slot = fSlots[fNextRead];
      fNextRead = Following(fNextRead);
      return NodeOf(slot);
    }
    for (std::size_t i = 0; i < fCount; ++i) {
      if (fSlots[i].nameData == aName.data()) return NodeOf(fSlots[i]);
    }
    for (std::size_t i = 0; i < fCount; ++i) {
      if (fSlots[i].Name() == aName) return NodeOf(fSlots[i]);
    }
    return base::FindChild(fParent, aName);  // a name the reader did not announce
  }

  pugi::xml_node fParent;
  std::array<Slot, 11> fSlots;
  std::size_t fCount = 0;
  mutable std::size_t fNextRead = 0;
};

// Code, description, department, tax code and price: the values shared by the voucher and
// gift-card lines.
template <class TLine>
void ReadPricedItem(const FieldReader& aFields, TLine& aLine) {
  aLine.SetCode(aFields.Text("Code"));
  aLine.SetDescription(aFields.Text("Description"));
  aLine.SetDepartment(aFields.Text("Department"));
  aLine.SetTaxCode(aFields.Text("TaxCode"));
  aLine.SetPrice(aFields.Amount("Price"));
}

template <class TLine>
void ReadAmountAdjustment(const FieldReader& aFields, TLine& aLine) {
  aLine.SetAmount(aFields.Amount("Amount"));
  aLine.SetDescription(aFields.Text("Description"));
}

template <class TLine>
void ReadPercentageAdjustment(const FieldReader& aFields, TLine& aLine) {
  aLine.SetPercentage(aFields.Amount("Percentage"));
  aLine.SetAmount(aFields.Amount("Amount"));
  aLine.SetDescription(aFields.Text("Description"));
}

}  // namespace

// The reading steps of kReceipt::Deserialize; a friend of the line classes whose values come
// from the document only.
class kReceiptReader {
 public:
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
  static void ReadCollectAmount(const pugi::xml_node& aNode, kReceiptLineCollectAmount& aLine);
  static std::unique_ptr<kReceiptMessageLine> ReadMessageLine(const pugi::xml_node& aNode,
                                                              kReceipt& aReceipt);
};

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

// Product sales, returns and weighted sales; the weighted sale has its tare after the amount.
void kReceiptReader::ReadProductSale(const pugi::xml_node& aNode, kReceiptLineProductSale& aLine) {
  const FieldReader fields(
      aNode, {"Code", "Description", "Quantity", "UOM", "Department", "TaxCode", "Price", "Amount",
              "Tare", "FreeOfCharge", "Attribute"});
  aLine.SetCode(fields.Text("Code"));
  aLine.SetDescription(fields.Text("Description"));
  aLine.SetQuantity(fields.Amount("Quantity"));
  aLine.SetUOM(fields.Text("UOM"));
  aLine.SetDepartment(fields.Text("Department"));
  aLine.SetTaxCode(fields.Text("TaxCode"));
  aLine.SetPrice(fields.Amount("Price"));
  aLine.SetAmount(fields.Amount("Amount"));
  if (aLine.LineType() == rlt_WeightedProductSale) {
    static_cast<kReceiptLineWeightedProductSale&>(aLine).fTare = fields.Amount("Tare");
  }
  aLine.SetFreeOfCharge(fields.Flag("FreeOfCharge", false));
  aLine.SetAttribute(U::DecodeLineAttribute(fields.Text("Attribute")));
}

void kReceiptReader::ReadCollectAmount(const pugi::xml_node& aNode,
                                       kReceiptLineCollectAmount& aLine) {
  const FieldReader fields(aNode, {"Description", "Department", "TaxCode", "Amount"});
  aLine.fDescription = fields.Text("Description");
  aLine.fDepartment = fields.Text("Department");
  aLine.fTaxCode = fields.Text("TaxCode");
  aLine.fAmount = fields.Amount("Amount");
}

// The values of one body line, by its type (the class always matches the type).
void kReceiptReader::ReadLineValues(const pugi::xml_node& aNode, kReceiptLine& aLine) {
  switch (aLine.LineType()) {
    case rlt_ProductSale:
    case rlt_ProductReturn:
    case rlt_WeightedProductSale:
      ReadProductSale(aNode, static_cast<kReceiptLineProductSale&>(aLine));
      break;
    case rlt_VoucherSale: {
      const FieldReader fields(
          aNode, {"Code", "Description", "Department", "TaxCode", "Price", "FreeOfCharge"});
      auto& line = static_cast<kReceiptLineVoucherSale&>(aLine);
      ReadPricedItem(fields, line);
      line.SetFreeOfCharge(fields.Flag("FreeOfCharge", false));
      break;
    }
    case rlt_VoucherRedeem:
      // A redeemed voucher or gift card is never free of charge.
      ReadPricedItem(FieldReader(aNode, {"Code", "Description", "Department", "TaxCode", "Price"}),
                     static_cast<kReceiptLineVoucherSale&>(aLine));
      break;
    case rlt_GiftCardSale: {
      const FieldReader fields(
          aNode, {"Code", "Description", "Department", "TaxCode", "Price", "FreeOfCharge"});
      auto& line = static_cast<kReceiptLineGiftCardSale&>(aLine);
      ReadPricedItem(fields, line);
      line.SetFreeOfCharge(fields.Flag("FreeOfCharge", false));
      break;
    }
    case rlt_GiftCardRedeem:
      ReadPricedItem(FieldReader(aNode, {"Code", "Description", "Department", "TaxCode", "Price"}),
                     static_cast<kReceiptLineGiftCardSale&>(aLine));
      break;
    case rlt_SubTotal:
      static_cast<kReceiptLineSubtotal&>(aLine).SetAmount(
          FieldReader(aNode, {"Amount"}).Amount("Amount"));
      break;
    case rlt_Text:
      static_cast<kReceiptLineText&>(aLine).SetDescription(
          FieldReader(aNode, {"Description"}).Text("Description"));
      break;
    case rlt_DiscountAmount:
    case rlt_DiscountAmountOnSubtotal:
    case rlt_MarkupAmount:
    case rlt_MarkupAmountOnSubtotal:
      ReadAmountAdjustment(FieldReader(aNode, {"Amount", "Description"}),
                           static_cast<kReceiptLineDiscountAmount&>(aLine));
      break;
    case rlt_DiscountPercentage:
    case rlt_DiscountPercentageOnSubTotal:
    case rlt_MarkupPercentage:
    case rlt_MarkupPercentageOnSubTotal:
      ReadPercentageAdjustment(FieldReader(aNode, {"Percentage", "Amount", "Description"}),
                               static_cast<kReceiptLineDiscountPercentage&>(aLine));
      break;
    case rlt_CollectAmount:
      ReadCollectAmount(aNode, static_cast<kReceiptLineCollectAmount&>(aLine));
      break;
  }
}

void kReceiptReader::ReadLines(const pugi::xml_node& aNode, kReceipt& aReceipt) {
  for (pugi::xml_node child = aNode.first_child(); child; child = child.next_sibling()) {
    // The element name is the line type, in any letter case; other nodes have no name.
    const char* name = child.name();
    if (*name == '\0') continue;
    const qvReceiptLineType type = U::DecodeLineType(name);
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

pugi::xml_node FindReceiptElement(const pugi::xml_document& aDocument) {
  const pugi::xml_node root = aDocument.document_element();
  if (IsNamed(root, "Receipt")) return root;
  return root ? base::FindChild(root, "Receipt") : pugi::xml_node();
}

void kReceipt::Deserialize(const pugi::xml_document& aXmlDocument) {
  const pugi::xml_node receipt = FindReceiptElement(aXmlDocument);
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

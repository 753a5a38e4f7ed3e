// Writing a receipt object back as a complete Receipt document. Every header element is
// written, also when empty. Texts are written as stored (not reduced to plain ASCII).
//
// What the reader takes back differs in a few known places: the tax rate is written as
// TaxRate (the reader takes Rate), the line attribute as its ordinal (which the reader gives
// back as a service), the layout always with its name, FreeOfCharge also for redeemed gift
// cards, an unaligned text line with an empty Alignment (which the reader refuses), and image
// lines with their alignment only.
#include <sstream>
#include <string_view>

#include "base/utils.h"
#include "base/xml_utils.h"
#include "documents/receipt.h"

namespace qv::documents {
namespace {

using U = krptUtil;

// Appends child elements of the fixed text forms to one parent element.
class ElementWriter {
 public:
  explicit ElementWriter(pugi::xml_node aParent) : fParent(aParent) {}

  pugi::xml_node Parent() const { return fParent; }
  void Text(std::string_view aName, std::string_view aValue) { U::AddNode(fParent, aName, aValue); }
  void Amount(std::string_view aName, Currency aValue) {
    Text(aName, base::CurrencyToXmlText(aValue));
  }
  void Date(std::string_view aName, DateTime aValue) {
    Text(aName, base::DateTimeToXmlText(/*aWithMilliseconds=*/false, aValue));
  }
  void Flag(std::string_view aName, bool aValue) { Text(aName, base::BooleanToXmlText(aValue)); }
  void Integer(std::string_view aName, int64_t aValue) { Text(aName, std::to_string(aValue)); }
  ElementWriter Child(std::string_view aName) {
    return ElementWriter(U::AddNode(fParent, aName, ""));
  }

 private:
  pugi::xml_node fParent;
};

void WriteHeader(const kReceipt& aReceipt, ElementWriter& aOut) {
  aOut.Text("Layout", aReceipt.Layout());
  aOut.Date("BusinessDate", aReceipt.BusinessDate());
  aOut.Text("Type", U::EncodeReceiptType(aReceipt.ReceiptType()));
  aOut.Text("SubType", aReceipt.ReceiptSubtype());
  aOut.Text("ReceiptTypeDescription", aReceipt.ReceiptTypeDescription());
  aOut.Text("ExternalReference", aReceipt.ExternalReference());
  aOut.Text("StoreCode", aReceipt.StoreCode());
  aOut.Text("StoreAddress", aReceipt.StoreAddress());
  aOut.Text("StoreZipCode", aReceipt.StoreZipCode());
  aOut.Text("StoreCity", aReceipt.StoreCity());
  aOut.Text("TillCode", aReceipt.TillCode());
  aOut.Text("Number", aReceipt.ReceiptNumber());
  aOut.Date("DateTime", aReceipt.ReceiptDateTime());
  aOut.Text("ZReportNumber", aReceipt.ReceiptZReportNumber());
  aOut.Text("DeviceSerialNumber", aReceipt.DeviceSerialNumber());
  aOut.Text("InvoiceNumber", aReceipt.InvoiceNumber());
  aOut.Date("InvoiceDateTime", aReceipt.InvoiceDateTime());
  aOut.Amount("TotalAmount", aReceipt.TotalAmount());
  aOut.Amount("TipAmount", aReceipt.TipAmount());
  aOut.Text("CountryCode", aReceipt.CountryCode());
  aOut.Text("FiscalAreaCode", aReceipt.FiscalAreaCode());
  aOut.Text("CompanyCode", aReceipt.CompanyCode());
  aOut.Text("CompanyTaxCode", aReceipt.CompanyTaxCode());
  aOut.Text("OperatorCode", aReceipt.OperatorCode());
  aOut.Text("ReceiptBarcode", aReceipt.ReceiptBarcode());
  aOut.Text("CurrencyCode", aReceipt.CurrencyCode());
  aOut.Text("CustomerCode", aReceipt.CustomerCode());
  aOut.Text("CustomerCard", aReceipt.CustomerCard());
  aOut.Text("CustomerBusinessName", aReceipt.CustomerBusinessName());
  aOut.Text("CustomerName", aReceipt.CustomerName());
  aOut.Text("CustomerSurname", aReceipt.CustomerSurname());
  aOut.Text("CustomerAddress", aReceipt.CustomerAddress());
  aOut.Text("CustomerZIPCode", aReceipt.CustomerZipCode());
  aOut.Text("CustomerCity", aReceipt.CustomerCity());
  aOut.Text("CustomerProvince", aReceipt.CustomerProvince());
  aOut.Text("CustomerCountry", aReceipt.CustomerCountry());
  aOut.Text("CustomerCountryDescription", aReceipt.CustomerCountryDescription());
  aOut.Text("CustomerTaxCode", aReceipt.CustomerTaxCode());
  aOut.Text("CustomerFiscalCode", aReceipt.CustomerFiscalCode());
  aOut.Text("CustomerIdNumber", aReceipt.CustomerIdNumber());
  aOut.Date("CustomerDateOfBirth", aReceipt.CustomerDateOfBirth());
  aOut.Text("LotteryIdCode", aReceipt.LotteryIdCode());
  aOut.Flag("ToBeInvoiced", aReceipt.ToBeInvoiced());
  aOut.Flag("SendByEmail", aReceipt.SendByEmail());
  aOut.Text("EmailReference", aReceipt.EmailReference());
  aOut.Text("EmailRecipients", aReceipt.EmailRecipients());
  aOut.Flag("PrintReceipt", aReceipt.PrintReceipt());
}

void WriteOriginalReceipt(const qvOriginalReceipt& aOriginal, ElementWriter aOut) {
  aOut.Date("ReceiptDateTime", aOriginal.ReceiptDateTime);
  aOut.Text("ReceiptNumber", aOriginal.ReceiptNumber);
  aOut.Text("DeviceSerialNumber", aOriginal.DeviceSerialNumber);
  aOut.Text("ServerSerialNumber", aOriginal.ServerSerialNumber);
  aOut.Text("EJNumber", aOriginal.EJNumber);
  aOut.Text("EJClosingNumber", aOriginal.EJClosingNumber);
  aOut.Flag("ExcludeFPCheck", aOriginal.ExcludeFPCheck);
  aOut.Text("ReferenceType", U::EncodeReferenceType(aOriginal.ReferenceType));
  aOut.Text("InvoiceNumber", aOriginal.InvoiceNumber);
  aOut.Date("InvoiceDateTime", aOriginal.InvoiceDateTime);
}

void WriteProductSale(const kReceiptLineProductSale& aLine, ElementWriter& aOut) {
  aOut.Text("Code", aLine.Code());
  aOut.Text("Description", aLine.StoredDescription());
  aOut.Amount("Quantity", aLine.Quantity());
  aOut.Text("UOM", aLine.UOM());
  aOut.Text("Department", aLine.Department());
  aOut.Text("TaxCode", aLine.TaxCode());
  aOut.Amount("Price", aLine.Price());
  aOut.Amount("Amount", aLine.Amount());
  if (aLine.LineType() == rlt_WeightedProductSale) {
    aOut.Amount("Tare", static_cast<const kReceiptLineWeightedProductSale&>(aLine).Tare());
  }
  aOut.Flag("FreeOfCharge", aLine.FreeOfCharge());
  aOut.Integer("Attribute", static_cast<int>(aLine.Attribute()));
}

template <class TLine>
void WritePricedItem(const TLine& aLine, bool aWithFreeOfCharge, ElementWriter& aOut) {
  aOut.Text("Code", aLine.Code());
  aOut.Text("Description", aLine.StoredDescription());
  aOut.Text("Department", aLine.Department());
  aOut.Text("TaxCode", aLine.TaxCode());
  aOut.Amount("Price", aLine.Price());
  if (aWithFreeOfCharge) aOut.Flag("FreeOfCharge", aLine.FreeOfCharge());
}

void WriteLineValues(const kReceiptLine& aLine, ElementWriter& aOut) {
  switch (aLine.LineType()) {
    case rlt_ProductSale:
    case rlt_ProductReturn:
    case rlt_WeightedProductSale:
      WriteProductSale(static_cast<const kReceiptLineProductSale&>(aLine), aOut);
      break;
    case rlt_VoucherSale:
    case rlt_VoucherRedeem:
      WritePricedItem(static_cast<const kReceiptLineVoucherSale&>(aLine),
                      aLine.LineType() == rlt_VoucherSale, aOut);
      break;
    case rlt_GiftCardSale:
    case rlt_GiftCardRedeem:
      WritePricedItem(static_cast<const kReceiptLineGiftCardSale&>(aLine),
                      /*aWithFreeOfCharge=*/true, aOut);
      break;
    case rlt_SubTotal:
      aOut.Amount("Amount", static_cast<const kReceiptLineSubtotal&>(aLine).Amount());
      break;
    case rlt_Text:
      aOut.Text("Description", static_cast<const kReceiptLineText&>(aLine).StoredDescription());
      break;
    case rlt_DiscountAmount:
    case rlt_DiscountAmountOnSubtotal:
    case rlt_MarkupAmount:
    case rlt_MarkupAmountOnSubtotal: {
      const auto& line = static_cast<const kReceiptLineDiscountAmount&>(aLine);
      aOut.Amount("Amount", line.Amount());
      aOut.Text("Description", line.StoredDescription());
      break;
    }
    case rlt_DiscountPercentage:
    case rlt_DiscountPercentageOnSubTotal:
    case rlt_MarkupPercentage:
    case rlt_MarkupPercentageOnSubTotal: {
      const auto& line = static_cast<const kReceiptLineDiscountPercentage&>(aLine);
      aOut.Amount("Percentage", line.Percentage());
      aOut.Amount("Amount", line.Amount());
      aOut.Text("Description", line.StoredDescription());
      break;
    }
    case rlt_CollectAmount: {
      const auto& line = static_cast<const kReceiptLineCollectAmount&>(aLine);
      aOut.Text("Description", line.StoredDescription());
      aOut.Text("Department", line.Department());
      aOut.Text("TaxCode", line.TaxCode());
      aOut.Amount("Amount", line.Amount());
      break;
    }
  }
}

void WriteLines(const kReceiptLines& aLines, ElementWriter aOut) {
  for (const kReceiptLine& line : aLines) {
    ElementWriter element = aOut.Child(U::EncodeLineType(line.LineType()));
    WriteLineValues(line, element);
  }
}

void WriteTaxes(const kReceiptTaxLines& aTaxes, ElementWriter aOut) {
  for (const kReceiptTaxLine& tax : aTaxes) {
    ElementWriter element = aOut.Child("Tax");
    element.Text("Type", U::EncodeTaxType(tax.TaxType()));
    element.Text("Code", tax.TaxCode());
    element.Text("Description", tax.TaxDescription());
    element.Amount("TaxRate", tax.TaxRate());
    element.Amount("TaxableAmount", tax.TaxableAmount());
    element.Amount("TaxAmount", tax.TaxAmount());
    element.Amount("TotalAmount", tax.TotalAmount());
  }
}

void WritePayments(const kReceiptPaymentLines& aPayments, ElementWriter aOut) {
  for (const kReceiptPaymentLine& payment : aPayments) {
    ElementWriter element = aOut.Child("Payment");
    element.Text("Type", U::EncodePaymentType(payment.PaymentType()));
    element.Text("Description", payment.Description());
    element.Amount("Amount", payment.Amount());
    element.Text("Currency", payment.PaymentCurrency());
    element.Amount("Quantity", payment.Quantity());
    element.Amount("UnitPrice", payment.UnitPrice());
  }
}

void WriteMessageLines(const kReceiptMessageLines& aLines, ElementWriter aOut) {
  for (const kReceiptMessageLine& line : aLines) {
    if (const auto* barcode = dynamic_cast<const kReceiptMessageBarcodeLine*>(&line)) {
      ElementWriter element = aOut.Child("Barcode");
      element.Text("Value", barcode->Value());
      element.Text("Type", U::EncodeBarcodeType(barcode->BarcodeType()));
      element.Flag("HRI", barcode->HRI());
      element.Integer("QRCodeMinVersion", barcode->QRCodeMinVersion());
    } else if (const auto* text = dynamic_cast<const kReceiptMessageTextLine*>(&line)) {
      ElementWriter element = aOut.Child("Text");
      element.Text("Value", text->StoredValue());
      element.Integer("Size", text->Size());
      element.Text("Alignment", U::EncodeAlignment(text->Alignment()));
    } else if (const auto* image = dynamic_cast<const kReceiptMessageImageLine*>(&line)) {
      ElementWriter element = aOut.Child("Image");
      element.Text("Alignment", U::EncodeAlignment(image->Alignment()));
    }
  }
}

}  // namespace

std::string kReceipt::Serialize() const {
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "utf-8";

  ElementWriter receipt(document.append_child("Receipt"));
  WriteHeader(*this, receipt);
  WriteOriginalReceipt(fOriginalReceipt, receipt.Child("References").Child("OriginalReceipt"));
  ElementWriter headers = receipt.Child("Headers");
  for (const std::string& header : fHeaders) headers.Text("HeaderLine", header);
  WriteLines(fLines, receipt.Child("Lines"));
  WriteTaxes(fTaxes, receipt.Child("Taxes"));
  WritePayments(fPayments, receipt.Child("Payments"));
  WriteMessageLines(fTrailerMessages, receipt.Child("TrailerMessages"));
  WriteMessageLines(fLeaderLines, receipt.Child("LeaderLines"));

  std::ostringstream text;
  document.save(text, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return text.str();
}

}  // namespace qv::documents

// Readers of the non-fiscal receipt and the customer display.
#include "documents/nf_receipt.h"

#include <memory>

#include "base/xml_utils.h"
#include "documents/document_node.h"

namespace qv::documents {
namespace {

constexpr std::string_view kDefaultLayoutName = "DocumentLayout";

// A QR code below version 2 (none given included) is printed at the smallest version.
int32_t QRCodeVersionOrSmallest(int32_t aVersion) { return aVersion < 2 ? 1 : aVersion; }

template <class TLine>
std::unique_ptr<TLine> CreateLine(kNFReceipt* aOwner, qvReceiptSection aSection) {
  auto line = kReceiptMessageLine::CreateNF<TLine>(aOwner);
  line->SetSection(aSection);
  return line;
}

}  // namespace

void kNFReceipt::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node receipt = FindDocumentNode(aXmlDoc, "NFReceipt");
  fLayout = krptUtil::GetNodeValueAsString(receipt, "Layout");
  fDefaultLayout = fLayout.empty();
  if (fDefaultLayout) fLayout = kDefaultLayoutName;
  fStoreCode = krptUtil::GetNodeValueAsString(receipt, "StoreCode");
  fTillCode = krptUtil::GetNodeValueAsString(receipt, "TillCode");
  fReceiptNumber = krptUtil::GetNodeValueAsString(receipt, "Number");
  fReceiptDateTime = krptUtil::GetNodeValueAsDateTime(receipt, "DateTime");
  fCountryCode = krptUtil::GetNodeValueAsString(receipt, "CountryCode");
  fCompanyCode = krptUtil::GetNodeValueAsString(receipt, "CompanyCode");
  fCompanyTaxCode = krptUtil::GetNodeValueAsString(receipt, "CompanyTaxCode");
  fOperatorCode = krptUtil::GetNodeValueAsString(receipt, "OperatorCode");

  ReadMessageLines(base::FindChild(base::FindChild(receipt, "Header"), "Lines"), rs_lead,
                   fHeaderLines);
  ReadMessageLines(base::FindChild(receipt, "Lines"), rs_body, fLines);
  ReadMessageLines(base::FindChild(base::FindChild(receipt, "Footer"), "Lines"), rs_trail,
                   fFooterLines);
}

void kNFReceipt::ReadMessageLines(const pugi::xml_node& aLines, qvReceiptSection aSection,
                                  kReceiptMessageLines& aList) {
  // A missing Lines element is an empty node: no children, no lines.
  for (const pugi::xml_node& child : aLines.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view name = child.name();
    if (name == "Text") {
      auto line = CreateLine<kReceiptMessageTextLine>(this, aSection);
      line->SetValue(krptUtil::GetNodeValueAsString(child, "Value"));
      line->SetSize(krptUtil::GetNodeValueAsInteger(child, "Size"));
      line->SetAlignment(
          krptUtil::DecodeAlignment(krptUtil::GetNodeValueAsString(child, "Alignment")));
      line->SetEffects(krptUtil::DecodeEffects(krptUtil::GetNodeValueAsString(child, "Effects")));
      aList.Add(std::move(line));
    } else if (name == "Barcode") {
      auto line = CreateLine<kReceiptMessageBarcodeLine>(this, aSection);
      line->SetValue(krptUtil::GetNodeValueAsString(child, "Value"));
      line->SetBarcodeType(
          krptUtil::DecodeBarcodeType(krptUtil::GetNodeValueAsString(child, "Type")));
      line->SetHRI(krptUtil::GetNodeValueAsBoolean(child, "HRI", /*aDefaultValue=*/true));
      line->SetQRCodeMinVersion(
          QRCodeVersionOrSmallest(krptUtil::GetNodeValueAsInteger(child, "QRCodeMinVersion")));
      aList.Add(std::move(line));
    } else if (name == "Image") {
      auto line = CreateLine<kReceiptMessageImageLine>(this, aSection);
      line->SetAlignment(
          krptUtil::DecodeAlignment(krptUtil::GetNodeValueAsString(child, "Alignment")));
      line->SetSource(krptUtil::DecodeImageSource(krptUtil::GetNodeValueAsString(child, "Source")));
      line->SetValue(krptUtil::GetNodeValueAsString(child, "Value"));
      aList.Add(std::move(line));
    }
  }
}

void kCustomerDisplay::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node display = FindDocumentNode(aXmlDoc, "Display");
  fClear = krptUtil::GetNodeValueAsBoolean(display, "Clear", /*aDefaultValue=*/false);
  for (const pugi::xml_node& child : base::FindChild(display, "Lines").children()) {
    if (child.type() != pugi::node_element || std::string_view(child.name()) != "Text") continue;
    // Display lines belong to no receipt.
    auto line = std::make_unique<kReceiptMessageTextLine>(nullptr);
    line->SetValue(krptUtil::GetNodeValueAsString(child, "Value"));
    line->SetAlignment(
        krptUtil::DecodeAlignment(krptUtil::GetNodeValueAsString(child, "Alignment")));
    fLines.Add(std::move(line));
  }
}

}  // namespace qv::documents

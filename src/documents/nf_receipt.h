// The non-fiscal receipt (element "NFReceipt": header, body and footer message lines printed
// outside the fiscal record) and the customer display message (element "Display"). Both own
// their message-line lists for their whole life.
//
// Threading: plain objects, one thread at a time.
#pragma once

#include <string>
#include <utility>

#include <pugixml.hpp>

#include "base/date_time.h"
#include "documents/codes.h"
#include "documents/receipt.h"

namespace qv::documents {

class kNFReceipt {
 public:
  kNFReceipt() = default;
  kNFReceipt(const kNFReceipt&) = delete;
  kNFReceipt& operator=(const kNFReceipt&) = delete;

  // Reads "NFReceipt" of the request; fails with "NFReceipt node not found", the alignment,
  // barcode, effect or image-source message, or an accessor message. The message lines are
  // owned by this receipt and refer back to it.
  void Deserialize(const pugi::xml_document& aXmlDoc);

  // Never read from the request: when false, message texts print as plain ASCII.
  bool SupportSpecialChars() const { return fSupportSpecialChars; }
  void SetSupportSpecialChars(bool aValue) { fSupportSpecialChars = aValue; }
  // "DocumentLayout" (and DefaultLayout true) when the request names no layout.
  const std::string& Layout() const { return fLayout; }
  void SetLayout(std::string aValue) { fLayout = std::move(aValue); }
  bool DefaultLayout() const { return fDefaultLayout; }
  void SetDefaultLayout(bool aValue) { fDefaultLayout = aValue; }
  const std::string& ReceiptNumber() const { return fReceiptNumber; }
  void SetReceiptNumber(std::string aValue) { fReceiptNumber = std::move(aValue); }
  base::DateTime ReceiptDateTime() const { return fReceiptDateTime; }
  void SetReceiptDateTime(base::DateTime aValue) { fReceiptDateTime = aValue; }
  const std::string& CountryCode() const { return fCountryCode; }
  void SetCountryCode(std::string aValue) { fCountryCode = std::move(aValue); }
  const std::string& CompanyCode() const { return fCompanyCode; }
  void SetCompanyCode(std::string aValue) { fCompanyCode = std::move(aValue); }
  const std::string& CompanyTaxCode() const { return fCompanyTaxCode; }
  void SetCompanyTaxCode(std::string aValue) { fCompanyTaxCode = std::move(aValue); }
  const std::string& StoreCode() const { return fStoreCode; }
  void SetStoreCode(std::string aValue) { fStoreCode = std::move(aValue); }
  const std::string& TillCode() const { return fTillCode; }
  void SetTillCode(std::string aValue) { fTillCode = std::move(aValue); }
  const std::string& OperatorCode() const { return fOperatorCode; }
  void SetOperatorCode(std::string aValue) { fOperatorCode = std::move(aValue); }

  kReceiptMessageLines& HeaderLines() { return fHeaderLines; }
  const kReceiptMessageLines& HeaderLines() const { return fHeaderLines; }
  kReceiptMessageLines& Lines() { return fLines; }
  const kReceiptMessageLines& Lines() const { return fLines; }
  kReceiptMessageLines& FooterLines() { return fFooterLines; }
  const kReceiptMessageLines& FooterLines() const { return fFooterLines; }

 private:
  void ReadMessageLines(const pugi::xml_node& aLines, qvReceiptSection aSection,
                        kReceiptMessageLines& aList);

  bool fSupportSpecialChars = false;
  std::string fLayout;
  bool fDefaultLayout = false;
  std::string fReceiptNumber;
  base::DateTime fReceiptDateTime = 0;
  std::string fCountryCode;
  std::string fCompanyCode;
  std::string fCompanyTaxCode;
  std::string fStoreCode;
  std::string fTillCode;
  std::string fOperatorCode;
  kReceiptMessageLines fHeaderLines;
  kReceiptMessageLines fLines;
  kReceiptMessageLines fFooterLines;
};

// Text for the customer display. Its lines have no owner, so their text always shows as plain
// ASCII.
class kCustomerDisplay {
 public:
  kCustomerDisplay() = default;
  kCustomerDisplay(const kCustomerDisplay&) = delete;
  kCustomerDisplay& operator=(const kCustomerDisplay&) = delete;

  // Reads "Display" of the request: Clear and the Text children of Lines. Fails with
  // "Display node not found", the alignment message or an accessor message.
  void Deserialize(const pugi::xml_document& aXmlDoc);

  // Clear the display before showing the lines.
  bool Clear() const { return fClear; }
  void SetClear(bool aValue) { fClear = aValue; }
  kReceiptMessageLines& Lines() { return fLines; }
  const kReceiptMessageLines& Lines() const { return fLines; }

 private:
  bool fClear = false;
  kReceiptMessageLines fLines;
};

}  // namespace qv::documents

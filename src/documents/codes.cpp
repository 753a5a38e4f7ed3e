// Text codes of the document model: table-driven decoders and encoders, the effect-list form
// and NormalizeText.
#include "documents/codes.h"

#include <array>

#include "base/utils.h"
#include "platform/error.h"
#include "platform/unicode.h"

namespace qv::documents {
namespace {

// The code of member n is aCodes[n]; the member order of the enumeration is the table order.
template <typename TEnum, std::size_t N>
struct CodeTable {
  std::array<std::string_view, N> fCodes;
  constexpr std::size_t size() const { return N; }
  constexpr std::string_view operator[](std::size_t aIndex) const { return fCodes[aIndex]; }
};

constexpr CodeTable<qvReceiptType, 5> kReceiptTypeCodes = {
    {"sale", "refund", "void", "invoicesale", "invoicesalefromreceipt"}};
constexpr CodeTable<qvReceiptType, 5> kReceiptTypeTexts = {
    {"Sale", "Refund", "Void", "InvoiceSale", "InvoiceSaleFromReceipt"}};

constexpr CodeTable<qvReceiptLineType, 18> kLineTypeCodes = {
    {"productsale", "productreturn", "weightedproductsale", "vouchersale", "voucherredeem",
     "giftcardsale", "giftcardredeem", "subtotal", "text", "discountamount", "discountpercentage",
     "discountamountonsubtotal", "discountpercentageonsubtotal", "markupamount", "markuppercentage",
     "markupamountonsubtotal", "markuppercentageonsubtotal", "collectamount"}};

constexpr CodeTable<qvReceiptReferenceType, 4> kReferenceTypeCodes = {
    {"originalreceipt", "eftreceipt", "notavailable", "empties"}};
constexpr CodeTable<qvReceiptReferenceType, 4> kReferenceTypeTexts = {
    {"OriginalReceipt", "EFTReceipt", "NotAvailable", "Empties"}};

constexpr CodeTable<qvReceiptPaymentType, 12> kPaymentTypeCodes = {
    {"cash", "cheque", "creditcard", "debitcard", "credit", "creditonproducts", "creditonservices",
     "giftcard", "voucher", "mealvoucher", "nhscard", "change"}};

constexpr CodeTable<qvReceiptTaxType, 2> kTaxTypeCodes = {{"vat", "salestax"}};
constexpr CodeTable<qvReceiptTaxType, 2> kTaxTypeTexts = {{"VAT", "SalesTax"}};

// la_none has no code: the empty entry never matches because the decoder skips it.
constexpr CodeTable<qvReceiptMessageLineAlignment, 4> kAlignmentCodes = {
    {"", "right", "center", "left"}};

constexpr CodeTable<qvReceiptMessageBarcodeType, 8> kBarcodeTypeCodes = {
    {"ean13", "ean8", "code39", "code128", "qrcode", "upca", "upce", "interleaved2of5"}};

constexpr CodeTable<qvReceiptMessageLineEffect, 8> kEffectCodes = {
    {"bold", "italic", "underline", "doubleheight", "doublewidth", "doublesize", "invertcolors",
     "condensed"}};

constexpr CodeTable<qvReceiptMessageImageSource, 2> kImageSourceCodes = {
    {"resource", "filesystem"}};

constexpr CodeTable<qvEJReportType, 5> kEJReportTypeCodes = {
    {"zreport", "fiscalreceipt", "nonfiscalreceipt", "creditnote", "invoice"}};
constexpr CodeTable<qvEJReportDestination, 2> kEJReportDestinationCodes = {{"printer", "memory"}};
constexpr CodeTable<qvEJFilesRequestType, 1> kEJRequestTypeCodes = {{"xml"}};

[[noreturn]] void FailInvalid(std::string_view aWhat, std::string_view aLowerText) {
  std::string message(aWhat);
  message += ' ';
  message += aLowerText;
  message += " is invalid";
  throw qv::Error(message);
}

// Looks the text up in the table in any letter case (the codes are lower-case); false when no
// (non-empty) code matches.
template <typename TEnum, std::size_t N>
bool TryDecode(const CodeTable<TEnum, N>& aCodes, std::string_view aText, TEnum& aResult) {
  for (std::size_t i = 0; i < N; ++i) {
    if (aCodes[i].size() == aText.size() && !aText.empty() && base::SameText(aCodes[i], aText)) {
      aResult = static_cast<TEnum>(i);
      return true;
    }
  }
  return false;
}

// Decodes or fails with "<aWhat> <lower-cased text> is invalid".
template <typename TEnum, std::size_t N>
TEnum DecodeOrFail(const CodeTable<TEnum, N>& aCodes, std::string_view aText,
                   std::string_view aWhat) {
  TEnum result{};
  if (!TryDecode(aCodes, aText, result)) FailInvalid(aWhat, base::LowerCase(aText));
  return result;
}

// Encodes a member; an ordinal outside the table (never produced by the decoders) gives the
// empty text rather than reading past the table.
template <typename TEnum, std::size_t N>
std::string Encode(const CodeTable<TEnum, N>& aCodes, TEnum aValue) {
  const auto index = static_cast<std::size_t>(aValue);
  return index < N ? std::string(aCodes[index]) : std::string();
}

}  // namespace

qvReceiptType krptUtil::DecodeReceiptType(std::string_view aText) {
  return DecodeOrFail(kReceiptTypeCodes, aText, "ReceiptType");
}

std::string krptUtil::EncodeReceiptType(qvReceiptType aValue) {
  return Encode(kReceiptTypeTexts, aValue);
}

qvReceiptLineType krptUtil::DecodeLineType(std::string_view aText) {
  return DecodeOrFail(kLineTypeCodes, aText, "LineType");
}

std::string krptUtil::EncodeLineType(qvReceiptLineType aValue) {
  return Encode(kLineTypeCodes, aValue);
}

qvReceiptLineAttribute krptUtil::DecodeLineAttribute(std::string_view aText) {
  return base::SameText(aText, "product") ? rla_Product : rla_Service;
}

qvReceiptReferenceType krptUtil::DecodeReferenceType(std::string_view aText) {
  qvReceiptReferenceType result = rrt_OriginalReceipt;
  TryDecode(kReferenceTypeCodes, aText, result);
  return result;
}

std::string krptUtil::EncodeReferenceType(qvReceiptReferenceType aValue) {
  return Encode(kReferenceTypeTexts, aValue);
}

qvReceiptPaymentType krptUtil::DecodePaymentType(std::string_view aText) {
  return DecodeOrFail(kPaymentTypeCodes, aText, "PaymentType");
}

std::string krptUtil::EncodePaymentType(qvReceiptPaymentType aValue) {
  return Encode(kPaymentTypeCodes, aValue);
}

qvReceiptTaxType krptUtil::DecodeTaxType(std::string_view aText) {
  return DecodeOrFail(kTaxTypeCodes, aText, "TaxType");
}

std::string krptUtil::EncodeTaxType(qvReceiptTaxType aValue) {
  return Encode(kTaxTypeTexts, aValue);
}

qvReceiptMessageLineAlignment krptUtil::DecodeAlignment(std::string_view aText) {
  return DecodeOrFail(kAlignmentCodes, aText, "Alignment");
}

std::string krptUtil::EncodeAlignment(qvReceiptMessageLineAlignment aValue) {
  return Encode(kAlignmentCodes, aValue);
}

qvReceiptMessageBarcodeType krptUtil::DecodeBarcodeType(std::string_view aText) {
  return DecodeOrFail(kBarcodeTypeCodes, aText, "BarcodeType");
}

std::string krptUtil::EncodeBarcodeType(qvReceiptMessageBarcodeType aValue) {
  return Encode(kBarcodeTypeCodes, aValue);
}

qvReceiptMessageLineEffect krptUtil::DecodeEffect(std::string_view aText) {
  return DecodeOrFail(kEffectCodes, aText, "Effect");
}

std::string krptUtil::EncodeEffect(qvReceiptMessageLineEffect aValue) {
  return Encode(kEffectCodes, aValue);
}

qvReceiptMessageLineEffectSet krptUtil::DecodeEffects(std::string_view aText) {
  qvReceiptMessageLineEffectSet result;
  // Fields are read in order up to the first empty one; running past the last field also
  // yields an empty field.
  std::size_t start = 0;
  while (start < aText.size()) {
    const std::size_t comma = aText.find(',', start);
    const std::size_t end = comma == std::string_view::npos ? aText.size() : comma;
    const std::string_view field = aText.substr(start, end - start);
    if (field.empty()) break;
    result.Include(DecodeEffect(field));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return result;
}

std::string krptUtil::EncodeEffects(qvReceiptMessageLineEffectSet aValue) {
  std::string text;
  for (std::size_t i = 0; i < kEffectCodes.size(); ++i) {
    const auto effect = static_cast<qvReceiptMessageLineEffect>(i);
    if (!aValue.Contains(effect)) continue;
    text += ',';
    text += kEffectCodes[i];
  }
  if (!text.empty()) text.erase(0, 1);
  return text;
}

qvReceiptMessageImageSource krptUtil::DecodeImageSource(std::string_view aText) {
  if (aText.empty()) return is_FileSystem;
  return DecodeOrFail(kImageSourceCodes, aText, "Image Source");
}

std::string krptUtil::EncodeImageSource(qvReceiptMessageImageSource aValue) {
  return Encode(kImageSourceCodes, aValue);
}

qvEJReportType krptUtil::DecodeEJReportType(std::string_view aText) {
  return DecodeOrFail(kEJReportTypeCodes, aText, "ReportType");
}

qvEJReportDestination krptUtil::DecodeEJReportDestination(std::string_view aText) {
  return DecodeOrFail(kEJReportDestinationCodes, aText, "ReportDestination");
}

qvEJFilesRequestType krptUtil::DecodeEJRequestType(std::string_view aText) {
  return DecodeOrFail(kEJRequestTypeCodes, aText, "ReferenceType");
}

namespace {

// Accented capitals (and the euro sign) that print as a plain capital letter.
char16_t PlainCapital(char16_t aUnit) {
  switch (aUnit) {
    case u'\u00C0':
      return u'A';
    case u'\u00D9':
      return u'U';
    case u'\u00C8':
    case u'\u00C9':
    case u'\u20AC':
      return u'E';
    case u'\u00D2':
    case u'\u00D6':
      return u'O';
    case u'\u00C7':
      return u'C';
    case u'\u00CF':
    case u'\u00CC':
      return u'I';
    default:
      return aUnit;
  }
}

void ReplaceAll(std::u16string& aText, std::u16string_view aFrom, std::u16string_view aTo) {
  std::size_t position = 0;
  while ((position = aText.find(aFrom, position)) != std::u16string::npos) {
    aText.replace(position, aFrom.size(), aTo);
    position += aTo.size();
  }
}

}  // namespace

std::string krptUtil::NormalizeText(std::string_view aText) {
  // Printers take plain ASCII; characters are counted as UTF-16 code units, so a character
  // outside the basic plane becomes two blanks.
  std::u16string text = platform::Utf8ToUtf16(aText);
  for (char16_t& unit : text) unit = PlainCapital(unit);
  ReplaceAll(text, u"TOTALE", u"TOT.");
  for (char16_t& unit : text) {
    if (unit < 32 || unit > 127) unit = u' ';
  }
  return platform::Utf16ToUtf8(text);
}

}  // namespace qv::documents

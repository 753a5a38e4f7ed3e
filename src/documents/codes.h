// The enumerations of the document model and their text codes. Every request document names
// its kinds (receipt type, line type, means of payment, barcode symbology, ...) as short texts;
// the documents keep them as these one-byte enumerations. The member order is fixed: sets
// store member n as bit n, the line calculations compare line-type ordinals by range, and the
// encoders walk the members in this order.
//
// krptUtil carries the decoders (text -> member) and encoders (member -> text), the effect-list
// forms and NormalizeText. All of them are stateless and safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/xml_utils.h"

namespace qv::documents {

// Kind of a receipt body line. Ordinals 0-6 and 17 are item lines, 7-8 neutral lines, 9, 10,
// 13, 14 item adjustments and 11, 12, 15, 16 subtotal adjustments.
enum qvReceiptLineType : uint8_t {
  rlt_ProductSale,
  rlt_ProductReturn,
  rlt_WeightedProductSale,
  rlt_VoucherSale,
  rlt_VoucherRedeem,
  rlt_GiftCardSale,
  rlt_GiftCardRedeem,
  rlt_SubTotal,
  rlt_Text,
  rlt_DiscountAmount,
  rlt_DiscountPercentage,
  rlt_DiscountAmountOnSubtotal,
  rlt_DiscountPercentageOnSubTotal,
  rlt_MarkupAmount,
  rlt_MarkupPercentage,
  rlt_MarkupAmountOnSubtotal,
  rlt_MarkupPercentageOnSubTotal,
  rlt_CollectAmount
};

// Section of the printout a message line belongs to (header, body, footer); no text code.
enum qvReceiptSection : uint8_t { rs_lead, rs_body, rs_trail };

// Whether a sold item is goods or a service.
enum qvReceiptLineAttribute : uint8_t { rla_Product, rla_Service };

// Kind of the earlier document a receipt refers to.
enum qvReceiptReferenceType : uint8_t {
  rrt_OriginalReceipt,
  rrt_EFTReceipt,
  rrt_NotAvailable,
  rrt_Empties
};

// Kind of fiscal receipt.
enum qvReceiptType : uint8_t {
  rt_Sale,
  rt_Refund,
  rt_Void,
  rt_InvoiceSale,
  rt_InvoiceSaleFromReceipt
};

// Means of payment; Rpt_Change is change handed back.
enum qvReceiptPaymentType : uint8_t {
  rpt_Cash,
  rpt_Cheque,
  rpt_CreditCard,
  rpt_DebitCard,
  rpt_Credit,
  rpt_CreditOnProducts,
  rpt_CreditOnServices,
  Rpt_GiftCard,
  Rpt_Voucher,
  Rpt_MealVoucher,
  Rpt_NHSCard,
  Rpt_Change
};

// Kind of tax of a tax line.
enum qvReceiptTaxType : uint8_t { tt_VAT, tt_SalesTax };

// Alignment of a message line; la_none has no text code. la_left is the last member.
enum qvReceiptMessageLineAlignment : uint8_t { la_none, la_right, la_center, la_left };

// Barcode symbology of a barcode message line.
enum qvReceiptMessageBarcodeType : uint8_t {
  bt_EAN13,
  bt_EAN8,
  bt_CODE39,
  bt_CODE128,
  bt_QRCODE,
  bt_UPCA,
  bt_UPCE,
  bt_Interleaved2Of5
};

// Print effect of a text message line.
enum qvReceiptMessageLineEffect : uint8_t {
  le_bold,
  le_italic,
  le_underline,
  le_doubleheight,
  le_doublewidth,
  le_doublesize,
  le_invertcolors,
  le_condensed
};

// Kind of journal report requested.
enum qvEJReportType : uint8_t {
  ejrt_ZReport,
  ejrt_FiscalReceipt,
  ejrt_NonFiscalReceipt,
  ejrt_CreditNote,
  ejrt_Invoice
};

// Where a journal report goes.
enum qvEJReportDestination : uint8_t { rd_Printer, rd_Memory };

// Form of the journal files requested.
enum qvEJFilesRequestType : uint8_t { ej_xml };

// Where the image of an image message line comes from.
enum qvReceiptMessageImageSource : uint8_t { is_Resource, is_FileSystem };

// Whether a department sells goods or services.
enum qvDepartmentSalesType : uint8_t { st_Product, st_Service };

// Where a payment-terminal receipt is printed: by the cash register or by the terminal.
enum QvPrintLocation : uint8_t { pl_ECR, pl_EFT };

// A set of members of a one-byte enumeration with at most 32 members: member n is bit n.
// Value type; the empty set is the default.
template <typename TEnum, std::size_t TCount>
class EnumSet {
  static_assert(TCount <= 32, "EnumSet holds at most 32 members");

 public:
  using Bits = uint32_t;
  static constexpr std::size_t kCount = TCount;

  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<TEnum> aMembers) {
    for (TEnum member : aMembers) Include(member);
  }
  static constexpr EnumSet FromBits(Bits aBits) {
    EnumSet result;
    result.fBits = aBits & kAllBits;
    return result;
  }

  constexpr Bits ToBits() const { return fBits; }
  constexpr bool Contains(TEnum aMember) const { return (fBits & Bit(aMember)) != 0; }
  constexpr bool IsEmpty() const { return fBits == 0; }
  constexpr void Include(TEnum aMember) { fBits |= Bit(aMember); }
  constexpr void Exclude(TEnum aMember) { fBits &= ~Bit(aMember); }
  constexpr void Clear() { fBits = 0; }
  constexpr std::size_t Count() const {
    std::size_t count = 0;
    for (Bits bits = fBits; bits != 0; bits &= bits - 1) ++count;
    return count;
  }

  constexpr EnumSet operator|(EnumSet aOther) const { return FromBits(fBits | aOther.fBits); }
  constexpr EnumSet operator&(EnumSet aOther) const { return FromBits(fBits & aOther.fBits); }
  constexpr bool operator==(const EnumSet&) const = default;

 private:
  static constexpr Bits kAllBits = TCount == 32 ? ~Bits{0} : ((Bits{1} << TCount) - 1);
  static constexpr Bits Bit(TEnum aMember) { return Bits{1} << static_cast<unsigned>(aMember); }
  Bits fBits = 0;
};

// The print effects of a text message line (fits one byte: eight members).
using qvReceiptMessageLineEffectSet = EnumSet<qvReceiptMessageLineEffect, 8>;

// Text codes of the document model plus the XML value accessors the readers use (inherited:
// one implementation shared with the rest of the library). Static operations only; never
// instantiated.
//
// Decoders lower-case the text (ASCII letters) and compare it exactly with their codes: no
// blanks are trimmed and nothing is abbreviated. A decoder without a fallback fails with
// qv::Error carrying its message, e.g. "ReceiptType %s is invalid" with the lower-cased text.
// Encoders and NormalizeText never fail.
class krptUtil : public qv::base::tQV_XMLUtils {
 public:
  krptUtil() = delete;

  // Fails with "ReceiptType %s is invalid".
  static qvReceiptType DecodeReceiptType(std::string_view aText);
  // "Sale", "Refund", "Void", "InvoiceSale", "InvoiceSaleFromReceipt".
  static std::string EncodeReceiptType(qvReceiptType aValue);

  // Fails with "LineType %s is invalid".
  static qvReceiptLineType DecodeLineType(std::string_view aText);
  static std::string EncodeLineType(qvReceiptLineType aValue);

  // Never fails: only "product" gives rla_Product, every other text rla_Service.
  static qvReceiptLineAttribute DecodeLineAttribute(std::string_view aText);

  // Never fails: unknown texts (the empty text included) give rrt_OriginalReceipt.
  static qvReceiptReferenceType DecodeReferenceType(std::string_view aText);
  // "OriginalReceipt", "EFTReceipt", "NotAvailable", "Empties".
  static std::string EncodeReferenceType(qvReceiptReferenceType aValue);

  // Fails with "PaymentType %s is invalid".
  static qvReceiptPaymentType DecodePaymentType(std::string_view aText);
  static std::string EncodePaymentType(qvReceiptPaymentType aValue);

  // Fails with "TaxType %s is invalid".
  static qvReceiptTaxType DecodeTaxType(std::string_view aText);
  // "VAT", "SalesTax".
  static std::string EncodeTaxType(qvReceiptTaxType aValue);

  // Fails with "Alignment %s is invalid" (the empty text too).
  static qvReceiptMessageLineAlignment DecodeAlignment(std::string_view aText);
  // la_none gives the empty text.
  static std::string EncodeAlignment(qvReceiptMessageLineAlignment aValue);

  // Fails with "BarcodeType %s is invalid".
  static qvReceiptMessageBarcodeType DecodeBarcodeType(std::string_view aText);
  static std::string EncodeBarcodeType(qvReceiptMessageBarcodeType aValue);

  // Fails with "Effect %s is invalid".
  static qvReceiptMessageLineEffect DecodeEffect(std::string_view aText);
  static std::string EncodeEffect(qvReceiptMessageLineEffect aValue);

  // Comma-separated effect codes without blanks, in member order ("bold,underline"). Decoding
  // stops at the first empty field; a field that is no effect fails with the effect message.
  static qvReceiptMessageLineEffectSet DecodeEffects(std::string_view aText);
  static std::string EncodeEffects(qvReceiptMessageLineEffectSet aValue);

  // "filesystem" and the empty text give is_FileSystem; fails with "Image Source %s is invalid".
  static qvReceiptMessageImageSource DecodeImageSource(std::string_view aText);
  static std::string EncodeImageSource(qvReceiptMessageImageSource aValue);

  // Fails with "ReportType %s is invalid".
  static qvEJReportType DecodeEJReportType(std::string_view aText);
  // Fails with "ReportDestination %s is invalid".
  static qvEJReportDestination DecodeEJReportDestination(std::string_view aText);
  // Fails with "ReferenceType %s is invalid".
  static qvEJFilesRequestType DecodeEJRequestType(std::string_view aText);

  // Reduces a text to printable ASCII: a few accented capitals and the euro sign become plain
  // capitals, "TOTALE" becomes "TOT.", and every other character outside 32..127 becomes one
  // blank per UTF-16 code unit.
  static std::string NormalizeText(std::string_view aText);
};

}  // namespace qv::documents

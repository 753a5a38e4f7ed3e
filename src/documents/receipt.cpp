// The receipt's lines, lists and amount calculations.
#include "documents/receipt.h"

#include "base/utils.h"

namespace qv::documents {

namespace {

constexpr Currency kHundred = Currency::FromRaw(100 * Currency::kScale);

}  // namespace

// ----------------------------------------------------------------------------------------
// Line groups

bool IsItemLine(qvReceiptLineType aType) {
  return aType < rlt_SubTotal || aType == rlt_CollectAmount;
}

bool IsItemAdjustment(qvReceiptLineType aType) {
  return aType == rlt_DiscountAmount || aType == rlt_DiscountPercentage ||
         aType == rlt_MarkupAmount || aType == rlt_MarkupPercentage;
}

bool IsSubtotalAdjustment(qvReceiptLineType aType) {
  return aType == rlt_DiscountAmountOnSubtotal || aType == rlt_DiscountPercentageOnSubTotal ||
         aType == rlt_MarkupAmountOnSubtotal || aType == rlt_MarkupPercentageOnSubTotal;
}

// ----------------------------------------------------------------------------------------
// Body lines

std::string kReceiptLine::GetPrintableText(const std::string& aText) const {
  if (fOwner != nullptr && fOwner->SupportSpecialChars()) return aText;
  return krptUtil::NormalizeText(aText);
}

Currency kReceiptLineProductSale::GetAmount() const {
  return FreeOfCharge() ? Currency() : Amount();
}

Currency kReceiptLineProductReturn::GetAmount() const {
  return FreeOfCharge() ? Currency() : -Amount();
}

Currency kReceiptLineCollectAmount::GetAmount() const { return fAmount; }

Currency kReceiptLineVoucherSale::GetAmount() const {
  return FreeOfCharge() ? Currency() : Price();
}

Currency kReceiptLineVoucherRedeem::GetAmount() const {
  return FreeOfCharge() ? Currency() : -Price();
}

Currency kReceiptLineGiftCardSale::GetAmount() const {
  return FreeOfCharge() ? Currency() : Price();
}

Currency kReceiptLineGiftCardRedeem::GetAmount() const {
  return FreeOfCharge() ? Currency() : -Price();
}

Currency kReceiptLineSubtotal::GetAmount() const { return Currency(); }

Currency kReceiptLineText::GetAmount() const { return Currency(); }

Currency kReceiptLineDiscountAmount::GetAmount() const { return -Amount(); }

Currency kReceiptLineDiscountPercentage::GetAmount() const { return -Amount(); }

Currency kReceiptLineMarkupAmount::GetAmount() const { return Amount(); }

Currency kReceiptLineMarkupPercentage::GetAmount() const { return Amount(); }

Currency kReceiptLineMarkupAmountOnSubTotal::GetAmount() const { return Amount(); }

Currency kReceiptLineMarkupPercentageOnSubTotal::GetAmount() const { return Amount(); }

// ----------------------------------------------------------------------------------------
// Factories

std::unique_ptr<kReceiptLineProductSale> kReceiptLineProductSale::Build(
    kReceipt* aReceipt, std::string aCode, std::string aDescription, Currency aQuantity,
    std::string aUOM, std::string aDepartment, std::string aTaxCode, Currency aPrice,
    Currency aAmount, std::string aAdditionalInfo, std::string aVoucherCode) {
  auto line = std::make_unique<kReceiptLineProductSale>(aReceipt);
  line->SetLineType(rlt_ProductSale);
  line->fCode = std::move(aCode);
  line->fDescription = std::move(aDescription);
  line->fQuantity = aQuantity;
  line->fUOM = std::move(aUOM);
  line->fDepartment = std::move(aDepartment);
  line->fTaxCode = std::move(aTaxCode);
  line->fPrice = aPrice;
  line->fAmount = aAmount;
  line->fAdditionalInfo = std::move(aAdditionalInfo);
  line->fVoucherCode = std::move(aVoucherCode);
  return line;
}

std::unique_ptr<kReceiptLineGiftCardSale> kReceiptLineGiftCardSale::Build(
    kReceipt* aReceipt, std::string aCode, std::string aDescription, std::string aDepartment,
    std::string aTaxCode, Currency aPrice, std::string aAdditionalInfo) {
  auto line = std::make_unique<kReceiptLineGiftCardSale>(aReceipt);
  line->SetLineType(rlt_GiftCardSale);
  line->fCode = std::move(aCode);
  line->fDescription = std::move(aDescription);
  line->fDepartment = std::move(aDepartment);
  line->fTaxCode = std::move(aTaxCode);
  line->fPrice = aPrice;
  line->fAdditionalInfo = std::move(aAdditionalInfo);
  return line;
}

std::unique_ptr<kReceiptLineGiftCardRedeem> kReceiptLineGiftCardRedeem::Build(
    kReceipt* aReceipt, std::string aCode, std::string aDescription, std::string aDepartment,
    std::string aTaxCode, Currency aPrice, std::string aTaxMode, std::string aAdditionalInfo) {
  auto line = std::make_unique<kReceiptLineGiftCardRedeem>(aReceipt);
  line->SetLineType(rlt_GiftCardRedeem);
  line->SetCode(std::move(aCode));
  line->SetDescription(std::move(aDescription));
  line->SetDepartment(std::move(aDepartment));
  line->SetTaxCode(std::move(aTaxCode));
  line->SetPrice(aPrice);
  line->SetTaxMode(std::move(aTaxMode));
  line->fAdditionalInfo = std::move(aAdditionalInfo);
  return line;
}

std::unique_ptr<kReceiptLineDiscountAmount> kReceiptLineDiscountAmount::Build(
    kReceipt* aReceipt, std::string aDescription, Currency aAmount, std::string aReasonCode,
    std::string aReasonNote, std::string aAdditionalInfo) {
  auto line = std::make_unique<kReceiptLineDiscountAmount>(aReceipt);
  line->SetLineType(rlt_DiscountAmount);
  line->fDescription = std::move(aDescription);
  line->fAmount = aAmount;
  line->fReasonCode = std::move(aReasonCode);
  line->fReasonNote = std::move(aReasonNote);
  line->fAdditionalInfo = std::move(aAdditionalInfo);
  return line;
}

std::unique_ptr<kReceiptLineDiscountPercentage> kReceiptLineDiscountPercentage::Build(
    kReceipt* aReceipt, std::string aDescription, Currency aPercentage, Currency aAmount,
    std::string aReasonCode, std::string aReasonNote, std::string aAdditionalInfo) {
  auto line = std::make_unique<kReceiptLineDiscountPercentage>(aReceipt);
  line->SetLineType(rlt_DiscountPercentage);
  line->fDescription = std::move(aDescription);
  line->fPercentage = aPercentage;
  line->fAmount = aAmount;
  line->fReasonCode = std::move(aReasonCode);
  line->fReasonNote = std::move(aReasonNote);
  line->fAdditionalInfo = std::move(aAdditionalInfo);
  return line;
}

namespace {

template <class TLine>
std::unique_ptr<kReceiptLine> MakeLine(kReceipt* aOwner) {
  return std::make_unique<TLine>(aOwner);
}

std::unique_ptr<kReceiptLine> MakeLineOfType(kReceipt* aOwner, qvReceiptLineType aType) {
  switch (aType) {
    case rlt_ProductSale:
      return MakeLine<kReceiptLineProductSale>(aOwner);
    case rlt_ProductReturn:
      return MakeLine<kReceiptLineProductReturn>(aOwner);
    case rlt_WeightedProductSale:
      return MakeLine<kReceiptLineWeightedProductSale>(aOwner);
    case rlt_VoucherSale:
      return MakeLine<kReceiptLineVoucherSale>(aOwner);
    case rlt_VoucherRedeem:
      return MakeLine<kReceiptLineVoucherRedeem>(aOwner);
    case rlt_GiftCardSale:
      return MakeLine<kReceiptLineGiftCardSale>(aOwner);
    case rlt_GiftCardRedeem:
      return MakeLine<kReceiptLineGiftCardRedeem>(aOwner);
    case rlt_SubTotal:
      return MakeLine<kReceiptLineSubtotal>(aOwner);
    case rlt_Text:
      return MakeLine<kReceiptLineText>(aOwner);
    case rlt_DiscountAmount:
      return MakeLine<kReceiptLineDiscountAmount>(aOwner);
    case rlt_DiscountPercentage:
      return MakeLine<kReceiptLineDiscountPercentage>(aOwner);
    case rlt_DiscountAmountOnSubtotal:
      return MakeLine<kReceiptLineDiscountAmountOnSubTotal>(aOwner);
    case rlt_DiscountPercentageOnSubTotal:
      return MakeLine<kReceiptLineDiscountPercentageOnSubTotal>(aOwner);
    case rlt_MarkupAmount:
      return MakeLine<kReceiptLineMarkupAmount>(aOwner);
    case rlt_MarkupPercentage:
      return MakeLine<kReceiptLineMarkupPercentage>(aOwner);
    case rlt_MarkupAmountOnSubtotal:
      return MakeLine<kReceiptLineMarkupAmountOnSubTotal>(aOwner);
    case rlt_MarkupPercentageOnSubTotal:
      return MakeLine<kReceiptLineMarkupPercentageOnSubTotal>(aOwner);
    case rlt_CollectAmount:
      return MakeLine<kReceiptLineCollectAmount>(aOwner);
  }
  // An ordinal outside the enumeration: a text line adds nothing to any amount.
  return MakeLine<kReceiptLineText>(aOwner);
}

}  // namespace

std::unique_ptr<kReceiptLine> CreateReceiptLine(kReceipt* aOwner, qvReceiptLineType aType) {
  std::unique_ptr<kReceiptLine> line = MakeLineOfType(aOwner, aType);
  line->SetLineType(aType);
  return line;
}

// ----------------------------------------------------------------------------------------
// Message lines

bool kReceiptMessageLine::OwnerSupportsSpecialChars() const {
  if (fOwner != nullptr && fOwner->SupportSpecialChars()) return true;
  return fNFOwner != nullptr && fNFSupportSpecialChars != nullptr &&
         fNFSupportSpecialChars(*fNFOwner);
}

std::string kReceiptMessageTextLine::Value() const {
  if (OwnerSupportsSpecialChars()) return StoredValue();
  return krptUtil::NormalizeText(StoredValue());
}

// ----------------------------------------------------------------------------------------
// Tax and payment summaries

kReceiptTaxLine* kReceiptTaxLines::GetByTaxCode(std::string_view aCode) const {
  for (const kReceiptTaxLine& tax : *this) {
    if (tax.TaxCode() == aCode) return const_cast<kReceiptTaxLine*>(&tax);
  }
  return nullptr;
}

Currency kReceiptTaxLines::GetTaxableAmountByTaxRate(Currency aTaxRate) const {
  Currency sum;
  for (const kReceiptTaxLine& tax : *this) {
    if (tax.TaxRate() == aTaxRate) sum += tax.TaxableAmount();
  }
  return sum;
}

Currency kReceiptTaxLines::GetTaxAmountByTaxRate(Currency aTaxRate) const {
  Currency sum;
  for (const kReceiptTaxLine& tax : *this) {
    if (tax.TaxRate() == aTaxRate) sum += tax.TaxAmount();
  }
  return sum;
}

Currency kReceiptTaxLines::Amount() const {
  Currency sum;
  for (const kReceiptTaxLine& tax : *this) sum += tax.TaxAmount();
  return sum;
}

Currency kReceiptPaymentLines::TotalAmount() const {
  Currency sum;
  for (const kReceiptPaymentLine& payment : *this) {
    if (payment.PaymentType() != Rpt_Change) sum += payment.Amount();
  }
  return sum;
}

// ----------------------------------------------------------------------------------------
// The receipt

kReceipt::~kReceipt() {
  // The lists go in the order they were made; their items go with them.
  fLeaderLines.Clear();
  fLines.Clear();
  fPayments.Clear();
  fTaxes.Clear();
  fTrailerMessages.Clear();
  fHeaders.clear();
}

void kReceipt::CalcLinesNetAmount() {
  for (kReceiptLine& line : fLines) {
    line.fNetAmount = line.GetAmount();
    line.fNetAmountNoSubTotalDiscounts = line.fNetAmount;
  }

  Currency runningTotal;
  kReceiptLine* lastItem = nullptr;
  for (std::size_t index = 0; index < fLines.Count(); ++index) {
    kReceiptLine& line = fLines[index];
    const qvReceiptLineType type = line.LineType();
    if (lastItem != nullptr && IsItemAdjustment(type)) {
      const Currency adjustment = line.GetAmount();
      lastItem->fNetAmount += adjustment;
      lastItem->fTotalNoSubTotalDiscounts += adjustment;
      lastItem->fNetAmountNoSubTotalDiscounts += adjustment;
    }
    // A subtotal adjustment at a running total of zero has nothing to be spread over.
    if (lastItem != nullptr && IsSubtotalAdjustment(type) && !runningTotal.IsZero()) {
      SpreadSubtotalAdjustment(index, runningTotal);
    }
    runningTotal += line.GetAmount();
    if (IsItemLine(type)) lastItem = &line;
  }

  // The last item takes whatever separates the declared total from the sum of the lines.
  if (lastItem != nullptr && runningTotal != fTotalAmount) {
    lastItem->fNetAmount += fTotalAmount - runningTotal;
  }
}

// Shares are rounded on the cumulative net of the items visited so far, so that the shares
// of the first k items always total the rounded share of their sum; the last item that got a
// share takes what rounding left over, and the shares total the adjustment exactly.
void kReceipt::SpreadSubtotalAdjustment(std::size_t aAdjustmentIndex, Currency aRunningTotal) {
  const Currency adjustment = fLines[aAdjustmentIndex].GetAmount();
  const Currency ratio = adjustment / aRunningTotal;
  Currency cumulative;
  Currency distributed;
  kReceiptLine* lastShared = nullptr;
  for (std::size_t index = 0; index < aAdjustmentIndex; ++index) {
    kReceiptLine& line = fLines[index];
    if (!IsItemLine(line.LineType()) || line.fNetAmount.IsZero()) continue;
    cumulative += line.fNetAmount;
    const Currency share = base::RoundToCents(cumulative * ratio) - distributed;
    line.fNetAmount += share;
    distributed += share;
    lastShared = &line;
  }
  if (lastShared != nullptr && distributed != adjustment) {
    lastShared->fNetAmount += adjustment - distributed;
  }
}

Currency kReceipt::GetCalculatedAmount() const {
  Currency sum;
  for (const kReceiptLine& line : fLines) sum += line.GetAmount();
  return sum;
}

Currency kReceipt::GetNetAmount(Currency aAmount, std::string_view aTaxCode) const {
  for (const kReceiptTaxLine& tax : fTaxes) {
    if (tax.TaxCode() == aTaxCode && tax.TaxType() == tt_VAT) {
      // aAmount x 100 is exact; the one division rounds once to four decimals.
      return (aAmount * kHundred) / (tax.TaxRate() + kHundred);
    }
  }
  return aAmount;
}

Currency kReceipt::GetTaxRate(std::string_view aTaxCode) const {
  const kReceiptTaxLine* tax = fTaxes.GetByTaxCode(aTaxCode);
  return tax != nullptr ? tax->TaxRate() : Currency();
}

Currency kReceipt::TotalTaxableAmount() const {
  Currency sum;
  for (const kReceiptTaxLine& tax : fTaxes) sum += tax.TaxableAmount();
  return sum;
}

Currency kReceipt::TotalTaxAmount() const { return fTaxes.Amount(); }

Currency kReceipt::TotalQuantity() const {
  Currency sum;
  for (const kReceiptLine& line : fLines) {
    if (const auto* product = dynamic_cast<const kReceiptLineProductSale*>(&line)) {
      sum += product->Quantity();
    }
  }
  return sum;
}

}  // namespace qv::documents

// The fiscal receipt in memory: the header data of a sale, its body lines (sales, returns,
// vouchers, gift cards, discounts, markups, subtotals, text), the tax summary, the payments,
// the message lines printed before and after the body and the reference to an earlier receipt.
//
// kReceipt owns its lists and every list owns its items; a line keeps a plain back reference
// to its receipt. The receipt also offers the amount calculations of a till: the net amount
// of every line with discounts and markups spread over the sold items, the calculated total,
// the net of a gross amount for a tax code and the totals of the tax and payment summaries.
//
// Threading: a receipt and its lines are plain data; one thread at a time.
#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "base/currency.h"
#include "base/date_time.h"
#include "documents/codes.h"

namespace qv::documents {

using base::Currency;
using base::DateTime;

class kReceipt;
class kNFReceipt;
class kReceiptReader;

// ----------------------------------------------------------------------------------------
// Owned lists

// An ordered list that owns its items: removing an item or destroying the list destroys it.
// Iteration gives the items themselves (T&), in order.
template <class T>
class kOwnedList {
  using Storage = std::vector<std::unique_ptr<T>>;

  template <class TItem, class TIter>
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TItem;
    using difference_type = std::ptrdiff_t;
    using pointer = TItem*;
    using reference = TItem&;

    Iterator() = default;
    explicit Iterator(TIter aPosition) : fPosition(aPosition) {}
    TItem& operator*() const { return **fPosition; }
    TItem* operator->() const { return fPosition->get(); }
    Iterator& operator++() {
      ++fPosition;
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++fPosition;
      return before;
    }
    bool operator==(const Iterator& aOther) const { return fPosition == aOther.fPosition; }

   private:
    TIter fPosition{};
  };

 public:
  using iterator = Iterator<T, typename Storage::iterator>;
  using const_iterator = Iterator<const T, typename Storage::const_iterator>;

  kOwnedList() = default;
  kOwnedList(const kOwnedList&) = delete;
  kOwnedList& operator=(const kOwnedList&) = delete;

  // Takes ownership of aItem, appends it and returns it.
  template <class TDerived>
  TDerived& Add(std::unique_ptr<TDerived> aItem) {
    TDerived& item = *aItem;
    fItems.push_back(std::move(aItem));
    return item;
  }
  std::size_t Count() const { return fItems.size(); }
  bool Empty() const { return fItems.empty(); }
  T& operator[](std::size_t aIndex) { return *fItems.at(aIndex); }
  const T& operator[](std::size_t aIndex) const { return *fItems.at(aIndex); }
  // Removes and destroys the item at aIndex; an index past the end throws std::out_of_range.
  void Delete(std::size_t aIndex) {
    fItems.at(aIndex);
    fItems.erase(fItems.begin() + static_cast<std::ptrdiff_t>(aIndex));
  }
  void Clear() { fItems.clear(); }

  iterator begin() { return iterator(fItems.begin()); }
  iterator end() { return iterator(fItems.end()); }
  const_iterator begin() const { return const_iterator(fItems.begin()); }
  const_iterator end() const { return const_iterator(fItems.end()); }

 private:
  Storage fItems;
};

// ----------------------------------------------------------------------------------------
// Body lines

// Line groups of the amount calculations, by line type.
// Item lines: the sales, returns, vouchers, gift cards and collected amounts.
bool IsItemLine(qvReceiptLineType aType);
// Discounts and markups that apply to the nearest item line before them.
bool IsItemAdjustment(qvReceiptLineType aType);
// Discounts and markups that apply to all item lines before them.
bool IsSubtotalAdjustment(qvReceiptLineType aType);

// Base of every body line. The line type and the class always agree; the creator sets the
// type. The three net amounts start at zero and are set by kReceipt::CalcLinesNetAmount only.
class kReceiptLine {
 public:
  explicit kReceiptLine(kReceipt* aOwner) : fOwner(aOwner) {}
  kReceiptLine(const kReceiptLine&) = delete;
  kReceiptLine& operator=(const kReceiptLine&) = delete;
  virtual ~kReceiptLine() = default;

  kReceipt* Owner() const { return fOwner; }
  qvReceiptLineType LineType() const { return fLineType; }
  void SetLineType(qvReceiptLineType aValue) { fLineType = aValue; }
  const std::string& AdditionalInfo() const { return fAdditionalInfo; }
  Currency NetAmount() const { return fNetAmount; }
  Currency NetAmountNoSubTotalDiscounts() const { return fNetAmountNoSubTotalDiscounts; }
  Currency TotalNoSubTotalDiscounts() const { return fTotalNoSubTotalDiscounts; }

  // The signed amount of the line in the receipt total.
  virtual Currency GetAmount() const = 0;

 protected:
  // aText unchanged when the receipt keeps special characters, otherwise reduced to plain
  // printable ASCII.
  std::string GetPrintableText(const std::string& aText) const;

  std::string fAdditionalInfo;

 private:
  friend class kReceipt;

  kReceipt* fOwner;
  qvReceiptLineType fLineType = rlt_ProductSale;
  Currency fNetAmount;
  Currency fNetAmountNoSubTotalDiscounts;
  Currency fTotalNoSubTotalDiscounts;
};

// A sold item: quantity times unit price gives the line amount, as the host computed it.
class kReceiptLineProductSale : public kReceiptLine {
 public:
  using kReceiptLine::kReceiptLine;

  // A product-sale line of aReceipt, not yet in any list.
  static std::unique_ptr<kReceiptLineProductSale> Build(
      kReceipt* aReceipt, std::string aCode, std::string aDescription, Currency aQuantity,
      std::string aUOM, std::string aDepartment, std::string aTaxCode, Currency aPrice,
      Currency aAmount, std::string aAdditionalInfo, std::string aVoucherCode);

  // 0 when free of charge, else Amount.
  Currency GetAmount() const override;

  const std::string& Code() const { return fCode; }
  void SetCode(std::string aValue) { fCode = std::move(aValue); }
  // The description as printed (see GetPrintableText); StoredDescription as given.
  std::string Description() const { return GetPrintableText(fDescription); }
  const std::string& StoredDescription() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  Currency Quantity() const { return fQuantity; }
  void SetQuantity(Currency aValue) { fQuantity = aValue; }
  const std::string& UOM() const { return fUOM; }
  void SetUOM(std::string aValue) { fUOM = std::move(aValue); }
  const std::string& Department() const { return fDepartment; }
  void SetDepartment(std::string aValue) { fDepartment = std::move(aValue); }
  const std::string& TaxCode() const { return fTaxCode; }
  void SetTaxCode(std::string aValue) { fTaxCode = std::move(aValue); }
  Currency Price() const { return fPrice; }
  void SetPrice(Currency aValue) { fPrice = aValue; }
  Currency Amount() const { return fAmount; }
  void SetAmount(Currency aValue) { fAmount = aValue; }
  bool FreeOfCharge() const { return fFreeOfCharge; }
  void SetFreeOfCharge(bool aValue) { fFreeOfCharge = aValue; }
  qvReceiptLineAttribute Attribute() const { return fAttribute; }
  void SetAttribute(qvReceiptLineAttribute aValue) { fAttribute = aValue; }
  const std::string& VoucherCode() const { return fVoucherCode; }
  void SetVoucherCode(std::string aValue) { fVoucherCode = std::move(aValue); }

 private:
  std::string fCode;
  std::string fDescription;
  Currency fQuantity;
  std::string fUOM;
  std::string fDepartment;
  std::string fTaxCode;
  Currency fPrice;
  Currency fAmount;
  bool fFreeOfCharge = false;
  qvReceiptLineAttribute fAttribute = rla_Product;
  std::string fVoucherCode;
};

// A returned item: the product sale with a negative amount.
class kReceiptLineProductReturn : public kReceiptLineProductSale {
 public:
  using kReceiptLineProductSale::kReceiptLineProductSale;
  // 0 when free of charge, else -Amount.
  Currency GetAmount() const override;
};

// An item sold by weight; the tare is read from the document only.
class kReceiptLineWeightedProductSale : public kReceiptLineProductSale {
 public:
  using kReceiptLineProductSale::kReceiptLineProductSale;
  Currency Tare() const { return fTare; }

 private:
  friend class kReceiptReader;
  Currency fTare;
};

// An amount collected on behalf of someone else; its values are read from the document only.
class kReceiptLineCollectAmount : public kReceiptLine {
 public:
  using kReceiptLine::kReceiptLine;
  Currency GetAmount() const override;  // Amount

  std::string Description() const { return GetPrintableText(fDescription); }
  const std::string& StoredDescription() const { return fDescription; }
  const std::string& Department() const { return fDepartment; }
  const std::string& TaxCode() const { return fTaxCode; }
  Currency Amount() const { return fAmount; }

 private:
  friend class kReceiptReader;
  std::string fDescription;
  std::string fDepartment;
  std::string fTaxCode;
  Currency fAmount;
};

// A voucher sold; the redeem subclass takes it back.
class kReceiptLineVoucherSale : public kReceiptLine {
 public:
  using kReceiptLine::kReceiptLine;
  // 0 when free of charge, else Price.
  Currency GetAmount() const override;

  const std::string& Code() const { return fCode; }
  void SetCode(std::string aValue) { fCode = std::move(aValue); }
  std::string Description() const { return GetPrintableText(fDescription); }
  const std::string& StoredDescription() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  Currency Price() const { return fPrice; }
  void SetPrice(Currency aValue) { fPrice = aValue; }
  const std::string& Department() const { return fDepartment; }
  void SetDepartment(std::string aValue) { fDepartment = std::move(aValue); }
  const std::string& TaxCode() const { return fTaxCode; }
  void SetTaxCode(std::string aValue) { fTaxCode = std::move(aValue); }
  bool FreeOfCharge() const { return fFreeOfCharge; }
  void SetFreeOfCharge(bool aValue) { fFreeOfCharge = aValue; }

 private:
  std::string fCode;
  std::string fDescription;
  Currency fPrice;
  std::string fDepartment;
  std::string fTaxCode;
  bool fFreeOfCharge = false;
};

class kReceiptLineVoucherRedeem : public kReceiptLineVoucherSale {
 public:
  using kReceiptLineVoucherSale::kReceiptLineVoucherSale;
  // 0 when free of charge, else -Price.
  Currency GetAmount() const override;
};

// A gift card sold (charged); the redeem subclass pays with it.
class kReceiptLineGiftCardSale : public kReceiptLine {
 public:
  using kReceiptLine::kReceiptLine;

  static std::unique_ptr<kReceiptLineGiftCardSale> Build(kReceipt* aReceipt, std::string aCode,
                                                         std::string aDescription,
                                                         std::string aDepartment,
                                                         std::string aTaxCode, Currency aPrice,
                                                         std::string aAdditionalInfo);

  // 0 when free of charge, else Price.
  Currency GetAmount() const override;

  const std::string& Code() const { return fCode; }
  void SetCode(std::string aValue) { fCode = std::move(aValue); }
  std::string Description() const { return GetPrintableText(fDescription); }
  const std::string& StoredDescription() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  Currency Price() const { return fPrice; }
  void SetPrice(Currency aValue) { fPrice = aValue; }
  const std::string& Department() const { return fDepartment; }
  void SetDepartment(std::string aValue) { fDepartment = std::move(aValue); }
  const std::string& TaxCode() const { return fTaxCode; }
  void SetTaxCode(std::string aValue) { fTaxCode = std::move(aValue); }
  bool FreeOfCharge() const { return fFreeOfCharge; }
  void SetFreeOfCharge(bool aValue) { fFreeOfCharge = aValue; }
  const std::string& TaxMode() const { return fTaxMode; }
  void SetTaxMode(std::string aValue) { fTaxMode = std::move(aValue); }

 private:
  std::string fCode;
  std::string fDescription;
  Currency fPrice;
  std::string fDepartment;
  std::string fTaxCode;
  bool fFreeOfCharge = false;
  std::string fTaxMode;
};

class kReceiptLineGiftCardRedeem : public kReceiptLineGiftCardSale {
 public:
  using kReceiptLineGiftCardSale::kReceiptLineGiftCardSale;

  static std::unique_ptr<kReceiptLineGiftCardRedeem> Build(
      kReceipt* aReceipt, std::string aCode, std::string aDescription, std::string aDepartment,
      std::string aTaxCode, Currency aPrice, std::string aTaxMode, std::string aAdditionalInfo);

  // 0 when free of charge, else -Price.
  Currency GetAmount() const override;
};

// The subtotal shown on the receipt; it adds nothing to the total.
class kReceiptLineSubtotal : public kReceiptLine {
 public:
  using kReceiptLine::kReceiptLine;
  Currency GetAmount() const override;  // 0

  Currency Amount() const { return fAmount; }
  void SetAmount(Currency aValue) { fAmount = aValue; }

 private:
  Currency fAmount;
};

// A free text line of the body.
class kReceiptLineText : public kReceiptLine {
 public:
  using kReceiptLine::kReceiptLine;
  Currency GetAmount() const override;  // 0

  std::string Description() const { return GetPrintableText(fDescription); }
  const std::string& StoredDescription() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }

 private:
  std::string fDescription;
};

// A discount of a fixed amount on the item before it. Amounts are stored positive; the class
// gives the sign (the markup subclasses add instead of subtracting).
class kReceiptLineDiscountAmount : public kReceiptLine {
 public:
  using kReceiptLine::kReceiptLine;

  static std::unique_ptr<kReceiptLineDiscountAmount> Build(
      kReceipt* aReceipt, std::string aDescription, Currency aAmount, std::string aReasonCode,
      std::string aReasonNote, std::string aAdditionalInfo);

  Currency GetAmount() const override;  // -Amount

  std::string Description() const { return GetPrintableText(fDescription); }
  const std::string& StoredDescription() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  Currency Amount() const { return fAmount; }
  void SetAmount(Currency aValue) { fAmount = aValue; }
  const std::string& ReasonCode() const { return fReasonCode; }
  void SetReasonCode(std::string aValue) { fReasonCode = std::move(aValue); }
  const std::string& ReasonNote() const { return fReasonNote; }
  void SetReasonNote(std::string aValue) { fReasonNote = std::move(aValue); }

 private:
  std::string fDescription;
  Currency fAmount;
  std::string fReasonCode;
  std::string fReasonNote;
};

// A percentage discount: the percentage is informative, the Amount computed by the host
// counts.
class kReceiptLineDiscountPercentage : public kReceiptLine {
 public:
  using kReceiptLine::kReceiptLine;

  static std::unique_ptr<kReceiptLineDiscountPercentage> Build(
      kReceipt* aReceipt, std::string aDescription, Currency aPercentage, Currency aAmount,
      std::string aReasonCode, std::string aReasonNote, std::string aAdditionalInfo);

  Currency GetAmount() const override;  // -Amount

  std::string Description() const { return GetPrintableText(fDescription); }
  const std::string& StoredDescription() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  Currency Percentage() const { return fPercentage; }
  void SetPercentage(Currency aValue) { fPercentage = aValue; }
  Currency Amount() const { return fAmount; }
  void SetAmount(Currency aValue) { fAmount = aValue; }
  const std::string& ReasonCode() const { return fReasonCode; }
  void SetReasonCode(std::string aValue) { fReasonCode = std::move(aValue); }
  const std::string& ReasonNote() const { return fReasonNote; }
  void SetReasonNote(std::string aValue) { fReasonNote = std::move(aValue); }

 private:
  std::string fDescription;
  Currency fPercentage;
  Currency fAmount;
  std::string fReasonCode;
  std::string fReasonNote;
};

class kReceiptLineDiscountAmountOnSubTotal : public kReceiptLineDiscountAmount {
 public:
  using kReceiptLineDiscountAmount::kReceiptLineDiscountAmount;
};

class kReceiptLineDiscountPercentageOnSubTotal : public kReceiptLineDiscountPercentage {
 public:
  using kReceiptLineDiscountPercentage::kReceiptLineDiscountPercentage;
};

class kReceiptLineMarkupAmount : public kReceiptLineDiscountAmount {
 public:
  using kReceiptLineDiscountAmount::kReceiptLineDiscountAmount;
  Currency GetAmount() const override;  // +Amount
};

class kReceiptLineMarkupPercentage : public kReceiptLineDiscountPercentage {
 public:
  using kReceiptLineDiscountPercentage::kReceiptLineDiscountPercentage;
  Currency GetAmount() const override;  // +Amount
};

class kReceiptLineMarkupAmountOnSubTotal : public kReceiptLineDiscountAmountOnSubTotal {
 public:
  using kReceiptLineDiscountAmountOnSubTotal::kReceiptLineDiscountAmountOnSubTotal;
  Currency GetAmount() const override;  // +Amount
};

class kReceiptLineMarkupPercentageOnSubTotal : public kReceiptLineDiscountPercentageOnSubTotal {
 public:
  using kReceiptLineDiscountPercentageOnSubTotal::kReceiptLineDiscountPercentageOnSubTotal;
  Currency GetAmount() const override;  // +Amount
};

// A body line of the class that belongs to aType, owned by aOwner, with its type set.
std::unique_ptr<kReceiptLine> CreateReceiptLine(kReceipt* aOwner, qvReceiptLineType aType);

// ----------------------------------------------------------------------------------------
// Tax and payment lines

// One entry of the tax summary, as the host computed it.
class kReceiptTaxLine {
 public:
  explicit kReceiptTaxLine(kReceipt* aOwner) : fOwner(aOwner) {}
  kReceiptTaxLine(const kReceiptTaxLine&) = delete;
  kReceiptTaxLine& operator=(const kReceiptTaxLine&) = delete;

  kReceipt* Owner() const { return fOwner; }
  qvReceiptTaxType TaxType() const { return fTaxType; }
  void SetTaxType(qvReceiptTaxType aValue) { fTaxType = aValue; }
  const std::string& TaxCode() const { return fTaxCode; }
  void SetTaxCode(std::string aValue) { fTaxCode = std::move(aValue); }
  const std::string& TaxDescription() const { return fTaxDescription; }
  void SetTaxDescription(std::string aValue) { fTaxDescription = std::move(aValue); }
  // Percent: 22 means 22 %.
  Currency TaxRate() const { return fTaxRate; }
  void SetTaxRate(Currency aValue) { fTaxRate = aValue; }
  Currency TaxableAmount() const { return fTaxableAmount; }
  void SetTaxableAmount(Currency aValue) { fTaxableAmount = aValue; }
  Currency TaxAmount() const { return fTaxAmount; }
  void SetTaxAmount(Currency aValue) { fTaxAmount = aValue; }
  Currency TotalAmount() const { return fTotalAmount; }
  void SetTotalAmount(Currency aValue) { fTotalAmount = aValue; }

 private:
  kReceipt* fOwner;
  qvReceiptTaxType fTaxType = tt_VAT;
  std::string fTaxCode;
  std::string fTaxDescription;
  Currency fTaxRate;
  Currency fTaxableAmount;
  Currency fTaxAmount;
  Currency fTotalAmount;
};

// One payment of the receipt; Rpt_Change is change handed back.
class kReceiptPaymentLine {
 public:
  explicit kReceiptPaymentLine(kReceipt* aOwner) : fOwner(aOwner) {}
  kReceiptPaymentLine(const kReceiptPaymentLine&) = delete;
  kReceiptPaymentLine& operator=(const kReceiptPaymentLine&) = delete;

  kReceipt* Owner() const { return fOwner; }
  qvReceiptPaymentType PaymentType() const { return fPaymentType; }
  void SetPaymentType(qvReceiptPaymentType aValue) { fPaymentType = aValue; }
  const std::string& Description() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  Currency Amount() const { return fAmount; }
  void SetAmount(Currency aValue) { fAmount = aValue; }
  // Currency code of the payment.
  const std::string& PaymentCurrency() const { return fCurrency; }
  void SetPaymentCurrency(std::string aValue) { fCurrency = std::move(aValue); }
  Currency Quantity() const { return fQuantity; }
  void SetQuantity(Currency aValue) { fQuantity = aValue; }
  Currency UnitPrice() const { return fUnitPrice; }
  void SetUnitPrice(Currency aValue) { fUnitPrice = aValue; }

 private:
  kReceipt* fOwner;
  qvReceiptPaymentType fPaymentType = rpt_Cash;
  std::string fDescription;
  Currency fAmount;
  std::string fCurrency;
  Currency fQuantity;
  Currency fUnitPrice;
};

// ----------------------------------------------------------------------------------------
// Message lines: printed before or after the body of a receipt, on a non-fiscal receipt or on
// the customer display.

// Base of the message lines. A line belongs to a receipt (Owner), to a non-fiscal receipt
// (NFOwner) or to nothing (customer display); both owners are plain back references.
class kReceiptMessageLine {
 public:
  explicit kReceiptMessageLine(kReceipt* aOwner) : fOwner(aOwner) {}
  kReceiptMessageLine(const kReceiptMessageLine&) = delete;
  kReceiptMessageLine& operator=(const kReceiptMessageLine&) = delete;
  virtual ~kReceiptMessageLine() = default;

  // A line of type TLine owned by the non-fiscal receipt aOwner. TNFReceipt is kNFReceipt; it
  // must be complete where this is called and offer SupportSpecialChars().
  template <class TLine, class TNFReceipt>
  static std::unique_ptr<TLine> CreateNF(TNFReceipt* aOwner) {
    auto line = std::make_unique<TLine>(nullptr);
    kReceiptMessageLine& base = *line;
    base.fNFOwner = aOwner;
    base.fNFSupportSpecialChars = [](const kNFReceipt& aReceipt) {
      return static_cast<const TNFReceipt&>(aReceipt).SupportSpecialChars();
    };
    return line;
  }

  kReceipt* Owner() const { return fOwner; }
  kNFReceipt* NFOwner() const { return fNFOwner; }
  qvReceiptMessageLineAlignment Alignment() const { return fAlignment; }
  void SetAlignment(qvReceiptMessageLineAlignment aValue) { fAlignment = aValue; }
  const std::string& Value() const { return fValue; }
  void SetValue(std::string aValue) { fValue = std::move(aValue); }

 protected:
  // True when either owner exists and keeps special characters.
  bool OwnerSupportsSpecialChars() const;

 private:
  kReceipt* fOwner;
  kNFReceipt* fNFOwner = nullptr;
  bool (*fNFSupportSpecialChars)(const kNFReceipt&) = nullptr;
  qvReceiptMessageLineAlignment fAlignment = la_none;
  std::string fValue;
};

// A line of text with its character size and print effects.
class kReceiptMessageTextLine : public kReceiptMessageLine {
 public:
  using kReceiptMessageLine::kReceiptMessageLine;

  // The text as printed: unchanged when an owner keeps special characters, otherwise reduced
  // to plain printable ASCII. StoredValue is the text as given.
  std::string Value() const;
  const std::string& StoredValue() const { return kReceiptMessageLine::Value(); }

  qvReceiptSection Section() const { return fSection; }
  void SetSection(qvReceiptSection aValue) { fSection = aValue; }
  int32_t Size() const { return fSize; }
  void SetSize(int32_t aValue) { fSize = aValue; }
  qvReceiptMessageLineEffectSet Effects() const { return fEffects; }
  void SetEffects(qvReceiptMessageLineEffectSet aValue) { fEffects = aValue; }

 private:
  qvReceiptSection fSection = rs_lead;
  int32_t fSize = 0;
  qvReceiptMessageLineEffectSet fEffects;
};

// A barcode whose data is Value (never normalised).
class kReceiptMessageBarcodeLine : public kReceiptMessageLine {
 public:
  using kReceiptMessageLine::kReceiptMessageLine;

  qvReceiptSection Section() const { return fSection; }
  void SetSection(qvReceiptSection aValue) { fSection = aValue; }
  qvReceiptMessageBarcodeType BarcodeType() const { return fBarcodeType; }
  void SetBarcodeType(qvReceiptMessageBarcodeType aValue) { fBarcodeType = aValue; }
  // Print the human-readable text under the code.
  bool HRI() const { return fHRI; }
  void SetHRI(bool aValue) { fHRI = aValue; }
  int32_t QRCodeMinVersion() const { return fQRCodeMinVersion; }
  void SetQRCodeMinVersion(int32_t aValue) { fQRCodeMinVersion = aValue; }

 private:
  qvReceiptSection fSection = rs_lead;
  qvReceiptMessageBarcodeType fBarcodeType = bt_EAN13;
  bool fHRI = false;
  int32_t fQRCodeMinVersion = 0;
};

// An image named by Value: a resource name or a file path. The image keeps its name in a
// field of its own, separate from the base's text.
class kReceiptMessageImageLine : public kReceiptMessageLine {
 public:
  using kReceiptMessageLine::kReceiptMessageLine;

  qvReceiptSection Section() const { return fSection; }
  void SetSection(qvReceiptSection aValue) { fSection = aValue; }
  qvReceiptMessageImageSource Source() const { return fSource; }
  void SetSource(qvReceiptMessageImageSource aValue) { fSource = aValue; }
  const std::string& Value() const { return fValue; }
  void SetValue(std::string aValue) { fValue = std::move(aValue); }

 private:
  qvReceiptSection fSection = rs_lead;
  qvReceiptMessageImageSource fSource = is_Resource;
  std::string fValue;
};

// ----------------------------------------------------------------------------------------
// Lists of the receipt

class kReceiptLines : public kOwnedList<kReceiptLine> {};
class kReceiptMessageLines : public kOwnedList<kReceiptMessageLine> {};

class kReceiptTaxLines : public kOwnedList<kReceiptTaxLine> {
 public:
  // The first tax line whose TaxCode equals aCode exactly, or null.
  kReceiptTaxLine* GetByTaxCode(std::string_view aCode) const;
  // Sums over the tax lines whose TaxRate equals aTaxRate exactly.
  Currency GetTaxableAmountByTaxRate(Currency aTaxRate) const;
  Currency GetTaxAmountByTaxRate(Currency aTaxRate) const;
  // The sum of TaxAmount over all tax lines.
  Currency Amount() const;
};

class kReceiptPaymentLines : public kOwnedList<kReceiptPaymentLine> {
 public:
  // The sum of Amount over all payments except change.
  Currency TotalAmount() const;
};

// ----------------------------------------------------------------------------------------
// The receipt

// The earlier receipt or document that a refund, void or invoice refers to.
struct qvOriginalReceipt {
  DateTime ReceiptDateTime = 0;
  std::string ReceiptNumber;
  std::string DeviceSerialNumber;
  std::string ServerSerialNumber;
  std::string EJNumber;
  std::string EJClosingNumber;
  bool ExcludeFPCheck = false;
  qvReceiptReferenceType ReferenceType = rrt_OriginalReceipt;
  std::string ExternalReference;
  std::string InvoiceNumber;
  DateTime InvoiceDateTime = 0;
};

class kReceipt {
 public:
  kReceipt() = default;
  kReceipt(const kReceipt&) = delete;
  kReceipt& operator=(const kReceipt&) = delete;
  ~kReceipt();

  // Reads the Receipt element of a parsed request (FindReceiptElement). Runs once on a fresh
  // receipt. Fails with qv::Error ("Receipt node not found", "Unable to find Lines node ", a code's
  // or a value's message); what was read before the failure stays in the receipt.
  void Deserialize(const pugi::xml_document& aXmlDocument);
  // The whole receipt as an XML document text (declaration, Receipt element). Does not
  // change the receipt.
  std::string Serialize() const;

  // Sets the three net amounts of every line: item discounts and markups go to the item line
  // before them, subtotal discounts and markups are spread over the item lines before them,
  // and the last item line absorbs any difference to TotalAmount. Run once on a filled
  // receipt (TotalNoSubTotalDiscounts accumulates).
  void CalcLinesNetAmount();
  // The sum of GetAmount over all lines.
  Currency GetCalculatedAmount() const;
  // aAmount without the VAT of the first VAT tax line with code aTaxCode; aAmount unchanged
  // when there is none.
  Currency GetNetAmount(Currency aAmount, std::string_view aTaxCode) const;
  // TaxRate of the first tax line with code aTaxCode (any tax type), else 0.
  Currency GetTaxRate(std::string_view aTaxCode) const;
  Currency TotalTaxableAmount() const;
  Currency TotalTaxAmount() const;
  // Quantities of the product lines (sales, returns, weighted), free items included.
  Currency TotalQuantity() const;

  bool SupportSpecialChars() const { return fSupportSpecialChars; }
  void SetSupportSpecialChars(bool aValue) { fSupportSpecialChars = aValue; }
  const std::string& Layout() const { return fLayout; }
  void SetLayout(std::string aValue) { fLayout = std::move(aValue); }
  bool DefaultLayout() const { return fDefaultLayout; }
  void SetDefaultLayout(bool aValue) { fDefaultLayout = aValue; }
  DateTime BusinessDate() const { return fBusinessDate; }
  void SetBusinessDate(DateTime aValue) { fBusinessDate = aValue; }
  const std::string& ReceiptNumber() const { return fReceiptNumber; }
  void SetReceiptNumber(std::string aValue) { fReceiptNumber = std::move(aValue); }
  DateTime ReceiptDateTime() const { return fReceiptDateTime; }
  void SetReceiptDateTime(DateTime aValue) { fReceiptDateTime = aValue; }
  const std::string& ReceiptZReportNumber() const { return fReceiptZReportNumber; }
  void SetReceiptZReportNumber(std::string aValue) { fReceiptZReportNumber = std::move(aValue); }
  const std::string& DeviceSerialNumber() const { return fDeviceSerialNumber; }
  void SetDeviceSerialNumber(std::string aValue) { fDeviceSerialNumber = std::move(aValue); }
  qvReceiptType ReceiptType() const { return fReceiptType; }
  void SetReceiptType(qvReceiptType aValue) { fReceiptType = aValue; }
  const std::string& ReceiptTypeDescription() const { return fReceiptTypeDescription; }
  void SetReceiptTypeDescription(std::string aValue) {
    fReceiptTypeDescription = std::move(aValue);
  }
  const std::string& ReceiptSubtype() const { return fReceiptSubType; }
  void SetReceiptSubtype(std::string aValue) { fReceiptSubType = std::move(aValue); }
  const std::string& InvoiceNumber() const { return fInvoiceNumber; }
  void SetInvoiceNumber(std::string aValue) { fInvoiceNumber = std::move(aValue); }
  DateTime InvoiceDateTime() const { return fInvoiceDateTime; }
  void SetInvoiceDateTime(DateTime aValue) { fInvoiceDateTime = aValue; }
  const std::string& ExternalReference() const { return fExternalReference; }
  void SetExternalReference(std::string aValue) { fExternalReference = std::move(aValue); }
  const qvOriginalReceipt& OriginalReceipt() const { return fOriginalReceipt; }
  qvOriginalReceipt& OriginalReceipt() { return fOriginalReceipt; }
  void SetOriginalReceipt(qvOriginalReceipt aValue) { fOriginalReceipt = std::move(aValue); }
  const std::string& CountryCode() const { return fCountryCode; }
  void SetCountryCode(std::string aValue) { fCountryCode = std::move(aValue); }
  const std::string& FiscalAreaCode() const { return fFiscalAreaCode; }
  void SetFiscalAreaCode(std::string aValue) { fFiscalAreaCode = std::move(aValue); }
  const std::string& CompanyCode() const { return fCompanyCode; }
  void SetCompanyCode(std::string aValue) { fCompanyCode = std::move(aValue); }
  const std::string& CompanyTaxCode() const { return fCompanyTaxCode; }
  void SetCompanyTaxCode(std::string aValue) { fCompanyTaxCode = std::move(aValue); }
  const std::string& StoreCode() const { return fStoreCode; }
  void SetStoreCode(std::string aValue) { fStoreCode = std::move(aValue); }
  const std::string& StoreAddress() const { return fStoreAddress; }
  void SetStoreAddress(std::string aValue) { fStoreAddress = std::move(aValue); }
  const std::string& StoreZipCode() const { return fStoreZipCode; }
  void SetStoreZipCode(std::string aValue) { fStoreZipCode = std::move(aValue); }
  const std::string& StoreCity() const { return fStoreCity; }
  void SetStoreCity(std::string aValue) { fStoreCity = std::move(aValue); }
  const std::string& TillCode() const { return fTillCode; }
  void SetTillCode(std::string aValue) { fTillCode = std::move(aValue); }
  const std::string& OperatorCode() const { return fOperatorCode; }
  void SetOperatorCode(std::string aValue) { fOperatorCode = std::move(aValue); }
  const std::string& ReceiptBarcode() const { return fReceiptBarcode; }
  void SetReceiptBarcode(std::string aValue) { fReceiptBarcode = std::move(aValue); }
  const std::string& CurrencyCode() const { return fCurrencyCode; }
  void SetCurrencyCode(std::string aValue) { fCurrencyCode = std::move(aValue); }
  // The receipt total as declared by the host.
  Currency TotalAmount() const { return fTotalAmount; }
  void SetTotalAmount(Currency aValue) { fTotalAmount = aValue; }
  Currency TipAmount() const { return fTipAmount; }
  void SetTipAmount(Currency aValue) { fTipAmount = aValue; }
  const std::string& CustomerCode() const { return fCustomerCode; }
  void SetCustomerCode(std::string aValue) { fCustomerCode = std::move(aValue); }
  const std::string& CustomerCard() const { return fCustomerCard; }
  void SetCustomerCard(std::string aValue) { fCustomerCard = std::move(aValue); }
  const std::string& CustomerBusinessName() const { return fCustomerBusinessName; }
  void SetCustomerBusinessName(std::string aValue) { fCustomerBusinessName = std::move(aValue); }
  const std::string& CustomerName() const { return fCustomerName; }
  void SetCustomerName(std::string aValue) { fCustomerName = std::move(aValue); }
  const std::string& CustomerSurname() const { return fCustomerSurname; }
  void SetCustomerSurname(std::string aValue) { fCustomerSurname = std::move(aValue); }
  const std::string& CustomerAddress() const { return fCustomerAddress; }
  void SetCustomerAddress(std::string aValue) { fCustomerAddress = std::move(aValue); }
  const std::string& CustomerZipCode() const { return fCustomerZipCode; }
  void SetCustomerZipCode(std::string aValue) { fCustomerZipCode = std::move(aValue); }
  const std::string& CustomerCity() const { return fCustomerCity; }
  void SetCustomerCity(std::string aValue) { fCustomerCity = std::move(aValue); }
  const std::string& CustomerProvince() const { return fCustomerProvince; }
  void SetCustomerProvince(std::string aValue) { fCustomerProvince = std::move(aValue); }
  const std::string& CustomerCountry() const { return fCustomerCountry; }
  void SetCustomerCountry(std::string aValue) { fCustomerCountry = std::move(aValue); }
  const std::string& CustomerCountryDescription() const { return fCustomerCountryDescription; }
  void SetCustomerCountryDescription(std::string aValue) {
    fCustomerCountryDescription = std::move(aValue);
  }
  DateTime CustomerDateOfBirth() const { return fCustomerDateOfBirth; }
  void SetCustomerDateOfBirth(DateTime aValue) { fCustomerDateOfBirth = aValue; }
  const std::string& CustomerTaxCode() const { return fCustomerTaxCode; }
  void SetCustomerTaxCode(std::string aValue) { fCustomerTaxCode = std::move(aValue); }
  const std::string& CustomerFiscalCode() const { return fCustomerFiscalCode; }
  void SetCustomerFiscalCode(std::string aValue) { fCustomerFiscalCode = std::move(aValue); }
  const std::string& CustomerIdNumber() const { return fCustomerIdNumber; }
  void SetCustomerIdNumber(std::string aValue) { fCustomerIdNumber = std::move(aValue); }
  const std::string& LotteryIdCode() const { return fLotteryIdCode; }
  void SetLotteryIdCode(std::string aValue) { fLotteryIdCode = std::move(aValue); }

  kReceiptMessageLines& LeaderLines() { return fLeaderLines; }
  const kReceiptMessageLines& LeaderLines() const { return fLeaderLines; }
  kReceiptLines& Lines() { return fLines; }
  const kReceiptLines& Lines() const { return fLines; }
  kReceiptPaymentLines& PaymentLines() { return fPayments; }
  const kReceiptPaymentLines& PaymentLines() const { return fPayments; }
  kReceiptTaxLines& Taxes() { return fTaxes; }
  const kReceiptTaxLines& Taxes() const { return fTaxes; }
  kReceiptMessageLines& TrailerMessages() { return fTrailerMessages; }
  const kReceiptMessageLines& TrailerMessages() const { return fTrailerMessages; }

  bool ToBeInvoiced() const { return fToBeInvoiced; }
  void SetToBeInvoiced(bool aValue) { fToBeInvoiced = aValue; }
  bool SendByEmail() const { return fSendByEmail; }
  void SetSendByEmail(bool aValue) { fSendByEmail = aValue; }
  const std::string& EmailReference() const { return fEmailReference; }
  void SetEmailReference(std::string aValue) { fEmailReference = std::move(aValue); }
  const std::string& EmailRecipients() const { return fEmailRecipients; }
  void SetEmailRecipients(std::string aValue) { fEmailRecipients = std::move(aValue); }
  bool PrintReceipt() const { return fPrintReceipt; }
  void SetPrintReceipt(bool aValue) { fPrintReceipt = aValue; }
  // Header texts of the request, in order.
  std::vector<std::string>& Headers() { return fHeaders; }
  const std::vector<std::string>& Headers() const { return fHeaders; }

 private:
  void SpreadSubtotalAdjustment(std::size_t aAdjustmentIndex, Currency aRunningTotal);

  bool fSupportSpecialChars = false;
  std::string fLayout;
  bool fDefaultLayout = false;
  DateTime fBusinessDate = 0;
  std::string fReceiptNumber;
  DateTime fReceiptDateTime = 0;
  std::string fReceiptZReportNumber;
  std::string fDeviceSerialNumber;
  qvReceiptType fReceiptType = rt_Sale;
  std::string fReceiptTypeDescription;
  std::string fReceiptSubType;
  std::string fInvoiceNumber;
  DateTime fInvoiceDateTime = 0;
  std::string fExternalReference;
  qvOriginalReceipt fOriginalReceipt;
  std::string fCountryCode;
  std::string fFiscalAreaCode;
  std::string fCompanyCode;
  std::string fCompanyTaxCode;
  std::string fStoreCode;
  std::string fStoreAddress;
  std::string fStoreZipCode;
  std::string fStoreCity;
  std::string fTillCode;
  std::string fOperatorCode;
  std::string fReceiptBarcode;
  std::string fCurrencyCode;
  Currency fTotalAmount;
  Currency fTipAmount;
  std::string fCustomerCode;
  std::string fCustomerCard;
  std::string fCustomerBusinessName;
  std::string fCustomerName;
  std::string fCustomerSurname;
  std::string fCustomerAddress;
  std::string fCustomerZipCode;
  std::string fCustomerCity;
  std::string fCustomerProvince;
  std::string fCustomerCountry;
  std::string fCustomerCountryDescription;
  DateTime fCustomerDateOfBirth = 0;
  std::string fCustomerTaxCode;
  std::string fCustomerFiscalCode;
  std::string fCustomerIdNumber;
  std::string fLotteryIdCode;
  kReceiptMessageLines fLeaderLines;
  kReceiptLines fLines;
  kReceiptPaymentLines fPayments;
  kReceiptTaxLines fTaxes;
  kReceiptMessageLines fTrailerMessages;
  bool fToBeInvoiced = false;
  bool fSendByEmail = false;
  std::string fEmailReference;
  std::string fEmailRecipients;
  bool fPrintReceipt = false;
  std::vector<std::string> fHeaders;
};

// The Receipt element of a parsed document (a request, a journal file): the document element
// itself when it is named Receipt, else its first Receipt child; an empty node when neither.
pugi::xml_node FindReceiptElement(const pugi::xml_document& aDocument);

}  // namespace qv::documents

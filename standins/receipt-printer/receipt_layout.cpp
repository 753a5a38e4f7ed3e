// The receipt text layout of the text-only receipt printer.
#include "receipt_layout.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "base/wide_integer.h"
#include "platform/unicode.h"

namespace qv::standins {
namespace {

constexpr int64_t kScale = 10000;

std::string Lower(std::string_view aText) {
  std::string result(aText);
  for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::string Upper(std::string_view aText) {
  std::string result(aText);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

int Width(std::string_view aText) { return static_cast<int>(platform::Utf16Length(aText)); }

std::string Spaces(int aCount) { return std::string(aCount > 0 ? aCount : 0, ' '); }

std::string Text(const pugi::xml_node& aParent, const char* aName) {
  return aParent.child(aName).text().get();
}

bool Has(const pugi::xml_node& aParent, const char* aName) {
  return static_cast<bool>(aParent.child(aName));
}

tAmount Amount(const pugi::xml_node& aParent, const char* aName) {
  return ParseAmount(Text(aParent, aName), aName);
}

bool Flag(const pugi::xml_node& aParent, const char* aName) {
  const std::string value = Lower(Text(aParent, aName));
  return value == "true" || (!value.empty() && value != "false" && value != "0");
}

tAmount Negated(tAmount aAmount) { return {-aAmount.raw}; }
tAmount Sum(tAmount aLeft, tAmount aRight) { return {aLeft.raw + aRight.raw}; }

// aLeft x aRight, rounded to four decimals, halves away from zero.
tAmount Product(tAmount aLeft, tAmount aRight) {
  // 128-bit by hand: 32-bit targets have no built-in 128-bit integer.
  const bool negative = (aLeft.raw < 0) != (aRight.raw < 0);
  const auto magnitude = [](int64_t aValue) {
    return aValue < 0 ? uint64_t{0} - static_cast<uint64_t>(aValue) : static_cast<uint64_t>(aValue);
  };
  uint64_t remainder = 0;
  const base::UInt128 quotient =
      base::UInt128::Multiply(magnitude(aLeft.raw), magnitude(aRight.raw))
          .DivideBy(static_cast<uint64_t>(kScale), remainder);
  const uint64_t rounded = quotient.low + (remainder >= kScale / 2 ? 1u : 0u);
  return {negative ? -static_cast<int64_t>(rounded) : static_cast<int64_t>(rounded)};
}

// "2023-08-09T09:39:19" as "09/08/2023 09:39"; other texts as they stand.
std::string DateText(const std::string& aXmlDateTime) {
  if (aXmlDateTime.size() < 16) return aXmlDateTime;
  for (int at : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15}) {
    if (!std::isdigit(static_cast<unsigned char>(aXmlDateTime[at]))) return aXmlDateTime;
  }
  return aXmlDateTime.substr(8, 2) + "/" + aXmlDateTime.substr(5, 2) + "/" +
         aXmlDateTime.substr(0, 4) + " " + aXmlDateTime.substr(11, 2) + ":" +
         aXmlDateTime.substr(14, 2);
}

std::string Joined(std::string_view aFirst, std::string_view aSecond) {
  if (aFirst.empty()) return std::string(aSecond);
  if (aSecond.empty()) return std::string(aFirst);
  return std::string(aFirst) + " " + std::string(aSecond);
}

std::string ReceiptTitle(const pugi::xml_node& aReceipt) {
  const std::string description = Text(aReceipt, "ReceiptTypeDescription");
  if (!description.empty()) return description;
  const std::string type = Lower(Text(aReceipt, "Type"));
  if (type == "sale") return "SALE";
  if (type == "refund") return "REFUND";
  if (type == "void") return "VOID";
  if (type == "invoicesale") return "INVOICE";
  if (type == "invoicesalefromreceipt") return "INVOICE FROM RECEIPT";
  throw tBadReceipt("ReceiptType " + type + " is invalid");
}

std::string PaymentLabel(const std::string& aType) {
  static const struct {
    const char* code;
    const char* label;
  } kPayments[] = {
      {"cash", "Cash"},
      {"cheque", "Cheque"},
      {"creditcard", "Credit card"},
      {"debitcard", "Debit card"},
      {"credit", "Credit"},
      {"creditonproducts", "Credit on products"},
      {"creditonservices", "Credit on services"},
      {"giftcard", "Gift card"},
      {"voucher", "Voucher"},
      {"mealvoucher", "Meal voucher"},
      {"nhscard", "NHS card"},
      {"change", "Change"},
  };
  for (const auto& payment : kPayments) {
    if (aType == payment.code) return payment.label;
  }
  throw tBadReceipt("PaymentType " + aType + " is invalid");
}

}  // namespace

tAmount ParseAmount(std::string_view aText, std::string_view aWhat) {
  std::string_view text = aText;
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  if (text.empty()) return {};
  const bool negative = text.front() == '-';
  if (negative || text.front() == '+') text.remove_prefix(1);
  int64_t whole = 0;
  int64_t fraction = 0;
  int integerDigits = 0;
  int decimals = -1;
  bool valid = !text.empty();
  for (char c : text) {
    if (c == '.' && decimals < 0) {
      decimals = 0;
    } else if (std::isdigit(static_cast<unsigned char>(c)) && decimals < 0 && integerDigits < 14) {
      whole = whole * 10 + (c - '0');
      ++integerDigits;
    } else if (std::isdigit(static_cast<unsigned char>(c)) && decimals >= 0 && decimals < 4) {
      fraction = fraction * 10 + (c - '0');
      ++decimals;
    } else {
      valid = false;
    }
  }
  if (!valid || (integerDigits == 0 && decimals <= 0)) {
    throw tBadReceipt(std::string(aWhat) + " '" + std::string(aText) + "' is not an amount");
  }
  for (int i = decimals < 0 ? 0 : decimals; i < 4; ++i) fraction *= 10;
  const int64_t raw = whole * kScale + fraction;
  return {negative ? -raw : raw};
}

std::string MoneyText(tAmount aAmount) {
  const bool negative = aAmount.raw < 0;
  const int64_t magnitude = negative ? -aAmount.raw : aAmount.raw;
  const int64_t cents = (magnitude + 50) / 100;
  char text[48];
  std::snprintf(text, sizeof text, "%s%lld.%02lld", negative && cents != 0 ? "-" : "",
                static_cast<long long>(cents / 100), static_cast<long long>(cents % 100));
  return text;
}

std::string QuantityText(tAmount aAmount) {
  const bool negative = aAmount.raw < 0;
  const int64_t magnitude = negative ? -aAmount.raw : aAmount.raw;
  std::string text = (negative ? "-" : "") + std::to_string(magnitude / kScale);
  int64_t fraction = magnitude % kScale;
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04lld", static_cast<long long>(fraction));
    std::string decimals = digits;
    while (decimals.back() == '0') decimals.pop_back();
    text += "." + decimals;
  }
  return text;
}

tReceiptLayout::tReceiptLayout(int aWidth) : fWidth(aWidth) {
  if (aWidth < kMinimumWidth || aWidth > kMaximumWidth) {
    throw tBadReceipt("LineLength " + std::to_string(aWidth) + " is out of range (" +
                      std::to_string(kMinimumWidth) + " to " + std::to_string(kMaximumWidth) + ")");
  }
}

std::vector<std::string> tReceiptLayout::Wrap(std::string_view aText) const {
  // Each paragraph is converted to UTF-16 once and cut by unit positions, so that a trailer
  // text of megabytes is laid out in time proportional to its length.
  std::vector<std::string> lines;
  const std::size_t width = static_cast<std::size_t>(fWidth);
  std::size_t start = 0;
  do {
    std::size_t end = aText.find('\n', start);
    if (end == std::string_view::npos) end = aText.size();
    std::string_view paragraphText = aText.substr(start, end - start);
    if (!paragraphText.empty() && paragraphText.back() == '\r') paragraphText.remove_suffix(1);
    start = end + 1;
    const std::u16string paragraph = platform::Utf8ToUtf16(paragraphText);
    std::u16string_view rest = paragraph;
    while (rest.size() > width) {
      std::u16string_view line = rest.substr(0, width);
      // A blank right after the full width is the natural break.
      const bool breaksAfter = rest[width] == u' ';
      const std::size_t blank = breaksAfter ? width : line.find_last_of(u' ');
      if (blank != std::u16string_view::npos && blank > 0) {
        line = line.substr(0, blank);
        rest.remove_prefix(blank + 1);
      } else {
        rest.remove_prefix(width);
      }
      while (!line.empty() && line.back() == u' ') line.remove_suffix(1);
      lines.push_back(platform::Utf16ToUtf8(line));
    }
    lines.push_back(platform::Utf16ToUtf8(rest));
  } while (start <= aText.size());
  return lines;
}

std::string tReceiptLayout::Aligned(std::string_view aText, std::string_view aAlignment) const {
  const std::string alignment = Lower(aAlignment);
  const int free = fWidth - Width(aText);
  if (alignment == "right") return Spaces(free) + std::string(aText);
  if (alignment == "center") return Spaces(free / 2) + std::string(aText);
  return std::string(aText);
}

std::vector<std::string> tReceiptLayout::TwoColumns(std::string_view aLeft,
                                                    std::string_view aRight) const {
  std::vector<std::string> lines = Wrap(aLeft);
  const int right = Width(aRight);
  if (aRight.empty()) return lines;
  if (right >= fWidth) {
    for (const std::string& line : Wrap(aRight)) lines.push_back(Aligned(line, "right"));
    return lines;
  }
  std::string& last = lines.back();
  if (Width(last) + 1 + right <= fWidth) {
    last += Spaces(fWidth - Width(last) - right) + std::string(aRight);
  } else {
    lines.push_back(Spaces(fWidth - right) + std::string(aRight));
  }
  return lines;
}

void tReceiptLayout::Add(std::vector<std::string>& aOut,
                         const std::vector<std::string>& aLines) const {
  aOut.insert(aOut.end(), aLines.begin(), aLines.end());
}

std::vector<std::string> tReceiptLayout::Render(const pugi::xml_node& aReceipt) const {
  std::vector<std::string> out;
  RenderHeader(aReceipt, out);
  const pugi::xml_node lines = aReceipt.child("Lines");
  if (!lines) throw tBadReceipt("Unable to find Lines node ");
  out.push_back(Separator());
  const tAmount calculated = RenderBody(lines, out);
  out.push_back(Separator());
  RenderTotals(aReceipt, calculated, out);
  const tAmount total = Has(aReceipt, "TotalAmount") ? Amount(aReceipt, "TotalAmount") : calculated;
  if (const pugi::xml_node taxes = aReceipt.child("Taxes"); taxes.child("Tax")) {
    out.push_back(Separator());
    RenderTaxes(taxes, out);
  }
  if (const pugi::xml_node payments = aReceipt.child("Payments"); payments.child("Payment")) {
    out.push_back(Separator());
    RenderPayments(payments, total, out);
  }
  if (const pugi::xml_node trailer = aReceipt.child("TrailerMessages"); trailer.first_child()) {
    out.push_back(Separator());
    RenderMessages(trailer, out);
  }
  return out;
}

void tReceiptLayout::RenderHeader(const pugi::xml_node& aReceipt,
                                  std::vector<std::string>& aOut) const {
  for (const pugi::xml_node& header : aReceipt.child("Headers").children()) {
    for (const std::string& line : Wrap(header.text().get())) {
      aOut.push_back(Aligned(line, "center"));
    }
  }
  const std::string place = Joined(Text(aReceipt, "StoreZipCode"), Text(aReceipt, "StoreCity"));
  for (const std::string& text : {Text(aReceipt, "StoreAddress"), place}) {
    if (text.empty()) continue;
    for (const std::string& line : Wrap(text)) aOut.push_back(Aligned(line, "center"));
  }
  if (const std::string taxCode = Text(aReceipt, "CompanyTaxCode"); !taxCode.empty()) {
    aOut.push_back(Aligned("VAT No " + taxCode, "center"));
  }
  if (aReceipt.child("LeaderLines").first_child())
    RenderMessages(aReceipt.child("LeaderLines"), aOut);
  aOut.push_back(Separator());
  aOut.push_back(Aligned(ReceiptTitle(aReceipt), "center"));
  Add(aOut,
      TwoColumns("Receipt " + Text(aReceipt, "Number"), DateText(Text(aReceipt, "DateTime"))));
  const std::string z = Text(aReceipt, "ZReportNumber");
  const std::string till = Text(aReceipt, "TillCode");
  if (!z.empty() || !till.empty()) {
    Add(aOut, TwoColumns(z.empty() ? "" : "Z " + z, till.empty() ? "" : "Till " + till));
  }
  if (const std::string op = Text(aReceipt, "OperatorCode"); !op.empty()) {
    Add(aOut, TwoColumns("Operator " + op, ""));
  }
  const pugi::xml_node original = aReceipt.child("References").child("OriginalReceipt");
  if (const std::string number = Text(original, "ReceiptNumber"); !number.empty()) {
    Add(aOut,
        TwoColumns("Original receipt " + number, DateText(Text(original, "ReceiptDateTime"))));
  }
  std::string customer = Text(aReceipt, "CustomerBusinessName");
  if (customer.empty()) {
    customer = Joined(Text(aReceipt, "CustomerName"), Text(aReceipt, "CustomerSurname"));
  }
  if (!customer.empty()) Add(aOut, Wrap("Customer " + customer));
  if (const std::string tax = Text(aReceipt, "CustomerTaxCode"); !tax.empty()) {
    Add(aOut, Wrap("Customer VAT No " + tax));
  }
}

tAmount tReceiptLayout::RenderBody(const pugi::xml_node& aLines,
                                   std::vector<std::string>& aOut) const {
  tAmount running;
  for (const pugi::xml_node& line : aLines.children()) {
    if (line.type() != pugi::node_element) continue;
    const std::string type = Lower(line.name());
    const std::string description = Text(line, "Description");
    const std::string taxCode = Text(line, "TaxCode");
    const auto withTax = [&](tAmount aAmount) {
      return taxCode.empty() ? MoneyText(aAmount) : MoneyText(aAmount) + " " + taxCode;
    };
    if (type == "productsale" || type == "weightedproductsale" || type == "productreturn") {
      const tAmount quantity = Has(line, "Quantity") ? Amount(line, "Quantity") : tAmount{kScale};
      const tAmount price = Amount(line, "Price");
      tAmount amount = Amount(line, "Amount");
      if (!Has(line, "Amount")) amount = Product(quantity, price);
      const bool free = Flag(line, "FreeOfCharge");
      tAmount signedAmount = type == "productreturn" ? Negated(amount) : amount;
      if (free) signedAmount = {};
      const std::string name = description.empty() ? Text(line, "Code") : description;
      Add(aOut,
          TwoColumns(type == "productreturn" ? "RETURN " + name : name, withTax(signedAmount)));
      if (quantity.raw != kScale || type == "weightedproductsale") {
        std::string detail =
            "  " + Joined(QuantityText(quantity), Text(line, "UOM")) + " x " + MoneyText(price);
        if (Has(line, "Tare")) detail += "  tare " + QuantityText(Amount(line, "Tare"));
        Add(aOut, Wrap(detail));
      }
      if (free) aOut.push_back("  FREE OF CHARGE");
      running = Sum(running, signedAmount);
    } else if (type == "vouchersale" || type == "voucherredeem" || type == "giftcardsale" ||
               type == "giftcardredeem") {
      const bool redeem = type == "voucherredeem" || type == "giftcardredeem";
      const bool free = !redeem && Flag(line, "FreeOfCharge");
      const std::string kind = type.rfind("voucher", 0) == 0 ? "Voucher" : "Gift card";
      const std::string name = description.empty()
                                   ? Joined(redeem ? kind + " redeemed" : kind, Text(line, "Code"))
                                   : description;
      const tAmount price = Amount(line, "Price");
      const tAmount signedAmount = free ? tAmount{} : (redeem ? Negated(price) : price);
      Add(aOut, TwoColumns(name, withTax(signedAmount)));
      running = Sum(running, signedAmount);
    } else if (type == "subtotal") {
      const tAmount shown = Has(line, "Amount") ? Amount(line, "Amount") : running;
      Add(aOut, TwoColumns("SUBTOTAL", MoneyText(shown)));
    } else if (type == "text") {
      Add(aOut, Wrap(description));
    } else if (type.rfind("discount", 0) == 0 || type.rfind("markup", 0) == 0) {
      const bool discount = type.rfind("discount", 0) == 0;
      const bool onSubtotal = type.find("onsubtotal") != std::string::npos;
      std::string label = description;
      if (label.empty()) {
        label = std::string(discount ? "Discount" : "Markup") + (onSubtotal ? " on subtotal" : "");
      }
      if (type.find("percentage") != std::string::npos) {
        label += " " + QuantityText(Amount(line, "Percentage")) + "%";
      } else if (type.find("amount") == std::string::npos) {
        throw tBadReceipt("LineType " + type + " is invalid");
      }
      const tAmount amount = Amount(line, "Amount");
      const tAmount signedAmount = discount ? Negated(amount) : amount;
      Add(aOut, TwoColumns(label, MoneyText(signedAmount)));
      running = Sum(running, signedAmount);
    } else if (type == "collectamount") {
      const tAmount amount = Amount(line, "Amount");
      Add(aOut,
          TwoColumns(description.empty() ? "Collected amount" : description, withTax(amount)));
      running = Sum(running, amount);
    } else {
      throw tBadReceipt("LineType " + type + " is invalid");
    }
  }
  return running;
}

void tReceiptLayout::RenderTotals(const pugi::xml_node& aReceipt, tAmount aCalculated,
                                  std::vector<std::string>& aOut) const {
  const tAmount total =
      Has(aReceipt, "TotalAmount") ? Amount(aReceipt, "TotalAmount") : aCalculated;
  Add(aOut, TwoColumns(Joined("TOTAL", Text(aReceipt, "CurrencyCode")), MoneyText(total)));
  if (const tAmount tip = Amount(aReceipt, "TipAmount"); tip.raw != 0) {
    Add(aOut, TwoColumns("Tip", MoneyText(tip)));
  }
}

void tReceiptLayout::RenderTaxes(const pugi::xml_node& aTaxes,
                                 std::vector<std::string>& aOut) const {
  const int column = fWidth >= 52 ? 13 : (fWidth - 4) / 4;
  const int label = fWidth - 3 * column;
  const auto row = [&](const std::string& aLabel, const std::string& aTaxable,
                       const std::string& aTax, const std::string& aTotal) {
    std::string text = platform::Utf16Left(aLabel, label - 1);
    text += Spaces(label - Width(text));
    for (const std::string* cell : {&aTaxable, &aTax, &aTotal}) {
      text += Spaces(column - Width(*cell)) + *cell;
    }
    return text;
  };
  aOut.push_back(row("Tax", "Taxable", "Tax", "Total"));
  for (const pugi::xml_node& tax : aTaxes.children("Tax")) {
    const std::string type = Lower(Text(tax, "Type"));
    if (type != "vat" && type != "salestax") throw tBadReceipt("TaxType " + type + " is invalid");
    std::string name = Text(tax, "Code");
    if (name.empty()) name = Text(tax, "Description");
    aOut.push_back(row(Joined(name, QuantityText(Amount(tax, "Rate")) + "%"),
                       MoneyText(Amount(tax, "TaxableAmount")), MoneyText(Amount(tax, "TaxAmount")),
                       MoneyText(Amount(tax, "TotalAmount"))));
  }
}

void tReceiptLayout::RenderPayments(const pugi::xml_node& aPayments, tAmount aTotal,
                                    std::vector<std::string>& aOut) const {
  tAmount paid;
  bool changeGiven = false;
  for (const pugi::xml_node& payment : aPayments.children("Payment")) {
    const std::string type = Lower(Text(payment, "Type"));
    std::string label = Text(payment, "Description");
    if (label.empty()) label = PaymentLabel(type);
    PaymentLabel(type);  // validates the type also when a description is given
    if (const std::string currency = Text(payment, "Currency"); !currency.empty()) {
      label += " (" + currency + ")";
    }
    const tAmount amount = Amount(payment, "Amount");
    Add(aOut, TwoColumns(label, MoneyText(amount)));
    const tAmount quantity = Amount(payment, "Quantity");
    if (quantity.raw != 0 && quantity.raw != kScale) {
      Add(aOut,
          Wrap("  " + QuantityText(quantity) + " x " + MoneyText(Amount(payment, "UnitPrice"))));
    }
    if (type == "change") {
      changeGiven = true;
    } else {
      paid = Sum(paid, amount);
    }
  }
  if (!changeGiven && paid.raw > aTotal.raw && aTotal.raw >= 0) {
    Add(aOut, TwoColumns("Change", MoneyText({paid.raw - aTotal.raw})));
  }
}

void tReceiptLayout::RenderMessages(const pugi::xml_node& aParent,
                                    std::vector<std::string>& aOut) const {
  for (const pugi::xml_node& message : aParent.children()) {
    const std::string kind = message.name();
    const std::string alignment = Lower(Text(message, "Alignment"));
    if (!alignment.empty() && alignment != "left" && alignment != "right" &&
        alignment != "center") {
      throw tBadReceipt("Alignment " + alignment + " is invalid");
    }
    if (kind == "Text") {
      for (const std::string& line : Wrap(Text(message, "Value"))) {
        aOut.push_back(Aligned(line, alignment));
      }
    } else if (kind == "Barcode") {
      const bool readable = !Has(message, "HRI") || Flag(message, "HRI");
      const std::string label = "[" + Upper(Text(message, "Type")) + "]";
      for (const std::string& line :
           Wrap(readable ? Joined(label, Text(message, "Value")) : label)) {
        aOut.push_back(Aligned(line, "center"));
      }
    } else if (kind == "Image") {
      const std::string name = Text(message, "Value");
      aOut.push_back(Aligned(name.empty() ? "[image]" : "[image " + name + "]",
                             alignment.empty() ? "center" : alignment));
    }
  }
}

}  // namespace qv::standins

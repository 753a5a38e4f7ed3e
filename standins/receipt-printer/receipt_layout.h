// Lays out the printable text of a receipt, a fixed number of columns wide, from the Receipt
// element of a request: header lines, store and receipt data, the body lines with quantities,
// prices, amounts, discounts, markups and subtotals, the total, the tax summary, payments and
// change, and the leader and trailer messages with their alignment.
//
// Widths are counted in characters (UTF-16 code units). Amounts are printed with two
// decimals, "." as decimal point and no grouping; a negative amount has a leading "-".
// Stateless apart from the width; one object per receipt. Safe from any thread.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace qv::standins {

// A receipt that cannot be laid out; the message says why.
class tBadReceipt : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Amounts as the documents give them: ten-thousandths in a signed 64-bit integer.
struct tAmount {
  int64_t raw = 0;
};
// Reads "12.5", "-3", "0.0001" (at most four decimals; the empty text is 0). Throws
// tBadReceipt naming aWhat for any other text.
tAmount ParseAmount(std::string_view aText, std::string_view aWhat);
// Two decimals, halves away from zero: "12.50", "-0.30".
std::string MoneyText(tAmount aAmount);
// Shortest form with up to four decimals: "2", "0.75", "1.234".
std::string QuantityText(tAmount aAmount);

class tReceiptLayout {
 public:
  static constexpr int kMinimumWidth = 24;
  static constexpr int kMaximumWidth = 200;

  // aWidth must lie between kMinimumWidth and kMaximumWidth.
  explicit tReceiptLayout(int aWidth);

  // The receipt's lines, each at most the width long, without line ends. Throws tBadReceipt
  // for a line type, payment type, alignment or amount it cannot read.
  std::vector<std::string> Render(const pugi::xml_node& aReceipt) const;

  // Helpers of the layout, one output line each unless stated.
  std::vector<std::string> Wrap(std::string_view aText) const;  // at blanks, at least one line
  std::string Aligned(std::string_view aText, std::string_view aAlignment) const;
  std::vector<std::string> TwoColumns(std::string_view aLeft, std::string_view aRight) const;

 private:
  void RenderHeader(const pugi::xml_node& aReceipt, std::vector<std::string>& aOut) const;
  void RenderMessages(const pugi::xml_node& aParent, std::vector<std::string>& aOut) const;
  // Appends the body and gives the sum of the signed line amounts.
  tAmount RenderBody(const pugi::xml_node& aLines, std::vector<std::string>& aOut) const;
  void RenderTotals(const pugi::xml_node& aReceipt, tAmount aCalculated,
                    std::vector<std::string>& aOut) const;
  void RenderTaxes(const pugi::xml_node& aTaxes, std::vector<std::string>& aOut) const;
  void RenderPayments(const pugi::xml_node& aPayments, tAmount aTotal,
                      std::vector<std::string>& aOut) const;
  std::string Separator(char aChar = '-') const { return std::string(fWidth, aChar); }
  void Add(std::vector<std::string>& aOut, const std::vector<std::string>& aLines) const;

  int fWidth;
};

}  // namespace qv::standins

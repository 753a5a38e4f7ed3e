// Receipts far larger than a till ever sends are answered in time proportional to their size.
//
// PROCESSRECEIPT end to end (the built library QVFP_CYKAVREN_10 loaded from this program's
// folder with the stand-in receipt printer and signing box beside it): a receipt whose one
// trailer message is a text of 1 MB and then 2 MB of words, Greek and Latin, which the
// receipt printer wraps into lines 52 columns wide; and a receipt of 50,000 and then 100,000
// product lines. Each size is sent several times, alternating, and the median is kept; the
// figure to read is the ratio of the larger to the smaller (2 when the cost is linear).
// Target: at most 2.4.
//
//   bench_long_receipt_bench [repetitions [small-MB large-MB]]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_till.h"
#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/ole_string.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

std::string Request(int aHandle, const std::string& aReceipt) {
  return qv::bench::TillRequest("LONGBENCH", aHandle, aReceipt);
}

std::string Receipt(const std::string& aLines, const std::string& aTrailer) {
  return "<Receipt><Type>Sale</Type><TillCode>T1</TillCode><OperatorCode>7</OperatorCode>"
         "<CurrencyCode>EUR</CurrencyCode><TotalAmount>3.00</TotalAmount><Lines>" +
         aLines +
         "</Lines><Taxes><Tax><Type>VAT</Type><Code>A</Code><Rate>19</Rate>"
         "<TaxableAmount>2.52</TaxableAmount><TaxAmount>0.48</TaxAmount>"
         "<TotalAmount>3.00</TotalAmount></Tax></Taxes><Payments><Payment><Type>Cash</Type>"
         "<Amount>3.00</Amount></Payment></Payments><TrailerMessages>" +
         aTrailer + "</TrailerMessages></Receipt>";
}

const char* const kProductLine =
    "<ProductSale><Description>Espresso</Description><Quantity>1</Quantity>"
    "<TaxCode>A</TaxCode><Price>3.00</Price><Amount>3.00</Amount></ProductSale>";

// A receipt whose trailer message holds aBytes of words.
std::string LongTrailerReceipt(std::size_t aBytes) {
  std::string text;
  text.reserve(aBytes + 16);
  for (int i = 0; text.size() < aBytes; ++i) {
    text += i % 3 == 0 ? "καφές " : "word" + std::to_string(i % 1000) + " ";
  }
  return Receipt(kProductLine, "<Text><Value>" + text +
                                   "</Value><Alignment>Center</Alignment><Size>1</Size></Text>");
}

std::string ManyLinesReceipt(int aLines) {
  std::string lines;
  for (int i = 0; i < aLines; ++i) lines += kProductLine;
  return Receipt(lines, "");
}

class Driver {
 public:
  Driver() : fTill(Request(0, "")) {}

  // Seconds to answer the receipt; throws when it is refused.
  double Seconds(const std::string& aReceipt) const {
    const qv::platform::OleString request(Request(fTill.Handle(), aReceipt));
    std::string output, failure;
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = fTill.Process(request, output, failure);
    const auto end = std::chrono::steady_clock::now();
    if (result != 0) throw std::runtime_error("PROCESSRECEIPT failed: " + failure);
    return std::chrono::duration<double>(end - start).count();
  }

 private:
  qv::bench::OpenedTill fTill;
};

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

// Sends both receipts aRepetitions times, alternating, and prints their medians and ratio.
bool Compare(const Driver& aDriver, const char* aWhat, const std::string& aSmallName,
             const std::string& aSmall, const std::string& aLargeName, const std::string& aLarge,
             int aRepetitions) {
  std::vector<double> small, large;
  for (int i = 0; i < aRepetitions; ++i) {
    small.push_back(aDriver.Seconds(aSmall));
    large.push_back(aDriver.Seconds(aLarge));
  }
  const double ratio = Median(large) / Median(small);
  std::printf(
      "%s: %s %.3f s, %s %.3f s (request %.1f MB and %.1f MB); ratio %.2f "
      "(target <= 2.40): %s\n",
      aWhat, aSmallName.c_str(), Median(small), aLargeName.c_str(), Median(large),
      static_cast<double>(aSmall.size()) / 1e6, static_cast<double>(aLarge.size()) / 1e6, ratio,
      ratio <= 2.4 ? "met" : "NOT MET");
  return ratio <= 2.4;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const double smallMb = argc > 3 ? std::atof(argv[2]) : 1.0;
    const double largeMb = argc > 3 ? std::atof(argv[3]) : 2.0;
    qv::bench::ScratchTill till("long");
    const Driver driver;
    char smallName[32], largeName[32];
    std::snprintf(smallName, sizeof smallName, "%g MB", smallMb);
    std::snprintf(largeName, sizeof largeName, "%g MB", largeMb);
    Compare(driver, "Trailer text", smallName,
            LongTrailerReceipt(static_cast<std::size_t>(smallMb * 1e6)), largeName,
            LongTrailerReceipt(static_cast<std::size_t>(largeMb * 1e6)), repetitions);
    Compare(driver, "Product lines", "50,000 lines", ManyLinesReceipt(50000), "100,000 lines",
            ManyLinesReceipt(100000), repetitions);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}

// Reading a 1,000-line receipt against pugixml's bare parse of the same text, measured in the
// same run, and the net-amount calculation on that receipt. The ratio of reading to bare
// parsing is printed at the end (target: at most 3).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/xml_utils.h"
#include "bench_till.h"
#include "documents/receipt.h"

namespace {

using qv::documents::kReceipt;

// A sale of 1,000 lines: products with item discounts and markups, a subtotal and a subtotal
// discount every hundred lines, and the taxes and payments of a real receipt.
std::string GenerateReceipt() {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><Request><Handle>1</Handle><Receipt>"
      "<Layout>DocumentLayout</Layout><Type>Sale</Type><StoreCode>S01</StoreCode><TillCode>T1"
      "</TillCode><DateTime>2023-08-09T09:39:19</DateTime><TotalAmount>9000</TotalAmount>"
      "<CurrencyCode>EUR</CurrencyCode><CustomerZIPCode>1010</CustomerZIPCode><Lines>";
  for (int line = 0; line < 1000; ++line) {
    if (line % 100 == 99) {
      xml += "<SubTotal><Amount>1000</Amount></SubTotal>";
    } else if (line % 100 == 98) {
      xml +=
          "<DiscountAmountOnSubtotal><Amount>3.33</Amount><Description>Promo"
          "</Description></DiscountAmountOnSubtotal>";
    } else if (line % 10 == 5) {
      xml +=
          "<DiscountPercentage><Percentage>10</Percentage><Amount>0.25</Amount>"
          "<Description>10 %</Description></DiscountPercentage>";
    } else {
      xml += "<ProductSale><Code>" + std::to_string(100000 + line) +
             "</Code><Description>Article number " + std::to_string(line) +
             "</Description><Quantity>1.5</Quantity><UOM>PCS</UOM><Department>D1</Department>"
             "<TaxCode>A</TaxCode><Price>6.6667</Price><Amount>10.00</Amount><Attribute>"
             "product</Attribute></ProductSale>";
    }
  }
  xml +=
      "</Lines><Taxes><Tax><Type>VAT</Type><Code>A</Code><Description>19 %</Description>"
      "<Rate>19</Rate><TaxableAmount>7563.03</TaxableAmount><TaxAmount>1436.97</TaxAmount>"
      "<TotalAmount>9000</TotalAmount></Tax></Taxes><Payments><Payment><Type>cash</Type>"
      "<Amount>9000</Amount></Payment></Payments><TrailerMessages><Text><Value>Thank you"
      "</Value><Alignment>center</Alignment></Text></TrailerMessages></Receipt></Request>";
  return xml;
}

const std::string& ReceiptText() {
  static const std::string text = GenerateReceipt();
  return text;
}

void BM_BareParse(benchmark::State& aState) {
  const std::string& text = ReceiptText();
  for (auto _ : aState) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(
        document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8));
  }
}
BENCHMARK(BM_BareParse);

// The library's checked parse (size and nesting limits) without reading the receipt.
void BM_CheckedParse(benchmark::State& aState) {
  const std::string& text = ReceiptText();
  for (auto _ : aState) {
    pugi::xml_document document;
    qv::base::ParseXml(document, text);
    benchmark::DoNotOptimize(document.first_child());
  }
}
BENCHMARK(BM_CheckedParse);

void BM_ReadReceipt(benchmark::State& aState) {
  const std::string& text = ReceiptText();
  for (auto _ : aState) {
    pugi::xml_document document;
    qv::base::ParseXml(document, text);
    kReceipt receipt;
    receipt.Deserialize(document);
    benchmark::DoNotOptimize(receipt.Lines().Count());
  }
}
BENCHMARK(BM_ReadReceipt);

void BM_CalcLinesNetAmount(benchmark::State& aState) {
  pugi::xml_document document;
  qv::base::ParseXml(document, ReceiptText());
  kReceipt receipt;
  receipt.Deserialize(document);
  for (auto _ : aState) {
    receipt.CalcLinesNetAmount();
    benchmark::DoNotOptimize(receipt.Lines()[0].NetAmount());
  }
}
BENCHMARK(BM_CalcLinesNetAmount);

// Console output plus, for the ratios, the median over the repetitions of each benchmark's
// CPU time per iteration (CPU time and the median: these machines are shared, and their speed
// swings with the load of their neighbours).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& aRuns) override {
    for (const Run& run : aRuns) {
      if (run.iterations > 0 && run.run_type == Run::RT_Iteration) {
        fTimes[run.run_name.function_name].push_back(run.cpu_accumulated_time /
                                                     static_cast<double>(run.iterations));
      }
    }
    ConsoleReporter::ReportRuns(aRuns);
  }
  // The median time of one iteration; 0 when the benchmark did not run.
  double Time(const std::string& aName) {
    const auto found = fTimes.find(aName);
    if (found == fTimes.end() || found->second.empty()) return 0;
    std::vector<double>& times = found->second;
    std::sort(times.begin(), times.end());
    const std::size_t middle = times.size() / 2;
    return times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
  }

 private:
  std::map<std::string, std::vector<double>> fTimes;
};

}  // namespace

int main(int argc, char** argv) {
  if (!qv::bench::InitializeInterleaved(argc, argv, 15)) return 1;
  // Allocating and freeing one large block first lets the C library serve the parser's copy of
  // the text from its heap from the start; otherwise whichever benchmark runs first pays for
  // mapping and unmapping that copy on every iteration, and the ratios say nothing.
  {
    auto warmUp = std::make_unique<char[]>(std::size_t{8} << 20);
    benchmark::DoNotOptimize(warmUp.get());
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double bare = reporter.Time("BM_BareParse");
  const double checked = reporter.Time("BM_CheckedParse");
  const double read = reporter.Time("BM_ReadReceipt");
  if (bare > 0 && read > 0) {
    std::printf(
        "Receipt of %zu bytes: reading takes %.2f times the bare parse (medians; target <= 3)",
        ReceiptText().size(), read / bare);
    if (checked > 0) std::printf("; the checked parse alone %.2f times", checked / bare);
    std::printf("\n");
  }
  benchmark::Shutdown();
  return 0;
}

// What the benchmarks that run whole receipts share: a till of their own in a scratch folder,
// and the sample sale they send.
//
// One ScratchTill at a time per process: it points drive C, the temporary folder and the
// working directory (where the counters lock lies) of this process into its folder, and
// puts them back and removes the folder when it is destroyed.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/file_status.h"
#include "platform/ole_string.h"
#include "platform/process.h"

namespace qv::bench {

// Marks the benchmark as failed with the file function's message when aStatus is a failure.
inline void SkipOnFailure(benchmark::State& aState, const platform::FileStatus& aStatus) {
  if (!aStatus.IsOk()) aState.SkipWithError(aStatus.Message().c_str());
}

// A sale of two lines, a subtotal and a markup, paid in cash with change.
inline constexpr const char* kSaleReceipt =
    "<Receipt><Type>Sale</Type><TillCode>T1</TillCode><OperatorCode>7</OperatorCode>"
    "<CurrencyCode>EUR</CurrencyCode><TotalAmount>12.70</TotalAmount>"
    "<Headers><HeaderLine>COFFEE HOUSE LTD</HeaderLine></Headers><Lines>"
    "<ProductSale><Description>Espresso</Description><Quantity>2</Quantity><TaxCode>A</TaxCode>"
    "<Price>1.50</Price><Amount>3.00</Amount></ProductSale>"
    "<WeightedProductSale><Description>Halloumi</Description><Quantity>0.75</Quantity>"
    "<UOM>kg</UOM><TaxCode>A</TaxCode><Price>12.00</Price><Amount>9.00</Amount>"
    "</WeightedProductSale><SubTotal><Amount>12.00</Amount></SubTotal>"
    "<MarkupAmount><Description>Service</Description><Amount>0.70</Amount></MarkupAmount>"
    "</Lines><Taxes><Tax><Type>VAT</Type><Code>A</Code><Rate>19</Rate>"
    "<TaxableAmount>10.67</TaxableAmount><TaxAmount>2.03</TaxAmount>"
    "<TotalAmount>12.70</TotalAmount></Tax></Taxes>"
    "<Payments><Payment><Type>Cash</Type><Amount>20.00</Amount></Payment></Payments>"
    "</Receipt>";

// A request to the fiscal processor of till T1 logging as aLogId, for aHandle (none for 0),
// carrying aContent (a Receipt element, or nothing).
inline std::string TillRequest(const std::string& aLogId, int aHandle,
                               const std::string& aContent = "") {
  std::string xml =
      "<FiscalRequest><Type>FISCALPROCESSOR</Type><Driver/><LogId>" + aLogId + "</LogId>";
  if (aHandle != 0) xml += "<Handle>" + std::to_string(aHandle) + "</Handle>";
  return xml +
         "<Parameters><Processor>QVFP_CYKAVREN_10</Processor><FPTillSerial>T1</FPTillSerial>"
         "<ProcessorPort>COM9</ProcessorPort></Parameters>" +
         aContent + "</FiscalRequest>";
}

// The text of an OLE string that the library gave; the string is freed.
inline std::string TakeText(platform::OleStr aText) {
  if (aText == nullptr) return {};
  std::string text = platform::OleStringToUtf8(aText);
  SysFreeString(aText);
  return text;
}

// Initializes Google Benchmark with aRepetitions repetitions in random order unless the
// command line says otherwise, so that a slow spell of the machine falls on every benchmark
// alike. false when the command line holds an argument it does not know.
inline bool InitializeInterleaved(int aArgc, char** aArgv, int aRepetitions) {
  static std::vector<char*> arguments;
  static std::string repetitions;
  static std::string interleaving = "--benchmark_enable_random_interleaving=true";
  arguments.assign(aArgv, aArgv + aArgc);
  repetitions = "--benchmark_repetitions=" + std::to_string(aRepetitions);
  const auto given = [&](std::string_view aFlag) {
    return std::any_of(aArgv + 1, aArgv + aArgc, [&](const char* aArgument) {
      return std::string_view(aArgument).starts_with(aFlag);
    });
  };
  if (!given("--benchmark_repetitions")) arguments.push_back(repetitions.data());
  if (!given("--benchmark_enable_random_interleaving")) arguments.push_back(interleaving.data());
  int count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  benchmark::Initialize(&count, arguments.data());
  return !benchmark::ReportUnrecognizedArguments(count, arguments.data());
}

// The folder of this program, on the local disk, where flushing costs what it costs a till.
inline std::filesystem::path ProgramFolder() {
  return std::filesystem::path(platform::ExecutablePath()).parent_path();
}

// The built library QVFP_CYKAVREN_10 loaded from this program's folder (the stand-in receipt
// printer and signing box beside it), as a host loads it, with a till opened by OPEN with
// aOpenRequest. Throws std::runtime_error saying what failed.
class OpenedTill {
 public:
  explicit OpenedTill(const std::string& aOpenRequest) {
    const std::string path = (ProgramFolder() / "QVFP_CYKAVREN_10.so").string();
    std::string error;
    if (!fLibrary.Load(path, error)) throw std::runtime_error("cannot load " + path + ": " + error);
    auto open = reinterpret_cast<tOpen>(fLibrary.Symbol("OPEN"));
    fProcess = reinterpret_cast<tProcess>(fLibrary.Symbol("PROCESSRECEIPT"));
    platform::OleStr failure = nullptr;
    const platform::OleString request(aOpenRequest);
    if (open(request.Get(), &fHandle, &failure) != 0) {
      throw std::runtime_error("OPEN failed: " + TakeText(failure));
    }
  }

  int32_t Handle() const { return fHandle; }

  // PROCESSRECEIPT of aRequest: 0 with the updated request in aOutput, or the library's code
  // with its message in aFailure.
  int32_t Process(const platform::OleString& aRequest, std::string& aOutput,
                  std::string& aFailure) const {
    platform::OleStr output = nullptr;
    platform::OleStr failure = nullptr;
    const int32_t result = fProcess(aRequest.Get(), &output, &failure);
    aOutput = TakeText(output);
    aFailure = TakeText(failure);
    return result;
  }

 private:
  using tOpen = int32_t (*)(platform::OleStr, int32_t*, platform::OleStr*);
  using tProcess = int32_t (*)(platform::OleStr, platform::OleStr*, platform::OleStr*);

  platform::DynamicLibrary fLibrary;
  tProcess fProcess = nullptr;
  int32_t fHandle = 0;
};

class ScratchTill {
 public:
  // The folder "bench_<aName>_<process id>" in aBase, with C, tmp and work in it.
  explicit ScratchTill(const std::string& aName,
                       const std::filesystem::path& aBase = ProgramFolder())
      : fPrevious(std::filesystem::current_path()),
        fRoot(aBase / ("bench_" + aName + "_" + std::to_string(platform::ProcessId()))) {
    std::filesystem::remove_all(fRoot);
    for (const char* folder : {"C", "tmp", "work"}) {
      std::filesystem::create_directories(fRoot / folder);
    }
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", (fRoot / "C").string());
    platform::SetEnvironmentVariable("TMPDIR", (fRoot / "tmp").string());
    std::filesystem::current_path(fRoot / "work");
  }
  ~ScratchTill() {
    std::filesystem::current_path(fPrevious);
    std::error_code ignored;
    std::filesystem::remove_all(fRoot, ignored);
  }
  ScratchTill(const ScratchTill&) = delete;
  ScratchTill& operator=(const ScratchTill&) = delete;

  const std::filesystem::path& Root() const { return fRoot; }
  std::string Path(const std::string& aRelative) const { return (fRoot / aRelative).string(); }

 private:
  std::filesystem::path fPrevious;
  std::filesystem::path fRoot;
};

}  // namespace qv::bench

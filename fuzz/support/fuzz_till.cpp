#include "fuzz/support/fuzz_till.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "driver/exports.h"
#include "driver/library_lifetime.h"
#include "driver/processor_registry.h"
#include "platform/dynamic_library.h"
#include "platform/environment.h"
#include "platform/process.h"
#include "platform/unicode.h"

namespace qv::fuzz {

namespace fs = std::filesystem;

namespace {

fs::path gRoot;

const char* const kOpenRequest =
    "<FiscalRequest><Type>FISCALPROCESSOR</Type><Driver>QVFP_CYKAVREN_10</Driver>"
    "<Method>OPEN</Method><LogId>FUZZ</LogId><Handle>0</Handle><Parameters>"
    "<Processor>QVFP_CYKAVREN_10</Processor><FPTillSerial>EX1</FPTillSerial>"
    "<ProcessorPort>KAVREN-1</ProcessorPort></Parameters></FiscalRequest>";

fs::path ScratchBase() {
  std::error_code error;
  if (fs::is_directory("/dev/shm", error)) return "/dev/shm";
  return fs::temp_directory_path();
}

void Fail(const std::string& aWhy) {
  std::fprintf(stderr, "fuzz till: %s\n", aWhy.c_str());
  std::abort();
}

// The stand-ins stay loaded for the whole run: the library loads and unloads the receipt
// printer for every receipt, and libFuzzer reads the coverage counters of every library it
// saw loaded, also after it was unloaded.
void KeepStandInsLoaded() {
  static platform::DynamicLibrary printer, box;
  const std::string folder = fs::path(platform::ExecutablePath()).parent_path().string();
  std::string error;
  if (!printer.Load(folder + "/QVRP_GENERIC_10.so", error)) Fail(error);
  if (!box.Load(folder + "/AlgoDll.so", error)) Fail(error);
}

}  // namespace

void PrepareTill() {
  KeepStandInsLoaded();
  gRoot = ScratchBase() / ("qvfp_fuzz_" + std::to_string(platform::ProcessId()));
  fs::remove_all(gRoot);
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(gRoot, ignored);
  });
  for (const char* folder : {"C", "tmp", "work"}) fs::create_directories(gRoot / folder);
  platform::SetEnvironmentVariable("QVFP_DRIVE_C", (gRoot / "C").string());
  platform::SetEnvironmentVariable("TMPDIR", (gRoot / "tmp").string());
  fs::current_path(gRoot / "work");
  driver::LoadLibraryState(&driver::RegisterBuiltInProcessors);
  // The processors' log threads are joined at exit, as the library's unload joins them,
  // before the leak check looks at a process whose threads still run.
  std::atexit([] { driver::UnloadLibraryState(); });
  int32_t handle = 0;
  platform::OleStr error = nullptr;
  const platform::OleString request(kOpenRequest);
  if (OPEN(request.Get(), &handle, &error) != 0 || handle != kOpenedHandle) {
    Fail("OPEN failed: " + platform::OleStringToUtf8(error));
  }
}

std::string TillFile(const std::string& aName) {
  return (gRoot / "C" / "QV_FPR_DB" / "EX1" / aName).string();
}

std::string DriveCFile(const std::string& aRelative) { return (gRoot / "C" / aRelative).string(); }

platform::OleString RequestText(const uint8_t* aData, std::size_t aSize) {
  std::u16string units;
  std::size_t start = 0;  // of the UTF-8 run not yet converted
  auto flush = [&](std::size_t aEnd) {
    const std::string_view run(reinterpret_cast<const char*>(aData) + start, aEnd - start);
    units += platform::Utf8ToUtf16(run);
  };
  for (std::size_t i = 0; i < aSize;) {
    if (aData[i] == 0xED && i + 2 < aSize && aData[i + 1] >= 0xA0 && aData[i + 1] <= 0xBF &&
        (aData[i + 2] & 0xC0) == 0x80) {
      flush(i);
      units += static_cast<char16_t>(0xD000 | ((aData[i + 1] & 0x3F) << 6) | (aData[i + 2] & 0x3F));
      i += 3;
      start = i;
    } else {
      ++i;  // a NUL byte is converted as it stands: U+0000
    }
  }
  flush(aSize);
  platform::OleString text;
  text.Reset(SysAllocStringLen(units.data(), static_cast<uint32_t>(units.size())));
  return text;
}

int32_t Call(tProcessExport aExport, const platform::OleString& aRequest) {
  platform::OleString output, error;
  return aExport(aRequest.Get(), output.Out(), error.Out());
}

int32_t CallOpen(const platform::OleString& aRequest) {
  int32_t handle = 0;
  platform::OleString error;
  return OPEN(aRequest.Get(), &handle, error.Out());
}

void TidyTill(int aEvery) {
  static int calls = 0;
  if (++calls % aEvery != 0) return;
  std::error_code ignored;
  for (const char* folder : {"Processed", "Errors"}) {
    for (const auto& entry : fs::directory_iterator(TillFile(folder), ignored)) {
      fs::remove_all(entry.path(), ignored);
    }
  }
}

}  // namespace qv::fuzz

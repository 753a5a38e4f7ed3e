// The export tables of the built Windows libraries, read from their PE files: undecorated
// names (OPEN, not OPEN@12 or _OPEN@12) and nothing else exported.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"
#include "windows_test_support.h"

namespace {

using qv::testing::ProgramFolder;

struct PeExports {
  uint16_t machine = 0;
  std::vector<std::string> names;
};

uint32_t Read32(const std::string& aData, std::size_t aAt) {
  uint32_t value = 0;
  if (aAt + 4 <= aData.size()) std::memcpy(&value, aData.data() + aAt, 4);
  return value;
}
uint16_t Read16(const std::string& aData, std::size_t aAt) {
  uint16_t value = 0;
  if (aAt + 2 <= aData.size()) std::memcpy(&value, aData.data() + aAt, 2);
  return value;
}

// The file offset of a relative virtual address, through the section table.
std::size_t OffsetOf(const std::string& aData, std::size_t aSections, int aCount, uint32_t aRva) {
  for (int i = 0; i < aCount; ++i) {
    const std::size_t section = aSections + 40 * static_cast<std::size_t>(i);
    const uint32_t virtualSize = Read32(aData, section + 8);
    const uint32_t virtualAddress = Read32(aData, section + 12);
    const uint32_t rawOffset = Read32(aData, section + 20);
    if (aRva >= virtualAddress && aRva < virtualAddress + std::max(virtualSize, 1u)) {
      return rawOffset + (aRva - virtualAddress);
    }
  }
  return 0;
}

PeExports ReadExports(const std::string& aPath) {
  std::string data;
  EXPECT_TRUE(StatusOk(qv::platform::ReadWholeFile(aPath, data)));
  PeExports result;
  if (data.size() < 0x40 || data.compare(0, 2, "MZ") != 0) return result;
  const std::size_t pe = Read32(data, 0x3C);
  if (data.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return result;
  result.machine = Read16(data, pe + 4);
  const int sectionCount = Read16(data, pe + 6);
  const std::size_t optional = pe + 24;
  const uint16_t optionalSize = Read16(data, pe + 20);
  const bool pe32Plus = Read16(data, optional) == 0x20B;
  const uint32_t exportRva = Read32(data, optional + (pe32Plus ? 112 : 96));
  const std::size_t sections = optional + optionalSize;
  const std::size_t directory = OffsetOf(data, sections, sectionCount, exportRva);
  if (exportRva == 0 || directory == 0) return result;
  const uint32_t nameCount = Read32(data, directory + 24);
  const std::size_t names = OffsetOf(data, sections, sectionCount, Read32(data, directory + 32));
  for (uint32_t i = 0; i < nameCount; ++i) {
    const std::size_t name = OffsetOf(data, sections, sectionCount, Read32(data, names + 4 * i));
    result.names.emplace_back(data.c_str() + name);
  }
  return result;
}

// The machine of this program: the libraries are built for the same.
constexpr uint16_t kMachine = sizeof(void*) == 4 ? 0x14C : 0x8664;

TEST(WindowsExports, FiscalLibraryExportsTheFiveCallsUndecorated) {
  const PeExports exports = ReadExports(ProgramFolder() + "QVFP_CYKAVREN_10.dll");
  EXPECT_EQ(exports.machine, kMachine);
  EXPECT_EQ(exports.names, (std::vector<std::string>{"OPEN", "PROCESSGETSTATUS", "PROCESSRECEIPT",
                                                     "PROCESSXREPORT", "PROCESSZREPORT"}));
}

TEST(WindowsExports, CompanionLibrariesExportTheirCallsUndecorated) {
  EXPECT_EQ(ReadExports(ProgramFolder() + "QVRP_GENERIC_10.dll").names,
            (std::vector<std::string>{"OPEN", "PRINTFR"}));
  EXPECT_EQ(ReadExports(ProgramFolder() + "AlgoDll.dll").names,
            (std::vector<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                      "DllUnregisterServer"}));
}

}  // namespace

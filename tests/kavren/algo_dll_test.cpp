// kBox, the processor's wrapper of the signing component, against the built stand-in.
#include "kavren/algo_dll.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "support/file_status_assertions.h"

namespace qv::kavren {
namespace {

const std::string kBoxLibrary = std::string(QV_BIN_DIR) + "/AlgoDll.dll";

class BoxWrapper : public ::testing::Test {
 protected:
  void SetUp() override {
    fDrive = platform::TemporaryFolder() + "qv_algo_dll_" + std::to_string(platform::ProcessId());
    std::filesystem::remove_all(fDrive);
    ASSERT_TRUE(StatusOk(platform::ForceDirectories(fDrive)));
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", fDrive);
  }
  void TearDown() override {
    platform::SetEnvironmentVariable("QVFP_DRIVE_C", std::nullopt);
    std::error_code ignored;
    std::filesystem::remove_all(fDrive, ignored);
  }
  void Control(const std::string& aText) {
    ASSERT_TRUE(StatusOk(platform::ForceDirectories("C:\\AlgoBox\\")));
    std::string error;
    ASSERT_TRUE(StatusOk(platform::WriteWholeFile("C:\\AlgoBox\\control.txt", aText)));
  }
  std::string ReceiptFile(const std::string& aText) {
    const std::string path = fDrive + "/receipt.txt";
    std::string error;
    EXPECT_TRUE(StatusOk(platform::WriteWholeFile(path, aText)));
    return path;
  }

  std::string fDrive;
};

TEST_F(BoxWrapper, AnswersTheStartUpChecksWithStatusesAndTexts) {
  kBox box(kBoxLibrary);
  const kBox::tInstallation installation = box.Installation();
  EXPECT_EQ(installation.boxFiles.substr(0, installation.boxFiles.find('$')), "C:\\AlgoBox\\");
  EXPECT_NE(installation.libraryPath.find("AlgoDll.so"), std::string::npos);

  std::string port = "COM7";
  const kBox::tAnswer version = box.GetVersionInfo(port);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.text, "AlgoDll 1.0.0 stand-in, device KVB0000001, port COM7");
  EXPECT_EQ(port, "COM7");
  const kBox::tAnswer check = box.CheckBoxSystem(port);
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.text.rfind("Box system ready, device KVB0000001", 0), 0u) << check.text;
}

TEST_F(BoxWrapper, SignsAndClosesTheDay) {
  kBox box(kBoxLibrary);
  std::string port;
  const kBox::tAnswer signature = box.Sign(port, ReceiptFile("TOTAL 3.00\r\n"));
  EXPECT_EQ(signature.status, 0);
  EXPECT_EQ(signature.text.substr(0, 20), "KVB0000001-00000001 ");
  const kBox::tAnswer z = box.MakeZReport(port);
  EXPECT_EQ(z.status, 0);
  EXPECT_EQ(z.text, "Day 0001 closed, 1 receipts signed, counter 00000001");
}

TEST_F(BoxWrapper, StatusesAreReturnedNotRaised) {
  Control("GetVersionInfo.status=3\nSign.status=2\nSign.text=Printer cover open\n");
  kBox box(kBoxLibrary);
  std::string port;
  EXPECT_EQ(box.GetVersionInfo(port).status, 3);
  const kBox::tAnswer signature = box.Sign(port, ReceiptFile("x"));
  EXPECT_EQ(signature.status, 2);
  EXPECT_EQ(signature.text, "Printer cover open");
}

TEST_F(BoxWrapper, FailedCallsRaiseTheComponentsDescription) {
  kBox box(kBoxLibrary);
  std::string port;
  Control("Sign.hresult=0x80004005\nSign.error=Signing device disconnected\n");
  try {
    box.Sign(port, ReceiptFile("x"));
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Signing device disconnected");
  }
  Control("MakeZReport.hresult=0x80004005\nMakeZReport.errorinfo=0\n");
  try {
    box.MakeZReport(port);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Unspecified error");
  }
  Control("CheckBoxSystem.hresult=0x80010108\nCheckBoxSystem.error=Box gone\n");
  EXPECT_THROW(box.CheckBoxSystem(port), Error);
  Control("");
  EXPECT_EQ(box.GetVersionInfo(port).status, 0) << "a failure leaves nothing behind";
}

TEST_F(BoxWrapper, CreationFailureNamesTheClassId) {
  try {
    kBox box(std::string(QV_BIN_DIR) + "/NoAlgoDll.dll");
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(),
                 "Class not registered, ClassID: {27C3D64C-4341-11D7-AAF9-00D0592E132D}");
  }
  Control("CreateInstance.hresult=0x80004005\n");
  try {
    kBox box(kBoxLibrary);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(),
                 "Unspecified error, ClassID: {27C3D64C-4341-11D7-AAF9-00D0592E132D}");
  }
}

}  // namespace
}  // namespace qv::kavren

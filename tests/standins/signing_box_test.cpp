// The signing component stand-in, created through the in-process COM protocol from the
// build folder and called through its _Box table of operations.
#include <gtest/gtest.h>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "kavren/algo_dll.h"
#include "platform/clock.h"
#include "platform/com.h"
#include "platform/file_system.h"
#include "platform/ole_string.h"
#include "standins/support/scratch_drive.h"
#include "support/file_status_assertions.h"

namespace qv::testing {
namespace {

using kavren::_Box;
using kavren::CLSID_Box;
using kavren::IID__Box;
using platform::ComPtr;
using platform::HRESULT;
using platform::OleStr;
using platform::OleString;

struct tAnswer {
  HRESULT result = 0;
  int16_t status = -1;
  std::string text;
  std::string port;
};

std::string LibraryPath() { return BinFolder() + "AlgoDll.dll"; }

ComPtr<_Box> NewBox() {
  ComPtr<_Box> box;
  std::string error;
  const HRESULT result =
      platform::CreateInProcessObject(LibraryPath(), CLSID_Box, IID__Box, box.OutVoid(), error);
  EXPECT_EQ(result, platform::S_OK) << error;
  return box;
}

using tPortOperation = HRESULT (_Box::*)(OleStr*, int16_t*, OleStr*, int16_t*, OleStr*);

tAnswer CallWithPort(_Box* aBox, tPortOperation aOperation, const std::string& aPort = "COM1") {
  OleStr port = platform::NewOleString(aPort);
  OleString text;
  OleString text2;
  tAnswer answer;
  int16_t inOut = -1;
  answer.result = (aBox->*aOperation)(&port, &answer.status, text.Out(), &inOut, text2.Out());
  answer.text = text.ToUtf8();
  answer.port = platform::OleStringToUtf8(port);
  OleString owner;
  owner.Reset(port);
  return answer;
}

tAnswer Sign(_Box* aBox, const std::string& aFileName) {
  OleStr port = platform::NewOleString("COM1");
  OleStr fileName = platform::NewOleString(aFileName);
  OleString signature;
  OleString text;
  int16_t inOut1 = -1;
  int16_t inOut2 = 0;
  tAnswer answer;
  answer.result =
      aBox->Sign(&port, &fileName, &answer.status, signature.Out(), &inOut1, text.Out(), &inOut2);
  answer.text = signature.ToUtf8();
  OleString portOwner;
  portOwner.Reset(port);
  OleString fileOwner;
  fileOwner.Reset(fileName);
  return answer;
}

bool VerifyEd25519(const std::string& aPublicPem, const std::string& aMessage,
                   const std::string& aSignature) {
  BIO* bio = BIO_new_mem_buf(aPublicPem.data(), static_cast<int>(aPublicPem.size()));
  EVP_PKEY* key = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  if (key == nullptr) return false;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  const bool valid =
      EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, key) == 1 &&
      EVP_DigestVerify(context, reinterpret_cast<const unsigned char*>(aSignature.data()),
                       aSignature.size(), reinterpret_cast<const unsigned char*>(aMessage.data()),
                       aMessage.size()) == 1;
  EVP_MD_CTX_free(context);
  EVP_PKEY_free(key);
  return valid;
}

std::string Unbase64(const std::string& aText) {
  std::string bytes(aText.size(), '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                     reinterpret_cast<const unsigned char*>(aText.data()),
                                     static_cast<int>(aText.size()));
  if (length < 0) return {};
  int padding = 0;
  for (auto it = aText.rbegin(); it != aText.rend() && *it == '='; ++it) ++padding;
  bytes.resize(static_cast<std::size_t>(length - padding));
  return bytes;
}

class SigningBox : public ::testing::Test {
 protected:
  void SetUp() override {
    fBox = NewBox();
    ASSERT_TRUE(fBox);
  }

  std::string ReceiptFile(const std::string& aText) {
    const std::string path = "C:\\receipts\\r" + std::to_string(++fFiles) + ".txt";
    fDrive.WriteFile(path, aText);
    return path;
  }
  void Control(const std::string& aText) { fDrive.WriteFile("C:\\AlgoBox\\control.txt", aText); }
  std::string DeviceFile(const std::string& aName, const std::string& aSerial = "KVB0000001") {
    return fDrive.ReadFile("C:\\AlgoBox\\" + aSerial + "\\" + aName);
  }

  tScratchDrive fDrive;
  ComPtr<_Box> fBox;
  int fFiles = 0;
};

TEST_F(SigningBox, InstallationNamesTheLibraryAndTheBoxFolder) {
  OleString libraryPath;
  OleString boxFiles;
  ASSERT_EQ(fBox->Installation(libraryPath.Out(), boxFiles.Out()), platform::S_OK);
  const std::string path = libraryPath.ToUtf8();
  EXPECT_EQ(path.substr(path.size() - 10), "AlgoDll.so");
  EXPECT_TRUE(platform::FileExists(path));
  const std::string files = boxFiles.ToUtf8();
  const std::string firstField = files.substr(0, files.find(';'));
  EXPECT_EQ(firstField.substr(0, firstField.find('$')), "C:\\AlgoBox\\");
}

TEST_F(SigningBox, FirstCallCreatesTheDeviceFolderWithItsKeys) {
  const tAnswer answer = CallWithPort(fBox.Get(), &_Box::GetVersionInfo);
  EXPECT_EQ(answer.result, platform::S_OK);
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.text, "AlgoDll 1.0.0 stand-in, device KVB0000001, port COM1");
  EXPECT_EQ(answer.port, "COM1");
  EXPECT_NE(DeviceFile("key.pem").find("BEGIN PRIVATE KEY"), std::string::npos);
  EXPECT_NE(DeviceFile("public.pem").find("BEGIN PUBLIC KEY"), std::string::npos);
  const std::vector<platform::SubFolder> devices = platform::ListSubFolders("C:\\AlgoBox\\");
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].name, "KVB0000001");
}

TEST_F(SigningBox, SignatureVerifiesWithTheDevicePublicKeyAndCountsUp) {
  const std::string receipt = "COFFEE HOUSE\r\nEspresso    3.00\r\nTOTAL       3.00\r\n";
  const tAnswer first = Sign(fBox.Get(), ReceiptFile(receipt));
  ASSERT_EQ(first.result, platform::S_OK);
  ASSERT_EQ(first.status, 0) << first.text;
  const std::size_t blank = first.text.find(' ');
  ASSERT_NE(blank, std::string::npos);
  const std::string id = first.text.substr(0, blank);
  EXPECT_EQ(id, "KVB0000001-00000001");
  const std::string signature = Unbase64(first.text.substr(blank + 1));
  EXPECT_EQ(signature.size(), 64u);
  EXPECT_TRUE(VerifyEd25519(DeviceFile("public.pem"), id + "\n" + receipt, signature));
  EXPECT_FALSE(VerifyEd25519(DeviceFile("public.pem"), id + "\n" + receipt + "x", signature));

  const tAnswer second = Sign(fBox.Get(), ReceiptFile("another receipt"));
  ASSERT_EQ(second.status, 0);
  EXPECT_EQ(second.text.substr(0, second.text.find(' ')), "KVB0000001-00000002");
  EXPECT_NE(DeviceFile("state.txt").find("counter=2\n"), std::string::npos);
  EXPECT_LE(first.text.size(), 200u);
}

// The device key is read from key.pem at every signature, whatever its line ends; a text
// that is no Ed25519 key leaves the device not ready.
TEST_F(SigningBox, KeyFileIsReadAtEverySignature) {
  ASSERT_EQ(Sign(fBox.Get(), ReceiptFile("first")).status, 0);
  const std::string pem = DeviceFile("key.pem");
  std::string crlf;
  for (const char c : pem) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  fDrive.WriteFile("C:\\AlgoBox\\KVB0000001\\key.pem", crlf);
  const tAnswer second = Sign(fBox.Get(), ReceiptFile("second"));
  ASSERT_EQ(second.status, 0) << second.text;
  const std::size_t blank = second.text.find(' ');
  EXPECT_TRUE(VerifyEd25519(DeviceFile("public.pem"), second.text.substr(0, blank) + "\nsecond",
                            Unbase64(second.text.substr(blank + 1))));

  // The same layout with an X25519 key: the algorithm 1.3.101.110 in place of 1.3.101.112.
  std::string other = pem;
  const std::size_t algorithm = other.find('\n') + 1 + 12;
  ASSERT_EQ(other.substr(algorithm, 4), "K2Vw");
  other.replace(algorithm, 4, "K2Vu");
  fDrive.WriteFile("C:\\AlgoBox\\KVB0000001\\key.pem", other);
  const tAnswer third = Sign(fBox.Get(), ReceiptFile("third"));
  EXPECT_EQ(third.status, 3);
  EXPECT_NE(third.text.find("Cannot read the device key"), std::string::npos) << third.text;
}

TEST_F(SigningBox, UnreadableOrEmptyReceiptFileGivesAStatusNotASignature) {
  tAnswer answer = Sign(fBox.Get(), "C:\\receipts\\missing.txt");
  EXPECT_EQ(answer.result, platform::S_OK);
  EXPECT_EQ(answer.status, 1);
  EXPECT_EQ(answer.text.rfind("Cannot read the receipt file", 0), 0u) << answer.text;
  answer = Sign(fBox.Get(), ReceiptFile(""));
  EXPECT_EQ(answer.status, 2);
  answer = Sign(fBox.Get(), ReceiptFile("real"));
  EXPECT_EQ(answer.text.substr(0, answer.text.find(' ')), "KVB0000001-00000001");
}

TEST_F(SigningBox, MakeZReportClosesTheDeviceDay) {
  Sign(fBox.Get(), ReceiptFile("one"));
  Sign(fBox.Get(), ReceiptFile("two"));
  tAnswer answer = CallWithPort(fBox.Get(), &_Box::MakeZReport);
  EXPECT_EQ(answer.result, platform::S_OK);
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.text, "Day 0001 closed, 2 receipts signed, counter 00000002");
  answer = CallWithPort(fBox.Get(), &_Box::MakeZReport);
  EXPECT_EQ(answer.text, "Day 0002 closed, 0 receipts signed, counter 00000002");
  Sign(fBox.Get(), ReceiptFile("three"));
  answer = CallWithPort(fBox.Get(), &_Box::CheckBoxSystem);
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.text,
            "Box system ready, device KVB0000001, day 0003, 1 signed today, counter 00000003");
  const std::string log = DeviceFile("signatures.log");
  EXPECT_NE(log.find("Z;day=1;signatures=2;counter=2\n"), std::string::npos) << log;
  EXPECT_NE(log.find("SIGN;KVB0000001-00000003;day=3;bytes=5\n"), std::string::npos) << log;
}

TEST_F(SigningBox, WorksWithTheMostRecentlyCreatedDevice) {
  Control("serial=CY0000777\n");
  CallWithPort(fBox.Get(), &_Box::GetVersionInfo);
  platform::SleepMilliseconds(30);
  ASSERT_TRUE(StatusOk(platform::ForceDirectories("C:\\AlgoBox\\CY0000999\\")));
  const tAnswer answer = Sign(fBox.Get(), ReceiptFile("x"));
  EXPECT_EQ(answer.text.substr(0, answer.text.find(' ')), "CY0000999-00000001");
  EXPECT_NE(DeviceFile("key.pem", "CY0000999"), "");
}

TEST_F(SigningBox, ControlFileForcesStatusesWithoutDoingTheWork) {
  Control("GetVersionInfo.status=3\nSign.status=2\nMakeZReport.status=5\n");
  EXPECT_EQ(CallWithPort(fBox.Get(), &_Box::GetVersionInfo).status, 3);
  EXPECT_EQ(Sign(fBox.Get(), ReceiptFile("x")).status, 2);
  EXPECT_EQ(CallWithPort(fBox.Get(), &_Box::MakeZReport).status, 5);
  EXPECT_EQ(DeviceFile("state.txt"), "") << "nothing was signed or closed";

  Control("Sign.text=ABC DEF\n");
  const tAnswer answer = Sign(fBox.Get(), ReceiptFile("x"));
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.text, "ABC DEF");
}

TEST_F(SigningBox, ComFailureComesWithTheComponentsDescription) {
  Control("Sign.hresult=0x80004005\nSign.error=Signing device disconnected\n");
  tAnswer answer = Sign(fBox.Get(), ReceiptFile("x"));
  EXPECT_EQ(answer.result, platform::E_FAIL);
  EXPECT_EQ(platform::FailedCallMessage(answer.result), "Signing device disconnected");
  // The error object is handed over once.
  EXPECT_EQ(platform::FailedCallMessage(answer.result), "Unspecified error");

  ComPtr<platform::ISupportErrorInfo> support;
  ASSERT_EQ(fBox->QueryInterface(platform::IID_ISupportErrorInfo, support.OutVoid()),
            platform::S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Box), platform::S_OK);

  Control("GetVersionInfo.hresult=-2147221164\nGetVersionInfo.errorinfo=0\n");
  answer = CallWithPort(fBox.Get(), &_Box::GetVersionInfo);
  EXPECT_EQ(answer.result, platform::REGDB_E_CLASSNOTREG);
  EXPECT_EQ(platform::FailedCallMessage(answer.result), "Class not registered");

  Control("MakeZReport.hresult=0x80010108\n");
  answer = CallWithPort(fBox.Get(), &_Box::MakeZReport);
  EXPECT_EQ(answer.result, platform::RPC_E_DISCONNECTED);
  EXPECT_EQ(platform::FailedCallMessage(answer.result),
            "MakeZReport failed: the signing device does not answer");

  Control("Installation.hresult=0x80004005\nInstallation.error=No box files\n");
  OleString libraryPath;
  OleString boxFiles;
  EXPECT_EQ(fBox->Installation(libraryPath.Out(), boxFiles.Out()), platform::E_FAIL);
  EXPECT_EQ(platform::FailedCallMessage(platform::E_FAIL), "No box files");
}

TEST_F(SigningBox, CreationFailuresHaveTheirResultCodes) {
  Control("CreateInstance.hresult=0x80040154\n");
  ComPtr<_Box> box;
  std::string error;
  EXPECT_EQ(
      platform::CreateInProcessObject(LibraryPath(), CLSID_Box, IID__Box, box.OutVoid(), error),
      platform::REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(box);
  EXPECT_EQ(error, "CreateInstance failed: the signing device does not answer");

  EXPECT_EQ(platform::CreateInProcessObject(BinFolder() + "NoSuchBox.dll", CLSID_Box, IID__Box,
                                            box.OutVoid(), error),
            platform::REGDB_E_CLASSNOTREG);
  EXPECT_NE(error.find("NoSuchBox.so"), std::string::npos) << error;

  EXPECT_EQ(platform::CreateInProcessObject(BinFolder() + "QVRP_GENERIC_10.dll", CLSID_Box,
                                            IID__Box, box.OutVoid(), error),
            platform::CO_E_ERRORINDLL);
  EXPECT_NE(error.find("exports no DllGetClassObject"), std::string::npos) << error;

  const platform::Guid otherClass = platform::GuidOf("{00000000-0000-0000-0000-000000000001}");
  EXPECT_EQ(
      platform::CreateInProcessObject(LibraryPath(), otherClass, IID__Box, box.OutVoid(), error),
      platform::CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(error, "ClassFactory cannot supply requested class");
}

TEST_F(SigningBox, ObjectsInParallelThreadsNeverShareACounterValue) {
  constexpr int kThreads = 4;
  constexpr int kSignatures = 10;
  const std::string file = ReceiptFile("shared receipt text");
  std::vector<std::vector<std::string>> ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ComPtr<_Box> box = NewBox();
      for (int i = 0; i < kSignatures; ++i) {
        const tAnswer answer = Sign(box.Get(), file);
        ids[t].push_back(answer.text.substr(0, answer.text.find(' ')));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<std::string> unique;
  for (const auto& list : ids) unique.insert(list.begin(), list.end());
  EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kSignatures));
  EXPECT_EQ(*unique.begin(), "KVB0000001-00000001");
  EXPECT_EQ(*unique.rbegin(), "KVB0000001-00000040");
}

}  // namespace
}  // namespace qv::testing

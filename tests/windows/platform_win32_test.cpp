// The Windows platform layer on the real system: lock files, atomic replacement, temporary
// files, folder creation times, code pages, result texts, process information, the version
// strings of the module's string table, TCP connections on the loopback address, and the
// serial ports and spooler as far as a machine without such devices shows them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/version_history.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/com.h"
#include "platform/dynamic_library.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/lock_file.h"
#include "platform/module_strings.h"
#include "platform/ole_string.h"
#include "platform/print_spooler.h"
#include "platform/process.h"
#include "platform/serial_port.h"
#include "platform/sha256.h"
#include "platform/socket.h"
#include "platform/system_error.h"
#include "support/faulty_file_system.h"
#include "support/file_status_assertions.h"

namespace qv::platform {
namespace {

// A fresh folder under the temporary folder for one test.
std::string FreshFolder(const std::string& aName) {
  // Wine hands out the same process ids run after run: the time makes the name new.
  const LocalTime now = Now();
  const std::string folder = TemporaryFolder() + "qvfp-win-" + aName + "-" +
                             std::to_string(ProcessId()) + "-" + std::to_string(now.hour) +
                             std::to_string(now.minute) + std::to_string(now.second) +
                             std::to_string(now.millisecond) + "\\";
  EXPECT_TRUE(StatusOk(ForceDirectories(folder + "deeper\\deepest")));
  return folder;
}

TEST(WindowsFiles, LockFileExcludesOtherHoldersAndAppenders) {
  const std::string folder = FreshFolder("lock");
  const std::string path = folder + "QVFP_CYKAVREN.Lock";
  LockFile first;
  LockFile second;
  std::string error;
  ASSERT_TRUE(StatusOk(first.TryAcquire(path)));
  EXPECT_FALSE(Ok(second.TryAcquire(path), error));
  EXPECT_EQ(error, SystemErrorText(32));  // ERROR_SHARING_VIOLATION
  EXPECT_FALSE(Ok(AppendToFile(path, "x"), error));
  first.Release();
  EXPECT_TRUE(StatusOk(second.TryAcquire(path)));
  second.Release();
  EXPECT_TRUE(FileExists(path));  // the file stays after release
}

TEST(WindowsFiles, LockFileKnowsTheFileItHoldsUnderAnotherSpelling) {
  const std::string folder = FreshFolder("holds");
  const std::string path = folder + "QVFP_CYKAVREN.Lock";
  LockFile lock;
  EXPECT_FALSE(lock.HoldsFile(path)) << "nothing held";
  ASSERT_TRUE(StatusOk(lock.TryAcquire(path)));
  EXPECT_TRUE(lock.HoldsFile(path));
  EXPECT_TRUE(lock.HoldsFile(folder + "deeper\\..\\qvfp_cykavren.lock"));
  EXPECT_FALSE(lock.HoldsFile(folder + "deeper\\QVFP_CYKAVREN.Lock"));
  ASSERT_TRUE(StatusOk(WriteWholeFile(folder + "deeper\\QVFP_CYKAVREN.Lock", "")));
  EXPECT_FALSE(lock.HoldsFile(folder + "deeper\\QVFP_CYKAVREN.Lock")) << "another file";
}

TEST(WindowsFiles, ReplaceAtomicallyLeavesNewContentAndNoTemporaryFile) {
  const std::string folder = FreshFolder("replace");
  const std::string path = folder + "counters.actual.fprc";
  ASSERT_TRUE(StatusOk(WriteWholeFile(path, "old")));
  ReplaceFileAtomically(path, "new content\r\n").ThrowIfFailed();
  std::string content;
  ASSERT_TRUE(StatusOk(ReadWholeFile(path, content)));
  EXPECT_EQ(content, "new content\r\n");
  const auto subFolders = ListSubFolders(folder);
  ASSERT_EQ(subFolders.size(), 1u);  // only "deeper": no temporary file became a folder
  EXPECT_EQ(subFolders[0].name, "deeper");
  EXPECT_EQ(FileSizeOf(path), 13);
}

TEST(WindowsFiles, FailedRenameKeepsOldContentAndReportsIt) {
  const std::string folder = FreshFolder("fault");
  const std::string path = folder + "counters.actual.fprc";
  ASSERT_TRUE(StatusOk(WriteWholeFile(path, "old")));
  qv::testing::tFaultyFileSystem faulty;
  faulty.FailNth(FileOperation::Rename, 1);
  try {
    ReplaceFileAtomically(path, "new", faulty).ThrowIfFailed();
    FAIL() << "the injected rename failure was not reported";
  } catch (const Error& failure) {
    EXPECT_EQ(std::string(failure.what()).rfind("Cannot write file \"" + path + "\". ", 0), 0u)
        << failure.what();
  }
  std::string content;
  ASSERT_TRUE(StatusOk(ReadWholeFile(path, content)));
  EXPECT_EQ(content, "old");
}

TEST(WindowsFiles, CreateAtomicallyNeverReplacesAndDebrisGoesButNotALivingFile) {
  const std::string folder = FreshFolder("create");
  EXPECT_TRUE(CreatedAtomically(folder + "0001-0000002.fprd", "first"));
  EXPECT_FALSE(CreatedAtomically(folder + "0001-0000002.fprd", "second"));
  std::string content;
  ASSERT_TRUE(StatusOk(ReadWholeFile(folder + "0001-0000002.fprd", content)));
  EXPECT_EQ(content, "first");
  ASSERT_TRUE(StatusOk(WriteWholeFile(folder + "~counters.actual.fprc.Ab3xYz.tmp", "half")));
  ASSERT_TRUE(StatusOk(WriteWholeFile(folder + "~counters.actual.fprc.tmp", "not ours")));
  ASSERT_TRUE(StatusOk(WriteWholeFile(folder + "~0001-0000003.fprd.Live99.tmp", "being written")));
  LockFile living;  // open without sharing, as a replace at work keeps its file
  ASSERT_TRUE(
      StatusOk(living.TryAcquireWithoutTruncating(folder + "~0001-0000003.fprd.Live99.tmp")));
  EXPECT_EQ(RemoveInterruptedReplaceFiles(folder), 1);
  EXPECT_FALSE(FileExists(folder + "~counters.actual.fprc.Ab3xYz.tmp"));
  EXPECT_TRUE(FileExists(folder + "~counters.actual.fprc.tmp"));
  EXPECT_TRUE(FileExists(folder + "~0001-0000003.fprd.Live99.tmp"));
  std::vector<std::string> names = ListFileNames(folder);
  EXPECT_EQ(names.size(), 3u);
}

TEST(WindowsFiles, HeldRecordExcludesOthersAndIsReadByItsHolder) {
  const std::string folder = FreshFolder("record");
  const std::string record = folder + "0001-0000042.fprq";
  LockFile writer, other;
  std::string error, content;
  ASSERT_TRUE(StatusOk(writer.TryCreateHeld(record, "<QueuedReceipt/>")));
  EXPECT_FALSE(Ok(other.TryAcquireExisting(record), error));
  EXPECT_EQ(error, SystemErrorText(32));  // ERROR_SHARING_VIOLATION
  writer.Release();
  ASSERT_TRUE(StatusOk(other.TryAcquireExisting(record)));
  ASSERT_TRUE(StatusOk(other.ReadHeld(content)));
  EXPECT_EQ(content, "<QueuedReceipt/>");
  other.Release();
  EXPECT_FALSE(Ok(other.TryAcquireExisting(folder + "missing.fprq"), error));
  EXPECT_FALSE(FileExists(folder + "missing.fprq"));
}

TEST(WindowsFiles, ARecreatedRecordHoldsOnlyItsNewContentAndARefusedHoldChangesNothing) {
  const std::string folder = FreshFolder("recreate");
  const std::string record = folder + "0001-0000043.fprq";
  ASSERT_TRUE(
      StatusOk(WriteWholeFile(record, "<QueuedReceipt>a longer old record</QueuedReceipt>")));
  qv::testing::tFaultyFileSystem faulty;
  LockFile writer(faulty);
  std::string error, content;
  faulty.FailNth(FileOperation::Lock, 1);
  EXPECT_FALSE(Ok(writer.TryCreateHeld(record, "<QueuedReceipt/>"), error));
  EXPECT_EQ(error, SystemErrorText(32));  // ERROR_SHARING_VIOLATION, as another holder
  EXPECT_FALSE(writer.IsHeld());
  ASSERT_TRUE(StatusOk(ReadWholeFile(record, content)));
  EXPECT_EQ(content, "<QueuedReceipt>a longer old record</QueuedReceipt>");
  ASSERT_TRUE(StatusOk(writer.TryCreateHeld(record, "<QueuedReceipt/>")));
  ASSERT_TRUE(StatusOk(writer.ReadHeld(content)));
  EXPECT_EQ(content, "<QueuedReceipt/>");
}

TEST(WindowsFiles, CopyMoveAndDeleteKeepTheirRules) {
  const std::string folder = FreshFolder("copy");
  std::string error;
  ASSERT_TRUE(StatusOk(WriteWholeFile(folder + "a.txt", "alpha")));
  EXPECT_TRUE(StatusOk(CopyFileNoOverwrite(folder + "a.txt", folder + "b.txt")));
  EXPECT_FALSE(Ok(CopyFileNoOverwrite(folder + "a.txt", folder + "b.txt"), error));
  EXPECT_FALSE(MoveFile(folder + "a.txt", folder + "b.txt").IsOk());  // never replaces
  EXPECT_TRUE(StatusOk(MoveFile(folder + "a.txt", folder + "c.txt")));
  EXPECT_FALSE(FileExists(folder + "a.txt"));
  EXPECT_TRUE(StatusOk(CopyFileReplace(folder + "c.txt", folder + "b.txt")));
  EXPECT_TRUE(StatusOk(DeleteFile(folder + "c.txt")));
  EXPECT_FALSE(DeleteFile(folder + "c.txt").IsOk());
  EXPECT_TRUE(DirectoryExists(folder + "deeper\\deepest"));
  EXPECT_FALSE(FileExists(folder + "deeper"));
}

TEST(WindowsFiles, FolderDeleteMoveAndSizeFailuresNameTheFileAndTheSystemsReason) {
  const std::string folder = FreshFolder("reasons");
  ASSERT_TRUE(StatusOk(WriteWholeFile(folder + "plain", "a file where a folder should be")));
  EXPECT_EQ(ForceDirectories(folder + "plain\\Processed").Message(),
            "Cannot create the folder \"" + folder + "plain\\Processed\": " + SystemErrorText(3));
  EXPECT_EQ(DeleteFile(folder + "gone.fprq").Message(),
            "Cannot delete \"" + folder + "gone.fprq\": " + SystemErrorText(2));
  ASSERT_TRUE(StatusOk(WriteWholeFile(folder + "a.log", "a")));
  ASSERT_TRUE(StatusOk(WriteWholeFile(folder + "b.log", "b")));
  EXPECT_EQ(MoveFile(folder + "a.log", folder + "b.log").Message(),
            "Cannot move \"" + folder + "a.log\" to \"" + folder +
                "b.log\": " + SystemErrorText(183));  // ERROR_ALREADY_EXISTS
  int64_t size = 42;
  EXPECT_EQ(FileSize(folder + "none.log", size).Message(),
            "Cannot read the size of \"" + folder + "none.log\": " + SystemErrorText(2));
  EXPECT_EQ(size, 42);
}

TEST(WindowsFiles, TemporaryFilesAreNewAndNamedByPrefix) {
  const std::string first = NewTemporaryFile("qvr");
  const std::string second = NewTemporaryFile("qvr");
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(TemporaryFolder() + "qvr", 0), 0u) << first;
  EXPECT_EQ(FileSizeOf(first), 0);
  DeleteFile(first).IgnoreFailure();
  DeleteFile(second).IgnoreFailure();
}

TEST(WindowsFiles, SubFoldersCarryTodaysCreationTime) {
  const std::string folder = FreshFolder("created");
  const LocalTime now = Now();
  const auto folders = ListSubFolders(folder);
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(folders[0].createdAt.year, now.year);
  EXPECT_EQ(folders[0].createdAt.month, now.month);
  EXPECT_EQ(folders[0].createdAt.day, now.day);
}

TEST(WindowsFiles, DurableAppendsTailsAndCuts) {
  const std::string path = FreshFolder("append") + "0001.fpch";
  std::string error;
  ASSERT_TRUE(StatusOk(AppendToFileDurably(path, "first line\r\n")));
  ASSERT_TRUE(StatusOk(AppendToFileDurably(path, "second")));
  std::string tail;
  int64_t size = 0;
  ASSERT_TRUE(StatusOk(ReadFileTail(path, 8, tail, size)));
  EXPECT_EQ(tail, "\r\nsecond");
  EXPECT_EQ(size, 18);
  ASSERT_TRUE(StatusOk(TruncateFile(path, 12)));
  ASSERT_TRUE(StatusOk(ReadFileTail(path, 100, tail, size)));
  EXPECT_EQ(tail, "first line\r\n");
  qv::testing::tFaultyFileSystem faulty;
  faulty.FailNth(FileOperation::Flush, 1);
  EXPECT_FALSE(Ok(AppendToFileDurably(path, "x", faulty), error));
  EXPECT_FALSE(Ok(ReadFileTail(path + ".missing", 8, tail, size), error));
}

TEST(WindowsCrypto, Sha256ComesFromCng) {
  EXPECT_EQ(Sha256Hex(Sha256("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex(Sha256("")),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex(Sha256(std::string(1000000, 'a'))),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(WindowsText, CodePagesConvertBothWays) {
  const std::string greek = "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1";  // "Αθήνα"
  const std::string bytes = Utf8ToCodePage(greek, 1253);
  EXPECT_EQ(bytes, "\xC1\xE8\xDE\xED\xE1");
  EXPECT_EQ(CodePageToUtf8(bytes, 1253), greek);
  EXPECT_EQ(Utf8ToCodePage("\xE2\x82\xAC 5", 1252), "\x80 5");  // the euro sign
  EXPECT_THROW(Utf8ToCodePage("x", 99999), Error);
}

TEST(WindowsText, OleStringsAreSystemBstrs) {
  OleString text("Receipt \xCE\xB1");
  EXPECT_EQ(SysStringLen(text.Get()), 9u);
  EXPECT_EQ(SysStringByteLen(text.Get()), 18u);
  EXPECT_EQ(text.ToUtf8(), "Receipt \xCE\xB1");
  EXPECT_EQ(OleStringToUtf8(nullptr), "");
}

TEST(WindowsCom, ResultTextsComeFromTheSystem) {
  // The system's own text where it has one (without the closing period) ...
  EXPECT_EQ(HResultText(E_INVALIDARG), SystemErrorText(87));  // ERROR_INVALID_PARAMETER
  EXPECT_NE(HResultText(E_INVALIDARG).back(), '.');
  // ... and Windows' English text for the COM codes of a system without one.
  EXPECT_EQ(HResultText(REGDB_E_CLASSNOTREG), "Class not registered");
  EXPECT_EQ(HResultText(MakeHResult(0xA0001234u)), "OLE error A0001234");
}

TEST(WindowsCom, UnregisteredClassFailsWithClassNotRegistered) {
  void* object = nullptr;
  std::string error;
  const HRESULT result =
      CreateInProcessObject("Nothing.dll", GuidOf("{01234567-89AB-CDEF-0123-456789ABCDEF}"),
                            IID_IUnknown, &object, error);
  EXPECT_EQ(result, REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(error, "Class not registered");
}

TEST(WindowsCom, ErrorObjectsCarryTheirDescription) {
  IErrorInfo* info = NewErrorInfo("Box is not ready", "AlgoDll.Box", IID_IUnknown);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release();
  EXPECT_EQ(FailedCallMessage(E_FAIL), "Box is not ready");
  EXPECT_EQ(FailedCallMessage(E_FAIL), HResultText(E_FAIL));  // taken by the first call
}

TEST(WindowsSockets, ClientTalksToALoopbackListener) {
  TcpListener listener;
  TcpClient client("127.0.0.1", listener.Port(), /*aConnectTimeoutMs=*/2000);
  client.SetReadTimeout(2000);
  client.Connect();
  ASSERT_TRUE(client.Connected());
  std::unique_ptr<TcpStream> server = listener.Accept(2000);
  ASSERT_NE(server, nullptr);
  server->SetReadTimeout(2000);
  client.Write("ping");
  EXPECT_EQ(server->ReadBytes(4), "ping");
  server->Write("OK!");
  EXPECT_EQ(client.ReadBytes(2), "OK");
  EXPECT_EQ(client.InputBufferSize(), 1u);
  client.Disconnect();
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.InputBufferSize(), 0u);
}

TEST(WindowsSockets, FailuresNameThePeer) {
  uint16_t closedPort = 0;
  {
    TcpListener gone;
    closedPort = gone.Port();
  }
  const std::string peer = "127.0.0.1:" + std::to_string(closedPort);
  TcpClient client("127.0.0.1", closedPort, /*aConnectTimeoutMs=*/2000);
  try {
    client.Connect();
    FAIL() << "connected to a closed port";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Cannot connect to " + peer + ": ", 0), 0u)
        << error.what();
  }
  try {
    client.Write("x");
    FAIL() << "wrote without a connection";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), SystemErrorMessage(peer, 10057)) << "WSAENOTCONN";
  }
}

TEST(WindowsProcess, ExecutableAndLibraries) {
  const std::string executable = ExecutablePath();
  EXPECT_NE(executable.find("windows_platform_tests.exe"), std::string::npos) << executable;
  EXPECT_FALSE(WorkingDirectory().empty());
  EXPECT_EQ(ModulePathOf(reinterpret_cast<const void*>(&ExecutablePath)), executable);
  DynamicLibrary library;
  std::string error;
  EXPECT_FALSE(library.Load("NoSuchLibrary_10.dll", error));
  EXPECT_NE(error.find("NoSuchLibrary_10.dll"), std::string::npos) << error;
  ASSERT_TRUE(library.Load("kernel32.dll", error)) << error;
  EXPECT_NE(library.Symbol("GetTickCount"), nullptr);
  EXPECT_EQ(library.Symbol("NoSuchExport"), nullptr);
}

TEST(WindowsResources, VersionStringsComeFromTheStringTable) {
  EXPECT_EQ(ModuleStringResource(10000).value_or(""),
            "$APPDESCRIPTION=ZEB Driver - Kavren Processor (CY)");
  EXPECT_EQ(ModuleStringResource(10030).value_or(""),
            "$PTEXT=Added support for external receipt numbering");
  EXPECT_FALSE(ModuleStringResource(10031).has_value());
  base::tQV_ApplicationInfo info;
  info.Load(&base::LibraryVersionString);
  EXPECT_EQ(info.Version(), "1.06");
  EXPECT_EQ(info.History().size(), 7u);
  EXPECT_EQ(info.Copyright(), "Copyright (C) 2022-2023 ZEB");
}

// Port names reach the device namespace, where COM10 and above exist too; a port that is not
// there fails with the system's own code, and port 0 never reaches the system.
TEST(WindowsSerial, PortNamesAndMissingPorts) {
  EXPECT_EQ(SerialDevicePath("COM3"), "\\\\.\\COM3");
  EXPECT_EQ(SerialDevicePath("com12"), "\\\\.\\COM12");
  EXPECT_EQ(SerialDevicePath("\\\\.\\COM7"), "\\\\.\\COM7");
  EXPECT_EQ(SerialDevicePath("LPT1"), "LPT1");
  SerialPort port;
  EXPECT_EQ(port.Open("COM0"), 2);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_NE(port.Open("COM231"), 0);
  EXPECT_FALSE(port.IsOpen());
  // A closed port refuses every operation instead of touching a stale handle.
  EXPECT_EQ(port.SetLineParameters(9600, 8, SerialStopBits::One, SerialParity::None),
            SerialSettingsResult::ReadFailed);
  uint32_t errorCode = 0;
  char buffer[4];
  EXPECT_EQ(port.Read(buffer, sizeof buffer, errorCode), -1);
  EXPECT_FALSE(port.Purge());
}

// A raw job for a printer the spooler does not have fails with the spooler's text and
// leaves nothing behind.
TEST(WindowsSpooler, UnknownPrinterFailsWithTheSpoolersText) {
  const std::string printer = "QVFP No Such Printer";
  for (const std::string& installed : InstalledPrinters()) EXPECT_NE(installed, printer);
  std::string error;
  EXPECT_FALSE(PrintRawDocument(printer, "receipt", "\x1B@text\n", error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(PrinterJobs(printer, true).empty());
  EXPECT_THROW(PrinterPageJob(printer, "receipt"), Error);
}

// Late binding against an automation object that every Windows has: members found by their
// names, the four kinds of value passed and answered, properties read and written, and the
// failures with their texts.
TEST(WindowsAutomation, MembersAreCalledByName) {
  ComPtr<IDispatch> dictionary;
  std::string error;
  ASSERT_EQ(CreateAutomationObject("Scripting.Dictionary", dictionary.Out(), error), S_OK) << error;
  ASSERT_TRUE(dictionary);
  const auto call = [&](std::string_view aName, AutomationCall aCall,
                        std::vector<AutomationValue> aArguments) {
    AutomationValue answer;
    const HRESULT result = InvokeByName(*dictionary.Get(), aName, aCall, aArguments, answer, error);
    EXPECT_EQ(result, S_OK) << aName << ": " << error;
    return answer;
  };
  using Kind = AutomationValue::Kind;
  call("Add", AutomationCall::Method,
       {AutomationValue::Text("amount"), AutomationValue::Currency(123456789)});
  call("Add", AutomationCall::Method,
       {AutomationValue::Text("name"), AutomationValue::Text("Ελιά & olive")});
  call("Add", AutomationCall::Method,
       {AutomationValue::Integer(-7), AutomationValue::Boolean(true)});
  EXPECT_EQ(call("Count", AutomationCall::PropertyGet, {}).number, 3);
  const AutomationValue amount =
      call("Item", AutomationCall::PropertyGet, {AutomationValue::Text("amount")});
  EXPECT_EQ(amount.kind, Kind::Currency);
  EXPECT_EQ(amount.number, 123456789);
  const AutomationValue name =
      call("Item", AutomationCall::PropertyGet, {AutomationValue::Text("name")});
  EXPECT_EQ(name.kind, Kind::Text);
  EXPECT_EQ(name.text, "Ελιά & olive");
  const AutomationValue flag =
      call("Item", AutomationCall::PropertyGet, {AutomationValue::Integer(-7)});
  EXPECT_EQ(flag.kind, Kind::Boolean);
  EXPECT_TRUE(flag.flag);
  const AutomationValue exists =
      call("Exists", AutomationCall::Method, {AutomationValue::Text("nothing")});
  EXPECT_EQ(exists.kind, Kind::Boolean);
  EXPECT_FALSE(exists.flag);

  call("Item", AutomationCall::PropertyPut,
       {AutomationValue::Text("amount"), AutomationValue::Integer(42)});
  const AutomationValue replaced =
      call("Item", AutomationCall::PropertyGet, {AutomationValue::Text("amount")});
  EXPECT_EQ(replaced.kind, Kind::Integer);
  EXPECT_EQ(replaced.number, 42);
  EXPECT_EQ(call("RemoveAll", AutomationCall::Method, {}).kind, Kind::Empty);
  EXPECT_EQ(call("Count", AutomationCall::PropertyGet, {}).number, 0);
}

TEST(WindowsAutomation, FailuresCarryTheirTexts) {
  ComPtr<IDispatch> object;
  std::string error;
  EXPECT_TRUE(Failed(CreateAutomationObject("QVFP.NoSuchControl", object.Out(), error)));
  EXPECT_FALSE(object);
  EXPECT_FALSE(error.empty());

  ASSERT_EQ(CreateAutomationObject("Scripting.Dictionary", object.Out(), error), S_OK) << error;
  AutomationValue answer = AutomationValue::Integer(5);
  std::vector<AutomationValue> none;
  EXPECT_EQ(
      InvokeByName(*object.Get(), "NoSuchMember", AutomationCall::Method, none, answer, error),
      DISP_E_UNKNOWNNAME);
  EXPECT_EQ(answer.kind, AutomationValue::Kind::Empty);
  EXPECT_FALSE(error.empty());
  // A key added twice: the object raises an exception of its own.
  std::vector<AutomationValue> entry = {AutomationValue::Text("k"), AutomationValue::Integer(1)};
  ASSERT_EQ(InvokeByName(*object.Get(), "Add", AutomationCall::Method, entry, answer, error), S_OK);
  EXPECT_TRUE(
      Failed(InvokeByName(*object.Get(), "Add", AutomationCall::Method, entry, answer, error)));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace qv::platform

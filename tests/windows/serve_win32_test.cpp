// qvfp.exe serve on Windows: the service started as a till starts it, on a free port of the
// loopback address with a till of its own on drive C, asked for its tills over WinHTTP, then
// stopped. The process calls stay in this file: the platform layer starts no programs.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#undef CreateFile
#undef DeleteFile
#undef MoveFile
#undef CopyFile
#undef GetEnvironmentVariable
#undef SetEnvironmentVariable
#undef GetTempFileName

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/http_client.h"
#include "platform/process.h"
#include "platform/socket.h"
#include "platform/unicode.h"
#include "windows_test_support.h"

namespace qv {
namespace {

using testing::ProgramFolder;

std::wstring Wide(const std::string& aText) {
  const std::u16string units = platform::Utf8ToUtf16(aText);
  return std::wstring(units.begin(), units.end());
}

// A port that nothing listens on now: the one the system gave a listener that is closed again.
uint16_t FreePort() {
  platform::TcpListener listener;
  return listener.Port();
}

// A till serial of its own for every run (Wine hands out the same process ids run after run).
std::string FreshTill() {
  const platform::LocalTime now = platform::Now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "S%02d%02d%02d%03d", now.hour, now.minute, now.second,
                now.millisecond);
  return stamp;
}

// qvfp.exe serve as a child process, ended with the test.
class ServeProcess {
 public:
  explicit ServeProcess(const std::string& aArguments) {
    std::wstring commandLine =
        L"\"" + Wide(ProgramFolder() + "qvfp.exe") + L"\" serve " + Wide(aArguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    fStarted = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &fProcess) != FALSE;
  }
  ~ServeProcess() { Stop(); }
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;

  bool Started() const { return fStarted; }
  bool Running() const {
    return fStarted && WaitForSingleObject(fProcess.hProcess, 0) == WAIT_TIMEOUT;
  }

  // Ends the service and waits for it: true when it is gone within ten seconds.
  bool Stop() {
    if (!fStarted) return true;
    if (Running()) TerminateProcess(fProcess.hProcess, 1);
    const bool gone = WaitForSingleObject(fProcess.hProcess, 10000) == WAIT_OBJECT_0;
    CloseHandle(fProcess.hThread);
    CloseHandle(fProcess.hProcess);
    fStarted = false;
    return gone;
  }

 private:
  PROCESS_INFORMATION fProcess{};
  bool fStarted = false;
};

// GET aUrl until the service answers (it needs a moment to load the library and open its
// tills), for at most aSeconds. The body of the first 2xx answer; the last failure's text in
// aFailure when none came.
std::string GetOnceListening(const std::string& aUrl, const ServeProcess& aService, int aSeconds,
                             std::string& aFailure) {
  platform::HttpClient client;
  client.SetConnectTimeout(1000);
  client.SetReadTimeout(10000);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(aSeconds);
  while (std::chrono::steady_clock::now() < deadline && aService.Running()) {
    try {
      return client.Get(aUrl);
    } catch (const Error& error) {
      aFailure = error.what();
      client.Disconnect();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  if (!aService.Running()) aFailure = "qvfp.exe serve ended by itself; last failure: " + aFailure;
  return {};
}

class WindowsServe : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The signing component is found through its COM registration, as regsvr32 leaves it.
    testing::RegisterSigningComponent();
  }
};

TEST_F(WindowsServe, AnswersTheTillsWithTheTillOpenOnDriveC) {
  const std::string till = FreshTill();
  const std::string folder = "C:\\QV_FPR_DB\\" + till + "\\";
  ASSERT_FALSE(platform::FileExists(folder + "counters.actual.fprc")) << folder;
  const uint16_t port = FreePort();
  ServeProcess service("--listen 127.0.0.1:" + std::to_string(port) + " --till " + till +
                       "=KAVREN-1");
  ASSERT_TRUE(service.Started()) << "CreateProcess failed: " << GetLastError();

  std::string failure;
  const std::string body = GetOnceListening(
      "http://127.0.0.1:" + std::to_string(port) + "/v1/tills", service, 60, failure);
  ASSERT_FALSE(body.empty()) << failure;
  const nlohmann::json tills = nlohmann::json::parse(body);
  ASSERT_TRUE(tills.is_array()) << body;
  ASSERT_EQ(tills.size(), 1u) << body;
  EXPECT_EQ(tills[0].value("till", ""), till) << body;
  EXPECT_EQ(tills[0].value("open", false), true) << body;
  EXPECT_EQ(tills[0].value("message", "?"), "") << body;
  // The till was opened by the service on drive C, with its counters.
  EXPECT_TRUE(platform::FileExists(folder + "counters.actual.fprc")) << folder;

  // An unknown till is the service's own 404 answer, in its error form.
  platform::HttpClient client;
  client.SetReadTimeout(10000);
  EXPECT_THROW(client.Get("http://127.0.0.1:" + std::to_string(port) + "/v1/tills/NONE/status"),
               Error);
  EXPECT_EQ(client.ResponseCode(), 404);

  EXPECT_TRUE(service.Stop());
  // Stopped: nothing answers on the port any more.
  platform::HttpClient after;
  after.SetConnectTimeout(1000);
  EXPECT_THROW(after.Get("http://127.0.0.1:" + std::to_string(port) + "/v1/tills"), Error);
  EXPECT_EQ(after.ResponseCode(), -1);
}

}  // namespace
}  // namespace qv

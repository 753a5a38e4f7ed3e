// The till page of qvfp serve in a real browser: headless Chromium loads it from a running
// service, its scripts call /v1 with the token taken from the address, and the rendered page
// shows the till, the receipts posted before and the X-report's day total; the token given
// in the address does not stay in the address bar.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/support/host_scratch.h"
#include "host/support/qvfp_process.h"
#include "host/support/serve_process.h"
#include "platform/file_system.h"

namespace qv::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kToken = "page-token-0123456789abcdef";

// Chromium on the PATH (Debian's package "chromium"), or empty.
std::string FindChromium() {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    std::string folder =
        folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
    for (const char* name : {"chromium", "chromium-browser"}) {
      std::string candidate = folder + "/" + name;
      if (platform::FileExists(candidate)) return candidate;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return "";
}

class QvfpServePage : public ::testing::Test {
 protected:
  void SetUp() override {
    fChromium = FindChromium();
    if (fChromium.empty()) {
      GTEST_SKIP() << "chromium is not installed (Debian package chromium; ./run test installs "
                      "it unless QV_BROWSER_TESTS=0)";
    }
  }

  // The page's DOM after its scripts ran, as headless Chromium renders it.
  std::string RenderedPage(const std::string& aAddress) {
    static int gProfile = 0;
    std::string profile = fScratch.Root() + "/chromium-profile-" + std::to_string(++gProfile);
    tQvfpRun run = RunProgram(
        fChromium,
        {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run",
         "--user-data-dir=" + profile, "--virtual-time-budget=10000", "--dump-dom", aAddress},
        fScratch.Work(), {{"HOME", fScratch.Root()}}, /*aTimeoutSeconds=*/120);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(run.timedOut);
    return run.out;
  }

  // The address in the browser's address bar once the page has replaced the one it was
  // opened with, as Chromium's DevTools endpoint lists its page: the page's address when the
  // page left it as it was for 20 seconds, or empty when the browser listed no page.
  std::string AddressBarAfterLoad(const std::string& aAddress) {
    static int gProfile = 0;
    std::string profile = fScratch.Root() + "/chromium-bar-" + std::to_string(++gProfile);
    tBackgroundProgram browser(
        fScratch, fChromium,
        {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run",
         "--user-data-dir=" + profile, "--remote-debugging-port=0", aAddress},
        {{"HOME", fScratch.Root()}});
    std::string shown;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && browser.Running()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      // Chromium writes the port it chose as the first line of this file.
      std::string active = tHostScratch::ReadFile(profile + "/DevToolsActivePort");
      if (active.find('\n') == std::string::npos) continue;
      httplib::Client devtools("127.0.0.1", std::stoi(active.substr(0, active.find('\n'))));
      devtools.set_connection_timeout(2, 0);
      devtools.set_read_timeout(5, 0);
      auto listed = devtools.Get("/json/list");
      if (!listed || listed->status != 200) continue;
      for (const nlohmann::json& target : nlohmann::json::parse(listed->body)) {
        if (target.value("type", "") != "page" || target.value("title", "") != kPageTitle) continue;
        if (shown.empty()) deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        shown = target.value("url", "");
      }
      if (!shown.empty() && shown != aAddress) break;
    }
    EXPECT_FALSE(shown.empty()) << "Chromium listed no till page: " << browser.Output();
    return shown;
  }

  static constexpr const char* kPageTitle = "qvfp serve - tills";

  tHostScratch fScratch;
  std::string fChromium;
};

TEST_F(QvfpServePage, ShowsTheTillItsReceiptsAndTheXReportInABrowser) {
  std::string tokenFile = fScratch.Root() + "/token";
  tHostScratch::WriteFile(tokenFile, kToken);
  tServeProcess service(fScratch, {"--till", "T1=KAVREN-1", "--token-file", tokenFile});
  auto client = service.Client();
  client->set_bearer_token_auth(kToken);
  ASSERT_EQ(
      client->Post("/v1/tills/T1/receipts", SaleJson("16.74", "page-sale"), "application/json")
          ->status,
      201);
  ASSERT_EQ(
      client->Post("/v1/tills/T1/receipts", SaleJson("0.5", "page-second"), "application/json")
          ->status,
      201);
  nlohmann::json x = nlohmann::json::parse(client->Get("/v1/tills/T1/xreport")->body);
  ASSERT_EQ(x["dayTotalAmount"], "17.24");

  std::string base = "http://127.0.0.1:" + std::to_string(service.Port()) + "/";
  std::string page = RenderedPage(base + "?token=" + kToken);
  EXPECT_THAT(page, HasSubstr("<body data-loaded=\"true\">"));
  EXPECT_THAT(page, HasSubstr("<h2>Till T1</h2>"));
  EXPECT_THAT(page, HasSubstr("fiscal mode MF"));
  // Today's receipts, newest first: number, time, type, total.
  size_t second = page.find("<tr><td>2</td>");
  size_t first = page.find("<tr><td>1</td>");
  ASSERT_NE(second, std::string::npos) << page;
  ASSERT_NE(first, std::string::npos) << page;
  EXPECT_LT(second, first);
  EXPECT_THAT(page.substr(first, 120), HasSubstr("<td>Sale</td><td class=\"amount\">16.74</td>"));
  EXPECT_THAT(page, HasSubstr("<td>Day total</td><td class=\"amount\">17.24</td>"));
  EXPECT_THAT(page, HasSubstr("<td>Receipts</td><td class=\"amount\">2</td>"));
  EXPECT_THAT(page, HasSubstr("Audit: consistent"));
  EXPECT_THAT(page, HasSubstr("Close the day (Z-report)"));

  // Without the token the page asks for it.
  std::string locked = RenderedPage(base);
  EXPECT_THAT(locked, HasSubstr("<form id=\"login\" style=\"display: block;\">"));
  EXPECT_THAT(locked, HasSubstr("a token is needed"));
  EXPECT_THAT(locked, Not(HasSubstr("<h2>Till T1</h2>")));
}

TEST_F(QvfpServePage, TakesTheTokenOutOfTheAddressBar) {
  std::string tokenFile = fScratch.Root() + "/token";
  tHostScratch::WriteFile(tokenFile, kToken);
  tServeProcess service(fScratch, {"--till", "T1=KAVREN-1", "--token-file", tokenFile});
  std::string base = "http://127.0.0.1:" + std::to_string(service.Port()) + "/";

  std::string shown = AddressBarAfterLoad(base + "?token=" + kToken);
  EXPECT_EQ(shown, base);
  EXPECT_THAT(shown, Not(HasSubstr(kToken)));
  // The rest of the address stays as it was given.
  EXPECT_EQ(AddressBarAfterLoad(base + "?token=" + kToken + "&shop=12#today"),
            base + "?shop=12#today");
}

}  // namespace
}  // namespace qv::testing

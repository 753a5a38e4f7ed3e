// Uses the spooler and the HTTP transport once each and prints what they answered, one line
// each ("spooler: <error>", "printers: <count>", "http: <error>"), for the tests of a till
// where those system libraries are missing.
#include <cstdio>
#include <string>

#include "platform/error.h"
#include "platform/http_client.h"
#include "platform/print_spooler.h"

int main() {
  std::string error;
  const bool printed = qv::platform::PrintRawDocument("Receipt", "probe", "x", error);
  std::printf("spooler: %s\n", printed ? "printed" : error.c_str());
  std::printf("printers: %zu\n", qv::platform::InstalledPrinters().size());
  try {
    qv::platform::HttpClient client;
    client.SetConnectTimeout(500);
    client.Post("http://127.0.0.1:9/", "x", "text/plain");
    std::printf("http: posted\n");
  } catch (const qv::Error& e) {
    std::printf("http: %s\n", e.what());
  }
  return 0;
}

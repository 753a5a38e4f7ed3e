// What qvfp serve adds to a receipt: 1,000 receipts sent over HTTP by one client (one
// connection kept open) against the same 1,000 receipts sent to the library by "qvfp run"
// in one process, both on the local disk in the same run, each till in a fresh folder
// (target: the service adds at most 25%).
//
//   bench_serve_bench [receipts] [blocks]
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "bench_till.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The same receipt as the service's JSON.
const char* const kReceiptJson = R"({"Type": "Sale", "TillCode": "T1", "OperatorCode": "7",
  "CurrencyCode": "EUR", "TotalAmount": 12.70,
  "Headers": [{"HeaderLine": "COFFEE HOUSE LTD"}],
  "Lines": [{"ProductSale": {"Description": "Espresso", "Quantity": 2, "TaxCode": "A",
                             "Price": 1.50, "Amount": 3.00}},
            {"WeightedProductSale": {"Description": "Halloumi", "Quantity": 0.75, "UOM": "kg",
                                     "TaxCode": "A", "Price": 12.00, "Amount": 9.00}},
            {"SubTotal": {"Amount": 12.00}},
            {"MarkupAmount": {"Description": "Service", "Amount": 0.70}}],
  "Taxes": [{"Tax": {"Type": "VAT", "Code": "A", "Rate": 19, "TaxableAmount": 10.67,
                     "TaxAmount": 2.03, "TotalAmount": 12.70}}],
  "Payments": [{"Payment": {"Type": "Cash", "Amount": 20.00}}]})";

std::string Request(const std::string& aMethod, const std::string& aBody) {
  return "<FiscalRequest><Type>FISCALPROCESSOR</Type><Driver>QVFP_CYKAVREN_10</Driver><Method>" +
         aMethod +
         "</Method><LogId>BENCH</LogId><Handle>0</Handle><Parameters><Processor>"
         "QVFP_CYKAVREN_10</Processor><FPTillSerial>T1</FPTillSerial><ProcessorPort>KAVREN-1"
         "</ProcessorPort></Parameters>" +
         aBody + "</FiscalRequest>";
}

// A fresh folder on the local disk (beside this program): drive C, temporary folder and the
// working directory of one run.
class Scratch {
 public:
  explicit Scratch(const std::string& aName) {
    fRoot = fs::path(qv::platform::ExecutablePath()).parent_path() /
            ("bench_serve_" + aName + "_" + std::to_string(getpid()));
    fs::remove_all(fRoot);
    for (const char* folder : {"C", "tmp", "work"}) fs::create_directories(fRoot / folder);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(fRoot, ignored);
  }
  fs::path Root() const { return fRoot; }

 private:
  fs::path fRoot;
};

std::string Program() {
  return (fs::path(qv::platform::ExecutablePath()).parent_path() / "qvfp").string();
}

// Starts qvfp with aArguments in aScratch; its output goes to out.txt there.
pid_t Spawn(const Scratch& aScratch, const std::vector<std::string>& aArguments) {
  std::vector<std::string> arguments{Program()};
  arguments.insert(arguments.end(), aArguments.begin(), aArguments.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::string drive = "QVFP_DRIVE_C=" + (aScratch.Root() / "C").string();
  std::string temp = "TMPDIR=" + (aScratch.Root() / "tmp").string();
  std::string work = (aScratch.Root() / "work").string();
  std::string output = (aScratch.Root() / "out.txt").string();
  pid_t pid = fork();
  if (pid == 0) {
    putenv(drive.data());
    putenv(temp.data());
    int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    if (chdir(work.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

int WaitFor(pid_t aPid) {
  int status = 0;
  waitpid(aPid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const fs::path& aPath) {
  std::ifstream file(aPath);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// qvfp run with OPEN and aReceipts receipts; the time of the whole run.
double RunScript(int aReceipts) {
  Scratch scratch("run");
  fs::path folder = scratch.Root() / "work";
  std::ofstream(folder / "open.xml") << Request("OPEN", "");
  std::ofstream(folder / "receipt.xml") << Request("PROCESSRECEIPT", qv::bench::kSaleReceipt);
  std::ofstream script(folder / "bench.script");
  script << "OPEN open.xml\n";
  for (int i = 0; i < aReceipts; ++i) script << "PROCESSRECEIPT receipt.xml\n";
  script.close();
  auto start = Clock::now();
  pid_t run = Spawn(scratch, {"run", (folder / "bench.script").string()});
  int status = WaitFor(run);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (status != 0) {
    std::fprintf(stderr, "qvfp run failed: %s\n",
                 ReadFile(scratch.Root() / "out.txt").substr(0, 2000).c_str());
    std::exit(1);
  }
  return seconds;
}

// qvfp serve on the loopback address, aReceipts sent by one client on one connection; the
// time from the first request to the last answer (aKeyed: each with its Idempotency-Key).
double Serve(int aReceipts, bool aKeyed) {
  Scratch scratch(aKeyed ? "keyed" : "serve");
  pid_t service = Spawn(scratch, {"serve", "--listen", "127.0.0.1:0", "--till", "T1=KAVREN-1"});
  int port = 0;
  const std::regex listening("listening on http://127.0.0.1:([0-9]+)");
  for (int i = 0; i < 3000 && port == 0; ++i) {
    std::smatch match;
    std::string output = ReadFile(scratch.Root() / "out.txt");
    if (std::regex_search(output, match, listening))
      port = std::stoi(match[1]);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (port == 0) {
    std::fprintf(stderr, "qvfp serve did not start: %s\n",
                 ReadFile(scratch.Root() / "out.txt").c_str());
    std::exit(1);
  }
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(true);
  client.set_tcp_nodelay(true);
  client.set_read_timeout(60, 0);
  auto start = Clock::now();
  for (int i = 0; i < aReceipts; ++i) {
    httplib::Headers headers;
    if (aKeyed) headers.emplace("Idempotency-Key", "bench-" + std::to_string(i));
    httplib::Result answer =
        client.Post("/v1/tills/T1/receipts", headers, kReceiptJson, "application/json");
    if (!answer || answer->status != 201) {
      std::fprintf(stderr, "receipt %d failed: %s\n", i,
                   answer ? answer->body.c_str() : "no answer");
      kill(service, SIGKILL);
      std::exit(1);
    }
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  kill(service, SIGTERM);
  WaitFor(service);
  return seconds;
}

double Median(std::vector<double> aValues) {
  std::sort(aValues.begin(), aValues.end());
  return aValues[aValues.size() / 2];
}

double Sum(const std::vector<double>& aValues) {
  double sum = 0;
  for (double value : aValues) sum += value;
  return sum;
}

}  // namespace

// The receipts are sent in blocks, the variants taking turns block by block, so that a
// burst of disk work of the machine's other users falls on all of them alike.
int main(int argc, char** argv) {
  const int receipts = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int blocks = argc > 2 ? std::atoi(argv[2]) : 5;
  const int perBlock = receipts / blocks;
  std::vector<double> run, serve, keyed, serveRatio, keyedRatio;
  double startAndOpen = 0;
  for (int b = 0; b < blocks; ++b) {
    // qvfp run's process start, library load and OPEN, which the service does once before
    // its first request, are measured apart and left out.
    const double start = RunScript(0);
    startAndOpen += start;
    run.push_back(std::max(RunScript(perBlock) - start, 1e-6));
    serve.push_back(Serve(perBlock, /*aKeyed=*/false));
    keyed.push_back(Serve(perBlock, /*aKeyed=*/true));
    serveRatio.push_back(serve.back() / run.back());
    keyedRatio.push_back(keyed.back() / run.back());
  }
  const int total = perBlock * blocks;
  auto line = [total](const char* aName, double aSeconds) {
    std::printf("  %-28s %8.3f s  %7.3f ms per receipt", aName, aSeconds, 1000 * aSeconds / total);
  };
  std::printf("%d receipts in %d interleaved blocks of %d:\n", total, blocks, perBlock);
  line("qvfp run (one process)", Sum(run));
  std::printf("   (start and OPEN, %.3f s in all, left out)\n", startAndOpen);
  line("qvfp serve, no key", Sum(serve));
  std::printf("   %+6.1f%% (median of the blocks %+6.1f%%)\n", 100 * (Sum(serve) / Sum(run) - 1),
              100 * (Median(serveRatio) - 1));
  line("qvfp serve, Idempotency-Key", Sum(keyed));
  std::printf("   %+6.1f%% (median of the blocks %+6.1f%%)\n", 100 * (Sum(keyed) / Sum(run) - 1),
              100 * (Median(keyedRatio) - 1));
  return 0;
}

// qvfp: loads the fiscal library exactly as a point-of-sale application does and calls its
// exports.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "fiscal_library.h"
#include "platform/error.h"

int main(int argc, char** argv) {
  using namespace qv::host;
  CLI::App app{"qvfp - host program for the QVFP_CYKAVREN_10 fiscal library"};
  app.require_subcommand(1);
  std::string library = DefaultLibraryPath();
  app.add_option("--library", library, "Path of the fiscal library")->capture_default_str();

  DemoOptions demo;
  CLI::App* demoCommand = app.add_subcommand("demo", "Run a whole fiscal day on a demo till");
  demoCommand->add_option("--data", demo.dataFolder, "Folder that drive C: maps to")
      ->capture_default_str();
  demoCommand->add_option("--till", demo.till.till, "Till serial")->capture_default_str();
  demoCommand->add_option("--receipts", demo.receipts, "Number of receipts")
      ->capture_default_str()
      ->check(CLI::Range(0, 10000));
  demoCommand->add_flag("--xml", demo.showXml, "Also show the raw result documents");

  std::string exportName, requestFile;
  std::optional<int> handle;
  CLI::App* callCommand = app.add_subcommand("call", "Call one export with a request file");
  callCommand
      ->add_option("EXPORT", exportName,
                   "OPEN, PROCESSRECEIPT, PROCESSZREPORT, "
                   "PROCESSXREPORT or PROCESSGETSTATUS")
      ->required()
      ->check(CLI::IsMember(
          {"OPEN", "PROCESSRECEIPT", "PROCESSZREPORT", "PROCESSXREPORT", "PROCESSGETSTATUS"}));
  callCommand->add_option("REQUEST", requestFile, "Request XML file")->required();
  callCommand->add_option("--handle", handle, "Processor handle to put into the request");

  std::string script;
  CLI::App* runCommand =
      app.add_subcommand("run", "Run a script of calls in one process (handles live per process)");
  runCommand->add_option("SCRIPT", script, "One \"EXPORT request-file\" per line")->required();

  JournalOptions journal;
  CLI::App* journalCommand = app.add_subcommand("journal", "List the journal of a till");
  journalCommand->add_option("--data", journal.dataFolder, "Folder that drive C: maps to")
      ->capture_default_str();
  journalCommand->add_option("--till", journal.till, "Till serial")->capture_default_str();
  journalCommand->add_option("--day", journal.day, "Only this day (yyyymmdd)");

  VerifyOptions verify;
  CLI::App* verifyCommand = app.add_subcommand(
      "verify", "Audit a till's folder: numbers, totals, journal chain, signatures (reads only)");
  verifyCommand->add_option("--data", verify.dataFolder, "Folder that drive C: maps to")
      ->capture_default_str();
  verifyCommand->add_option("--till", verify.till, "Till serial")->capture_default_str();
  verifyCommand->add_flag("--json", verify.json, "Print the findings as one JSON document");

  ServeOptions serve;
  CLI::App* serveCommand =
      app.add_subcommand("serve", "Offer the library over HTTP/JSON to web and network tills");
  serveCommand->add_option("--listen", serve.listen, "ADDRESS:PORT to listen on")
      ->capture_default_str();
  serveCommand->add_option("--till", serve.tills, "SERIAL=PROCESSORPORT of a till (repeatable)")
      ->required();
  serveCommand->add_option("--token-file", serve.tokenFile,
                           "File holding the token that every /v1 call must present");
  serveCommand->add_option("--allow-origin", serve.allowedOrigins,
                           "Web origin allowed to call from a browser (repeatable, * for any)");
  serveCommand->add_option("--tls-cert", serve.tlsCertificate, "Certificate file (PEM) for HTTPS");
  serveCommand->add_option("--tls-key", serve.tlsKey, "Private key file (PEM) for HTTPS");
  serveCommand
      ->add_option("--retry-seconds", serve.retrySeconds,
                   "Seconds between attempts to open a till that did not open")
      ->capture_default_str()
      ->check(CLI::Range(1, 3600));
  serveCommand
      ->add_option("--key-days", serve.keyRetentionDays, "Days an Idempotency-Key is remembered")
      ->capture_default_str()
      ->check(CLI::Range(1, 3650));
  serveCommand->add_option("--threads", serve.threads, "Connections served at once")
      ->capture_default_str()
      ->check(CLI::Range(2, 256));
  serveCommand->add_option("--library", library, "Path of the fiscal library");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // A mistyped command is left over as an extra word; name it rather than only saying
    // that a subcommand is required.
    std::vector<std::string> extras = app.remaining();
    if (app.get_subcommands().empty() && !extras.empty()) {
      std::cerr << "qvfp: unknown command \"" << extras.front()
                << "\". Use demo, call, run, journal, verify or serve (--help for more).\n";
      return e.get_exit_code() != 0 ? e.get_exit_code() : 1;
    }
    return app.exit(e);
  }
  try {
    if (*demoCommand) {
      demo.library = library;
      return RunDemo(demo);
    }
    if (*callCommand) return RunCall(library, exportName, requestFile, handle);
    if (*runCommand) return RunScript(library, script);
    if (*journalCommand) return RunJournal(journal);
    if (*verifyCommand) return RunVerify(verify);
    if (*serveCommand) {
      serve.library = library;
      return RunServe(serve);
    }
  } catch (const std::exception& e) {
    std::cerr << "qvfp: " << e.what() << "\n";
    return 2;
  }
  return 0;
}

// qvfp journal: the receipts and Z-reports a till has kept, day by day.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "base/xml_utils.h"
#include "commands.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace qv::host {

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> SortedEntries(const fs::path& aFolder, bool aFolders) {
  std::vector<fs::path> entries;
  for (const fs::directory_entry& entry : fs::directory_iterator(aFolder)) {
    if (aFolders ? entry.is_directory() : entry.is_regular_file()) entries.push_back(entry.path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// The signature printed under "LEGAL RECEIPT": the two trailer lines after it. The first
// line ends with the blank that the second begins with; the blank is shown once.
std::string Signature(const pugi::xml_node& aReceipt) {
  std::string signature;
  bool afterLegal = false;
  for (pugi::xml_node text : aReceipt.child("TrailerMessages").children("Text")) {
    std::string value = text.child("Value").text().get();
    if (afterLegal) {
      bool sharedBlank =
          !signature.empty() && signature.back() == ' ' && !value.empty() && value.front() == ' ';
      signature += sharedBlank ? value.substr(1) : value;
    }
    if (value == "LEGAL RECEIPT") afterLegal = true;
  }
  return signature;
}

void ShowEntry(const fs::path& aFile) {
  std::string name = aFile.filename().string();
  pugi::xml_document document;
  try {
    base::ParseXml(document, ReadTextFile(aFile.string()));
  } catch (const Error& e) {
    std::printf("  %-18s unreadable: %s\n", name.c_str(), e.what());
    return;
  }
  pugi::xml_node root = document.document_element();
  pugi::xml_node receipt = root.child("Receipt");
  if (receipt) {
    std::printf("  %-18s receipt %-7s %-19s %-8s %10s  %s\n", name.c_str(),
                receipt.child("Number").text().get(), receipt.child("DateTime").text().get(),
                receipt.child("Type").text().get(), receipt.child("TotalAmount").text().get(),
                Signature(receipt).c_str());
  } else {
    std::printf("  %-18s Z-report %s, day total %s, receipts %s\n", name.c_str(),
                root.child("CurrentZReportNo").text().get(), root.child("DailyTotal").text().get(),
                root.child("CurrentReceiptNo").text().get());
  }
}

}  // namespace

int RunJournal(const JournalOptions& aOptions) {
  MapDriveC(aOptions.dataFolder);
  fs::path processed = platform::NativePath("C:\\QV_FPR_DB\\" + aOptions.till + "\\Processed");
  if (!fs::is_directory(processed)) {
    std::cerr << "No journal for till " << aOptions.till << " in " << processed.string() << "\n";
    return 1;
  }
  int days = 0;
  for (const fs::path& day : SortedEntries(processed, /*aFolders=*/true)) {
    if (!aOptions.day.empty() && day.filename() != aOptions.day) continue;
    ++days;
    std::cout << day.filename().string() << "\n";
    for (const fs::path& file : SortedEntries(day, /*aFolders=*/false)) ShowEntry(file);
  }
  if (days == 0) {
    std::cerr << "No journal entries" << (aOptions.day.empty() ? "" : " for " + aOptions.day)
              << "\n";
    return 1;
  }
  return 0;
}

}  // namespace qv::host

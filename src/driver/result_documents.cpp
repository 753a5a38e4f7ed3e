#include "driver/result_documents.h"

#include <pugixml.hpp>
#include <string>

#include "base/utils.h"
#include "base/xml_utils.h"

namespace qv::driver {

namespace {

using base::tQV_XMLUtils;

std::string AmountText(base::Currency aValue) { return base::CurrencyToXmlText(aValue); }

std::string DateTimeText(base::DateTime aValue) {
  return base::DateTimeToXmlText(/*aWithMilliseconds=*/false, aValue);
}

std::string RenderResult(const pugi::xml_document& aDocument) {
  return WithCrLfLines(base::RenderXml(aDocument));
}

}  // namespace

std::string WithCrLfLines(const std::string& aText) {
  std::string result;
  result.reserve(aText.size() + 2);
  for (std::size_t i = 0; i < aText.size(); ++i) {
    const char c = aText[i];
    if (c == '\r' || c == '\n') {
      result += "\r\n";
      if (c == '\r' && i + 1 < aText.size() && aText[i + 1] == '\n') ++i;
    } else {
      result += c;
    }
  }
  if (!result.empty() && result.back() != '\n') result += "\r\n";
  return result;
}

std::string ReportResultDocument(const kFiscalProcessorWrapper_PROCESSZREPORT& aWrapper,
                                 const char* aRootName) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child(aRootName);
  const framework::qvFiscalCounters& report = aWrapper.Counters();
  const framework::qvDayFigures& figures = report.Figures;
  tQV_XMLUtils::AddNode(root, "GrandTotalAmount", AmountText(figures.GrandTotalTotal));
  tQV_XMLUtils::AddNode(root, "GrandTotalRefundsAmount", AmountText(figures.GrandTotalRefunds));
  tQV_XMLUtils::AddNode(root, "GrandTotalVoidsAmount", AmountText(figures.GrandTotalVoids));
  tQV_XMLUtils::AddNode(root, "DayTotalAmount", AmountText(figures.DailyTotal));
  tQV_XMLUtils::AddNode(root, "DayDiscountsAmount", AmountText(figures.DailyDiscounts));
  tQV_XMLUtils::AddNode(root, "DayRefundsAmount", AmountText(figures.DailyRefunds));
  tQV_XMLUtils::AddNode(root, "DayVoidsAmount", AmountText(figures.DailyVoids));
  tQV_XMLUtils::AddNode(root, "DayReceiptsNumber", std::to_string(figures.CurrentReceiptNo));
  tQV_XMLUtils::AddNode(root, "DayRefundsNumber", "0");
  tQV_XMLUtils::AddNode(root, "ReportNumber", std::to_string(figures.CurrentReportNo));
  tQV_XMLUtils::AddNode(root, "ReportDateTime", DateTimeText(report.ReportDateTime));
  tQV_XMLUtils::AddNode(root, "Text", report.Text);
  return RenderResult(document);
}

std::string StatusResultDocument(const kFiscalProcessorWrapper_GETSTATUS& aWrapper) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("Status");
  tQV_XMLUtils::AddNode(root, "DayOpened", base::BooleanToXmlText(aWrapper.DayOpened()));
  tQV_XMLUtils::AddNode(root, "DateTime", DateTimeText(aWrapper.DateTime()));
  tQV_XMLUtils::AddNode(root, "TrainingMode", base::BooleanToXmlText(aWrapper.TrainingMode()));
  tQV_XMLUtils::AddNode(root, "FirmwareVersion", aWrapper.FirmwareVersion());
  tQV_XMLUtils::AddNode(root, "SerialNumber", aWrapper.SerialNumber());
  tQV_XMLUtils::AddNode(root, "FiscalMode", aWrapper.FiscalMode());
  return RenderResult(document);
}

}  // namespace qv::driver

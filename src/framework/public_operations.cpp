#include "framework/public_operations.h"

#include <string>
#include <utility>

#include "base/utils.h"
#include "documents/other_documents.h"
#include "framework/io_handler.h"
#include "framework/request_context.h"

namespace qv::framework {

namespace {

// The device operations report their failures through the channel's error state, not
// through their Boolean results; the frame below reads that state once the work is done.

template <class TResult>
void BeginOperation(kIOHandler& aChannel, const char* aBanner, TResult& aResult) {
  aChannel.Debug(let_info, std::string(60, '-') + " " + aBanner);
  // Error stays True unless the work ends without raising and without an error state.
  aResult.Error = true;
  aResult.LogFileName = aChannel.GetLogFileName();
}

// Takes the channel's error state into aResult; true when it is clear, so the caller fills
// its own results.
template <class TResult>
bool EndOperation(const kIOHandler& aChannel, TResult& aResult) {
  if (aChannel.ErrorFound()) {
    aResult.Error = true;
    aResult.ErrorText = aChannel.ErrorMessage();
    return false;
  }
  aResult.Error = false;
  aResult.ErrorText.clear();
  return true;
}

_int_Vat VatResult(const documents::kVat& aVat) {
  _int_Vat vat;
  vat.Index = aVat.Index();
  vat.Code = aVat.Code();
  vat.Description = aVat.Description();
  vat.Rate = aVat.Rate();
  return vat;
}

}  // namespace

std::string DepartmentSalesTypeText(documents::qvDepartmentSalesType aSalesType) {
  return aSalesType == documents::st_Service ? "Service" : "Product";
}

void kFiscalProcessor::Pub_SetDateTime(kFiscalProcessorHandler& aHandler,
                                       _int_SETDATETIME_result& aResult) {
  BeginOperation(*fIOHandler, "SetDateTime", aResult);
  const base::DateTime newDateTime = base::XmlTextToDateTime(aHandler.GetParameter("DateTime"));
  // 1899-12-30 00:00 and earlier stand for a date that was not given.
  if (newDateTime > 0) SetDateTime(newDateTime);
  // The device's clock is returned whether or not setting it went well.
  GetDateTime(aResult.DateTime);
  EndOperation(*fIOHandler, aResult);
}

void kFiscalProcessor::Pub_SetDeptTable(kFiscalProcessorHandler& aHandler,
                                        _int_SETDEPTTABLE_result& aResult) {
  BeginOperation(*fIOHandler, "SetDeptTable", aResult);
  // The departments refer to their activities, so the activities go first.
  SetEATable(aHandler.EATable());
  SetDeptTable(aHandler.DeptTable());
  EndOperation(*fIOHandler, aResult);
}

void kFiscalProcessor::Pub_SetVatTable(kFiscalProcessorHandler& aHandler,
                                       _int_SETVATTABLE_result& aResult) {
  BeginOperation(*fIOHandler, "SetVATTable", aResult);
  SetVatTable(aHandler.VATTable());
  EndOperation(*fIOHandler, aResult);
}

void kFiscalProcessor::Pub_Close(kFiscalProcessorHandler& aHandler, _int_CLOSE_result& aResult) {
  BeginOperation(*fIOHandler, "Close", aResult);
  fIOHandler->Disconnect();
  EndOperation(*fIOHandler, aResult);
}

void kFiscalProcessor::Pub_GetVatTable(kFiscalProcessorHandler& aHandler,
                                       _int_GETVATTABLE_result& aResult) {
  BeginOperation(*fIOHandler, "GetVATTable", aResult);
  aResult.VATTable.clear();
  GetVatTable();
  if (!EndOperation(*fIOHandler, aResult)) return;
  for (const documents::kVat& vat : *fVatTable) aResult.VATTable.push_back(VatResult(vat));
}

void kFiscalProcessor::Pub_EJReport(kFiscalProcessorHandler& aHandler,
                                    _int_EJREPORT_result& aResult) {
  BeginOperation(*fIOHandler, "EJReport", aResult);
  const documents::kEJReport& report = aHandler.EJReport();
  const documents::qvEJReportDestination destination = report.Destination();
  const base::DateTime start = report.StartDate();
  const base::DateTime end = report.EndDate();
  const int32_t first = report.StartNumber();
  const int32_t last = report.EndNumber();
  switch (report.ReportType()) {
    case documents::ejrt_ZReport:
      EJReportZReports(destination, start, end, aResult);
      break;
    case documents::ejrt_FiscalReceipt:
      EJReportFiscalReceipts(destination, start, end, first, last, aResult);
      break;
    case documents::ejrt_NonFiscalReceipt:
      EJReportNonFiscalReceipts(destination, start, end, first, last, aResult);
      break;
    case documents::ejrt_CreditNote:
      EJReportCreditNotes(destination, start, end, first, last, aResult);
      break;
    case documents::ejrt_Invoice:
      EJReportInvoices(destination, start, end, first, last, aResult);
      break;
  }
  EndOperation(*fIOHandler, aResult);
}

void kFiscalProcessor::Pub_GetDeptTable(kFiscalProcessorHandler& aHandler,
                                        _int_GETDEPTTABLE_result& aResult) {
  BeginOperation(*fIOHandler, "GetDeptTable", aResult);
  aResult.DeptTable.clear();
  GetDeptTable();
  GetEATable();
  if (!EndOperation(*fIOHandler, aResult)) return;
  for (const documents::kDepartment& department : *fDeptTable) {
    _int_Dept dept;
    dept.Index = department.Index();
    dept.Code = department.Code();
    dept.Description = department.Description();
    dept.VatCode = department.VATCode();
    dept.SalesType = DepartmentSalesTypeText(department.SalesType());
    if (!department.EACode().empty()) {
      dept.EACode = department.EACode();
      if (const documents::kEconomicActivity* activity = fEATable->Get(department.EACode())) {
        dept.EADescription = activity->Description();
        dept.EAVATMode = activity->Ventilazione() ? "1" : "0";
      } else {
        // The device knows the department but not its activity: the department is still
        // reported, without the activity's description and VAT mode.
        fIOHandler->WriteLog(let_info, "GetDeptTable",
                             "Economic activity " + department.EACode() + " of department " +
                                 department.Code() + " not found");
      }
    }
    aResult.DeptTable.push_back(std::move(dept));
  }
}

void kFiscalProcessor::Pub_GetEJFiles(kFiscalProcessorHandler& aHandler,
                                      _int_GETEJFILES_result& aResult) {
  BeginOperation(*fIOHandler, "GetEJFiles", aResult);
  const documents::kEJFilesRequest& request = aHandler.EJFilesRequest();
  GetEJFiles(request.ReqType(), request.StartDate(), request.EndDate(), request.OutputDir(),
             fEJFilesCount);
  if (!EndOperation(*fIOHandler, aResult)) return;
  aResult.FilesCount = fEJFilesCount;
}

void kFiscalProcessor::Pub_GetLotteryReceiptStatus(kFiscalProcessorHandler& aHandler,
                                                   _int_GETLOTTERYRCPTSTATUS_result& aResult) {
  BeginOperation(*fIOHandler, "GetLotteryRcptStatus", aResult);
  if (IsConnected() || Connect()) GetLotteryReceiptStatus(aHandler.ReceiptReference());
  if (!EndOperation(*fIOHandler, aResult)) return;
  aResult.CorrectlySent = fLotteryReceiptStatus.CorrectlySent;
  aResult.StatusCode = fLotteryReceiptStatus.StatusCode;
  aResult.StatusDescription = fLotteryReceiptStatus.StatusDescription;
  aResult.ReferenceId = fLotteryReceiptStatus.ReferenceId;
}

void kFiscalProcessor::Pub_OpenDrawer(kFiscalProcessorHandler& aHandler,
                                      _int_OPENDR_result& aResult) {
  BeginOperation(*fIOHandler, "OpenDrawer", aResult);
  OpenDrawer(aHandler.Drawer().Number());
  EndOperation(*fIOHandler, aResult);
}

}  // namespace qv::framework

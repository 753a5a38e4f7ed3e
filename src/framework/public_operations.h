// The result records of the public device operations of kFiscalProcessor (Pub_SetDateTime,
// Pub_GetVatTable, Pub_EJReport, ...): what a caller gets back from setting the clock, the
// VAT and department tables, journal reports and files, the lottery-receipt status, the
// drawer and closing the channel.
//
// Every record ends with the same three fields: Error (True when the log channel reported an
// error after the work, or when the work raised), ErrorText (the channel's error message)
// and LogFileName (the processor's log file). The operations themselves are members of
// kFiscalProcessor (framework/fiscal_processor.h).
//
// Threading: plain records, filled by the calling thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/currency.h"
#include "base/date_time.h"
#include "framework/fiscal_processor.h"

namespace qv::framework {

struct _int_SETDATETIME_result {
  base::DateTime DateTime = 0;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_SETDEPTTABLE_result {
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_SETVATTABLE_result {
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_CLOSE_result {
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_OPENDR_result {
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

// One VAT rate as the device holds it; Rate in percent.
struct _int_Vat {
  int32_t Index = 0;
  std::string Code;
  std::string Description;
  base::Currency Rate;
};

struct _int_GETVATTABLE_result {
  std::vector<_int_Vat> VATTable;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

// One department as the device holds it, with its economic activity. SalesType is "Product"
// or "Service"; EAVATMode is "1" for an activity whose VAT is split afterwards, else "0".
struct _int_Dept {
  int32_t Index = 0;
  std::string Code;
  std::string Description;
  std::string VatCode;
  std::string SalesType;
  std::string EACode;
  std::string EADescription;
  std::string EAVATMode;
};

struct _int_GETDEPTTABLE_result {
  std::vector<_int_Dept> DeptTable;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

// Text is filled by the device's journal report operation.
struct _int_EJREPORT_result {
  std::string Text;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_GETEJFILES_result {
  int32_t FilesCount = 0;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

struct _int_GETLOTTERYRCPTSTATUS_result {
  bool CorrectlySent = false;
  std::string StatusCode;
  std::string StatusDescription;
  std::string ReferenceId;
  bool Error = false;
  std::string ErrorText;
  std::string LogFileName;
};

// The text of a department sales type in a department result: "Product" or "Service".
std::string DepartmentSalesTypeText(documents::qvDepartmentSalesType aSalesType);

}  // namespace qv::framework

// The API of qvfp serve described as OpenAPI 3, served at /v1/openapi.json.
#include "serve/http_service.h"

namespace qv::host {

namespace {

Json ErrorResponse(const std::string& aWhat) {
  return {
      {"description", aWhat},
      {"content", {{"application/json", {{"schema", {{"$ref", "#/components/schemas/Error"}}}}}}}};
}

Json JsonResponse(const std::string& aWhat, const std::string& aSchema) {
  return {{"description", aWhat},
          {"content",
           {{"application/json", {{"schema", {{"$ref", "#/components/schemas/" + aSchema}}}}}}}};
}

Json TillParameter() {
  return {{"name", "till"},
          {"in", "path"},
          {"required", true},
          {"schema", {{"type", "string"}}},
          {"description", "The till serial given to --till"}};
}

Json KeyParameter() {
  return {{"name", "Idempotency-Key"},
          {"in", "header"},
          {"required", false},
          {"schema", {{"type", "string"}, {"maxLength", 200}}},
          {"description",
           "Makes the call exactly once: a repeat with the same key and body answers the "
           "first attempt's answer (header Idempotent-Replayed: true) and signs nothing; an "
           "attempt that signed nothing leaves the key free for a retry"}};
}

Json Operation(const std::string& aSummary, Json aResponses, bool aTill = true) {
  Json operation = {{"summary", aSummary}, {"responses", std::move(aResponses)}};
  if (aTill) operation["parameters"] = Json::array({TillParameter()});
  return operation;
}

Json Amount() { return {{"type", "string"}, {"description", "exact decimal, \".\" separator"}}; }

Json ReportSchema() {
  Json properties = Json::object();
  for (const char* name :
       {"grandTotalAmount", "grandTotalRefundsAmount", "grandTotalVoidsAmount", "dayTotalAmount",
        "dayDiscountsAmount", "dayRefundsAmount", "dayVoidsAmount"}) {
    properties[name] = Amount();
  }
  for (const char* name : {"dayReceiptsNumber", "dayRefundsNumber", "reportNumber"}) {
    properties[name] = {{"type", "integer"}};
  }
  properties["reportDateTime"] = {{"type", "string"}};
  properties["text"] = {{"type", "string"}};
  return {{"type", "object"}, {"properties", properties}};
}

Json Document() {
  Json common = {{"400", ErrorResponse("The body is not JSON or XML, or does not map")},
                 {"401", ErrorResponse("No valid bearer token")},
                 {"404", ErrorResponse("Unknown till")},
                 {"503", ErrorResponse("The till is not open or its device is not ready")},
                 {"500", ErrorResponse("Any other failure, with the library's message")}};
  auto with = [&common](Json aResponses) {
    for (auto& [status, response] : common.items()) {
      if (!aResponses.contains(status)) aResponses[status] = response;
    }
    return aResponses;
  };
  Json receiptPost = Operation(
      "Process a fiscal receipt (PROCESSRECEIPT)",
      with({{"201", JsonResponse("The signed receipt", "SignedReceipt")},
            {"409", ErrorResponse("The Idempotency-Key was used with another request")},
            {"422", ErrorResponse("The library refused the receipt as malformed; nothing counted")},
            {"423", ErrorResponse("The counters lock timed out")}}));
  receiptPost["parameters"].push_back(KeyParameter());
  receiptPost["requestBody"] = {
      {"required", true},
      {"content",
       {{"application/json",
         {{"schema",
           {{"type", "object"},
            {"description",
             "The Receipt element: element names as keys; texts as strings or numbers "
             "(kept exactly); Headers, Lines, Taxes, Payments, TrailerMessages, LeaderLines "
             "and References as arrays of one-key objects"}}}}},
        {"application/xml",
         {{"schema", {{"type", "string"}, {"description", "<Receipt>...</Receipt>"}}}}}}}};
  Json zreportPost =
      Operation("Close the fiscal day (PROCESSZREPORT)",
                with({{"200", JsonResponse("The figures of the closed day", "Report")},
                      {"409", ErrorResponse("The Idempotency-Key was used with another request")},
                      {"423", ErrorResponse("The counters lock timed out")}}));
  zreportPost["parameters"].push_back(KeyParameter());
  zreportPost["requestBody"] = {
      {"required", false},
      {"content",
       {{"application/json",
         {{"schema",
           {{"type", "object"},
            {"properties",
             {{"printText", {{"type", "boolean"}}}, {"text", {{"type", "string"}}}}}}}}}}}};
  Json journal = Operation("The journal of one day",
                           with({{"200", JsonResponse("Journal files", "JournalEntries")}}));
  journal["parameters"].push_back({{"name", "date"},
                                   {"in", "query"},
                                   {"required", false},
                                   {"schema", {{"type", "string"}, {"pattern", "^[0-9]{8}$"}}},
                                   {"description", "yyyymmdd; today when left out"}});
  Json journalFile = Operation(
      "One journal file as the till keeps it",
      with({{"200",
             {{"description", "The file"}, {"content", {{"application/xml", Json::object()}}}}}}));
  journalFile["parameters"].push_back(
      {{"name", "day"}, {"in", "path"}, {"required", true}, {"schema", {{"type", "string"}}}});
  journalFile["parameters"].push_back(
      {{"name", "file"}, {"in", "path"}, {"required", true}, {"schema", {{"type", "string"}}}});

  Json schemas = {
      {"Error",
       {{"type", "object"},
        {"properties",
         {{"error",
           {{"type", "object"},
            {"properties",
             {{"status", {{"type", "integer"}}}, {"message", {{"type", "string"}}}}}}}}}}},
      {"Till",
       {{"type", "object"},
        {"properties",
         {{"till", {{"type", "string"}}},
          {"open", {{"type", "boolean"}}},
          {"message", {{"type", "string"}}}}}}},
      {"Status",
       {{"type", "object"},
        {"properties",
         {{"dayOpened", {{"type", "boolean"}}},
          {"dateTime", {{"type", "string"}}},
          {"trainingMode", {{"type", "boolean"}}},
          {"firmwareVersion", {{"type", "string"}}},
          {"serialNumber", {{"type", "string"}}},
          {"fiscalMode", {{"type", "string"}}}}}}},
      {"Report", ReportSchema()},
      {"SignedReceipt",
       {{"type", "object"},
        {"properties",
         {{"number", {{"type", "integer"}}},
          {"zReportNumber", {{"type", "integer"}}},
          {"dateTime", {{"type", "string"}}},
          {"journalFile", {{"type", "string"}, {"description", "relative to the till's folder"}}},
          {"signature", {{"type", "array"}, {"items", {{"type", "string"}}}}},
          {"receipt", {{"type", "object"}}}}}}},
      {"JournalEntries",
       {{"type", "array"},
        {"items",
         {{"type", "object"},
          {"properties",
           {{"file", {{"type", "string"}}},
            {"number", {{"type", {"integer"}}}},
            {"zReportNumber", {{"type", "integer"}}},
            {"type", {{"type", "string"}}},
            {"totalAmount", Amount()},
            {"dateTime", {{"type", "string"}}}}}}}}}};

  return {
      {"openapi", "3.0.3"},
      {"info",
       {{"title", "qvfp serve"},
        {"version", "1"},
        {"description", "The till's fiscal service: the QVFP_CYKAVREN_10 library over HTTP"}}},
      {"components",
       {{"schemas", schemas},
        {"securitySchemes", {{"bearer", {{"type", "http"}, {"scheme", "bearer"}}}}}}},
      {"security", Json::array({{{"bearer", Json::array()}}})},
      {"paths",
       {{"/v1/tills",
         {{"get", Operation("Every configured till with its state",
                            {{"200",
                              {{"description", "Tills"},
                               {"content",
                                {{"application/json",
                                  {{"schema",
                                    {{"type", "array"},
                                     {"items", {{"$ref", "#/components/schemas/Till"}}}}}}}}}}},
                             {"401", ErrorResponse("No valid bearer token")}},
                            /*aTill=*/false)}}},
        {"/v1/tills/{till}/status",
         {{"get", Operation("The till's status (PROCESSGETSTATUS)",
                            with({{"200", JsonResponse("Status", "Status")}}))}}},
        {"/v1/tills/{till}/receipts", {{"post", receiptPost}}},
        {"/v1/tills/{till}/xreport",
         {{"get", Operation("The open day's figures (PROCESSXREPORT)",
                            with({{"200", JsonResponse("X-report", "Report")}}))}}},
        {"/v1/tills/{till}/zreport", {{"post", zreportPost}}},
        {"/v1/tills/{till}/journal", {{"get", journal}}},
        {"/v1/tills/{till}/journal/{day}/{file}", {{"get", journalFile}}},
        {"/v1/tills/{till}/verify",
         {{"get",
           Operation("Audit of the till's records (qvfp verify)",
                     with({{"200",
                            {{"description", "The audit document of qvfp verify --json"}}}}))}}}}}};
}

}  // namespace

const std::string& OpenApiDocument() {
  static const std::string kDocument = Document().dump(1);
  return kDocument;
}

}  // namespace qv::host

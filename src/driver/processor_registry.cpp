#include "driver/processor_registry.h"

#include <memory>
#include <utility>
#include <vector>

#include "framework/log_writer.h"
#include "platform/error.h"

namespace qv::driver {

namespace {

struct tProcessorTables {
  tProcessorClasses classes;
  tProcessorHandles handles;
  int32_t lastHandle = 0;
};

tProcessorTables* gTables = nullptr;

// Every processor ever opened. Processors live until the process ends; this list is never
// freed so that they stay reachable (and leak checkers do not report them) after the
// tables are gone.
std::vector<kFiscalProcessor*>& LivingProcessors() {
  static auto* living = new std::vector<kFiscalProcessor*>();
  return *living;
}

tProcessorTables& Tables() {
  if (gTables == nullptr) throw Error("Processor tables not created");
  return *gTables;
}

}  // namespace

void CreateProcessorTables() {
  if (gTables == nullptr) gTables = new tProcessorTables();
}

void FreeProcessorTables() {
  framework::DrainAndStopAllLogWriters();
  delete gTables;
  gTables = nullptr;
}

bool ProcessorTablesExist() { return gTables != nullptr; }

tProcessorClasses& ProcessorClasses() { return Tables().classes; }

tProcessorHandles& ProcessorHandles() { return Tables().handles; }

int32_t& LastProcessorHandle() { return Tables().lastHandle; }

void RegisterProcessorClass(const std::string& aDriverName, kFiscalProcessorClass aClass) {
  ProcessorClasses()[aDriverName] = aClass;
}

kFiscalProcessor& AdoptProcessor(std::unique_ptr<kFiscalProcessor> aProcessor) {
  tProcessorTables& tables = Tables();
  std::vector<kFiscalProcessor*>& living = LivingProcessors();
  living.reserve(living.size() + 1);  // may fail before anything changed
  const int32_t handle = tables.lastHandle + 1;
  tables.handles[handle] = aProcessor.get();
  tables.lastHandle = handle;
  aProcessor->SetHandle(handle);
  living.push_back(aProcessor.release());
  return *living.back();
}

}  // namespace qv::driver

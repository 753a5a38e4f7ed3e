// Readers and lookups of the VAT, department and economic-activity tables.
#include "documents/tables.h"

#include <algorithm>

#include "base/utils.h"
#include "documents/document_node.h"

namespace qv::documents {
namespace {

constexpr std::string_view kVatTableNode = "VATTable";
constexpr std::string_view kDeptTableNode = "DeptTable";

// The first item whose Code equals aCode exactly (case-sensitive), or null.
template <typename TList>
auto FindByCode(TList& aList, std::string_view aCode) {
  for (auto& item : aList) {
    if (item.Code() == aCode) return &item;
  }
  return static_cast<decltype(&*aList.begin())>(nullptr);
}

template <typename TList>
auto FindByIndex(TList& aList, int32_t aIndex) {
  for (auto& item : aList) {
    if (item.Index() == aIndex) return &item;
  }
  return static_cast<decltype(&*aList.begin())>(nullptr);
}

// Every entry of a table is one child element, whatever its name; comments and other
// non-element nodes describe nothing.
template <typename TVisit>
void ForEachEntry(const pugi::xml_node& aTable, TVisit aVisit) {
  for (const pugi::xml_node& child : aTable.children()) {
    if (child.type() == pugi::node_element) aVisit(child);
  }
}

}  // namespace

void kVatTable::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node table = FindDocumentNode(aXmlDoc, kVatTableNode);
  ForEachEntry(table, [this](const pugi::xml_node& aEntry) {
    auto vat = std::make_unique<kVat>();
    vat->SetCode(krptUtil::GetNodeValueAsString(aEntry, "Code"));
    vat->SetDescription(krptUtil::GetNodeValueAsString(aEntry, "Description"));
    vat->SetRate(krptUtil::GetNodeValueAsCurrency(aEntry, "Rate"));
    Add(std::move(vat));
  });
}

kVat* kVatTable::Get(std::string_view aCode) { return FindByCode(*this, aCode); }

const kVat* kVatTable::Get(std::string_view aCode) const { return FindByCode(*this, aCode); }

kVat* kVatTable::GetByIndex(int32_t aIndex) { return FindByIndex(*this, aIndex); }

const kVat* kVatTable::GetByIndex(int32_t aIndex) const { return FindByIndex(*this, aIndex); }

int32_t kVatTable::GetFirstAvailableIndex() const {
  int32_t highest = 0;
  for (const kVat& vat : *this) {
    if (!vat.Rate().IsZero()) highest = std::max(highest, vat.Index());
  }
  return highest + 1;
}

void kDeptTable::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node table = FindDocumentNode(aXmlDoc, kDeptTableNode);
  ForEachEntry(table, [this](const pugi::xml_node& aEntry) {
    auto department = std::make_unique<kDepartment>();
    department->SetCode(krptUtil::GetNodeValueAsString(aEntry, "Code"));
    department->SetDescription(krptUtil::GetNodeValueAsString(aEntry, "Description"));
    department->SetVATCode(krptUtil::GetNodeValueAsString(aEntry, "VATCode"));
    department->SetSalesType(
        DecodeDepartmentSalesType(krptUtil::GetNodeValueAsString(aEntry, "SalesType")));
    department->SetEACode(krptUtil::GetNodeValueAsString(aEntry, "EACode"));
    Add(std::move(department));
  });
}

kDepartment* kDeptTable::Get(std::string_view aCode) { return FindByCode(*this, aCode); }

const kDepartment* kDeptTable::Get(std::string_view aCode) const {
  return FindByCode(*this, aCode);
}

kDepartment* kDeptTable::GetByIndex(int32_t aIndex) { return FindByIndex(*this, aIndex); }

const kDepartment* kDeptTable::GetByIndex(int32_t aIndex) const {
  return FindByIndex(*this, aIndex);
}

void kEconomicActivityTable::Deserialize(const pugi::xml_document& aXmlDoc) {
  const pugi::xml_node table = FindDocumentNode(aXmlDoc, kDeptTableNode);
  ForEachEntry(table, [this](const pugi::xml_node& aEntry) {
    std::string code = krptUtil::GetNodeValueAsString(aEntry, "EACode");
    // The first department that names an activity describes it; later ones add nothing.
    if (code.empty() || Get(code) != nullptr) return;
    auto activity = std::make_unique<kEconomicActivity>();
    activity->SetIndex(static_cast<int32_t>(Count()) + 1);
    activity->SetCode(std::move(code));
    activity->SetDescription(krptUtil::GetNodeValueAsString(aEntry, "EADescription"));
    activity->SetVentilazione(krptUtil::GetNodeValueAsString(aEntry, "EAVATMode") == "1");
    Add(std::move(activity));
  });
}

kEconomicActivity* kEconomicActivityTable::Get(std::string_view aCode) {
  return FindByCode(*this, aCode);
}

const kEconomicActivity* kEconomicActivityTable::Get(std::string_view aCode) const {
  return FindByCode(*this, aCode);
}

kEconomicActivity* kEconomicActivityTable::GetByIndex(int32_t aIndex) {
  return FindByIndex(*this, aIndex);
}

const kEconomicActivity* kEconomicActivityTable::GetByIndex(int32_t aIndex) const {
  return FindByIndex(*this, aIndex);
}

qvDepartmentSalesType DecodeDepartmentSalesType(std::string_view aText) {
  return base::SameText(aText, "service") ? st_Service : st_Product;
}

}  // namespace qv::documents

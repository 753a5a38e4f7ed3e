// The till's tables as a request carries them: VAT rates (element "VATTable"), departments and
// the economic activities the departments belong to (both from the element "DeptTable"). Each
// table is an ordered list that owns its entries; lookups return a pointer into the table (or
// null) that stays valid while the table lives and is not cleared.
//
// Threading: plain objects, one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include <pugixml.hpp>

#include "base/currency.h"
#include "documents/codes.h"
#include "documents/receipt.h"

namespace qv::documents {

// One VAT rate of the till.
class kVat {
 public:
  int32_t Index() const { return fIndex; }
  void SetIndex(int32_t aValue) { fIndex = aValue; }
  const std::string& Code() const { return fCode; }
  void SetCode(std::string aValue) { fCode = std::move(aValue); }
  const std::string& Description() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  // Percent: 19 means 19 %.
  base::Currency Rate() const { return fRate; }
  void SetRate(base::Currency aValue) { fRate = aValue; }

 private:
  int32_t fIndex = 0;
  std::string fCode;
  std::string fDescription;
  base::Currency fRate;
};

class kVatTable : public kOwnedList<kVat> {
 public:
  // Appends one entry per child element of "VATTable" (Code, Description, Rate), whatever the
  // child's name. Fails with "VATTable node not found" or an accessor message.
  void Deserialize(const pugi::xml_document& aXmlDoc);
  // The first entry whose Code equals aCode exactly, or null.
  kVat* Get(std::string_view aCode);
  const kVat* Get(std::string_view aCode) const;
  // The first entry whose Index equals aIndex, or null.
  kVat* GetByIndex(int32_t aIndex);
  const kVat* GetByIndex(int32_t aIndex) const;
  // 1 plus the largest Index among the entries with a non-zero rate; 1 when there is none.
  int32_t GetFirstAvailableIndex() const;
};

// One department of the till.
class kDepartment {
 public:
  int32_t Index() const { return fIndex; }
  void SetIndex(int32_t aValue) { fIndex = aValue; }
  const std::string& Code() const { return fCode; }
  void SetCode(std::string aValue) { fCode = std::move(aValue); }
  const std::string& Description() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  const std::string& VATCode() const { return fVATCode; }
  void SetVATCode(std::string aValue) { fVATCode = std::move(aValue); }
  qvDepartmentSalesType SalesType() const { return fSalesType; }
  void SetSalesType(qvDepartmentSalesType aValue) { fSalesType = aValue; }
  // Code of the economic activity the department belongs to.
  const std::string& EACode() const { return fEACode; }
  void SetEACode(std::string aValue) { fEACode = std::move(aValue); }

 private:
  int32_t fIndex = 0;
  std::string fCode;
  std::string fDescription;
  std::string fVATCode;
  qvDepartmentSalesType fSalesType = st_Product;
  std::string fEACode;
};

class kDeptTable : public kOwnedList<kDepartment> {
 public:
  // Appends one department per child element of "DeptTable". Fails with
  // "DeptTable node not found" or an accessor message.
  void Deserialize(const pugi::xml_document& aXmlDoc);
  kDepartment* Get(std::string_view aCode);
  const kDepartment* Get(std::string_view aCode) const;
  kDepartment* GetByIndex(int32_t aIndex);
  const kDepartment* GetByIndex(int32_t aIndex) const;
};

// One economic activity; Ventilazione marks activities whose VAT is split afterwards.
class kEconomicActivity {
 public:
  int32_t Index() const { return fIndex; }
  void SetIndex(int32_t aValue) { fIndex = aValue; }
  const std::string& Code() const { return fCode; }
  void SetCode(std::string aValue) { fCode = std::move(aValue); }
  const std::string& Description() const { return fDescription; }
  void SetDescription(std::string aValue) { fDescription = std::move(aValue); }
  bool Ventilazione() const { return fVentilazione; }
  void SetVentilazione(bool aValue) { fVentilazione = aValue; }

 private:
  int32_t fIndex = 0;
  std::string fCode;
  std::string fDescription;
  bool fVentilazione = false;
};

class kEconomicActivityTable : public kOwnedList<kEconomicActivity> {
 public:
  // Collects the distinct, non-empty EACode values of the departments of "DeptTable" in
  // order of first appearance, numbered from 1; the first department with a code gives its
  // description (EADescription) and mode (EAVATMode "1" = Ventilazione). Fails with
  // "DeptTable node not found".
  void Deserialize(const pugi::xml_document& aXmlDoc);
  kEconomicActivity* Get(std::string_view aCode);
  const kEconomicActivity* Get(std::string_view aCode) const;
  kEconomicActivity* GetByIndex(int32_t aIndex);
  const kEconomicActivity* GetByIndex(int32_t aIndex) const;
};

// The department sales type of a text: "service" in any letter case gives st_Service; every
// other text, the empty text included, st_Product. Never fails.
qvDepartmentSalesType DecodeDepartmentSalesType(std::string_view aText);

}  // namespace qv::documents

// The setup registry of the application object: named values of any type, in the order
// they were first set. Names are compared without regard to letter case. One thread at a
// time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qv::base {

// A setup value; std::monostate is the empty value.
using tQV_SetupValue = std::variant<std::monostate, bool, int64_t, double, std::string>;

class tQV_SetupEntry {
 public:
  tQV_SetupEntry(std::string aName, tQV_SetupValue aValue)
      : fName(std::move(aName)), fValue(std::move(aValue)) {}
  const std::string& Name() const { return fName; }
  const tQV_SetupValue& Value() const { return fValue; }
  void SetValue(tQV_SetupValue aValue) { fValue = std::move(aValue); }

 private:
  std::string fName;
  tQV_SetupValue fValue;
};

class tQV_Setup {
 public:
  // The value of the first entry named aName (any letter case); empty when there is none.
  tQV_SetupValue GetValue(std::string_view aName) const;
  // Sets the entry's value, or appends a new entry with aName as written.
  void SetValue(std::string_view aName, tQV_SetupValue aValue);
  // Makes the entry's value empty (creating the entry when missing).
  void Define(std::string_view aName) { SetValue(aName, std::monostate()); }
  const std::vector<tQV_SetupEntry>& Entries() const { return fList; }

 private:
  std::vector<tQV_SetupEntry> fList;
};

}  // namespace qv::base

// The program's version information and change history, read once from the library's
// numbered version strings (ids 10000 upward, each "KEY=value"). Filled at creation of the
// application object and read-only afterwards, so it may be read from any thread then.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/date_time.h"

namespace qv::base {

// The string of a version-string id, or nothing when the library has no string for it.
using VersionStringLookup = std::function<std::optional<std::string>(int aId)>;

// This library's own version strings (ids 10000 to 10030).
std::optional<std::string> LibraryVersionString(int aId);

// One released version: its number, date, author's initials and lines of change text.
class tQV_ApplicationHistory {
 public:
  explicit tQV_ApplicationHistory(std::string aVersion) : fVersion(std::move(aVersion)) {}

  const std::string& Version() const { return fVersion; }
  DateTime ReleaseDate() const { return fReleaseDate; }
  const std::string& Author() const { return fAuthor; }
  const std::vector<std::string>& Text() const { return fText; }

  void SetReleaseDate(DateTime aValue) { fReleaseDate = aValue; }
  void SetAuthor(std::string aValue) { fAuthor = std::move(aValue); }
  void AddText(std::string aLine) { fText.push_back(std::move(aLine)); }

 private:
  std::string fVersion;
  DateTime fReleaseDate = 0;
  std::string fAuthor;
  std::vector<std::string> fText;
};

class tQV_ApplicationInfo {
 public:
  static constexpr int kFirstId = 10000;
  // Reading stops after this many ids in a row without a string, plus one.
  static constexpr int kMaxGap = 10;

  // Reads the strings from kFirstId on, oldest entry first; the last "$VERSION" is the
  // program's version. Fails with "Invalid argument to date encode" for a "$RELEASEDATE"
  // that is not a real date.
  void Load(const VersionStringLookup& aStrings);

  const std::string& Description() const { return fDescription; }
  const std::string& Copyright() const { return fCopyright; }
  const std::string& Version() const { return fVersion; }
  DateTime ReleaseDate() const { return fReleaseDate; }
  const std::vector<std::unique_ptr<tQV_ApplicationHistory>>& History() const { return fHistory; }
  // "[" Version " - " release date in the machine's short date format "]".
  std::string GetVersionString() const;
  std::string VersionString() const { return GetVersionString(); }

 private:
  void ProcessString(const std::string& aText, tQV_ApplicationHistory*& aCurrent);

  std::string fDescription;
  std::string fCopyright;
  std::string fVersion;
  DateTime fReleaseDate = 0;
  std::vector<std::unique_ptr<tQV_ApplicationHistory>> fHistory;
};

}  // namespace qv::base

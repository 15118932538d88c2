#pragma once
// The ad store base.dat: one section per ad, named by its subject, holding
// the ad's field values (key = description + name of a simple variable,
// e.g. "Имя$NAME"), its category value ("default") and its report
// directory ("reppath"). All texts are cp1251.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/base/record_set.h"
#include "platform/profile.h"

namespace adw::engine {

inline constexpr std::string_view kAdStoreFileName = "base.dat";
inline constexpr std::string_view kCategoryKey = "default";
inline constexpr std::string_view kReportDirKey = "reppath";

// The store's path in a script directory.
std::string AdStorePath(std::string_view scriptDir);

// VARIAB and ITEM of an ad from its category value: "Ноутбуки$comp" gives
// ("$comp", "Ноутбуки"), "$comp" gives ("$comp", ""), a value without "$"
// gives (the value, ""). ITEM is the stored category text even when the
// list no longer holds it, so saving the ad unchanged keeps its category
// value as stored instead of widening it to the whole list.
struct AdCategory {
  std::string variab;
  std::string item;
};
AdCategory DeriveAdCategory(std::string_view categoryValue);

// The category value back from VARIAB and ITEM (ITEM + VARIAB).
std::string ComposeCategoryValue(const AdCategory& category);

// Fills the ads record set (RxMD) with one record per section of the store,
// in file order (every section, however many): NAME, VARIAB, ITEM, CATALOG
// and STAT 0. A missing store gives an empty set. The first record is made
// current.
void LoadAds(const std::string& storePath, RecordSet& ads);

// One ad as the store holds it.
struct StoredAd {
  std::string subject;
  std::vector<std::pair<std::string, std::string>> fields;  // key, value in order
  std::string category;                                     // "default"
  std::string reportDir;                                    // "reppath"
};

// Writes the ad's keys into its section: the fields in order, then
// "default", then "reppath". A section that does not exist yet is added at
// the end; callers that rewrite an ad erase its old section first. Values
// are kept to one line each.
void WriteAd(platform::IniDocument& store, const StoredAd& ad);

}  // namespace adw::engine

#include "engine/posting/job_list.h"

#include <exception>
#include <utility>

#include "engine/base/ad_store.h"
#include "engine/base/board_file.h"
#include "engine/base/variables_map.h"
#include "engine/posting/host_schedule.h"
#include "engine/posting/job_body.h"
#include "engine/posting/letter_tables.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

// An ad as the build needs it, taken once: the record set may change while
// pending window messages are processed, and every board reads the same
// values anyway.
struct TickedAd {
  std::string name;
  std::string catalog;
  std::string category;
  std::string group;
  std::vector<std::string> lines;  // the ad's section of base.dat
};

std::vector<std::string> SectionLines(const platform::IniDocument& doc, std::string_view section) {
  std::vector<std::string> lines;
  for (const std::string& key : doc.ReadSectionKeys(section)) {
    lines.push_back(key + "=" + doc.ReadString(section, key, ""));
  }
  return lines;
}

bool IsTicked(const std::string& stat) {
  const std::string text = platform::Trim(stat);
  if (text.empty()) return false;
  for (char c : text) {
    if (c != '0' && c != '+' && c != '-') return true;
  }
  return false;
}

class NoProgress : public IJobListProgress {};

}  // namespace

void JobList::Add(std::string url, std::string body, std::string referer, std::string label, int delayMs) {
  Add(std::move(url), std::move(body), std::move(referer), std::move(label), nullptr, delayMs);
}

void JobList::Add(std::string url, std::string body, std::string referer, std::string label,
                  std::shared_ptr<const BoardJobRules> rules, int delayMs) {
  JobDelays.resize(JobURLs.size());
  JobDelays.push_back(delayMs);
  JobURLs.push_back(std::move(url));
  JobBodies.push_back(std::move(body));
  JobReferers.push_back(std::move(referer));
  JobLabels.push_back(std::move(label));
  JobRules.resize(JobURLs.size() - 1);
  JobRules.push_back(std::move(rules));
}

std::shared_ptr<const BoardJobRules> JobList::Rules(std::size_t job) const {
  static const auto kNone = std::make_shared<const BoardJobRules>();
  if (job < JobRules.size() && JobRules[job]) return JobRules[job];
  return kNone;
}

bool ReadFreshKey(const BoardFile& board) {
  return platform::Trim(board.ReadProjectKey("FRESH", "")) == "1";
}

std::optional<BoardJobSettings> ReadBoardJobSettings(const BoardFile& board, std::string& why) {
  const std::string delayText = board.ReadProjectKey(kKeyDelay, "");
  const auto delay = ParseBoardDelay(delayText);
  if (!delay) {
    why = "DELAY is not a number of seconds: " + delayText;
    return std::nullopt;
  }
  auto rules = std::make_shared<BoardJobRules>();
  rules->reply = ReadReplyRules(board);
  rules->fresh = ReadFreshKey(board);
  return BoardJobSettings{std::move(rules), *delay};
}

void JobList::Release() {
  std::vector<std::string>().swap(JobURLs);
  std::vector<std::string>().swap(JobBodies);
  std::vector<std::string>().swap(JobReferers);
  std::vector<std::string>().swap(JobLabels);
  std::vector<std::shared_ptr<const BoardJobRules>>().swap(JobRules);
  std::vector<std::string>().swap(JobAds);
  std::vector<int>().swap(JobDelays);
}

std::string CheckingCaption() {
  return platform::W("Подождите идет проверка ...");
}

std::string JobListBuild::SkipHint() const {
  if (skipped.empty()) return {};
  return platform::W("Пропущено досок: ") + std::to_string(skipped.size()) + platform::W(", первая: ") +
         skipped.front().name;
}

bool MapLineMatches(const std::string& mapLine, const std::string& categoryValue,
                    const std::string& groupValue) {
  if (!categoryValue.empty()) {
    const std::size_t at = mapLine.find(categoryValue);
    if (at != std::string::npos && at > 0 && mapLine[at - 1] == '=') return true;
  }
  return !groupValue.empty() && mapLine.find(groupValue) != std::string::npos;
}

std::string JobUrl(const std::string& mapLine, const std::string& submit) {
  if (mapLine.find("http") == std::string::npos) return submit;
  return mapLine.substr(0, mapLine.find('='));
}

JobListBuild BuildJobList(const std::string& scriptDir, const std::string& variablesMapPath,
                          const std::vector<BoardRow>& boards, const RecordSet& ads,
                          IJobListProgress* progress) {
  NoProgress quiet;
  IJobListProgress& report = progress ? *progress : quiet;
  JobListBuild result;
  report.BuildStarted(static_cast<int>(boards.size()));

  const platform::IniDocument store = platform::IniFile(AdStorePath(scriptDir)).Snapshot();
  const std::vector<std::string> variabLines =
      SectionLines(platform::IniFile(variablesMapPath).Snapshot(), kVariablesSection);

  std::vector<TickedAd> ticked;
  const int nameField = ads.FieldIndex("NAME");
  const int statField = ads.FieldIndex("STAT");
  const int catalogField = ads.FieldIndex("CATALOG");
  if (nameField >= 0 && statField >= 0 && catalogField >= 0) {
    for (std::size_t row = 0; row < ads.RecordCount(); ++row) {
      if (!IsTicked(ads.Value(row, statField))) continue;
      TickedAd ad;
      ad.name = ads.Value(row, nameField);
      ad.catalog = ads.Value(row, catalogField);
      ad.category = store.ReadString(ad.name, kCategoryKey, "");
      ad.group = LookupGroupValue(ad.category, variabLines);
      if (ad.group.empty()) result.adsWithoutGroup.push_back(ad.name);
      ad.lines = SectionLines(store, ad.name);
      ticked.push_back(std::move(ad));
    }
  }

  // One listing serves every board.
  const BoardFileNames boardFiles(scriptDir);

  for (std::size_t position = 0; position < boards.size(); ++position) {
    if (!report.ProcessMessages()) {
      result.abandoned = true;
      result.jobs.Release();
      return result;
    }
    const BoardRow& row = boards[position];
    if (row.ticked) {
      const std::string wanted = row.name + std::string(kBoardFileExtension);
      const std::optional<std::string> found = boardFiles.Find(wanted);
      BoardFile board;
      bool usable = false;
      std::optional<BoardJobSettings> settings;
      if (!found) {
        result.skipped.push_back({row.name, "Cannot find board file " + wanted});
      } else {
        try {
          board = BoardFile::Read(scriptDir, *found);
          usable = true;
        } catch (const std::exception& error) {
          result.skipped.push_back({row.name, error.what()});
        }
      }
      if (usable) {
        std::string why;
        settings = ReadBoardJobSettings(board, why);
        if (!settings) {
          usable = false;
          result.skipped.push_back({row.name, why});
        }
      }
      if (usable) {
        const BoardCodePage codePage = BoardCodePageOf(board.Code());
        const std::string submit = board.Submit();
        const std::string referer = board.Request();
        const std::string subBody = board.SubBody();
        const std::string labelStart = board.Name() + "\t";
        const std::shared_ptr<const BoardJobRules> boardRules = settings->rules;
        const int delayMs = settings->delayMs;
        auto addJob = [&](const TickedAd& ad, const std::string& mapLine) {
          std::string body = BuildJobBody(subBody, ad.lines, mapLine, codePage);
          result.jobs.Add(JobUrl(mapLine, submit), std::move(body), referer, labelStart + ad.catalog,
                          boardRules, delayMs);
          result.origins.push_back({*found, ad.name});
          result.jobs.JobAds.push_back(ad.name);
        };
        const auto entries = board.MapEntries();
        if (!entries.empty()) {
          for (const auto& [key, binding] : entries) {
            const std::string mapLine = key + "=" + binding;
            for (const TickedAd& ad : ticked) {
              if (!report.ProcessMessages()) {
                result.abandoned = true;
                result.jobs.Release();
                return result;
              }
              if (MapLineMatches(mapLine, ad.category, ad.group)) addJob(ad, mapLine);
            }
          }
        } else {
          for (const TickedAd& ad : ticked) {
            if (!report.ProcessMessages()) {
              result.abandoned = true;
              result.jobs.Release();
              return result;
            }
            addJob(ad, std::string());
          }
        }
      }
    }
    report.BoardVisited(static_cast<int>(position + 1));
  }
  return result;
}

}  // namespace adw::engine

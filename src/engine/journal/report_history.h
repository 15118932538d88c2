#pragma once
// The run journal's part of report.htm: when each result of a report
// directory came, and the jobs of the last runs that posted into it.
#include <string>

#include "engine/journal/run_journal.h"
#include "engine/reports/report_page.h"

namespace adw::engine {

// The jobs whose label names reportDir, from the last `runs` runs that had
// one. A journal error gives an empty history: the report is made anyway.
ReportHistory ReportHistoryFor(RunJournal& journal, const std::string& reportDir, int runs = 5);

}  // namespace adw::engine

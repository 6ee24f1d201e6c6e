// Keeps the daily error logs from piling up: logs older than KeepLogDays go.
#pragma once
#include "core/DateTime.h"
#include "core/Shared.h"
#include <string>
#include <vector>

namespace sf {

/// The day of an error log's name "R<yyyymmdd>ErrorLog.txt" (any case); false for any other name
/// or an impossible date.
bool ErrorLogDay(const std::string& fileName, TDateTime& day);
/// The names among fileNames that are error logs of a day more than keepDays days before today
/// (today's date part counts); none when keepDays is 0 or less (pruning off).
std::vector<std::string> StaleErrorLogs(const std::vector<std::string>& fileNames, TDateTime today, int keepDays);

/// Deletes the stale error logs of the program folder; returns how many went.
int PruneErrorLogs(const TShared& s);

/// Prunes at start and again whenever the local date has changed since the last pruning
/// (the minute timer calls Tick, so midnight is caught within a minute).
class TLogPruner {
public:
    explicit TLogPruner(const TShared& s) : m_s(s) {}
    /// Prunes when the local day differs from the last pruned day (always on the first call).
    void Tick();

private:
    const TShared& m_s;
    long m_lastDay = -1;
};

} // namespace sf

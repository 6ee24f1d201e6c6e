#include "core/LogPrune.h"
#include "core/Files.h"
#include "core/Text.h"
#include <cctype>
#include <cmath>

namespace sf {

bool ErrorLogDay(const std::string& fileName, TDateTime& day)
{
    // "R" + 8 digits + "ErrorLog.txt": exactly what the log writer names its files.
    static const std::string tail = "ERRORLOG.TXT";
    if (fileName.size() != 1 + 8 + tail.size() || (fileName[0] != 'R' && fileName[0] != 'r'))
        return false;
    if (UpperCase(fileName.substr(9)) != tail)
        return false;
    int v[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    size_t at = 1;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < widths[i]; ++k, ++at) {
            if (!std::isdigit((unsigned char)fileName[at]))
                return false;
            v[i] = v[i] * 10 + (fileName[at] - '0');
        }
    static const int daysIn[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (v[0] < 1900 || v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > daysIn[v[1] - 1])
        return false;
    TDateFields f;
    f.Year = v[0];
    f.Month = v[1];
    f.Day = v[2];
    day = EncodeDateTime(f);
    // 29 February of a common year decodes to another day: not a date the writer makes.
    const TDateFields back = DecodeDateTime(day);
    return back.Month == v[1] && back.Day == v[2];
}

std::vector<std::string> StaleErrorLogs(const std::vector<std::string>& fileNames, TDateTime today, int keepDays)
{
    std::vector<std::string> stale;
    if (keepDays <= 0)
        return stale;
    const double cutoff = std::floor(today) - keepDays;
    for (const auto& name : fileNames) {
        TDateTime day = 0;
        if (ErrorLogDay(name, day) && day < cutoff)
            stale.push_back(name);
    }
    return stale;
}

int PruneErrorLogs(const TShared& s)
{
    if (s.ProgramDir.empty() || s.KeepLogDays <= 0)
        return 0;
    std::vector<std::string> names;
    for (const auto& e : FindFiles(s.ProgramDir + "R*ErrorLog.txt"))
        if (!e.IsDirectory)
            names.push_back(e.Name);
    int deleted = 0;
    for (const auto& name : StaleErrorLogs(names, s.Clock.LocalNow(), s.KeepLogDays))
        deleted += DeleteFile(s.ProgramDir + name) ? 1 : 0;
    return deleted;
}

void TLogPruner::Tick()
{
    const long day = (long)std::floor(m_s.Clock.LocalNow());
    if (day == m_lastDay)
        return;
    m_lastDay = day;
    PruneErrorLogs(m_s);
}

} // namespace sf

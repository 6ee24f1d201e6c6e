#include "core/Text.h"
#include "net/Listing.h"
#include <map>

namespace sf {

namespace {

const std::string kTargetMarker = ".GIF\">";
const std::string kTextMarker = ".GIF<";

/// Entry name of one line, or "" when the line holds no GIF anchor.
std::string EntryName(const std::string& line)
{
    const std::string upper = UpperCase(line);
    const size_t target = upper.find(kTargetMarker);
    if (target == std::string::npos || upper.find(kTextMarker) == std::string::npos)
        return {};
    const size_t from = target + kTargetMarker.size();
    const size_t text = upper.find(kTextMarker, from);
    if (text == std::string::npos)
        return {}; // the visible text is not a GIF name
    return line.substr(from, text - from);
}

int ToIntOrZero(const std::string& s)
{
    long long v = 0;
    return TryStrToInt(s, v) && v >= -100000 && v <= 100000 ? int(v) : 0;
}

int DaysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

} // namespace

TListingScan ScanListingText(const std::string& text, bool mosaic)
{
    // Sorted, case-insensitive sets keyed by the upper-cased text; the first spelling stays.
    std::map<std::string, std::string> lines;
    for (const std::string& line : SplitLines(text))
        lines.emplace(UpperCase(line), line);
    std::map<std::string, std::string> names;
    TListingScan r;
    for (const auto& [upper, line] : lines) {
        const std::string name = EntryName(line);
        if (name.empty())
            continue;
        if (mosaic && (name.find("_small") != std::string::npos || UpperCase(name).find("CONUS_") == std::string::npos))
            continue;
        names.emplace(UpperCase(name), name);
        r.LastSeen = name;
    }
    if (!names.empty())
        r.Newest = names.rbegin()->second;
    return r;
}

bool DecodeImageTime(const std::string& name, int currentYear, TDateTime& out)
{
    const std::string d = GetField(name, 2, '_');
    const std::string t = GetField(name, 3, '_');
    auto part = [](const std::string& s, size_t from, size_t n) { return from < s.size() ? s.substr(from, n) : std::string(); };
    TDateFields f;
    f.Year = ToIntOrZero(part(d, 0, 4));
    f.Month = ToIntOrZero(part(d, 4, 2));
    f.Day = ToIntOrZero(part(d, 6, 2));
    f.Hour = ToIntOrZero(part(t, 0, 2));
    f.Minute = ToIntOrZero(part(t, 2, 2));
    f.Second = 0;
    f.Ms = 0;
    if (f.Year < 2006 || f.Year > currentYear || f.Month < 1 || f.Day < 1)
        return false;
    if (f.Month > 12 || f.Day > DaysInMonth(f.Year, f.Month) || f.Hour < 0 || f.Hour > 23 || f.Minute < 0 ||
        f.Minute > 59)
        return false;
    out = EncodeDateTime(f);
    return true;
}

} // namespace sf

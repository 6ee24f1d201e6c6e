#include "core/Text.h"
#include "net/Listing.h"
#include <algorithm>

namespace sf {

namespace {

const std::string kTargetMarker = ".GIF\">";
const std::string kTextMarker = ".GIF<";

/// Entry name of one line (upper: the line upper-cased), or "" when it holds no GIF anchor.
std::string EntryName(const std::string& line, const std::string& upper)
{
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

void TListingScanner::Feed(const char* data, size_t len)
{
    // Whole runs between line ends are appended at once: a page is read a piece at a time
    // for every record of every cycle.
    size_t i = 0;
    while (i < len) {
        if (m_afterCr && data[i] == '\n') { // the LF of a CR LF pair ends nothing more
            m_afterCr = false;
            ++i;
            continue;
        }
        m_afterCr = false;
        size_t end = i;
        while (end < len && data[end] != '\n' && data[end] != '\r')
            ++end;
        const size_t room = kMaxListingLine - std::min(m_line.size(), kMaxListingLine);
        const size_t run = end - i;
        m_line.append(data + i, std::min(run, room));
        if (run > room)
            m_overlong = true;
        i = end;
        if (i < len) {
            m_afterCr = data[i] == '\r';
            EndLine();
            ++i;
        }
    }
}

void TListingScanner::EndLine()
{
    if (!m_overlong)
        Line(m_line);
    m_line.clear();
    m_overlong = false;
}

void TListingScanner::Line(const std::string& line)
{
    // The page's lines are visited as if sorted and de-duplicated ignoring case: the last
    // entry line is the greatest one, and of equal names the one on the least line counts.
    const std::string key = UpperCase(line);
    const std::string name = EntryName(line, key);
    if (name.empty())
        return;
    if (m_mosaic && (name.find("_small") != std::string::npos || UpperCase(name).find("CONUS_") == std::string::npos))
        return;
    if (m_lastName.empty() || key > m_lastKey) {
        m_lastKey = key;
        m_lastName = name;
    }
    const std::string upper = UpperCase(name);
    if (m_best.empty() || upper > m_bestUpper || (upper == m_bestUpper && key < m_bestKey)) {
        m_bestUpper = upper;
        m_best = name;
        m_bestKey = key;
    }
}

TListingScan TListingScanner::Finish()
{
    if (!m_line.empty() || m_overlong)
        EndLine();
    TListingScan r;
    r.Newest = m_best;
    r.LastSeen = m_lastName;
    return r;
}

TListingScan ScanListingText(const std::string& text, bool mosaic)
{
    TListingScanner scanner(mosaic);
    scanner.Feed(text.data(), text.size());
    return scanner.Finish();
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

#include "core/DateTime.h"
#include <cmath>
#include <cstdio>

namespace sf {

namespace {

constexpr long long kMsPerDay = 86400000LL;
// Day count of 1 January 1970 (the civil-day algorithms below count from there).
constexpr long long kUnixEpochDays = 25569;

// Days since 1 January 1970 of a proleptic Gregorian date.
long long DaysFromCivil(long long y, long long m, long long d)
{
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && IsLeap(y)) ? 29 : days[m - 1];
}

// Written by hand: every status line carries a time, and the formatted printer costs
// more than the rest of the line.
std::string Digits(long long v, int width)
{
    char buf[24];
    char* end = buf + sizeof buf;
    char* p = end;
    const bool negative = v < 0;
    unsigned long long u = negative ? 0ull - (unsigned long long)v : (unsigned long long)v;
    do {
        *--p = char('0' + u % 10);
        u /= 10;
    } while (u != 0);
    const int digits = int(end - p);
    std::string out;
    if (negative)
        out += '-';
    out.append(size_t(width > digits + (negative ? 1 : 0) ? width - digits - (negative ? 1 : 0) : 0), '0');
    out.append(p, end);
    return out;
}

const char* const kShortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[12] = {"January", "February", "March", "April", "May", "June",
                                     "July", "August", "September", "October", "November", "December"};
const char* const kShortDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

char Up(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

} // namespace

TDateTime EncodeDateTime(const TDateFields& f)
{
    const double days = double(DaysFromCivil(f.Year, f.Month, f.Day) + kUnixEpochDays);
    const double time = (double(f.Hour) * 3600000.0 + double(f.Minute) * 60000.0 + double(f.Second) * 1000.0 +
                         double(f.Ms)) / double(kMsPerDay);
    // Before the epoch the day part is negative and the time of day still counts forward
    // from its start, so the fraction is subtracted.
    return days < 0 ? days - time : days + time;
}

TDateFields DecodeDateTime(TDateTime dt)
{
    TDateFields f;
    if (!std::isfinite(dt))
        return f;
    long long day = (long long)std::trunc(dt);
    long long ms = std::llround(std::fabs(dt - double(day)) * double(kMsPerDay));
    if (ms >= kMsPerDay) { // rounding reached the next midnight
        ms -= kMsPerDay;
        day += dt < 0 ? -1 : 1;
    }
    CivilFromDays(day - kUnixEpochDays, f.Year, f.Month, f.Day);
    f.Hour = int(ms / 3600000);
    f.Minute = int(ms / 60000 % 60);
    f.Second = int(ms / 1000 % 60);
    f.Ms = int(ms % 1000);
    return f;
}

std::string FormatDateTime(const std::string& pattern, TDateTime dt)
{
    const TDateFields f = DecodeDateTime(dt);
    std::string out;
    char lastToken = 0; // the last letter token; separators between tokens do not reset it
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '"' || c == '\'') { // quoted text is copied without the quotes
            size_t end = pattern.find(c, i + 1);
            if (end == std::string::npos)
                end = pattern.size();
            out += pattern.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        char token = Up(c);
        size_t run = 1;
        while (i + run < pattern.size() && Up(pattern[i + run]) == token)
            ++run;
        if (token < 'A' || token > 'Z') {
            out += c;
            ++i;
            continue;
        }
        if (token == 'M' && lastToken == 'H')
            token = 'N';
        lastToken = token;
        switch (token) {
        case 'Y':
            out += run <= 2 ? Digits(f.Year % 100, 2) : Digits(f.Year, 4);
            break;
        case 'M':
            if (run >= 4)
                out += kLongMonths[f.Month - 1];
            else if (run == 3)
                out += kShortMonths[f.Month - 1];
            else
                out += Digits(f.Month, int(run));
            break;
        case 'D':
            if (run >= 3) {
                const long long unixDays = DaysFromCivil(f.Year, f.Month, f.Day);
                const int weekday = int(((unixDays % 7) + 11) % 7); // 1 Jan 1970 was a Thursday
                out += run >= 4 ? kLongDays[weekday] : kShortDays[weekday];
            } else {
                out += Digits(f.Day, int(run));
            }
            break;
        case 'H':
            out += Digits(f.Hour, run >= 2 ? 2 : 1);
            break;
        case 'N':
            out += Digits(f.Minute, run >= 2 ? 2 : 1);
            break;
        case 'S':
            out += Digits(f.Second, run >= 2 ? 2 : 1);
            break;
        case 'Z':
            out += Digits(f.Ms, run >= 3 ? 3 : 1);
            break;
        default:
            out += pattern.substr(i, run);
            break;
        }
        i += run;
    }
    return out;
}

namespace {
// Reads 1..maxDigits decimal digits at pos.
bool ReadNumber(const std::string& s, size_t& pos, int minDigits, int maxDigits, int& value)
{
    int n = 0;
    value = 0;
    while (pos < s.size() && n < maxDigits && s[pos] >= '0' && s[pos] <= '9') {
        value = value * 10 + (s[pos] - '0');
        ++pos;
        ++n;
    }
    return n >= minDigits && !(pos < s.size() && s[pos] >= '0' && s[pos] <= '9');
}

bool Expect(const std::string& s, size_t& pos, char c)
{
    if (pos >= s.size() || s[pos] != c)
        return false;
    ++pos;
    return true;
}
} // namespace

bool TryParseListDateTime(const std::string& text, TDateTime& out)
{
    size_t b = 0, e = text.size();
    while (b < e && (unsigned char)text[b] <= ' ')
        ++b;
    while (e > b && (unsigned char)text[e - 1] <= ' ')
        --e;
    const std::string s = text.substr(b, e - b);
    TDateFields f;
    size_t pos = 0;
    if (!ReadNumber(s, pos, 1, 2, f.Month) || !Expect(s, pos, '/') || !ReadNumber(s, pos, 1, 2, f.Day) ||
        !Expect(s, pos, '/') || !ReadNumber(s, pos, 4, 4, f.Year) || !Expect(s, pos, ' '))
        return false;
    while (pos < s.size() && s[pos] == ' ')
        ++pos;
    if (!ReadNumber(s, pos, 1, 2, f.Hour) || !Expect(s, pos, ':') || !ReadNumber(s, pos, 1, 2, f.Minute) ||
        !Expect(s, pos, ':') || !ReadNumber(s, pos, 1, 2, f.Second) || pos != s.size())
        return false;
    if (f.Year < 1 || f.Month < 1 || f.Month > 12 || f.Day < 1 || f.Day > DaysInMonth(f.Year, f.Month) ||
        f.Hour > 23 || f.Minute > 59 || f.Second > 59)
        return false;
    out = EncodeDateTime(f);
    return true;
}

std::string SecondsText(TDateTime span)
{
    long long ms = std::llround(span * 86400000.0);
    if (ms < 0)
        ms = 0;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld.%03lld", ms / 1000, ms % 1000);
    return buf;
}

} // namespace sf

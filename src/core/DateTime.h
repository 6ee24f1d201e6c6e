// Date-time values: days since 30 December 1899 as a double, the fraction being
// the time of day. Record times are UTC; displays add the local offset.
#pragma once
#include <cstdint>
#include <string>

namespace sf {

using TDateTime = double;

/// One calendar instant split into fields (ms = milliseconds).
struct TDateFields {
    int Year = 1899, Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0, Ms = 0;
};

/// Day count of the given fields; fields out of range are not normalised.
TDateTime EncodeDateTime(const TDateFields& f);
/// Calendar fields of a day count, rounded to the nearest millisecond.
TDateFields DecodeDateTime(TDateTime dt);
/// Formats with the patterns the program uses: yyyy, mm (month, or minute after hh), dd, hh, nn, ss;
/// every other character is copied. "mm/dd/yyyy hh:nn:ss", "mm/dd hh:nn", "hh:nn:ss", "hh:nn", "nn:ss".
std::string FormatDateTime(const std::string& pattern, TDateTime dt);
/// A span of time as whole seconds and milliseconds, "12.045"; a negative span (the local
/// clock stepped back) reads "0.000".
std::string SecondsText(TDateTime span);
/// Parses "mm/dd/yyyy hh:nn:ss" (as written into DownLoadList.txt); false on any malformed text.
bool TryParseListDateTime(const std::string& text, TDateTime& out);

constexpr double kOneMinute = 1.0 / 1440.0;
constexpr double kOneSecond = 1.0 / 86400.0;

} // namespace sf

#include "core/Text.h"
#include <cctype>
#include <climits>

namespace sf {

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
bool IsBlankOrControl(char c) { return (unsigned char)c <= ' '; }
} // namespace

int FieldCount(const std::string& text, char delimiter)
{
    int count = 0;
    for (char c : text)
        if (c == delimiter)
            ++count;
    return count == 0 ? 0 : count + 1;
}

std::string GetField(const std::string& text, int n, char delimiter)
{
    if (text.size() < 2)
        return {};
    const int count = FieldCount(text, delimiter);
    if (count == 0)
        return text; // no delimiter: the text is its own field for every number
    if (count < n)
        return {};
    if (n < 1)
        n = 1;
    size_t start = 0;
    for (int i = 1; i < n; ++i)
        start = text.find(delimiter, start) + 1; // count >= n guarantees a delimiter
    const size_t end = text.find(delimiter, start);
    return end == std::string::npos ? text.substr(start) : text.substr(start, end - start);
}

std::string CleanFieldText(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return r;
}

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlankOrControl(s[b]))
        ++b;
    while (e > b && IsBlankOrControl(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::string UpperCase(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        c = Upper(c);
    return r;
}

std::string LowerCase(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        c = Lower(c);
    return r;
}

bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

int CompareText(const std::string& a, const std::string& b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = (unsigned char)Upper(a[i]), y = (unsigned char)Upper(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool StartsText(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

int Pos(const std::string& sub, const std::string& s)
{
    if (sub.empty())
        return 0;
    const size_t p = s.find(sub);
    return p == std::string::npos ? 0 : int(p) + 1;
}

bool TryStrToInt(const std::string& s, long long& out, bool hex)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (hex && i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return false;
    // Accumulate as a negative number so that LLONG_MIN parses too.
    long long value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && Upper(c) >= 'A' && Upper(c) <= 'F')
            digit = Upper(c) - 'A' + 10;
        else
            return false;
        if (value < (LLONG_MIN + digit) / base)
            return false;
        value = value * base - digit;
    }
    if (!negative) {
        if (value == LLONG_MIN)
            return false;
        value = -value;
    }
    out = value;
    return true;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool last = end == std::string::npos;
        if (last)
            end = text.size();
        size_t stop = end;
        if (!last && stop > start && text[stop - 1] == '\r')
            --stop;
        lines.push_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return lines;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace sf

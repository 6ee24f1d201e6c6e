#include "net/IemMeta.h"

namespace sf {

namespace {

// A recursive-descent walk over one JSON text. Values other than the few strings
// wanted are checked for form and skipped.
class TJsonWalk {
public:
    explicit TJsonWalk(const std::string& text) : m_t(text) {}

    bool Document(TIemMeta& meta)
    {
        Blank();
        if (!Peek('{'))
            return Fail("the text is not a JSON object");
        if (!Object(0, &meta, false))
            return false;
        Blank();
        return m_pos == m_t.size() || Fail("text after the JSON object");
    }
    const std::string& Reason() const { return m_reason; }

private:
    // depth: nesting level of the value; meta: where members of "meta" go; inMeta: this is "meta".
    bool Object(int depth, TIemMeta* meta, bool inMeta)
    {
        if (depth >= kMaxIemMetaDepth)
            return Fail("JSON nested too deeply");
        ++m_pos; // '{'
        Blank();
        if (Take('}'))
            return true;
        for (;;) {
            std::string key;
            Blank();
            if (!Peek('"'))
                return Fail("a member name is missing");
            if (!String(key))
                return false;
            Blank();
            if (!Take(':'))
                return Fail("':' is missing after a member name");
            Blank();
            if (inMeta && Peek('"') && (key == "valid" || key == "product" || key == "site")) {
                std::string value;
                if (!String(value))
                    return false;
                if (key == "valid") {
                    meta->Valid = value;
                    meta->HasValid = true;
                } else {
                    (key == "product" ? meta->Product : meta->Site) = value;
                }
            } else if (meta && !inMeta && key == "meta" && Peek('{')) {
                if (!Object(depth + 1, meta, true))
                    return false;
            } else if (!Value(depth + 1)) {
                return false;
            }
            Blank();
            if (Take('}'))
                return true;
            if (!Take(','))
                return Fail("',' or '}' is missing in an object");
        }
    }

    bool Array(int depth)
    {
        if (depth >= kMaxIemMetaDepth)
            return Fail("JSON nested too deeply");
        ++m_pos; // '['
        Blank();
        if (Take(']'))
            return true;
        for (;;) {
            Blank();
            if (!Value(depth + 1))
                return false;
            Blank();
            if (Take(']'))
                return true;
            if (!Take(','))
                return Fail("',' or ']' is missing in an array");
        }
    }

    bool Value(int depth)
    {
        if (m_pos >= m_t.size())
            return Fail("the JSON text ends early");
        const char c = m_t[m_pos];
        if (c == '{')
            return Object(depth, nullptr, false);
        if (c == '[')
            return Array(depth);
        if (c == '"') {
            std::string ignored;
            return String(ignored);
        }
        if (c == '-' || (c >= '0' && c <= '9'))
            return Number();
        for (const char* word : {"true", "false", "null"}) {
            const std::string w = word;
            if (m_t.compare(m_pos, w.size(), w) == 0) {
                m_pos += w.size();
                return true;
            }
        }
        return Fail("a JSON value is malformed");
    }

    bool String(std::string& out)
    {
        ++m_pos; // '"'
        while (m_pos < m_t.size()) {
            const unsigned char c = (unsigned char)m_t[m_pos++];
            if (c == '"')
                return true;
            if (c < 0x20)
                return Fail("a control character inside a JSON string");
            if (c != '\\') {
                out += (char)c;
                continue;
            }
            if (m_pos >= m_t.size())
                break;
            const char e = m_t[m_pos++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned v = 0;
                for (int i = 0; i < 4; ++i, ++m_pos) {
                    if (m_pos >= m_t.size())
                        return Fail("the JSON text ends early");
                    const char h = m_t[m_pos];
                    const int d = h >= '0' && h <= '9' ? h - '0'
                                : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
                    if (d < 0)
                        return Fail("a bad \\u escape in a JSON string");
                    v = v * 16 + unsigned(d);
                }
                // Only plain ASCII matters to the fields read; anything else stands as '?'.
                out += v > 0 && v < 0x80 ? (char)v : '?';
                break;
            }
            default:
                return Fail("a bad escape in a JSON string");
            }
        }
        return Fail("a JSON string is not closed");
    }

    bool Number()
    {
        const size_t start = m_pos;
        Take('-');
        if (!Digits())
            return Fail("a JSON number is malformed");
        if (Take('.') && !Digits())
            return Fail("a JSON number is malformed");
        if (Take('e') || Take('E')) {
            if (!Take('+'))
                Take('-');
            if (!Digits())
                return Fail("a JSON number is malformed");
        }
        return m_pos > start;
    }

    bool Digits()
    {
        const size_t start = m_pos;
        while (m_pos < m_t.size() && m_t[m_pos] >= '0' && m_t[m_pos] <= '9')
            ++m_pos;
        return m_pos > start;
    }

    void Blank()
    {
        while (m_pos < m_t.size() && (m_t[m_pos] == ' ' || m_t[m_pos] == '\t' || m_t[m_pos] == '\r' || m_t[m_pos] == '\n'))
            ++m_pos;
    }
    bool Peek(char c) const { return m_pos < m_t.size() && m_t[m_pos] == c; }
    bool Take(char c)
    {
        if (!Peek(c))
            return false;
        ++m_pos;
        return true;
    }
    bool Fail(const char* reason)
    {
        if (m_reason.empty())
            m_reason = reason;
        return false;
    }

    const std::string& m_t;
    size_t m_pos = 0;
    std::string m_reason;
};

bool TwoDigits(const std::string& t, size_t at, int& out)
{
    if (t[at] < '0' || t[at] > '9' || t[at + 1] < '0' || t[at + 1] > '9')
        return false;
    out = (t[at] - '0') * 10 + (t[at + 1] - '0');
    return true;
}

} // namespace

bool ParseIemMeta(const std::string& text, TIemMeta& out, std::string& reason)
{
    out = TIemMeta{};
    if (text.size() > kMaxIemMetaBytes) {
        reason = "the JSON file is larger than " + std::to_string(kMaxIemMetaBytes) + " bytes";
        return false;
    }
    TJsonWalk walk(text);
    if (walk.Document(out))
        return true;
    reason = walk.Reason();
    out = TIemMeta{};
    return false;
}

bool ParseIemTime(const std::string& t, TDateTime& out)
{
    // YYYY-MM-DDTHH:MM:SSZ
    if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' || t[19] != 'Z')
        return false;
    int c = 0, y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!TwoDigits(t, 0, c) || !TwoDigits(t, 2, y) || !TwoDigits(t, 5, mo) || !TwoDigits(t, 8, d)
        || !TwoDigits(t, 11, h) || !TwoDigits(t, 14, mi) || !TwoDigits(t, 17, s))
        return false;
    TDateFields f;
    f.Year = c * 100 + y;
    f.Month = mo;
    f.Day = d;
    f.Hour = h;
    f.Minute = mi;
    f.Second = s;
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (f.Year < 1900 || mo < 1 || mo > 12 || d < 1 || d > kDays[mo - 1] || h > 23 || mi > 59 || s > 59)
        return false;
    const bool leap = (f.Year % 4 == 0 && f.Year % 100 != 0) || f.Year % 400 == 0;
    if (mo == 2 && d == 29 && !leap)
        return false;
    out = EncodeDateTime(f);
    return true;
}

bool IemImageTime(const std::string& text, TDateTime& out, std::string& reason)
{
    TIemMeta meta;
    if (!ParseIemMeta(text, meta, reason))
        return false;
    if (!meta.HasValid) {
        reason = "no meta.valid";
        return false;
    }
    if (!ParseIemTime(meta.Valid, out)) {
        reason = "meta.valid \"" + meta.Valid.substr(0, 40) + "\" is not a UTC time";
        return false;
    }
    return true;
}

} // namespace sf

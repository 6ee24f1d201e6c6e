#include "host/WineRegistry.h"
#include "core/Text.h"
#include "host/HostText.h"
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sf {

namespace {

void SkipBlanks(const std::string& s, size_t& pos)
{
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t'))
        ++pos;
}

// Comma-separated hex bytes up to the line end; a final "\" asks for the next line.
// False on anything else.
bool ParseHexBytes(const std::string& line, size_t pos, std::vector<uint8_t>& out, bool& more)
{
    more = false;
    for (;;) {
        SkipBlanks(line, pos);
        if (pos >= line.size())
            return true;
        if (line[pos] == '\\') {
            ++pos;
            SkipBlanks(line, pos);
            more = true;
            return pos >= line.size();
        }
        const int hi = HexDigitValue(line[pos]);
        const int lo = pos + 1 < line.size() ? HexDigitValue(line[pos + 1]) : -1;
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(uint8_t(hi * 16 + lo));
        pos += 2;
        SkipBlanks(line, pos);
        if (pos < line.size() && line[pos] == ',')
            ++pos;
        else if (pos < line.size() && line[pos] != '\\')
            return false;
    }
}

// "(N)" after "hex" or "str": the type number in hexadecimal.
bool ParseTypeNumber(const std::string& line, size_t& pos, uint32_t& type)
{
    if (pos >= line.size() || line[pos] != '(')
        return false;
    ++pos;
    uint32_t v = 0;
    int digits = 0;
    while (pos < line.size() && HexDigitValue(line[pos]) >= 0 && digits < 8) {
        v = v * 16 + uint32_t(HexDigitValue(line[pos]));
        ++pos;
        ++digits;
    }
    if (digits == 0 || pos >= line.size() || line[pos] != ')')
        return false;
    ++pos;
    type = v;
    return true;
}

bool StartsAt(const std::string& s, size_t pos, const char* lit)
{
    return s.compare(pos, std::char_traits<char>::length(lit), lit) == 0;
}

// Strings of REG_MULTI_SZ keep their NUL separators; the final terminator goes.
void DropFinalNul(std::string& s)
{
    while (!s.empty() && s.back() == '\0')
        s.pop_back();
}

} // namespace

bool ParseRegString(const std::string& text, size_t& pos, char close, std::string& out)
{
    std::vector<uint16_t> units;
    auto flushAscii = [&]() {
        if (!units.empty()) {
            out += Utf16ToUtf8(units);
            units.clear();
        }
    };
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == close) {
            flushAscii();
            return true;
        }
        if (c == '\r' || c == '\n')
            break;
        if (c != '\\') {
            units.push_back((unsigned char)c); // the files are ASCII; other bytes pass as Latin-1
            continue;
        }
        if (pos >= text.size())
            break;
        const char e = text[pos++];
        switch (e) {
        case 'a': units.push_back(7); break;
        case 'b': units.push_back(8); break;
        case 't': units.push_back(9); break;
        case 'n': units.push_back(10); break;
        case 'v': units.push_back(11); break;
        case 'f': units.push_back(12); break;
        case 'r': units.push_back(13); break;
        case 'e': units.push_back(27); break;
        case 'x': {
            uint32_t v = 0;
            int digits = 0;
            while (digits < 4 && pos < text.size() && HexDigitValue(text[pos]) >= 0) {
                v = v * 16 + uint32_t(HexDigitValue(text[pos++]));
                ++digits;
            }
            units.push_back(digits ? uint16_t(v) : uint16_t('x'));
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                uint32_t v = uint32_t(e - '0');
                for (int i = 0; i < 2 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7'; ++i)
                    v = v * 8 + uint32_t(text[pos++] - '0');
                units.push_back(uint16_t(v));
            } else {
                units.push_back((unsigned char)e); // \\ \" \[ \] and any other escaped character
            }
        }
    }
    flushAscii();
    return false;
}

std::string TRegHive::Normalise(const std::string& path)
{
    size_t b = 0, e = path.size();
    while (b < e && path[b] == '\\')
        ++b;
    while (e > b && path[e - 1] == '\\')
        --e;
    return LowerCase(path.substr(b, e - b));
}

const TRegKey* TRegHive::FindKey(const std::string& path) const
{
    auto it = m_keys.find(Normalise(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

bool TRegHive::HasKey(const std::string& path) const
{
    const std::string n = Normalise(path);
    return m_keys.count(n) > 0 || m_parents.count(n) > 0;
}

TRegKey& TRegHive::AddKey(const std::string& path)
{
    const std::string n = Normalise(path);
    for (size_t p = n.find('\\'); p != std::string::npos; p = n.find('\\', p + 1))
        m_parents.emplace(n.substr(0, p), true);
    TRegKey& k = m_keys[n];
    if (k.Name.empty())
        k.Name = path;
    return k;
}

bool ParseWineRegistry(const std::string& text, TRegHive& hive, std::string* error, int* skipped)
{
    const std::vector<std::string> lines = SplitLines(text);
    int bad = 0;
    if (lines.empty() || lines[0].rfind("WINE REGISTRY Version 2", 0) != 0) {
        if (error)
            *error = "not a Wine registry file (header \"WINE REGISTRY Version 2\" missing)";
        if (skipped)
            *skipped = 0;
        return false;
    }
    TRegKey* key = nullptr;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        size_t pos = 0;
        SkipBlanks(line, pos);
        if (pos >= line.size() || line[pos] == ';' || line[pos] == '#')
            continue; // blank, comment, #time= / #class= / #arch= / #link
        if (line[pos] == '[') {
            ++pos;
            std::string name;
            if (!ParseRegString(line, pos, ']', name)) {
                ++bad;
                key = nullptr; // values up to the next good key line have no home
                continue;
            }
            key = &hive.AddKey(name);
            continue;
        }
        // A value: "name"=data or @=data.
        std::string name;
        if (line[pos] == '@') {
            ++pos;
        } else if (line[pos] == '"') {
            ++pos;
            if (!ParseRegString(line, pos, '"', name)) {
                ++bad;
                continue;
            }
        } else {
            ++bad;
            continue;
        }
        SkipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != '=') {
            ++bad;
            continue;
        }
        ++pos;
        SkipBlanks(line, pos);
        TRegValue v;
        bool ok = false;
        if (pos < line.size() && line[pos] == '"') {
            ++pos;
            v.Type = kRegSz;
            ok = ParseRegString(line, pos, '"', v.Text);
        } else if (StartsAt(line, pos, "str")) {
            pos += 3;
            ok = ParseTypeNumber(line, pos, v.Type) && pos + 1 < line.size() && line[pos] == ':' && line[pos + 1] == '"';
            if (ok) {
                pos += 2;
                ok = ParseRegString(line, pos, '"', v.Text);
                DropFinalNul(v.Text);
            }
        } else if (StartsAt(line, pos, "dword:")) {
            pos += 6;
            uint32_t d = 0;
            int digits = 0;
            while (pos < line.size() && HexDigitValue(line[pos]) >= 0 && digits < 8) {
                d = d * 16 + uint32_t(HexDigitValue(line[pos++]));
                ++digits;
            }
            SkipBlanks(line, pos);
            ok = digits > 0 && pos >= line.size();
            v.Type = kRegDword;
            for (int b = 0; b < 4; ++b)
                v.Data.push_back(uint8_t(d >> (8 * b)));
        } else if (StartsAt(line, pos, "hex")) {
            pos += 3;
            v.Type = kRegBinary;
            ok = (pos < line.size() && line[pos] == ':') || ParseTypeNumber(line, pos, v.Type);
            ok = ok && pos < line.size() && line[pos] == ':';
            bool more = false;
            if (ok)
                ok = ParseHexBytes(line, pos + 1, v.Data, more);
            while (ok && more) {
                if (++i >= lines.size()) {
                    ok = false;
                    break;
                }
                ok = ParseHexBytes(lines[i], 0, v.Data, more);
            }
            if (ok && (v.Type == kRegSz || v.Type == kRegExpandSz))
                v.Text = Utf16LeBytesToUtf8(v.Data);
        }
        if (!ok || !key) {
            ++bad;
            continue;
        }
        key->Values[LowerCase(name)] = std::move(v);
    }
    if (skipped)
        *skipped = bad;
    return true;
}

TWineRegistry::TWineRegistry(std::string prefix) : m_prefix(std::move(prefix))
{
    if (!m_prefix.empty() && m_prefix.back() != '/')
        m_prefix += '/';
}

void TWineRegistry::LoadHive(const std::string& path, TRegHive& hive, TStamp& stamp)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    TStamp now;
    const auto size = fs::file_size(path, ec);
    if (!ec) {
        now.Size = (long long)size;
        now.Time = (long long)fs::last_write_time(path, ec).time_since_epoch().count();
    }
    if (now == stamp)
        return;
    stamp = now;
    hive = TRegHive();
    if (now.Size < 0)
        return;
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    ParseWineRegistry(ss.str(), hive);
}

void TWineRegistry::Refresh()
{
    if (m_prefix.empty())
        return;
    LoadHive(m_prefix + "user.reg", m_user, m_userStamp);
    LoadHive(m_prefix + "system.reg", m_system, m_systemStamp);
}

void TWineRegistry::SetHives(const std::string& userText, const std::string& systemText)
{
    m_user = TRegHive();
    m_system = TRegHive();
    ParseWineRegistry(userText, m_user);
    ParseWineRegistry(systemText, m_system);
    m_userStamp = m_systemStamp = TStamp{-2, 0}; // a later Refresh reads the files again
}

// The hive that answers for a key, and the key's path inside it: classes-root keys
// are the user's when the user has the key, else the machine's.
const TRegHive* TWineRegistry::HiveOf(TRegRoot root, const std::string& path, std::string& relative) const
{
    switch (root) {
    case TRegRoot::CurrentUser:
        relative = path;
        return &m_user;
    case TRegRoot::LocalMachine:
        relative = path;
        return &m_system;
    case TRegRoot::ClassesRoot:
        relative = "Software\\Classes\\" + TRegHive::Normalise(path);
        return m_user.HasKey(relative) ? &m_user : &m_system;
    }
    return nullptr;
}

const TRegKey* TWineRegistry::Find(TRegRoot root, const std::string& path) const
{
    std::string relative;
    const TRegHive* hive = HiveOf(root, path, relative);
    return hive ? hive->FindKey(relative) : nullptr;
}

bool TWineRegistry::KeyExists(TRegRoot root, const std::string& path) const
{
    std::string relative;
    const TRegHive* hive = HiveOf(root, path, relative);
    return hive && hive->HasKey(relative);
}

std::optional<std::string> TWineRegistry::ReadString(TRegRoot root, const std::string& path, const std::string& name) const
{
    const TRegKey* k = Find(root, path);
    if (!k)
        return std::nullopt;
    auto it = k->Values.find(LowerCase(name));
    if (it == k->Values.end() || !it->second.IsString())
        return std::nullopt;
    return it->second.Text;
}

} // namespace sf

#include "core/IniFile.h"
#include "core/Files.h"
#include "core/StoredFiles.h"
#include "core/Text.h"

namespace sf {

namespace {

constexpr size_t kMaxValue = 2047;

std::string SectionName(const std::string& trimmed)
{
    const size_t close = trimmed.find(']');
    return Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// A value may not break the line structure of the file.
std::string OneLine(const std::string& value)
{
    std::string r = value;
    for (char& c : r)
        if (c == '\r' || c == '\n')
            c = ' ';
    return r;
}

} // namespace

TIniText::TIniText(const std::string& text)
{
    // Byte-order marks before the first line (an editor may have added more than one)
    // are kept aside and written back as they were.
    size_t start = 0;
    while (text.compare(start, 3, "\xEF\xBB\xBF") == 0)
        start += 3;
    m_bom = text.substr(0, start);
    const std::string body = text.substr(start);
    m_sections.push_back({});
    // The line splitter drops the CR of each CR LF; further CRs belong to the line and
    // are written back with it.
    int number = 0;
    for (const std::string& line : SplitLines(body)) {
        ++number;
        const std::string trimmed = Trim(line);
        if (StartsWith(trimmed, "[")) {
            m_sections.push_back({SectionName(trimmed), {}});
            m_sections.back().Lines.push_back({line, "", ""});
            continue;
        }
        TLine entry{line, "", ""};
        const size_t eq = line.find('=');
        if (eq != std::string::npos && !StartsWith(trimmed, ";")) {
            entry.Key = Trim(line.substr(0, eq));
            entry.Value = Trim(line.substr(eq + 1));
        }
        const bool comment = StartsWith(trimmed, ";") || StartsWith(trimmed, "#");
        if (!trimmed.empty() && !comment && (entry.Key.empty() || m_sections.size() == 1))
            m_oddLines.push_back(number);
        m_sections.back().Lines.push_back(entry);
    }
}

std::string TIniText::Text() const
{
    std::string out = m_bom;
    for (const TSection& s : m_sections)
        for (const TLine& l : s.Lines)
            out += l.Raw + "\r\n";
    return out;
}

const TIniText::TSection* TIniText::Find(const std::string& section) const
{
    for (const TSection& s : m_sections)
        if (!s.Name.empty() && SameText(s.Name, Trim(section)))
            return &s;
    return nullptr;
}

TIniText::TSection* TIniText::Find(const std::string& section)
{
    return const_cast<TSection*>(static_cast<const TIniText*>(this)->Find(section));
}

bool TIniText::HasKey(const std::string& section, const std::string& key) const
{
    if (const TSection* s = Find(section))
        for (const TLine& l : s->Lines)
            if (!l.Key.empty() && SameText(l.Key, Trim(key)))
                return true;
    return false;
}

std::string TIniText::ReadString(const std::string& section, const std::string& key, const std::string& def) const
{
    const TSection* s = Find(section);
    if (!s)
        return def;
    for (const TLine& l : s->Lines) {
        if (l.Key.empty() || !SameText(l.Key, Trim(key)))
            continue;
        std::string value = l.Value;
        // One pair of enclosing quotes is not part of the value.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (value.size() > kMaxValue)
            value.resize(kMaxValue);
        return value;
    }
    return def;
}

long long TIniText::ReadInteger(const std::string& section, const std::string& key, long long def) const
{
    long long value = 0;
    return TryStrToInt(ReadString(section, key, ""), value, true) ? value : def;
}

bool TIniText::ReadBool(const std::string& section, const std::string& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<std::string> TIniText::Sections() const
{
    std::vector<std::string> names;
    for (const TSection& s : m_sections)
        if (!s.Name.empty())
            names.push_back(s.Name);
    return names;
}

std::vector<std::string> TIniText::Keys(const std::string& section) const
{
    std::vector<std::string> keys;
    if (const TSection* s = Find(section))
        for (const TLine& l : s->Lines)
            if (!l.Key.empty())
                keys.push_back(l.Key);
    return keys;
}

void TIniText::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string name = Trim(section), ident = Trim(key), text = OneLine(value);
    if (name.empty() || ident.empty())
        return;
    TSection* s = Find(name);
    if (!s) {
        m_sections.push_back({name, {{"[" + name + "]", "", ""}}});
        s = &m_sections.back();
    }
    for (TLine& l : s->Lines) {
        if (!l.Key.empty() && SameText(l.Key, ident)) {
            // Updated in place; the key keeps the spelling it has in the file.
            l.Raw = l.Key + "=" + text;
            l.Value = Trim(text);
            return;
        }
    }
    // A new key goes after the section's last non-blank line.
    size_t at = s->Lines.size();
    while (at > 1 && Trim(s->Lines[at - 1].Raw).empty())
        --at;
    s->Lines.insert(s->Lines.begin() + long(at), TLine{ident + "=" + text, ident, Trim(text)});
}

void TIniText::WriteInteger(const std::string& section, const std::string& key, long long value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniText::WriteBool(const std::string& section, const std::string& key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

TIniFile::TIniFile(std::string path) : m_path(std::move(path))
{
    std::string bytes, reason;
    const TStoredRead read = ReadStoredFile(m_path, bytes, reason);
    if (read == TStoredRead::Read)
        m_ini = TIniText(bytes);
    else if (read == TStoredRead::Failed)
        m_readError = reason.empty() ? "unknown error" : reason;
}

bool TIniFile::Save() const
{
    return SaveFileAtomic(m_path, m_ini.Text());
}

} // namespace sf

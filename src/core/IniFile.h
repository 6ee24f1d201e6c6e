// Private-profile ("ini") files: sections and keys compare ignoring case, an
// existing key is updated in place, a new key goes to the end of its section,
// a new section to the end of the file. TIniText works on text only; TIniFile
// loads a file and saves it back atomically.
#pragma once
#include <string>
#include <vector>

namespace sf {

class TIniText {
public:
    TIniText() = default;
    /// Parses ini text (CR LF or LF line ends).
    explicit TIniText(const std::string& text);
    /// The text as it would be written (CR LF line ends).
    std::string Text() const;

    /// The value, at most 2047 characters, or def when the key is missing.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    /// Decimal, or hexadecimal after "0x"; def when missing or not a number.
    long long ReadInteger(const std::string& section, const std::string& key, long long def) const;
    /// An integer; any non-zero value is true.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    bool HasKey(const std::string& section, const std::string& key) const;
    std::vector<std::string> Sections() const;
    /// Numbers (from 1) of the lines that are none of blank, comment (";" or "#"),
    /// [section] or key=value under a section: kept as they are, never read.
    const std::vector<int>& OddLines() const { return m_oddLines; }
    std::vector<std::string> Keys(const std::string& section) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, long long value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

private:
    struct TLine {
        std::string Raw;     ///< the line as read (comments, blank lines, odd lines)
        std::string Key;     ///< non-empty for key=value lines
        std::string Value;
    };
    struct TSection {
        std::string Name;    ///< empty for lines before the first section
        std::vector<TLine> Lines;
    };
    TSection* Find(const std::string& section);
    const TSection* Find(const std::string& section) const;
    std::vector<TSection> m_sections;
    std::string m_bom; ///< byte-order marks the text began with
    std::vector<int> m_oddLines;
};

class TIniFile {
public:
    /// Reads path when it exists (a missing or unreadable file is an empty ini; ReadError
    /// tells the unreadable one apart).
    explicit TIniFile(std::string path);
    /// Why a file that exists could not be read; empty when it was read or is missing.
    const std::string& ReadError() const { return m_readError; }
    TIniText& Ini() { return m_ini; }
    const TIniText& Ini() const { return m_ini; }
    /// Writes the text atomically; false (previous file kept) on failure.
    bool Save() const;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    TIniText m_ini;
    std::string m_readError;
};

} // namespace sf

#include "host/HostText.h"

namespace sf {

namespace {
// Code points of the bytes 0x80..0x9F; the unassigned ones keep their own value.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string Windows1252ToUtf8(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = (unsigned char)ch;
        if (b < 0x80)
            out += ch;
        else if (b < 0xA0)
            AppendUtf8(out, kCp1252High[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

std::string Utf16ToUtf8(const std::vector<uint16_t>& units)
{
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        const uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
            ++i;
        } else {
            AppendUtf8(out, u); // a lone surrogate turns into U+FFFD there
        }
    }
    return out;
}

std::string Utf16LeBytesToUtf8(const std::vector<uint8_t>& bytes)
{
    std::vector<uint16_t> units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const uint16_t u = uint16_t(bytes[i] | (bytes[i + 1] << 8));
        if (u == 0)
            break;
        units.push_back(u);
    }
    return Utf16ToUtf8(units);
}

std::string WinFileName(const std::string& path)
{
    const size_t p = path.rfind('\\');
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string WinFolderPart(const std::string& path)
{
    const size_t p = path.rfind('\\');
    return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

} // namespace sf

#include "host/FakePrefix.h"
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace sf {

namespace fs = std::filesystem;

namespace {

bool WriteText(const fs::path& p, const std::string& text, std::string* error)
{
    std::error_code ec;
    fs::create_directories(p.parent_path(), ec);
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (!f) {
        if (error)
            *error = "cannot write " + p.string();
        return false;
    }
    return true;
}

std::string KeyLine(const std::string& path)
{
    return "\r\n[" + RegEscape(path) + "] 1700000000\r\n#time=1da0000000000000\r\n";
}

// UTF-8 to UTF-16 code units (the text is the program's own, so it is well formed).
std::vector<uint16_t> ToUtf16(const std::string& s)
{
    std::vector<uint16_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto b = (unsigned char)s[i];
        uint32_t cp = b;
        int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        if (extra)
            cp = b & (0x3F >> extra);
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i)
            cp = (cp << 6) | ((unsigned char)s[i] & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(uint16_t(0xD800 + (cp >> 10)));
            out.push_back(uint16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(uint16_t(cp));
        }
    }
    return out;
}

} // namespace

std::string FakePrefixPath(const std::string& prefix, const std::string& windowsPath)
{
    std::string rest = windowsPath.size() >= 3 ? windowsPath.substr(3) : std::string();
    for (char& c : rest)
        if (c == '\\')
            c = '/';
    std::string p = prefix;
    if (!p.empty() && p.back() != '/')
        p += '/';
    return p + "drive_c/" + rest;
}

std::string RegEscape(const std::string& text)
{
    const std::vector<uint16_t> units = ToUtf16(text);
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        const uint16_t u = units[i];
        if (u == '\\' || u == '"' || u == '[' || u == ']') {
            out += '\\';
            out += char(u);
        } else if (u >= 32 && u < 127) {
            out += char(u);
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\x%04x", u);
            out += buf;
        }
    }
    return out;
}

bool WriteFakePrefix(const std::string& prefixIn, const TFakePrefixOptions& o, std::string* error)
{
    std::string prefix = prefixIn;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    std::error_code ec;
    fs::create_directories(prefix + "drive_c", ec);
    fs::create_directories(prefix + "dosdevices", ec);
    if (!fs::exists(fs::symlink_status(prefix + "dosdevices/c:"))) {
        fs::create_directory_symlink("../drive_c", prefix + "dosdevices/c:", ec);
        if (ec) {
            if (error)
                *error = "cannot link " + prefix + "dosdevices/c:: " + ec.message();
            return false;
        }
    }
    std::string user = "WINE REGISTRY Version 2\r\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\r\n\r\n#arch=win64\r\n";
    std::string system = "WINE REGISTRY Version 2\r\n;; All keys relative to \\\\Machine\r\n\r\n#arch=win64\r\n";
    if (o.UiView) {
        user += KeyLine("Software\\VB and VBA Program Settings\\Peak Systems\\UI-View32");
        user += "\"Program Folder\"=\"" + RegEscape(o.ProgramFolder) + "\"\r\n";
        std::string ini = "[MAPS]\r\n";
        if (!o.LastMap.empty())
            ini += "LAST_MAP=" + o.LastMap + "\r\n";
        if (!WriteText(FakePrefixPath(prefix, o.ProgramFolder) + "/UiView32.ini", ini, error))
            return false;
    }
    if (!o.ServerName.empty()) {
        std::string& reg = o.InUserClasses ? user : system;
        const std::string classes = std::string("Software\\Classes\\") + (o.Wow64 ? "Wow6432Node\\" : "");
        reg += KeyLine(classes + o.ServerName + ".clsMapServ");
        reg += "@=\"" + o.ServerName + ".clsMapServ\"\r\n";
        reg += KeyLine(classes + o.ServerName + ".clsMapServ\\Clsid");
        reg += "@=\"" + o.ClassId + "\"\r\n";
        reg += KeyLine(classes + "CLSID\\" + o.ClassId + "\\InprocServer32");
        reg += "@=\"" + RegEscape(o.ServerFolder + o.ServerName + ".dll") + "\"\r\n";
        reg += "\"ThreadingModel\"=\"Apartment\"\r\n";
        const std::string folder = FakePrefixPath(prefix, o.ServerFolder);
        fs::create_directories(folder + "/Quor Underlays", ec);
        std::string ini = "[SETUP]\r\n";
        if (!o.Underlay.empty())
            ini += "UNDERLAY=" + o.ServerFolder + "Quor Underlays\\" + o.Underlay + "\r\n";
        if (!WriteText(folder + "/" + o.ServerName + ".ini", ini, error))
            return false;
        if (!o.Underlay.empty() && o.CreateUnderlay &&
            !WriteText(folder + "/Quor Underlays/" + o.Underlay, "BM", error))
            return false;
    }
    return WriteText(prefix + "user.reg", user, error) && WriteText(prefix + "system.reg", system, error);
}

} // namespace sf

#include "core/RadarObj.h"
#include "core/Clock.h"
#include "core/Files.h"
#include "core/Shared.h"
#include "core/Text.h"
#include "core/layouts/Layout.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace sf {

namespace {

// The image and world-file URLs of a record as its layout gives them.
TRecordUrls DeriveUrls(const TRadarObj& r, const TNaming& naming)
{
    return LayoutOf(naming.Layout).Urls(r, naming);
}

// Splits file text into lines at CR LF, LF or a lone CR; a final line break adds no line.
std::vector<std::string> TextLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string cur;
    bool pending = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            pending = false;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            cur += c;
            pending = true;
        }
    }
    if (pending)
        lines.push_back(cur);
    return lines;
}

// A decimal number, blanks around it allowed; nothing else (no hex, inf or nan).
bool ParseNumber(const std::string& text, double& out)
{
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    for (char c : t)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return false;
    char* end = nullptr;
    out = std::strtod(t.c_str(), &end);
    return end == t.c_str() + t.size() && std::isfinite(out);
}

bool IsUnusableName(const std::string& name)
{
    return name.find('/') != std::string::npos || name.find('\0') != std::string::npos || name == "." || name == "..";
}

} // namespace

bool ParseFloatText(const std::string& text, float& out)
{
    double d = 0;
    if (!ParseNumber(text, d))
        return false;
    // A value beyond the single range is no more a number here than bad text.
    if (std::fabs(d) > (double)std::numeric_limits<float>::max())
        return false;
    out = (float)d;
    return true;
}

TRadarObj TRadarObj::Create(const IClock& clock)
{
    TRadarObj r;
    r.NextAttempt = clock.LocalNow() - 1;
    r.LastImage = clock.UTCNow() - 100;
    r.PrevImage = r.LastImage;
    r.LastAttempt = clock.LocalNow() - 1;
    return r;
}

void TRadarObj::SetNames(const std::string& radarLine, const std::string& productLine, const TNaming& naming)
{
    const std::string ext = naming.NativeFormat ? ".gif" : ".bmp";
    Radar = radarLine;
    Product = productLine;
    if (StartsWith(radarLine, "!!")) {
        const std::string key = radarLine.substr(2);
        SiteID = GetField(key, 1, ',');
        LocalName = SiteID + ext;
        RemoteName = StartsWith(key, "Nat") ? "latest_radaronly" : SiteID;
        LegendName.clear();
    } else {
        SiteID = GetField(radarLine, 3, ',');
        RemoteName = SiteID + "_" + ProductCodeOf(productLine) + "_0";
        LocalName = RemoteName + ext;
        LegendName = LayoutOf(naming.Layout).LegendFileName(RemoteName);
    }
    const TRecordUrls urls = DeriveUrls(*this, naming);
    ImageURL = urls.Image;
    WorldURL = urls.World;
    Status = "New record";
    if (HasInvalidName())
        Status = kInvalidNameStatus;
}

void TRadarObj::ReadWorldFile(const std::string& path, TWorldOrigin origin)
{
    if (!FileExists(path))
        return;
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        return;
    std::vector<std::string> lines = TextLines(bytes);
    // World files served as web pages carry tag text around the numbers. Cutting a
    // line after its first ">" and trimming, until no ">" is left, keeps the trimmed
    // text after its last ">"; lines left empty are dropped. One pass, so that a page
    // of many tags or lines cannot stall the program.
    std::vector<std::string> kept;
    kept.reserve(lines.size());
    for (std::string& line : lines) {
        if (line.find('<') != std::string::npos) {
            const size_t gt = line.rfind('>');
            if (gt != std::string::npos)
                line = Trim(line.substr(gt + 1));
            if (line.empty())
                continue;
        }
        kept.push_back(std::move(line));
    }
    lines.swap(kept);
    if (lines.size() != 6)
        return;
    float* targets[4] = {&Left, &Top, &PixelSizeX, &PixelSizeY};
    const int lineNo[4] = {5, 6, 1, 4};
    for (int k = 0; k < 4; ++k) {
        float v = 0;
        if (!ParseFloatText(lines[lineNo[k] - 1], v))
            return;
        if (v != 0)
            *targets[k] = v;
    }
    if (origin == TWorldOrigin::PixelCorner) {
        Bounds = BoundsText();
        return;
    }
    // The file gives pixel centres; the bounds are pixel edges.
    const float halfX = PixelSizeX / 2.0f;
    const float halfY = PixelSizeY / 2.0f;
    Left = Left - halfX;
    Top = Top - halfY;
    Bounds = BoundsText();
}

void TRadarObj::SetBounds(int width, int height)
{
    if (Left == 0 || PixelSizeX == 0 || width == 0 || height == 0) {
        Bounds.clear();
        return;
    }
    const float spanX = (float)width * PixelSizeX;
    const float spanY = (float)height * PixelSizeY;
    Right = spanX + Left;
    Bottom = spanY + Top;
    Bounds = BoundsText();
}

void TRadarObj::Assign(const TRadarObj& o)
{
    Radar = o.Radar;
    Product = o.Product;
    ImageURL = o.ImageURL;
    WorldURL = o.WorldURL;
    RemoteName = o.RemoteName;
    SiteID = o.SiteID;
    LocalName = o.LocalName;
    Status = o.Status;
    ServedBy = o.ServedBy;
    Bounds = o.Bounds;
    LegendName = o.LegendName;
    NextAttempt = o.NextAttempt;
    LastImage = o.LastImage;
    PrevImage = o.PrevImage;
    LastAttempt = o.LastAttempt;
    Accumulate = o.Accumulate;
    Enabled = o.Enabled;
    AccessErrors = o.AccessErrors;
    ConversionErrors = o.ConversionErrors;
    Left = o.Left;
    Top = o.Top;
    Right = o.Right;
    Bottom = o.Bottom;
    PixelSizeX = o.PixelSizeX;
    PixelSizeY = o.PixelSizeY;
}

std::string TRadarObj::BoundsText() const
{
    return BoundsNumber(Left) + "," + BoundsNumber(Top) + "," + BoundsNumber(Right) + "," + BoundsNumber(Bottom);
}

bool TRadarObj::IsPngMosaic() const
{
    const std::string u = UpperCase(RemoteName);
    return u == "N0R_0" || u.find("01_USRAD") != std::string::npos;
}

bool TRadarObj::HasInvalidName() const
{
    return IsUnusableName(RemoteName) || IsUnusableName(LocalName) || (!LegendName.empty() && IsUnusableName(LegendName));
}

std::string BoundsNumber(float value)
{
    const double d = (double)value;
    if (d == 0 || !std::isfinite(d))
        return d == 0 ? "0" : (std::isnan(d) ? "NAN" : (d > 0 ? "INF" : "-INF"));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(d));
    // buf: d.dddddddddddddde[+-]xx -> 15 digits and a decimal exponent.
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int exp = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = d < 0 ? "-" : "";
    if (exp >= 15 || exp < -5) {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += "E" + std::to_string(exp);
        return out;
    }
    if (exp >= 0) {
        std::string intPart = digits.substr(0, std::min<size_t>(digits.size(), (size_t)exp + 1));
        while ((int)intPart.size() < exp + 1)
            intPart += '0';
        out += intPart;
        if (digits.size() > (size_t)exp + 1)
            out += "." + digits.substr((size_t)exp + 1);
        return out;
    }
    out += "0." + std::string((size_t)(-exp - 1), '0') + digits;
    return out;
}

void RebuildURLs(TShared& s)
{
    const TNaming naming = s.Naming();
    if (!LayoutOf(naming.Layout).HasAlternates()) {
        // One service without alternates: back on the first source every record gets
        // the addresses naming gives; the other indexes keep them.
        for (int i = 0; s.SelectRidge == 0 && i < s.List.Count(); ++i) {
            const TRecordUrls urls = DeriveUrls(s.List[i], naming);
            s.List[i].ImageURL = urls.Image;
            s.List[i].WorldURL = urls.World;
        }
        return;
    }
    for (int i = 0; i < s.List.Count(); ++i) {
        TRadarObj& r = s.List[i];
        const std::string u = UpperCase(r.Radar);
        if (StartsWith(u, "!!CONUS") || StartsWith(u, "!!USRAD"))
            continue;
        if (StartsWith(u, "!!NAT")) {
            r.ImageURL = naming.RidgeNatBase + r.RemoteName + ".gif";
            r.WorldURL = naming.RidgeNatBase + r.RemoteName + ".gfw";
            break;
        }
        if (s.SelectRidge == 0) {
            // Back on the first source: the URLs are the ones naming gives, product folder included.
            const TRecordUrls urls = DeriveUrls(r, naming);
            r.ImageURL = urls.Image;
            r.WorldURL = urls.World;
        }
    }
}

} // namespace sf

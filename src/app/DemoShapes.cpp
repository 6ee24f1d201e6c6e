#include "app/DemoShapes.h"
#include "core/Text.h"
#include <cstdint>
#include <cstring>
#include <vector>

namespace sf {

namespace {

struct TPoint {
    double X, Y;
};

// One warning polygon per set, near the demo's sites (lon/lat, closed ring).
struct TDemoWarning {
    const char* Stem;     // file stem as the NWS folder spells it (case ignored here)
    const char* Phenom;   // VTEC phenomenon
    const char* Wfo;
    std::vector<TPoint> Ring;
};

const std::vector<TDemoWarning>& Warnings()
{
    static const std::vector<TDemoWarning> w{
        {"tor", "TO", "LOT", {{-88.6, 41.9}, {-88.1, 42.1}, {-87.9, 41.8}, {-88.4, 41.6}, {-88.6, 41.9}}},
        {"svr", "SV", "MKX", {{-88.9, 43.2}, {-88.0, 43.4}, {-87.8, 42.9}, {-88.7, 42.7}, {-88.9, 43.2}}},
        {"ffw", "FF", "DVN", {{-91.2, 41.6}, {-90.5, 41.8}, {-90.4, 41.3}, {-91.0, 41.2}, {-91.2, 41.6}}},
        {"smw", "MA", "LOT", {{-87.6, 42.3}, {-87.1, 42.4}, {-87.0, 41.9}, {-87.5, 41.8}, {-87.6, 42.3}}},
    };
    return w;
}

void PutBE32(std::string& b, int32_t v)
{
    const uint32_t u = (uint32_t)v;
    b += (char)(u >> 24);
    b += (char)(u >> 16);
    b += (char)(u >> 8);
    b += (char)u;
}

void PutLE32(std::string& b, int32_t v)
{
    const uint32_t u = (uint32_t)v;
    for (int i = 0; i < 4; ++i)
        b += (char)(u >> (8 * i));
}

void PutLE16(std::string& b, int v)
{
    b += (char)(v & 0xFF);
    b += (char)((v >> 8) & 0xFF);
}

void PutDouble(std::string& b, double d)
{
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    for (int i = 0; i < 8; ++i)
        b += (char)(u >> (8 * i));
}

struct TBox {
    double XMin, YMin, XMax, YMax;
};

TBox BoxOf(const std::vector<TPoint>& ring)
{
    TBox box{ring[0].X, ring[0].Y, ring[0].X, ring[0].Y};
    for (const TPoint& p : ring) {
        box.XMin = std::min(box.XMin, p.X);
        box.YMin = std::min(box.YMin, p.Y);
        box.XMax = std::max(box.XMax, p.X);
        box.YMax = std::max(box.YMax, p.Y);
    }
    return box;
}

// The 100-byte main header shared by .shp and .shx; lengths count 16-bit words.
std::string MainHeader(int32_t fileBytes, const TBox& box)
{
    std::string h;
    PutBE32(h, 9994); // file code
    for (int i = 0; i < 5; ++i)
        PutBE32(h, 0);
    PutBE32(h, fileBytes / 2);
    PutLE32(h, 1000); // version
    PutLE32(h, 5);    // shape type: polygon
    PutDouble(h, box.XMin);
    PutDouble(h, box.YMin);
    PutDouble(h, box.XMax);
    PutDouble(h, box.YMax);
    for (int i = 0; i < 4; ++i)
        PutDouble(h, 0); // Z and M ranges
    return h;
}

std::string PolygonContent(const std::vector<TPoint>& ring)
{
    const TBox box = BoxOf(ring);
    std::string c;
    PutLE32(c, 5);
    PutDouble(c, box.XMin);
    PutDouble(c, box.YMin);
    PutDouble(c, box.XMax);
    PutDouble(c, box.YMax);
    PutLE32(c, 1);                 // parts
    PutLE32(c, (int32_t)ring.size()); // points
    PutLE32(c, 0);                 // the one part starts at point 0
    for (const TPoint& p : ring) {
        PutDouble(c, p.X);
        PutDouble(c, p.Y);
    }
    return c;
}

std::string Shp(const TDemoWarning& w)
{
    const std::string content = PolygonContent(w.Ring);
    std::string record;
    PutBE32(record, 1); // record number
    PutBE32(record, (int32_t)content.size() / 2);
    record += content;
    return MainHeader(100 + (int32_t)record.size(), BoxOf(w.Ring)) + record;
}

std::string Shx(const TDemoWarning& w)
{
    const std::string content = PolygonContent(w.Ring);
    std::string index;
    PutBE32(index, 50); // the record starts right after the 100-byte header
    PutBE32(index, (int32_t)content.size() / 2);
    return MainHeader(100 + (int32_t)index.size(), BoxOf(w.Ring)) + index;
}

// dBASE III table with the warning's attributes.
std::string Dbf(const TDemoWarning& w, TDateTime utc)
{
    struct TField {
        const char* Name;
        int Length;
        std::string Value;
    };
    const std::string issued = FormatDateTime("yyyymmddhhnn", utc - 10.0 / 1440);
    const std::string expires = FormatDateTime("yyyymmddhhnn", utc + 35.0 / 1440);
    const std::vector<TField> fields{
        {"PHENOM", 2, w.Phenom}, {"SIG", 1, "W"}, {"WFO", 4, w.Wfo}, {"ISSUED", 12, issued}, {"EXPIRED", 12, expires}};
    int recordLength = 1;
    for (const auto& f : fields)
        recordLength += f.Length;
    const int headerLength = 32 + 32 * (int)fields.size() + 1;
    const TDateFields d = DecodeDateTime(utc);

    std::string b;
    b += (char)0x03;
    b += (char)(d.Year - 1900);
    b += (char)d.Month;
    b += (char)d.Day;
    PutLE32(b, 1);
    PutLE16(b, headerLength);
    PutLE16(b, recordLength);
    b.append(20, '\0');
    for (const auto& f : fields) {
        std::string name(f.Name);
        name.resize(11, '\0');
        b += name;
        b += 'C';
        b.append(4, '\0');
        b += (char)f.Length;
        b += '\0';
        b.append(14, '\0');
    }
    b += (char)0x0D;
    b += ' '; // not deleted
    for (const auto& f : fields) {
        std::string v = f.Value;
        v.resize(f.Length, ' ');
        b += v;
    }
    b += (char)0x1A;
    return b;
}

} // namespace

std::string DemoShapefile(const std::string& name, TDateTime utc)
{
    const std::string lower = LowerCase(name);
    const auto dot = lower.rfind('.');
    if (dot == std::string::npos)
        return {};
    const std::string stem = lower.substr(0, dot), ext = lower.substr(dot);
    for (const TDemoWarning& w : Warnings()) {
        if (stem != w.Stem)
            continue;
        if (ext == ".shp")
            return Shp(w);
        if (ext == ".shx")
            return Shx(w);
        if (ext == ".dbf")
            return Dbf(w, utc);
    }
    return {};
}

} // namespace sf

#include "imaging/Synthetic.h"
#include "imaging/Bitmap8.h"
#include "imaging/GifCodec.h"
#include "imaging/PngReader.h"
#include "imaging/PngSite.h"
#include "core/Text.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sf {

namespace {

struct TSiteRow {
    const char* Id;
    double Lat, Lon;
};

constexpr TSiteRow kSites[] = {
    {"LOT", 41.6045, -88.0847}, {"DVN", 41.6117, -90.5808}, {"MKX", 42.9678, -88.5506},
    {"ILX", 40.1505, -89.3368}, {"DIX", 39.9470, -74.4108}, {"FTG", 39.7866, -104.5458},
    {"IND", 39.7075, -86.2803}, {"DTX", 42.6999, -83.4718}, {"FFC", 33.3636, -84.5658},
    {"TLX", 35.3331, -97.2778}, {"FWS", 32.5731, -97.3031}, {"OKX", 40.8655, -72.8638},
    {"MPX", 44.8488, -93.5654}, {"EAX", 38.8102, -94.2644}, {"LSX", 38.6989, -90.6828},
};
constexpr double kFallbackLat = 39.50, kFallbackLon = -98.35;

// The contiguous US as the national mosaics cover it.
constexpr double kUsWest = -127.62, kUsNorth = 50.41, kUsEast = -66.52, kUsSouth = 21.65;

/// splitmix64: a small deterministic generator.
struct TRandom {
    uint64_t State;
    uint64_t Next()
    {
        uint64_t z = (State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Unit() { return double(Next() >> 11) / double(1ull << 53); }
    double Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }
};

uint64_t Seed(const std::string& text)
{
    uint64_t h = 1469598103934665603ull;
    for (char c : text) {
        h ^= (unsigned char)c;
        h *= 1099511628211ull;
    }
    return h;
}

/// Reflectivity levels (0 none, 1..15 for 5..75+ dBZ) of drifting blobs at a UTC time.
std::vector<uint8_t> EchoLevels(int width, int height, int blobs, double minRadius, double maxRadius,
    const std::string& key, TDateTime utc)
{
    std::vector<uint8_t> level(size_t(width) * size_t(height), 0);
    TRandom rnd{Seed(key)};
    const double hours = utc * 24.0;
    for (int i = 0; i < blobs; ++i) {
        const double x0 = rnd.Range(0, width), y0 = rnd.Range(0, height);
        const double vx = rnd.Range(-0.08, 0.08) * width, vy = rnd.Range(-0.05, 0.05) * height;
        const double radius = rnd.Range(minRadius, maxRadius);
        const double peak = rnd.Range(25, 78);
        // The blob drifts and wraps around the picture so that some echo is always in view.
        const double spanX = width + 2 * radius, spanY = height + 2 * radius;
        const double cx = std::fmod(std::fmod(x0 + vx * hours + radius, spanX) + spanX, spanX) - radius;
        const double cy = std::fmod(std::fmod(y0 + vy * hours + radius, spanY) + spanY, spanY) - radius;
        const int left = std::max(0, int(cx - radius)), right = std::min(width - 1, int(cx + radius));
        const int top = std::max(0, int(cy - radius)), bottom = std::min(height - 1, int(cy + radius));
        for (int y = top; y <= bottom; ++y) {
            uint8_t* row = level.data() + size_t(y) * size_t(width);
            for (int x = left; x <= right; ++x) {
                const double dx = (x - cx) / radius, dy = (y - cy) / radius;
                const double d2 = dx * dx + dy * dy;
                if (d2 >= 1)
                    continue;
                const double dbz = peak * (1 - d2);
                const int l = std::min(15, int(dbz / 5));
                if (l > row[x])
                    row[x] = uint8_t(l);
            }
        }
    }
    return level;
}

std::string WorldText(double xSize, double ySize, double left, double top)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, "%.10f\r\n0.0000000000\r\n0.0000000000\r\n%.10f\r\n%.10f\r\n%.10f\r\n",
        xSize, -ySize, left, top);
    return buf;
}

TBitmap8 LevelBitmap(const std::vector<uint8_t>& level, int width, int height)
{
    TBitmap8 bmp;
    bmp.Palette[0] = TRgb{0, 0, 0};
    for (int i = 0; i < 15; ++i)
        bmp.Palette[size_t(i) + 1] = N0RColours()[size_t(i)];
    bmp.PaletteCount = 16;
    bmp.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        std::memcpy(bmp.Row(y), level.data() + size_t(y) * size_t(width), size_t(width));
    return bmp;
}

std::string GifOf(const TBitmap8& bmp, int count, int transparent)
{
    std::string bytes, error;
    EncodeBitmapGif(bmp, count, transparent, bytes, error);
    return bytes;
}

} // namespace

const std::vector<TRgb>& N0RColours()
{
    static const std::vector<TRgb> colours = {{4, 233, 231}, {1, 159, 244}, {3, 0, 244}, {2, 253, 2},
        {1, 197, 1}, {0, 142, 0}, {253, 248, 2}, {229, 188, 0}, {253, 149, 0}, {253, 0, 0}, {212, 0, 0},
        {188, 0, 0}, {248, 0, 253}, {152, 84, 198}, {253, 253, 253}};
    return colours;
}

TSiteLocation SyntheticSiteLocation(const std::string& site)
{
    std::string id = UpperCase(Trim(site));
    if (id.size() == 4 && id[0] == 'K')
        id.erase(0, 1);
    for (const TSiteRow& row : kSites)
        if (id == row.Id)
            return {row.Lat, row.Lon, true};
    return {kFallbackLat, kFallbackLon, false};
}

std::string SyntheticSiteGif(const std::string& site, const std::string& product, TDateTime utc)
{
    const auto level = EchoLevels(kSiteWidth, kSiteHeight, 7, 30, 110, UpperCase(site) + "/" + UpperCase(product), utc);
    return GifOf(LevelBitmap(level, kSiteWidth, kSiteHeight), 16, 0);
}

std::string SyntheticSiteWorldFile(const std::string& site)
{
    const TSiteLocation at = SyntheticSiteLocation(site);
    return WorldText(kSiteDegreesPerPixel, kSiteDegreesPerPixel, at.Lon - kSiteWidth / 2.0 * kSiteDegreesPerPixel,
        at.Lat + kSiteHeight / 2.0 * kSiteDegreesPerPixel);
}

std::string SyntheticLegendGif(const std::string&, const std::string&)
{
    TBitmap8 bmp;
    bmp.Palette[0] = TRgb{255, 255, 255};
    for (int i = 0; i < 15; ++i)
        bmp.Palette[size_t(i) + 1] = N0RColours()[size_t(i)];
    bmp.Palette[16] = TRgb{0, 0, 0};
    bmp.Palette[17] = TRgb{128, 128, 128};
    bmp.PaletteCount = 32;
    bmp.SetSize(kSiteWidth, kSiteHeight, 0);
    // A frame around the bar, the bar itself from weak (top) to strong (bottom).
    bmp.FillRect(TRect{558, 208, 596, 542}, 16);
    for (int i = 0; i < 15; ++i)
        bmp.FillRect(TRect{560, 210 + i * 22, 594, 210 + (i + 1) * 22}, uint8_t(i + 1));
    bmp.FillRect(TRect{0, 0, 140, 20}, 17); // the product title block
    return GifOf(bmp, 32, -1);
}

std::string SyntheticMosaicPng(TDateTime utc, int width, int height)
{
    const auto level = EchoLevels(width, height, 60, 40, 260, "US/N0R", utc);
    const auto& colours = N0RColours();
    return EncodePngRgba(width, height, [&](int y, uint8_t* out) {
        const uint8_t* in = level.data() + size_t(y) * size_t(width);
        const bool gridRow = y % 500 == 250;
        for (int x = 0; x < width; ++x, out += 4) {
            if (gridRow || x % 500 == 250) {
                out[0] = out[1] = out[2] = 0;
                out[3] = 255;
            } else if (in[x] == 0) {
                out[0] = out[1] = out[2] = out[3] = 0;
            } else {
                const TRgb& c = colours[size_t(in[x]) - 1];
                out[0] = c.R;
                out[1] = c.G;
                out[2] = c.B;
                out[3] = 255;
            }
        }
    }, 3);
}

std::string SyntheticMosaicWorldFile(int width, int height)
{
    return WorldText((kUsEast - kUsWest) / width, (kUsNorth - kUsSouth) / height, kUsWest, kUsNorth);
}

std::string SyntheticMosaicGif(const std::string& name, TDateTime utc)
{
    const auto level = EchoLevels(kMosaicGifWidth, kMosaicGifHeight, 40, 20, 140, "GIF/" + UpperCase(name), utc);
    return GifOf(LevelBitmap(level, kMosaicGifWidth, kMosaicGifHeight), 16, 0);
}

std::string SyntheticMosaicGifWorldFile()
{
    return WorldText(kMosaicGifDegreesPerPixel, kMosaicGifDegreesPerPixel, kUsWest, kUsNorth);
}

std::string SyntheticMapPng(const std::string& key, int width, int height, TDateTime utc)
{
    if (width < 1 || height < 1 || !ImageSizeAllowed(width, height))
        return {};
    // Blob sizes follow the picture, so a small and a large request both show weather.
    const double scale = std::min(width, height);
    const auto level = EchoLevels(width, height, 9, scale / 20, scale / 5, "WMS/" + key, utc);
    return EncodePalettePng(LevelBitmap(level, width, height), 16, 0);
}

std::string SyntheticLegendPng()
{
    TBitmap8 bmp;
    for (int i = 0; i < 15; ++i)
        bmp.Palette[size_t(i) + 1] = N0RColours()[size_t(i)];
    bmp.Palette[0] = TRgb{255, 255, 255};
    bmp.Palette[16] = TRgb{0, 0, 0};
    bmp.PaletteCount = 17;
    bmp.SetSize(40, 330, 0);
    bmp.FillRect(TRect{0, 0, 40, 330}, 16);
    for (int i = 0; i < 15; ++i)
        bmp.FillRect(TRect{2, i * 22, 38, (i + 1) * 22 - 1}, uint8_t(i + 1));
    return EncodePalettePng(bmp, 17, -1);
}

} // namespace sf

#include "imaging/PngSite.h"
#include "core/Files.h"
#include "core/Text.h"
#include "imaging/PngReader.h"
#include <algorithm>
#include <memory>
#include <unordered_map>
#include <vector>

namespace sf {

namespace {

// The colour a pixel shows on a white page: alpha 0 is white, 255 the colour itself.
TRgb OverWhite(const uint8_t* rgba)
{
    const unsigned a = rgba[3];
    if (a == 255)
        return TRgb{rgba[0], rgba[1], rgba[2]};
    const auto over = [a](unsigned c) { return uint8_t((c * a + 255 * (255 - a) + 127) / 255); };
    return TRgb{over(rgba[0]), over(rgba[1]), over(rgba[2])};
}

uint32_t Key(TRgb c)
{
    return (uint32_t(c.R) << 16) | (uint32_t(c.G) << 8) | c.B;
}

} // namespace

bool LoadPngSiteImage(const std::string& path, TGifImage& out, std::string& error)
{
    out = TGifImage{};
    TPngReader png;
    if (!png.Open(path, error))
        return false;
    const int width = png.Width(), height = png.Height();
    TGifFrame frame;
    frame.Width = width;
    frame.Height = height;
    frame.Pixels.resize(size_t(width) * size_t(height));
    std::vector<uint8_t> row(size_t(width) * 4);
    // Exact colours while there are at most 256 of them; past that every pixel, those
    // already written included, is mapped to the halftone palette.
    std::vector<TRgb> table;
    std::unordered_map<uint32_t, uint8_t> index;
    std::unique_ptr<THalftoneMapper> halftone;
    auto colourIndex = [&](const TRgb c) -> uint8_t {
        if (halftone)
            return halftone->Map(c.R, c.G, c.B);
        const auto found = index.find(Key(c));
        if (found != index.end())
            return found->second;
        if (table.size() < 256) {
            index.emplace(Key(c), uint8_t(table.size()));
            table.push_back(c);
            return uint8_t(table.size() - 1);
        }
        halftone = std::make_unique<THalftoneMapper>();
        uint8_t remap[256];
        for (size_t i = 0; i < table.size(); ++i)
            remap[i] = halftone->Map(table[i].R, table[i].G, table[i].B);
        // Pixels not written yet hold 0 and are overwritten later, so mapping them is harmless.
        for (uint8_t& p : frame.Pixels)
            p = remap[p];
        const TPalette& pal = HalftonePalette();
        table.assign(pal.begin(), pal.end());
        return halftone->Map(c.R, c.G, c.B);
    };
    // Row by stored row: an interlaced file's passes arrive as their own reduced rows and go
    // straight to their places, so nothing beyond one row is held at 4 bytes a pixel.
    for (int64_t n = png.StoredRows(); n > 0; --n) {
        TPngRowSpan span;
        if (!png.ReadSpan(row.data(), span, error))
            return false;
        uint8_t* dest = frame.Pixels.data() + size_t(span.Y) * size_t(width);
        for (int k = 0; k < span.Count; ++k)
            dest[size_t(span.First) + size_t(k) * size_t(span.Step)] = colourIndex(OverWhite(row.data() + size_t(k) * 4));
    }
    // The caption is black on white. A GIF site image has both (its transparent "no echo"
    // is black); a PNG whose clear parts became white may lack black, and the caption
    // would then take the nearest radar colour. Add them while there is room.
    for (const TRgb needed : {TRgb{255, 255, 255}, TRgb{0, 0, 0}})
        if (table.size() < 256 && std::find(table.begin(), table.end(), needed) == table.end())
            table.push_back(needed);
    out.ScreenWidth = width;
    out.ScreenHeight = height;
    out.GlobalMap = std::move(table);
    out.Frames.push_back(std::move(frame));
    return true;
}

bool LoadSiteImage(const std::string& path, TGifImage& out, std::string& error)
{
    if (EndsWith(LowerCase(path), ".png"))
        return LoadPngSiteImage(path, out, error);
    return LoadGifFile(path, out, error);
}

} // namespace sf

// Palette PNG encoding through libpng (the demo feed's and the tests' site images).
#include "imaging/PngSite.h"
#include <png.h>
#include <csetjmp>
#include <vector>

namespace sf {

namespace {

void OnWriteError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnWriteWarning(png_structp, png_const_charp) {}

void Append(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

// The calls that may jump back live here; the caller owns everything with a destructor.
bool WritePalette(png_structp png, png_infop info, const TBitmap8& bmp, const std::vector<png_color>& colours,
    const std::vector<png_byte>& alpha)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, png_uint_32(bmp.Width()), png_uint_32(bmp.Height()), 8, PNG_COLOR_TYPE_PALETTE,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, colours.data(), int(colours.size()));
    if (!alpha.empty())
        png_set_tRNS(png, info, alpha.data(), int(alpha.size()), nullptr);
    png_write_info(png, info);
    for (int y = 0; y < bmp.Height(); ++y)
        png_write_row(png, const_cast<png_bytep>(bmp.Row(y)));
    png_write_end(png, nullptr);
    return true;
}

} // namespace

std::string EncodePalettePng(const TBitmap8& bmp, int paletteCount, int transparent)
{
    if (paletteCount < 1 || paletteCount > 256 || bmp.Width() < 1 || bmp.Height() < 1)
        return {};
    std::vector<png_color> colours(static_cast<size_t>(paletteCount));
    for (int i = 0; i < paletteCount; ++i)
        colours[size_t(i)] = png_color{bmp.Palette[size_t(i)].R, bmp.Palette[size_t(i)].G, bmp.Palette[size_t(i)].B};
    std::vector<png_byte> alpha;
    if (transparent >= 0 && transparent < paletteCount) {
        alpha.assign(size_t(transparent) + 1, 255);
        alpha[size_t(transparent)] = 0;
    }
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnWriteError, OnWriteWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    if (info) {
        png_set_write_fn(png, &out, Append, FlushNothing);
        ok = WritePalette(png, info, bmp, colours, alpha);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return ok ? out : std::string();
}

} // namespace sf

// Our own row decoding of 8-bit PNG files against the plain formulas of the format and
// against libpng decoding the same files: every colour type, every filter, tRNS, image
// data split over many chunks, and damage anywhere in it.
#include "ImagingTestEnv.h"
#include "imaging/PngReader.h"
#include "imaging/PngRows.h"
#include <png.h>
#include <gtest/gtest.h>
#include <csetjmp>
#include <cstdlib>
#include <random>
#include <vector>

using namespace sf;
using namespace sf::test;

namespace {

/// The filters as the format defines them, a byte at a time.
void PlainUnfilter(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t n, unsigned bpp)
{
    for (size_t i = 0; i < n; ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0, b = prior[i], c = i >= bpp ? prior[i - bpp] : 0;
        int p = 0;
        if (filter == 1)
            p = a;
        else if (filter == 2)
            p = b;
        else if (filter == 3)
            p = (a + b) / 2;
        else if (filter == 4) {
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            p = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        }
        row[i] = uint8_t(row[i] + p);
    }
}

/// Rows of mostly long runs (as a radar mosaic is), with noise and short runs between.
std::vector<uint8_t> RunsAndNoise(size_t bytes, unsigned bpp, std::mt19937& rng)
{
    std::vector<uint8_t> v(bytes);
    uint8_t pixel[4] = {};
    for (size_t i = 0; i < bytes; i += bpp) {
        if (rng() % 13 == 0)
            for (unsigned k = 0; k < bpp; ++k)
                pixel[k] = uint8_t(rng() % 3 == 0 ? 0 : rng());
        for (unsigned k = 0; k < bpp && i + k < bytes; ++k)
            v[i + k] = pixel[k];
    }
    return v;
}

struct TPngLayout {
    int Width = 37, Height = 23, ColorType = PNG_COLOR_TYPE_RGB_ALPHA, Filter = PNG_ALL_FILTERS;
    bool Transparency = false;
    size_t ChunkBytes = 8192; ///< libpng's compression buffer: the size of each IDAT chunk
};

bool WriteRows(png_structp png, png_infop info, const TPngLayout& layout, const std::vector<std::vector<uint8_t>>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, png_uint_32(layout.Width), png_uint_32(layout.Height), 8, layout.ColorType, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[200];
    png_byte alpha[120];
    for (int i = 0; i < 200; ++i)
        palette[i] = png_color{png_byte(i * 7), png_byte(255 - i), png_byte(i * 3)};
    for (int i = 0; i < 120; ++i)
        alpha[i] = png_byte(i * 2);
    png_color_16 key{};
    key.gray = rows[0][0];
    key.red = rows[0][0], key.green = rows[0][1 % rows[0].size()], key.blue = rows[0][2 % rows[0].size()];
    if (layout.ColorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, palette, 200); // indexes past 200 are out of the palette
    if (layout.Transparency)
        png_set_tRNS(png, info, alpha, layout.ColorType == PNG_COLOR_TYPE_PALETTE ? 120 : 0, &key);
    png_set_filter(png, 0, layout.Filter);
    png_set_compression_buffer_size(png, layout.ChunkBytes);
    png_write_info(png, info);
    for (const auto& row : rows)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    return true;
}

void Append(png_structp png, png_bytep data, png_size_t n)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), n);
}

void Quiet(png_structp, png_const_charp) {}

std::string WritePng(const TPngLayout& layout, uint32_t seed)
{
    std::mt19937 rng(seed);
    const unsigned bpp = PngBytesPerPixel(layout.ColorType);
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < layout.Height; ++y)
        rows.push_back(y % 4 == 1 && y > 0 ? rows.back() : RunsAndNoise(size_t(layout.Width) * bpp, bpp, rng));
    if (layout.ColorType == PNG_COLOR_TYPE_PALETTE) // libpng will not write an index past the palette
        for (auto& row : rows)
            for (uint8_t& index : row)
                index = uint8_t(index % 200);
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, Quiet);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, Append, nullptr);
    const bool ok = WriteRows(png, info, layout, rows);
    png_destroy_write_struct(&png, &info);
    return ok ? out : std::string();
}

struct TDecoded {
    bool Opened = false, Complete = false;
    std::vector<std::vector<uint8_t>> Rows; ///< the rows delivered before any failure
};

TDecoded Decode(const std::string& path, TPngRows who)
{
    TDecoded d;
    TPngReader png;
    std::string error;
    d.Opened = png.Open(path, error, who);
    if (!d.Opened)
        return d;
    std::vector<uint8_t> row(size_t(png.Width()) * 4);
    for (int y = 0; y < png.Height(); ++y) {
        if (!png.ReadRow(row.data(), error)) {
            EXPECT_FALSE(error.empty());
            return d;
        }
        d.Rows.push_back(row);
    }
    d.Complete = true;
    return d;
}

/// Offsets of the IDAT chunks of a PNG (the start of each length field).
std::vector<size_t> IdatChunks(const std::string& png)
{
    std::vector<size_t> at;
    for (size_t p = 8; p + 12 <= png.size();) {
        const uint32_t len = (uint32_t(uint8_t(png[p])) << 24) | (uint32_t(uint8_t(png[p + 1])) << 16)
            | (uint32_t(uint8_t(png[p + 2])) << 8) | uint32_t(uint8_t(png[p + 3]));
        if (png.compare(p + 4, 4, "IDAT") == 0)
            at.push_back(p);
        p += 12 + size_t(len);
    }
    return at;
}

} // namespace

TEST(PngRows, EveryFilterUndoesAsTheFormatDefinesIt)
{
    std::mt19937 rng(7);
    for (unsigned bpp = 1; bpp <= 4; ++bpp)
        for (size_t pixels : {1u, 2u, 5u, 8u, 33u, 301u})
            for (uint8_t filter = 0; filter <= 4; ++filter) {
                const size_t n = pixels * bpp;
                const std::vector<uint8_t> prior = RunsAndNoise(n, bpp, rng);
                // Runs of zeros under a repeating row above take the quick copy; noise does not.
                std::vector<uint8_t> raw = rng() % 2 ? RunsAndNoise(n, bpp, rng) : std::vector<uint8_t>(n, 0);
                std::vector<uint8_t> expected = raw, got = raw;
                PlainUnfilter(filter, expected.data(), prior.data(), n, bpp);
                ASSERT_TRUE(UnfilterPngRow(filter, got.data(), prior.data(), n, bpp));
                EXPECT_EQ(got, expected) << "filter " << int(filter) << ", " << bpp << " bytes a pixel, " << pixels << " pixels";
            }
    uint8_t row[4] = {};
    EXPECT_FALSE(UnfilterPngRow(5, row, row, 4, 4));
}

TEST(PngRows, EveryColourTypeAndFilterDecodesAsLibpngDoes)
{
    TTempDir dir;
    const int types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY_ALPHA,
        PNG_COLOR_TYPE_RGB_ALPHA};
    const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH, PNG_ALL_FILTERS};
    uint32_t seed = 1;
    for (int type : types)
        for (int filter : filters)
            for (bool transparency : {false, true}) {
                TPngLayout layout;
                layout.ColorType = type;
                layout.Filter = filter;
                layout.Transparency = transparency;
                layout.Width = 29 + int(seed % 11);
                layout.ChunkBytes = seed % 3 == 0 ? 64 : 8192; // many IDAT chunks, or one
                const std::string bytes = WritePng(layout, seed++);
                ASSERT_FALSE(bytes.empty()) << "type " << type << " filter " << filter << " tRNS " << transparency;
                const std::string path = dir.Write("t.png", bytes);
                const TDecoded own = Decode(path, TPngRows::Fastest), lib = Decode(path, TPngRows::Libpng);
                ASSERT_TRUE(own.Complete && lib.Complete) << "type " << type << " filter " << filter;
                EXPECT_EQ(own.Rows, lib.Rows) << "type " << type << " filter " << filter << " tRNS " << transparency;
            }
}

TEST(PngRows, DamagedImageDataFailsWhereLibpngFails)
{
    TTempDir dir;
    TPngLayout layout;
    layout.Width = 64, layout.Height = 40, layout.ChunkBytes = 100;
    const std::string good = WritePng(layout, 99);
    ASSERT_FALSE(good.empty());
    const std::vector<size_t> chunks = IdatChunks(good);
    ASSERT_GT(chunks.size(), 3u);
    const size_t last = chunks.back();
    const uint32_t lastLen = (uint32_t(uint8_t(good[last + 2])) << 8) | uint32_t(uint8_t(good[last + 3]));
    std::vector<std::pair<std::string, std::string>> cases;
    std::string s = good;
    s[chunks[1] + 8 + 5] ^= 0x10; // a byte inside the second chunk: its CRC no longer holds
    cases.emplace_back("middle chunk's data", s);
    s = good;
    s[last + 8 + lastLen - 1] ^= 0x01; // the last byte of the stream: the last chunk's CRC
    cases.emplace_back("last chunk's data", s);
    cases.emplace_back("cut inside the data", good.substr(0, chunks[2] + 40));
    cases.emplace_back("cut after a chunk", good.substr(0, chunks[2]));
    s = good;
    s.replace(chunks[2] + 4, 4, "IDAX"); // the image data ends early
    cases.emplace_back("data ended by another chunk", s);
    for (const auto& [what, bytes] : cases) {
        const std::string path = dir.Write("d.png", bytes);
        const TDecoded own = Decode(path, TPngRows::Fastest), lib = Decode(path, TPngRows::Libpng);
        EXPECT_FALSE(own.Complete) << what;
        EXPECT_EQ(own.Complete, lib.Complete) << what;
        const size_t shared = std::min(own.Rows.size(), lib.Rows.size());
        for (size_t y = 0; y < shared; ++y)
            EXPECT_EQ(own.Rows[y], lib.Rows[y]) << what << ", row " << y;
    }
}

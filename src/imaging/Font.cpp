#include "imaging/Font.h"
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <array>
#include <stdexcept>
#include <vector>

namespace sf {

namespace {

struct TFcPatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using TFcPattern = std::unique_ptr<FcPattern, TFcPatternDeleter>;

struct TFtLibraryDeleter {
    void operator()(FT_Library lib) const { FT_Done_FreeType(lib); }
};
struct TFtFaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};

/// Code points of UTF-8 text; a byte that does not start a valid sequence stands for itself.
std::vector<uint32_t> CodePoints(const std::string& text)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = (unsigned char)text[i];
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
        if (c < 0x80 || extra == 0) {
            out.push_back(c);
            ++i;
            continue;
        }
        bool ok = i + size_t(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const unsigned char n = (unsigned char)text[i + k];
            if ((n & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (n & 0x3F);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
        } else {
            out.push_back(cp);
            i += size_t(extra) + 1;
        }
    }
    return out;
}

} // namespace

std::string ResolveFontFile(const std::string& family)
{
    if (!FcInit())
        return {};
    TFcPattern pattern(FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str())));
    if (!pattern)
        return {};
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    TFcPattern match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match)
        return {};
    FcChar8* file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file)
        return {};
    return reinterpret_cast<const char*>(file);
}

struct TFont::TImpl {
    std::unique_ptr<FT_LibraryRec_, TFtLibraryDeleter> Library;
    std::unique_ptr<FT_FaceRec_, TFtFaceDeleter> Face;
    int Ascent = 0, Height = 0;

    struct TGlyph {
        bool Loaded = false;
        int Advance = 0, Left = 0, Top = 0, Width = 0, Rows = 0, Pitch = 0;
        std::vector<uint8_t> Bits; ///< 1 bit per pixel, most significant first
    };
    std::array<TGlyph, 256> Cache; ///< Latin-1 range
    TGlyph Scratch;

    const TGlyph& Glyph(uint32_t cp)
    {
        TGlyph& g = cp < 256 ? Cache[cp] : Scratch;
        if (g.Loaded && cp < 256)
            return g;
        g = TGlyph{};
        g.Loaded = true;
        FT_Face face = Face.get();
        if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0)
            return g;
        const FT_GlyphSlot slot = face->glyph;
        g.Advance = int((slot->advance.x + 32) >> 6);
        g.Left = slot->bitmap_left;
        g.Top = slot->bitmap_top;
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.pixel_mode != FT_PIXEL_MODE_MONO)
            return g;
        g.Width = int(bm.width);
        g.Rows = int(bm.rows);
        const int pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
        g.Pitch = pitch;
        g.Bits.resize(size_t(pitch) * size_t(g.Rows));
        for (int r = 0; r < g.Rows; ++r) {
            const unsigned char* src = bm.pitch < 0 ? bm.buffer + size_t(g.Rows - 1 - r) * pitch
                                                    : bm.buffer + size_t(r) * pitch;
            std::copy(src, src + pitch, g.Bits.begin() + size_t(r) * pitch);
        }
        return g;
    }
};

TFont::TFont(const std::string& family, int points) : m_impl(std::make_unique<TImpl>())
{
    const std::string file = ResolveFontFile(family);
    if (file.empty()) {
        m_error = "font " + family + " not found";
        return;
    }
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) {
        m_error = "FreeType cannot start";
        return;
    }
    m_impl->Library.reset(lib);
    FT_Face face = nullptr;
    if (FT_New_Face(lib, file.c_str(), 0, &face) != 0) {
        m_error = "font file " + file + " cannot be opened";
        return;
    }
    m_impl->Face.reset(face);
    if (FT_Set_Char_Size(face, 0, FT_F26Dot6(points) * 64, 96, 96) != 0) {
        m_error = "font size " + std::to_string(points) + " not available";
        m_impl->Face.reset();
        return;
    }
    const FT_Size_Metrics& m = face->size->metrics;
    m_impl->Ascent = int((m.ascender + 63) >> 6);
    const int descent = int((-m.descender + 63) >> 6);
    m_impl->Height = m_impl->Ascent + descent;
}

TFont::~TFont() = default;

bool TFont::Ok() const { return m_impl->Face != nullptr; }

int TFont::TextWidth(const std::string& text)
{
    if (!Ok())
        return 0;
    int w = 0;
    for (uint32_t cp : CodePoints(text))
        w += m_impl->Glyph(cp).Advance;
    return w;
}

int TFont::TextHeight(const std::string&)
{
    return Ok() ? m_impl->Height : 0;
}

void TFont::TextOut(TBitmap8& bmp, int x, int y, const std::string& text, uint8_t fg, uint8_t bg)
{
    if (!Ok())
        throw std::runtime_error(m_error.empty() ? "font not available" : m_error);
    const int width = TextWidth(text);
    bmp.FillRect(TRect{x, y, x + width, y + m_impl->Height}, bg);
    int penX = x;
    const int baseline = y + m_impl->Ascent;
    for (uint32_t cp : CodePoints(text)) {
        const TImpl::TGlyph& g = m_impl->Glyph(cp);
        for (int r = 0; r < g.Rows; ++r) {
            const int py = baseline - g.Top + r;
            if (py < 0 || py >= bmp.Height())
                continue;
            uint8_t* row = bmp.Row(py);
            const uint8_t* bits = g.Bits.data() + size_t(r) * size_t(g.Pitch);
            for (int c = 0; c < g.Width; ++c) {
                const int px = penX + g.Left + c;
                if (px >= 0 && px < bmp.Width() && (bits[c >> 3] & (0x80 >> (c & 7))))
                    row[px] = fg;
            }
        }
        penX += g.Advance;
    }
}

} // namespace sf

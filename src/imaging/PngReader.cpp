#include "imaging/PngReader.h"
#include "imaging/Bitmap8.h"
#include "core/Files.h"
#include <cerrno>
#include <png.h>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace sf {

namespace {

struct TPngError {
    char Message[200] = {};
};

void OnPngError(png_structp png, png_const_charp msg)
{
    auto* e = static_cast<TPngError*>(png_get_error_ptr(png));
    if (e)
        std::snprintf(e->Message, sizeof e->Message, "%s", msg ? msg : "PNG error");
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The libpng calls that may jump back live in these plain functions, which own
// nothing that needs a destructor.
bool ReadHeader(png_structp png, png_infop info, png_uint_32& w, png_uint_32& h)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    w = png_get_image_width(png, info);
    h = png_get_image_height(png, info);
    return true;
}

bool SetTransforms(png_structp png, png_infop info, int& passes)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const int type = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (type == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (depth == 16)
        png_set_strip_16(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (!(type & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    // Interlaced pictures are read pass by pass as the file stores them (each pass as
    // its own reduced rows), so no decoder buffer of the whole picture is needed.
    passes = png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7 ? 7 : 1;
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == png_get_image_width(png, info) * 4;
}

bool ReadOneRow(png_structp png, png_bytep row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_row(png, row, nullptr);
    return true;
}


} // namespace

struct TPngReader::TImpl {
    std::unique_ptr<std::FILE, TFileCloser> File;
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    TPngError Error;
    int Width = 0, Height = 0, Passes = 1, NextRow = 0;
    int Pass = 0, PassRow = 0;  ///< interlaced files: the pass and its row read next
    std::vector<uint8_t> Whole; ///< interlaced files read by ReadRow: the picture after all passes

    ~TImpl()
    {
        if (Png)
            png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
    }
};

TPngReader::TPngReader() = default;
TPngReader::~TPngReader() = default;

bool TPngReader::Open(const std::string& path, std::string& error)
{
    Close();
    auto impl = std::make_unique<TImpl>();
    impl->File.reset(std::fopen(ResolvePath(path).c_str(), "rb"));
    if (!impl->File) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    unsigned char sig[8] = {};
    if (std::fread(sig, 1, 8, impl->File.get()) != 8 || png_sig_cmp(sig, 0, 8) != 0) {
        error = "not a PNG file";
        return false;
    }
    // The size is checked from the header chunk before the decoder sees anything else.
    unsigned char ihdr[16] = {};
    if (std::fread(ihdr, 1, 16, impl->File.get()) != 16 || std::memcmp(ihdr + 4, "IHDR", 4) != 0) {
        error = "PNG header missing";
        return false;
    }
    const auto be32 = [](const unsigned char* b) {
        return (uint64_t(b[0]) << 24) | (uint64_t(b[1]) << 16) | (uint64_t(b[2]) << 8) | uint64_t(b[3]);
    };
    if (!ImageSizeAllowed(int64_t(be32(ihdr + 8)), int64_t(be32(ihdr + 12)))) {
        error = "PNG size " + std::to_string(be32(ihdr + 8)) + " x " + std::to_string(be32(ihdr + 12)) + " out of range";
        return false;
    }
    if (std::fseek(impl->File.get(), 8, SEEK_SET) != 0) {
        error = "PNG file cannot be read";
        return false;
    }
    impl->Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &impl->Error, OnPngError, OnPngWarning);
    if (!impl->Png || !(impl->Info = png_create_info_struct(impl->Png))) {
        error = "PNG decoder cannot start";
        return false;
    }
    // The decoder's own limits match ours, so a forged header is refused before any allocation.
    png_set_user_limits(impl->Png, png_uint_32(kMaxImageSide), png_uint_32(kMaxImageSide));
    png_init_io(impl->Png, impl->File.get());
    png_set_sig_bytes(impl->Png, 8);
    // Every chunk, the compressed data included, is already checked against its CRC-32;
    // the stream's own Adler-32 over the inflated rows (72 MB for a mosaic) adds no check
    // worth a fifth of the decoding time.
    png_set_option(impl->Png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_uint_32 w = 0, h = 0;
    if (!ReadHeader(impl->Png, impl->Info, w, h)) {
        error = std::string("PNG header: ") + impl->Error.Message;
        return false;
    }
    if (!ImageSizeAllowed(int64_t(w), int64_t(h)) || w == 0 || h == 0) {
        error = "PNG size " + std::to_string(w) + " x " + std::to_string(h) + " out of range";
        return false;
    }
    if (!SetTransforms(impl->Png, impl->Info, impl->Passes)) {
        error = std::string("PNG format: ") + (impl->Error.Message[0] ? impl->Error.Message : "unsupported layout");
        return false;
    }
    impl->Width = int(w);
    impl->Height = int(h);
    m_impl = std::move(impl);
    return true;
}

int TPngReader::Width() const { return m_impl ? m_impl->Width : 0; }
int TPngReader::Height() const { return m_impl ? m_impl->Height : 0; }
bool TPngReader::IsOpen() const { return m_impl != nullptr; }
void TPngReader::Close() { m_impl.reset(); }

bool TPngReader::Interlaced() const { return m_impl && m_impl->Passes > 1; }

int64_t TPngReader::StoredRows() const
{
    if (!m_impl)
        return 0;
    if (m_impl->Passes == 1)
        return m_impl->Height;
    int64_t rows = 0;
    for (int pass = 0; pass < 7; ++pass)
        if (PNG_PASS_COLS(png_uint_32(m_impl->Width), pass) > 0)
            rows += PNG_PASS_ROWS(png_uint_32(m_impl->Height), pass);
    return rows;
}

bool TPngReader::ReadSpan(uint8_t* rgba, TPngRowSpan& span, std::string& error)
{
    if (!m_impl) {
        error = "no more PNG rows";
        return false;
    }
    TImpl& d = *m_impl;
    if (d.Passes == 1) {
        if (d.NextRow >= d.Height) {
            error = "no more PNG rows";
            return false;
        }
        span = TPngRowSpan{d.NextRow, 0, 1, d.Width};
    } else {
        // Passes without columns or rows are not stored in the file.
        const png_uint_32 w = png_uint_32(d.Width), h = png_uint_32(d.Height);
        while (d.Pass < 7 && (PNG_PASS_COLS(w, d.Pass) == 0 || png_uint_32(d.PassRow) >= PNG_PASS_ROWS(h, d.Pass))) {
            ++d.Pass;
            d.PassRow = 0;
        }
        if (d.Pass >= 7) {
            error = "no more PNG rows";
            return false;
        }
        span.Y = int(PNG_PASS_START_ROW(d.Pass) + png_uint_32(d.PassRow) * PNG_PASS_ROW_OFFSET(d.Pass));
        span.First = int(PNG_PASS_START_COL(d.Pass));
        span.Step = int(PNG_PASS_COL_OFFSET(d.Pass));
        span.Count = int(PNG_PASS_COLS(w, d.Pass));
    }
    if (!ReadOneRow(d.Png, rgba)) {
        error = std::string("PNG data: ") + d.Error.Message;
        return false;
    }
    if (d.Passes == 1)
        ++d.NextRow;
    else
        ++d.PassRow;
    return true;
}

bool TPngReader::ReadRow(uint8_t* rgba, std::string& error)
{
    if (!m_impl || m_impl->NextRow >= m_impl->Height) {
        error = "no more PNG rows";
        return false;
    }
    TImpl& d = *m_impl;
    const size_t stride = size_t(d.Width) * 4;
    if (d.Passes > 1) {
        // Whole rows of an interlaced picture exist only after the last pass; callers that
        // can place reduced rows themselves use ReadSpan instead.
        if (d.Whole.empty()) {
            d.Whole.resize(stride * size_t(d.Height));
            std::vector<uint8_t> row(stride);
            TPngRowSpan span;
            for (int64_t k = StoredRows(); k > 0; --k) {
                if (!ReadSpan(row.data(), span, error)) {
                    d.Whole.clear();
                    return false;
                }
                uint8_t* out = d.Whole.data() + stride * size_t(span.Y);
                for (int i = 0; i < span.Count; ++i)
                    std::memcpy(out + size_t(span.First + i * span.Step) * 4, row.data() + size_t(i) * 4, 4);
            }
        }
        std::copy_n(d.Whole.data() + stride * size_t(d.NextRow), stride, rgba);
    } else if (!ReadOneRow(d.Png, rgba)) {
        error = std::string("PNG data: ") + d.Error.Message;
        return false;
    }
    ++d.NextRow;
    return true;
}

namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

bool WriteRows(png_structp png, png_infop info, int width, int height, int level,
    const std::function<void(int, uint8_t*)>& row, std::vector<uint8_t>& buffer, bool interlaced)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
        interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, level);
    png_write_info(png, info);
    // Each pass takes its pixels from whole rows handed in again for every pass.
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y) {
            row(y, buffer.data());
            png_write_row(png, buffer.data());
        }
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

std::string EncodePngRgba(int width, int height, const std::function<void(int, uint8_t*)>& row, int level, bool interlaced)
{
    std::string out;
    TPngError err;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &err, OnPngError, OnPngWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> buffer(size_t(width) * 4);
    bool ok = false;
    if (info) {
        png_set_write_fn(png, &out, AppendToString, FlushNothing);
        ok = WriteRows(png, info, width, height, level, row, buffer, interlaced);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return ok ? out : std::string();
}

} // namespace sf

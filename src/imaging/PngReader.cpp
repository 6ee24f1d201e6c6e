#include "imaging/PngReader.h"
#include "imaging/Bitmap8.h"
#include "imaging/PngRows.h"
#include "core/Files.h"
#include <cerrno>
#include <png.h>
#include <zlib.h>
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

uint32_t Be32(const uint8_t* b)
{
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

/// The CRC-32 of a chunk as far as its type, from the 8-byte chunk header.
uint32_t ChunkTypeCrc(const uint8_t* header)
{
    return uint32_t(crc32(crc32(0, nullptr, 0), header + 4, 4));
}

/// Our own reading of the image data, after libpng has read and checked every chunk
/// before it: the IDAT chunks (each against its CRC-32), the zlib stream, the filters.
/// It does what libpng does, and fails where libpng fails; libpng's own filters work a
/// byte at a time, which made them most of a mosaic's decoding time.
struct TOwnRows {
    std::FILE* File = nullptr;
    z_stream Z{};
    bool ZReady = false, Ended = false;
    TPngExpand Expand;
    unsigned Bpp = 4;
    size_t RowBytes = 0;
    uint32_t ChunkLeft = 0, Crc = 0, ChunkLimit = 0;
    std::vector<uint8_t> Row, Prior, In;

    ~TOwnRows()
    {
        if (ZReady)
            inflateEnd(&Z);
    }

    /// Reads the next piece of image data into In, crossing into the next IDAT chunk
    /// (after checking the CRC of the one ended) where needed.
    bool Fill(std::string& error)
    {
        while (ChunkLeft == 0) {
            uint8_t crc[4], head[8];
            if (std::fread(crc, 1, 4, File) != 4 || std::fread(head, 1, 8, File) != 8)
                return Fail(error, "Read Error");
            if (Be32(crc) != Crc)
                return Fail(error, "IDAT: CRC error");
            if (std::memcmp(head + 4, "IDAT", 4) != 0)
                return Fail(error, "Not enough image data");
            ChunkLeft = Be32(head);
            if (ChunkLeft > ChunkLimit)
                return Fail(error, "IDAT: chunk data is too large");
            Crc = ChunkTypeCrc(head);
        }
        const uInt piece = uInt(std::min<size_t>(ChunkLeft, In.size()));
        if (!ReadPiece(piece, error))
            return false;
        Z.next_in = In.data();
        Z.avail_in = piece;
        return true;
    }

    /// Reads the next piece bytes of the current chunk into In, adding them to its CRC.
    bool ReadPiece(uInt piece, std::string& error)
    {
        if (std::fread(In.data(), 1, piece, File) != piece)
            return Fail(error, "Read Error");
        Crc = uint32_t(crc32(Crc, In.data(), piece));
        ChunkLeft -= piece;
        return true;
    }

    /// Inflates the next row (its filter byte first) into Row.
    bool Inflate(std::string& error)
    {
        Z.next_out = Row.data();
        Z.avail_out = uInt(RowBytes + 1);
        while (Z.avail_out > 0) {
            if (Ended)
                return Fail(error, "Not enough image data");
            if (Z.avail_in == 0 && !Fill(error))
                return false;
            const int ret = inflate(&Z, Z_NO_FLUSH);
            if (ret == Z_STREAM_END)
                Ended = true;
            else if (ret != Z_OK)
                return Fail(error, std::string("IDAT: ") + (Z.msg ? Z.msg : "decompression error"));
        }
        return true;
    }

    /// After the last row, as libpng: the rest of the stream read to its end (extra data
    /// and its errors are only warnings there), then the CRC of the chunk it ends in.
    bool Finish(std::string& error)
    {
        uint8_t scratch[4096];
        for (bool produced = false; !Ended;) {
            if (Z.avail_in == 0 && !Fill(error))
                return false;
            Z.next_out = scratch;
            Z.avail_out = sizeof scratch;
            const int ret = inflate(&Z, Z_NO_FLUSH);
            produced = produced || Z.avail_out < sizeof scratch;
            if (ret != Z_OK || !produced)
                break;
        }
        Ended = true;
        while (ChunkLeft > 0)
            if (!ReadPiece(uInt(std::min<size_t>(ChunkLeft, In.size())), error))
                return false;
        uint8_t crc[4];
        if (std::fread(crc, 1, 4, File) != 4)
            return Fail(error, "Read Error");
        return Be32(crc) == Crc || Fail(error, "IDAT: CRC error");
    }

    static bool Fail(std::string& error, const std::string& why)
    {
        error = "PNG data: " + why;
        return false;
    }
};

/// Reads for libpng from the file, keeping the last chunk header it asked for: after the
/// header chunks that is the first IDAT's, where our own reading takes over.
struct TSource {
    std::FILE* File = nullptr;
    uint8_t LastHeader[8] = {};
};

void ReadFromSource(png_structp png, png_bytep data, png_size_t length)
{
    auto* source = static_cast<TSource*>(png_get_io_ptr(png));
    if (std::fread(data, 1, length, source->File) != length)
        png_error(png, "Read Error");
    if (length == 8)
        std::memcpy(source->LastHeader, data, 8);
}

/// Our own reading for 8-bit pictures stored without interlacing, set up from what
/// libpng read of the header chunks; null leaves the rows to libpng.
std::unique_ptr<TOwnRows> StartOwnRows(png_structp png, png_infop info, const TSource& source)
{
    const int type = png_get_color_type(png, info);
    const unsigned bpp = PngBytesPerPixel(type);
    if (bpp == 0 || png_get_bit_depth(png, info) != 8 || png_get_interlace_type(png, info) != PNG_INTERLACE_NONE
        || std::memcmp(source.LastHeader + 4, "IDAT", 4) != 0)
        return nullptr;
    auto own = std::make_unique<TOwnRows>();
    own->File = source.File;
    own->Bpp = bpp;
    own->RowBytes = size_t(png_get_image_width(png, info)) * bpp;
    TPngExpand& x = own->Expand;
    x.ColorType = type;
    png_bytep transAlpha = nullptr;
    int numTrans = 0;
    png_color_16p transColor = nullptr;
    const bool trns = png_get_tRNS(png, info, &transAlpha, &numTrans, &transColor) != 0;
    if (type == PNG_COLOR_TYPE_PALETTE) {
        // libpng keeps 256 entries, those past the file's palette black; alpha past the
        // tRNS entries is opaque.
        for (auto& entry : x.Palette)
            entry[3] = 255;
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) && palette)
            for (int i = 0; i < count && i < 256; ++i)
                x.Palette[i][0] = palette[i].red, x.Palette[i][1] = palette[i].green, x.Palette[i][2] = palette[i].blue;
        if (trns && transAlpha)
            for (int i = 0; i < numTrans && i < 256; ++i)
                x.Palette[i][3] = transAlpha[i];
    } else if (trns && transColor && (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_RGB)) {
        // At 8 bits libpng compares the low byte of each 16-bit tRNS sample.
        x.HasKey = true;
        x.KeyGrey = uint8_t(transColor->gray & 0xFF);
        x.KeyR = uint8_t(transColor->red & 0xFF), x.KeyG = uint8_t(transColor->green & 0xFF);
        x.KeyB = uint8_t(transColor->blue & 0xFF);
    }
    // libpng's bound on one IDAT chunk: the rows with their filter bytes and zlib's worst
    // overhead, at least its limit for any chunk (8 MB), at most 2^31 - 1.
    const uint64_t rowFactor = own->RowBytes + 1, height = png_get_image_height(png, info);
    uint64_t limit = rowFactor * height;
    limit += 6 + 5 * (limit / std::min<uint64_t>(rowFactor, 32566) + 1);
    own->ChunkLimit = uint32_t(std::min<uint64_t>(std::max<uint64_t>(limit, 8000000), 0x7FFFFFFF));
    own->ChunkLeft = Be32(source.LastHeader);
    own->Crc = ChunkTypeCrc(source.LastHeader);
    own->In.resize(size_t(1) << 15);
    own->Row.resize(own->RowBytes + 1);
    own->Prior.assign(own->RowBytes + 1, 0);
    // Window size from the stream's header, and no Adler-32, as libpng is set up here.
    if (inflateInit2(&own->Z, 0) != Z_OK)
        return nullptr;
    own->ZReady = true;
    inflateValidate(&own->Z, 0);
    return own;
}

} // namespace

struct TPngReader::TImpl {
    std::unique_ptr<std::FILE, TFileCloser> File;
    TSource Source;
    std::unique_ptr<TOwnRows> Own; ///< null when libpng decodes the rows
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

bool TPngReader::Open(const std::string& path, std::string& error, TPngRows rows)
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
    if (!ImageSizeAllowed(int64_t(Be32(ihdr + 8)), int64_t(Be32(ihdr + 12)))) {
        error = "PNG size " + std::to_string(Be32(ihdr + 8)) + " x " + std::to_string(Be32(ihdr + 12)) + " out of range";
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
    impl->Source.File = impl->File.get();
    png_set_read_fn(impl->Png, &impl->Source, ReadFromSource);
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
    // Before the transforms are set: the header as the file has it.
    if (rows == TPngRows::Fastest)
        impl->Own = StartOwnRows(impl->Png, impl->Info, impl->Source);
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
    if (!NextRow(rgba, error))
        return false;
    if (d.Passes == 1)
        ++d.NextRow;
    else
        ++d.PassRow;
    return true;
}

bool TPngReader::NextRow(uint8_t* rgba, std::string& error)
{
    TImpl& d = *m_impl;
    if (!d.Own) {
        if (ReadOneRow(d.Png, rgba))
            return true;
        error = std::string("PNG data: ") + d.Error.Message;
        return false;
    }
    TOwnRows& own = *d.Own;
    if (!own.Inflate(error))
        return false;
    if (!UnfilterPngRow(own.Row[0], own.Row.data() + 1, own.Prior.data() + 1, own.RowBytes, own.Bpp))
        return TOwnRows::Fail(error, "bad adaptive filter value");
    ExpandPngRow(own.Expand, own.Row.data() + 1, rgba, size_t(d.Width));
    own.Row.swap(own.Prior);
    return d.NextRow + 1 < d.Height || own.Finish(error);
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
    } else if (!NextRow(rgba, error)) {
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

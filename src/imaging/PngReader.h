// Row-by-row PNG decoding to RGBA, so a large mosaic never needs to be held whole:
// libpng reads the header chunks, and the rows of the usual 8-bit pictures are ours.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sf {

/// Where the pixels of one stored PNG row belong in the picture.
struct TPngRowSpan {
    int Y = 0, First = 0, Step = 1, Count = 0;
};

/// Who decodes the rows: we do for 8-bit pictures stored without interlacing (libpng
/// still reads and checks every chunk before the image data), libpng for the rest; or
/// libpng alone, as tests compare the two.
enum class TPngRows { Fastest, Libpng };

class TPngReader {
public:
    TPngReader();
    ~TPngReader();
    TPngReader(const TPngReader&) = delete;
    TPngReader& operator=(const TPngReader&) = delete;

    /// Opens the file and reads its header; refuses sizes beyond the loaders' limits
    /// before any pixel memory is taken. False with error on failure.
    bool Open(const std::string& path, std::string& error, TPngRows rows = TPngRows::Fastest);
    int Width() const;
    int Height() const;
    /// Decodes the next row into rgba (Width() * 4 bytes). False with error on failure.
    /// An interlaced picture is held whole (4 bytes a pixel) for this; see ReadSpan.
    bool ReadRow(uint8_t* rgba, std::string& error);
    /// True when the file stores its rows in seven interlace passes.
    bool Interlaced() const;
    /// Rows ReadSpan delivers in all: Height(), or the reduced rows of every pass.
    int64_t StoredRows() const;
    /// Decodes the next stored row into rgba (up to Width() * 4 bytes) and says where its
    /// pixels belong: row span.Y, columns First, First + Step, ... (Count of them). Holds
    /// nothing beyond the decoder's own row. Use either ReadRow or ReadSpan on one file.
    bool ReadSpan(uint8_t* rgba, TPngRowSpan& span, std::string& error);
    /// Releases the decoder and the file.
    void Close();
    bool IsOpen() const;

private:
    bool NextRow(uint8_t* rgba, std::string& error);
    struct TImpl;
    std::unique_ptr<TImpl> m_impl;
};

/// Encodes RGBA rows (width * 4 bytes each, produced by row(y, buffer)) or palette rows as a PNG
/// (interlaced: the seven passes, each asking for every row again).
std::string EncodePngRgba(int width, int height, const std::function<void(int, uint8_t*)>& row, int level = 6,
    bool interlaced = false);

} // namespace sf

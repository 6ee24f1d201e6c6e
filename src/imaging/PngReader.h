// Row-by-row PNG decoding to RGBA through libpng, so a large mosaic never needs to
// be held whole.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sf {

class TPngReader {
public:
    TPngReader();
    ~TPngReader();
    TPngReader(const TPngReader&) = delete;
    TPngReader& operator=(const TPngReader&) = delete;

    /// Opens the file and reads its header; refuses sizes beyond the loaders' limits
    /// before any pixel memory is taken. False with error on failure.
    bool Open(const std::string& path, std::string& error);
    int Width() const;
    int Height() const;
    /// Decodes the next row into rgba (Width() * 4 bytes). False with error on failure.
    bool ReadRow(uint8_t* rgba, std::string& error);
    /// Releases the decoder and the file.
    void Close();
    bool IsOpen() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> m_impl;
};

/// Encodes RGBA rows (width * 4 bytes each, produced by row(y, buffer)) or palette rows as a PNG.
std::string EncodePngRgba(int width, int height, const std::function<void(int, uint8_t*)>& row, int level = 6);

} // namespace sf

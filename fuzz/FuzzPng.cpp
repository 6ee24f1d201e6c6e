// PNG reading on arbitrary bytes: an image that opens yields exactly its rows or a
// reasoned error, our own row decoding gives what libpng alone gives (the same rows, and
// a failure where it fails), and the rows encoded again read back unchanged.
#include "FuzzCheck.h"
#include "imaging/PngReader.h"
#include <algorithm>
#include <vector>

using sf::fuzz::Check;

namespace {

// Reads every row of the file; false at the first refused row.
bool ReadAll(const std::string& path, int& w, int& h, std::vector<uint8_t>& pixels,
    sf::TPngRows who = sf::TPngRows::Fastest, int* rowsRead = nullptr)
{
    sf::TPngReader png;
    std::string error;
    if (!png.Open(path, error, who)) {
        Check(!error.empty(), "a refused PNG says why");
        return false;
    }
    w = png.Width(), h = png.Height();
    Check(w > 0 && h > 0 && int64_t(w) * h <= 200000000, "an opened PNG has an allowed size");
    if (int64_t(w) * h > 4000000)
        return false; // keeps each input fast; the size check above already ran
    pixels.assign(size_t(w) * size_t(h) * 4, 0);
    for (int y = 0; y < h; ++y) {
        if (!png.ReadRow(pixels.data() + size_t(y) * size_t(w) * 4, error)) {
            Check(!error.empty(), "a refused row says why");
            return false;
        }
        if (rowsRead)
            *rowsRead = y + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = sf::fuzz::ScratchPath(".png");
    if (!sf::fuzz::WriteBytes(path, data, size))
        return 0;
    int w = 0, h = 0, rows = 0;
    std::vector<uint8_t> pixels;
    const bool read = ReadAll(path, w, h, pixels, sf::TPngRows::Fastest, &rows);
    int libW = 0, libH = 0, libRows = 0;
    std::vector<uint8_t> libPixels;
    const bool libRead = ReadAll(path, libW, libH, libPixels, sf::TPngRows::Libpng, &libRows);
    Check(read == libRead, "our rows and libpng's both decode or both fail");
    Check(w == libW && h == libH && pixels.size() == libPixels.size(), "both read the same header");
    const size_t shared = size_t(std::min(rows, libRows)) * size_t(w) * 4;
    Check(std::equal(pixels.begin(), pixels.begin() + std::ptrdiff_t(shared), libPixels.begin()),
          "our rows are libpng's rows");
    if (!read)
        return 0;
    const std::string encoded = sf::EncodePngRgba(w, h, [&](int y, uint8_t* row) {
        std::copy_n(pixels.data() + size_t(y) * size_t(w) * 4, size_t(w) * 4, row);
    }, 1);
    Check(sf::fuzz::WriteBytes(path, reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size()), "scratch file written");
    int w2 = 0, h2 = 0;
    std::vector<uint8_t> again;
    Check(ReadAll(path, w2, h2, again), "re-encoded rows read back");
    Check(w2 == w && h2 == h && again == pixels, "re-encoded rows are the same pixels");
    return 0;
}

// 8-bit palettised BMP files: BITMAPFILEHEADER, 40-byte BITMAPINFOHEADER, 256 palette
// entries, bottom-up rows padded to 4 bytes, every field written little-endian.
#pragma once
#include "imaging/Bitmap8.h"
#include <string>
#include <utility>

namespace sf {

/// The whole BMP file as bytes (for small pictures and tests).
std::string EncodeBmp8(const TBitmap8& bmp);
/// Streams the BMP into a temporary file beside path, then renames it into place
/// (a name differing only in case is replaced). False with error on any failure.
bool SaveBmp8(const std::string& path, const TBitmap8& bmp, std::string& error);
/// Writes bytes to path through a temporary file (a case-variant of path is replaced).
bool SaveBytes(const std::string& path, const std::string& bytes, std::string& error);

/// Streams the BMP into a hidden temporary file beside path and flushes it to disk;
/// returns that file's name, or empty with error set (nothing is left behind).
std::string StageBmp8(const std::string& path, const TBitmap8& bmp, std::string& error);
/// The same for bytes already encoded.
std::string StageBytes(const std::string& path, const std::string& bytes, std::string& error);
/// Moves a staged file onto path (or its case-variant); on failure removes it, sets error.
bool CommitStaged(const std::string& staged, const std::string& path, std::string& error);

/// Owns a staged file until it is committed: a conversion that stops early removes it.
class TStagedFile {
public:
    explicit TStagedFile(std::string staged) : m_path(std::move(staged)) {}
    TStagedFile(const TStagedFile&) = delete;
    TStagedFile& operator=(const TStagedFile&) = delete;
    ~TStagedFile();
    /// True while a staged file is held.
    explicit operator bool() const { return !m_path.empty(); }
    /// Moves the staged file onto path; false with error when that fails.
    bool Commit(const std::string& path, std::string& error);

private:
    std::string m_path;
};

} // namespace sf

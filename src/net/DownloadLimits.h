// Upper bounds for every download: the largest file each kind may bring and the longest
// one file may take. No real file comes near them; they stop a hostile or broken server
// from filling the disk or holding a cycle for as long as it likes.
#pragma once
#include <cstdint>
#include <string>

namespace sf {

constexpr int64_t kMaxListingBytes = 16 << 20;     ///< directory listing pages (".htm")
constexpr int64_t kMaxWorldFileBytes = 64 << 10;   ///< ".gfw" and ".wld" world files
constexpr int64_t kMaxLegendBytes = 1 << 20;       ///< product legends ("..._Legend_...") and map-layer capabilities (".xml")
constexpr int64_t kMaxSiteImageBytes = 16 << 20;   ///< site images and GIF mosaics (".gif")
constexpr int64_t kMaxMosaicBytes = 128 << 20;     ///< PNG mosaics
constexpr int64_t kMaxShapefileBytes = 256 << 20;  ///< warning shapefiles and anything else
/// One file may take at most this many times the inactivity time-out (WebTimeOut) in all.
constexpr int kOverallTimeOutFactor = 30;

/// The size limit for a download saved under localPath (its kind read from the name).
int64_t DownloadCap(const std::string& localPath);

} // namespace sf

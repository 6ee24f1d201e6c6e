// A deterministic stand-in for the RIDGE radar server's images: for a site, product and
// UTC time the same bytes every time, with echo blobs that drift as time passes.
// Used by the demonstration feed and by tests; every function returns file bytes.
#pragma once
#include "core/DateTime.h"
#include "imaging/Palette.h"
#include <string>
#include <vector>

namespace sf {

/// The N0R reflectivity colours for 5, 10, ... 70 dBZ and 75+ (15 entries).
const std::vector<TRgb>& N0RColours();

struct TSiteLocation {
    double Lat = 0, Lon = 0;
    bool Known = false; ///< false: the fallback position (centre of the contiguous US)
};
/// The radar site's position by its three-letter id (any case; a leading "K" is ignored).
TSiteLocation SyntheticSiteLocation(const std::string& site);

constexpr int kSiteWidth = 600, kSiteHeight = 550;
constexpr double kSiteDegreesPerPixel = 0.0117;
constexpr int kMosaicGifWidth = 3400, kMosaicGifHeight = 1600;
constexpr double kMosaicGifDegreesPerPixel = 0.018;

/// 600 x 550 site image: palette index 0 is the transparent "no echo", 1..15 the N0R colours.
std::string SyntheticSiteGif(const std::string& site, const std::string& product, TDateTime utc);
/// Six-line ".gfw" text (CR LF) centred on the site's position.
std::string SyntheticSiteWorldFile(const std::string& site);
/// 600 x 550 legend: white, with the colour bar along the right edge (x 560..594, y 210..539).
std::string SyntheticLegendGif(const std::string& site, const std::string& product);
/// National mosaic PNG (RGBA, no echo transparent, a black graticule every 500 px).
std::string SyntheticMosaicPng(TDateTime utc, int width = 6000, int height = 2600);
/// Its ".wld" text, spanning the contiguous US whatever the size.
std::string SyntheticMosaicWorldFile(int width = 6000, int height = 2600);
/// 3400 x 1600 GIF mosaic for the sources delivered as GIF ("!!ConUS", "!!USRad", regional).
std::string SyntheticMosaicGif(const std::string& name, TDateTime utc);
/// Its ".gfw" text (about 0.018 degrees per pixel).
std::string SyntheticMosaicGifWorldFile();
/// A map-service picture of width x height (each 1..kMaxImageSide) for a key naming the
/// layer and box: 8-bit palette PNG, index 0 the transparent "no echo", 1..15 the N0R colours.
/// Empty for a size outside the limits.
std::string SyntheticMapPng(const std::string& key, int width, int height, TDateTime utc);
/// A map-service legend graphic: 40 x 330 palette PNG, the 15 colours from weak (top) to strong.
std::string SyntheticLegendPng();

} // namespace sf

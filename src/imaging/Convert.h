// Turning a fetched radar image into the map underlay: captions, legend strip, loop
// series, the underlay and its bounds file in the map server's underlay directory,
// the raw files copied onward, the report and the redraw.
#pragma once
#include "core/RadarObj.h"
#include "core/Shared.h"
#include "core/layouts/Layout.h"
#include "imaging/Bitmap8.h"
#include "imaging/Font.h"
#include "imaging/Palette.h"
#include <cstdint>
#include <memory>
#include <string>

namespace sf {

/// The file names one conversion works with (folders end with "/").
struct TConvertNames {
    std::string Work;        ///< W: ProgramDir (Server) or the folder of P (Client)
    std::string Raw;         ///< W + RemoteName + ".gif" / ".png"
    std::string World;       ///< W + RemoteName + ".gfw" / ".wld"
    std::string Legend;      ///< W + LegendName (site images)
    std::string Underlay;    ///< U, file name only
    std::string Stem;        ///< caption stem
    std::string BoundsName;  ///< S, file name only ("<stem>.Sat")
};

/// Names of a site conversion of record r handed path p (native = "Save radar in native format").
TConvertNames SiteNames(const TShared& s, const TRadarObj& r, const std::string& p);
/// Names of a mosaic conversion (U is the file name of p unchanged).
TConvertNames MosaicNames(const TShared& s, const TRadarObj& r, const std::string& p);
/// True when the raw image and D + U are one file on the map program's file system
/// (Client mode, native output): that file is the current underlay and must not be
/// deleted as a raw file after the conversion.
bool RawIsUnderlay(const TShared& s, const TRadarObj& r, const std::string& p);
/// "Stormfetch 2.9.1 - Radar image <stem> from <Radar> mm/dd/yyyy hh:nn UTC", + " via <layout>"
/// when a later layout of the station served the image (ServedBy).
std::string CaptionText(const std::string& stem, const TRadarObj& r);
/// The layout whose raw files the record's conversion reads: the one serving the attempt
/// (ServedBy), else the station's.
const ISourceLayout& ServingLayout(const TShared& s, const TRadarObj& r);

/// Holds the fonts the conversions draw with (opened once) and runs them.
class TConverter {
public:
    explicit TConverter(TShared& s);
    /// Converts W + RemoteName + ".gif" into the underlay; true when produced and distributed.
    bool ConvertSiteImage(TRadarObj& r, const std::string& p);
    /// Converts W + RemoteName + ".png" into a BMP underlay, streaming the PNG row by row.
    bool ConvertMosaicImage(TRadarObj& r, const std::string& p);

private:
    TShared& m_s;
    TFont m_siteFont;   ///< "Arial" 8 points
    TFont m_mosaicFont; ///< "Arial" 10 points
    std::unique_ptr<THalftoneMapper> m_mapper; ///< built at the first mosaic
    /// The legend of the previous site conversion: products share one legend file that
    /// rarely changes, so it is decoded again only when its size or write time differ.
    struct TLegendCache {
        std::string Path;
        int64_t Size = -1, WriteTimeNs = 0;
        TBitmap8 Render;
    } m_legend;
    /// The rendering of the legend file at path, decoded or from m_legend; throws on failure.
    const TBitmap8& LegendRendering(const std::string& path);
};

} // namespace sf

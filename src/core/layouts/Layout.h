// A source layout as one unit: how a web service publishes radar and everything the
// program needs to know to read it. The cycle, the conversion, the settings, the check
// and the commands ask the record's layout instead of testing which one it is.
// "ridge", "iem" and "nwswms" live side by side in this folder; the demo feed's
// publishers for each are in src/app/demo/.
#pragma once
#include "core/SourceLayout.h"
#include <string>
#include <vector>

namespace sf {

class TRadarObj;
struct TNaming;

/// How the cycle learns that a record has a new image.
enum class TNewnessKind {
    None,          ///< no test: the files are fetched on every attempt
    SiteListing,   ///< the site's dated archive listing (RIDGE)
    MosaicListing, ///< the national mosaics' listing (RIDGE)
    ImageMeta,     ///< the small JSON file beside the image (iem)
    Capabilities,  ///< the layer's WMS capabilities, time dimension default (nwswms)
};

/// A record's addresses: empty Image when the layout does not offer its product.
struct TRecordUrls {
    std::string Image;
    std::string World; ///< empty when the service sends no world file
};

class ISourceLayout {
public:
    virtual ~ISourceLayout() = default;
    virtual TLayout Id() const = 0;
    /// The settings value: "ridge", "iem" or "nwswms".
    virtual const char* Name() const = 0;
    /// The key of the URL section holding the layout's base address.
    virtual const char* BaseKey() const = 0;
    /// The base address naming gives this layout (ends in "/").
    virtual std::string Base(const TNaming& naming) const = 0;
    /// The built-in product lines ("code, description") offered unless Products.txt names others.
    virtual const std::vector<std::string>& Products() const = 0;
    /// The record's addresses as naming gives them.
    virtual TRecordUrls Urls(const TRadarObj& r, const TNaming& naming) const = 0;
    /// True when the addresses alternate between the RIDGE mirrors (SelectRidge 1 and 2).
    virtual bool HasAlternates() const { return false; }
    /// Local names of the raw image and its world file.
    virtual std::string ImageFileName(const TRadarObj& r) const = 0;
    virtual std::string WorldFileName(const TRadarObj& r) const = 0;
    /// The legend file's local name for a site record's RemoteName.
    virtual std::string LegendFileName(const std::string& remoteName) const;
    /// True when the layout publishes the TDWR sites (offered in the source list).
    virtual bool OffersTdwr() const { return false; }
    /// True when a site's raw image is a PNG (GIF otherwise).
    virtual bool PngSite() const = 0;
    /// World-file convention: lines 5 and 6 give the outer corner of the top-left pixel
    /// (true) or its centre, as an ordinary world file does (false).
    virtual bool WorldCorner() const { return false; }
    /// True when the legend image is the colour scale alone, drawn whole at the right edge;
    /// false: a RIDGE legend, whose colour bar is cut from its right-hand 45 pixels.
    virtual bool LegendWhole() const { return false; }
    /// How the cycle tests newness for the record (its addresses as naming gives them).
    virtual TNewnessKind Newness(const TRadarObj& r, const TNaming& naming) const = 0;
    /// Newness interval in minutes after a new image: sites and mosaics.
    virtual double NewImageMinutes(bool mosaic) const { return mosaic ? 10 : 5; }
    /// Status of a record whose product the layout does not offer.
    virtual std::string NoProductStatus(const std::string& code, const std::string& siteId) const;
};

/// The product code of a stored product line: the text after its comma, trimmed; empty
/// for a line without a comma.
std::string ProductCodeOf(const std::string& productLine);
/// True for a mosaic record (its radar line starts with "!!").
bool IsMosaicRecord(const TRadarObj& r);

/// The layout behind an identity.
const ISourceLayout& LayoutOf(TLayout layout);
/// Every layout, in the order their names are listed in texts.
const std::vector<const ISourceLayout*>& AllLayouts();
/// "ridge, iem or nwswms": the names a setting or option accepts.
std::string LayoutNamesText();

} // namespace sf

// The NWS radar Web Map Service: one layer per site and product, drawn for any box at
// any size. Newness is the time dimension's default in the layer's capabilities; the
// image is asked for that time and the layer's box, and the world file is written here
// from the box asked for, since the service sends none.
#include "core/RadarObj.h"
#include "core/Text.h"
#include "core/layouts/Layout.h"
#include "core/layouts/WmsNames.h"

namespace sf {

namespace {

class TWmsLayout final : public ISourceLayout {
public:
    TLayout Id() const override { return TLayout::Wms; }
    const char* Name() const override { return "nwswms"; }
    const char* BaseKey() const override { return "WMS"; }
    std::string Base(const TNaming& naming) const override { return naming.WmsBase; }
    const std::vector<std::string>& Products() const override
    {
        static const std::vector<std::string> lines = {
            "N0B, Base Reflectivity (super-resolution)",
            "N0H, Hydrometeor Classification",
            "N0U, Base Velocity (super-resolution)",
            "N0Z, Long Range Reflectivity",
            "N1P, 1 Hour Precipitation",
            "NTP, Storm Total Precipitation",
            "TV0, TDWR Base Velocity",
            "TZL, TDWR Long Range Reflectivity",
        };
        return lines;
    }
    TRecordUrls Urls(const TRadarObj& r, const TNaming& naming) const override
    {
        return {WmsLayerAddress(naming.WmsBase, r.Radar, r.SiteID, ProductCodeOf(r.Product)), {}};
    }
    std::string ImageFileName(const TRadarObj& r) const override { return r.RemoteName + ".png"; }
    std::string WorldFileName(const TRadarObj& r) const override { return r.RemoteName + ".wld"; }
    std::string LegendFileName(const std::string& remoteName) const override
    {
        std::string name = ISourceLayout::LegendFileName(remoteName);
        return name.substr(0, name.size() - 4) + ".png";
    }
    bool PngSite() const override { return true; }
    bool OffersTdwr() const override { return true; }
    bool LegendWhole() const override { return true; }
    TNewnessKind Newness(const TRadarObj&, const TNaming&) const override { return TNewnessKind::Capabilities; }
    std::string NoProductStatus(const std::string& code, const std::string& siteId) const override
    {
        const std::string u = UpperCase(Trim(code));
        if (u == "NCR")
            return "Error product NCR not offered by the nwswms layout at a site; add the composite "
                   "\"!!ConUS\" with product NCR for composite reflectivity";
        return ISourceLayout::NoProductStatus(code, siteId);
    }
};

} // namespace

const ISourceLayout& WmsLayout()
{
    static const TWmsLayout layout;
    return layout;
}

} // namespace sf

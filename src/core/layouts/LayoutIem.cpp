// The Iowa Environmental Mesonet's georeferenced copy of the radar: per-site PNG with a
// ".wld" and a JSON file carrying the scan time, and a national composite of the same
// form. Its tables and addresses are in core/SourceLayout.
#include "core/RadarObj.h"
#include "core/layouts/Layout.h"

namespace sf {

namespace {

class TIemLayout final : public ISourceLayout {
public:
    TLayout Id() const override { return TLayout::Iem; }
    const char* Name() const override { return "iem"; }
    const char* BaseKey() const override { return "IEM"; }
    std::string Base(const TNaming& naming) const override { return naming.IemBase; }
    const std::vector<std::string>& Products() const override { return IemProducts(); }
    TRecordUrls Urls(const TRadarObj& r, const TNaming& naming) const override
    {
        const TIemUrls iem = IemUrls(naming.IemBase, IsMosaicRecord(r), r.SiteID, ProductCodeOf(r.Product));
        return {iem.Image, iem.World};
    }
    std::string ImageFileName(const TRadarObj& r) const override { return IemImageFileName(r.RemoteName); }
    std::string WorldFileName(const TRadarObj& r) const override { return IemWorldFileName(r.RemoteName); }
    bool PngSite() const override { return true; }
    bool OffersTdwr() const override { return true; }
    TNewnessKind Newness(const TRadarObj& r, const TNaming&) const override
    {
        // An address outside the layout has no JSON beside it: fetched without a test.
        return IemMetaURL(r.ImageURL).empty() && !r.ImageURL.empty() ? TNewnessKind::None : TNewnessKind::ImageMeta;
    }
    std::string NoProductStatus(const std::string& code, const std::string& siteId) const override
    {
        return IemNoProductStatus(code, siteId);
    }
    bool WorldCorner() const override { return LayoutWorldOrigin(TLayout::Iem) == TWorldOrigin::PixelCorner; }
};

} // namespace

const ISourceLayout& IemLayout()
{
    static const TIemLayout layout;
    return layout;
}

} // namespace sf

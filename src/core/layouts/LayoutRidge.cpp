// The NWS RIDGE layout: per-site GIF with a ".gfw" in a product folder, dated archive
// listings, legends, and national mosaics (GIF, or PNG with a ".wld") in a folder of their own.
#include "core/RadarObj.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include "core/layouts/Layout.h"

namespace sf {

namespace {

class TRidgeLayout final : public ISourceLayout {
public:
    TLayout Id() const override { return TLayout::Ridge; }
    const char* Name() const override { return "ridge"; }
    const char* BaseKey() const override { return "RIDGE"; }
    std::string Base(const TNaming& naming) const override { return naming.RidgeBase; }
    const std::vector<std::string>& Products() const override { return BuiltInProducts(); }
    TRecordUrls Urls(const TRadarObj& r, const TNaming& naming) const override
    {
        if (IsMosaicRecord(r))
            return {naming.RidgeNatBase + r.RemoteName + ".gif", naming.RidgeNatBase + r.RemoteName + ".gfw"};
        const std::string folder = naming.RidgeBase + ProductCodeOf(r.Product) + "/";
        return {folder + r.RemoteName + ".gif", folder + r.RemoteName + ".gfw"};
    }
    bool HasAlternates() const override { return true; }
    std::string ImageFileName(const TRadarObj& r) const override
    {
        return r.RemoteName + (r.IsPngMosaic() ? ".png" : ".gif");
    }
    std::string WorldFileName(const TRadarObj& r) const override
    {
        return r.RemoteName + (r.IsPngMosaic() ? ".wld" : ".gfw");
    }
    bool PngSite() const override { return false; }
    TNewnessKind Newness(const TRadarObj& r, const TNaming& naming) const override
    {
        // The folder decides: a record may carry an address outside both bases, which is
        // fetched without a newness test.
        const std::string& url = r.ImageURL;
        const size_t slash = url.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : url.substr(0, slash + 1);
        if (!naming.RidgeBase.empty() && StartsText(folder, naming.RidgeBase))
            return TNewnessKind::SiteListing;
        if (!naming.RidgeNatBase.empty() && StartsText(folder, naming.RidgeNatBase))
            return TNewnessKind::MosaicListing;
        return TNewnessKind::None;
    }
};

} // namespace

const ISourceLayout& RidgeLayout()
{
    static const TRidgeLayout layout;
    return layout;
}

} // namespace sf

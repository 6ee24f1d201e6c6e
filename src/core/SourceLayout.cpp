#include "core/SourceLayout.h"
#include "core/Text.h"

namespace sf {

namespace {

struct TProductMap {
    const char* From;
    const char* To; ///< empty: the service has no equivalent
};
// Codes of the older layout and their iem counterparts.
const TProductMap kProductMap[] = {
    {"N0R", "N0B"}, // short-range base reflectivity -> super-resolution base reflectivity
    {"N0V", "N0U"}, // base velocity -> digital base velocity
    {"N0Z", "N0Q"}, // long-range reflectivity -> digital base reflectivity (same 460 km range)
    {"N1P", ""},
    {"NTP", ""},
    {"NCR", ""},
};

} // namespace

const char* LayoutName(TLayout layout)
{
    return layout == TLayout::Iem ? "iem" : layout == TLayout::Wms ? "nwswms" : "ridge";
}

bool ParseLayout(const std::string& text, TLayout& out)
{
    const std::string t = LowerCase(Trim(text));
    if (t == "ridge") {
        out = TLayout::Ridge;
        return true;
    }
    if (t == "iem") {
        out = TLayout::Iem;
        return true;
    }
    if (t == "nwswms") {
        out = TLayout::Wms;
        return true;
    }
    return false;
}

std::string IemSiteProduct(const std::string& code)
{
    const std::string u = UpperCase(Trim(code));
    for (const TProductMap& m : kProductMap)
        if (u == m.From)
            return m.To;
    return u;
}

std::string IemCompositeProduct(const std::string& code)
{
    return UpperCase(Trim(code)) == "N0R" ? "n0r" : "n0q";
}

TIemUrls IemUrls(const std::string& base, bool mosaic, const std::string& siteId, const std::string& code)
{
    if (mosaic) {
        const std::string stem = base + kIemCompositePath + IemCompositeProduct(code) + "_0";
        return {stem + ".png", stem + ".wld"};
    }
    const std::string product = IemSiteProduct(code);
    if (product.empty())
        return {};
    const std::string stem = base + kIemSitePath + UpperCase(siteId) + "/" + product + "_0";
    return {stem + ".png", stem + ".wld"};
}

std::string IemMetaURL(const std::string& imageURL)
{
    if (!EndsWith(LowerCase(imageURL), ".png"))
        return {};
    return imageURL.substr(0, imageURL.size() - 4) + ".json";
}

std::string IemImageFileName(const std::string& remoteName)
{
    return remoteName + ".png";
}

std::string IemWorldFileName(const std::string& remoteName)
{
    return remoteName + ".wld";
}

std::string IemMetaFileName(const std::string& remoteName)
{
    return remoteName + ".json";
}

std::string IemNoProductStatus(const std::string& code)
{
    return "Error product " + Trim(code) + " not offered by the iem layout";
}

std::string LayoutStartNote(TLayout layout, const std::string& base)
{
    if (layout == TLayout::Ridge)
        return {};
    return std::string(" Source layout ") + LayoutName(layout) + " at " + base + ".";
}

const std::vector<std::string>& IemProducts()
{
    static const std::vector<std::string> lines = {
        "N0B, Base Reflectivity (super-resolution)",
        "N0Q, Base Reflectivity (digital)",
        "N0S, Storm Relative Motion",
        "N0U, Base Velocity (digital)",
        "NET, Echo Tops",
    };
    return lines;
}

} // namespace sf

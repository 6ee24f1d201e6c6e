#include "core/SourceLayout.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include <iterator>

namespace sf {

namespace {

// What the service publishes per site today. NEXRAD: N0B (super-resolution base
// reflectivity, 463 km) and N0S (storm-relative velocity, 240.76 km); TDWR: TZL
// (long-range reflectivity, 333.36 km) and TV0 (velocity, 92.6 km).
enum class TRule { Same, To, NoEquivalent, Stopped, Never };
struct TProductRule {
    const char* From;
    TRule Rule;
    const char* To; ///< the product fetched for TRule::To
};
const TProductRule kNexradRules[] = {
    {"N0B", TRule::Same, ""},
    {"N0S", TRule::Same, ""},
    {"N0R", TRule::To, "N0B"}, // short-range base reflectivity -> super-resolution base reflectivity
    {"N0Z", TRule::To, "N0B"}, // long-range reflectivity: N0B has the same 460 km range
    {"N0V", TRule::NoEquivalent, "N0S"}, // base velocity: N0S is storm-relative, not the same field
    // Their last files stay on the server with a time years old (N0R ended in May 2021,
    // N0Q in April 2022; N0U, N0Z and NET were dropped in June 2022).
    {"N0Q", TRule::Stopped, ""},
    {"N0U", TRule::Stopped, ""},
    {"NET", TRule::Stopped, ""},
    {"N1P", TRule::Never, ""},
    {"NTP", TRule::Never, ""},
    {"NCR", TRule::Never, ""},
};

// Terminal Doppler Weather Radars: the service files them under the three letters that
// follow the T of the ICAO name (TDFW -> DFW).
const char* const kTdwrLines[] = {
    "AZ,Phoenix (TDWR),PHX",
    "CO,Denver (TDWR),DEN",
    "DC,Washington National (TDWR),DCA",
    "FL,Fort Lauderdale (TDWR),FLL",
    "FL,Miami (TDWR),MIA",
    "FL,Orlando (TDWR),MCO",
    "FL,Tampa (TDWR),TPA",
    "FL,West Palm Beach (TDWR),PBI",
    "GA,Atlanta (TDWR),ATL",
    "IL,Chicago Midway (TDWR),MDW",
    "IL,Chicago O'Hare (TDWR),ORD",
    "IN,Indianapolis (TDWR),IDS",
    "KS,Wichita (TDWR),ICH",
    "KY,Covington/Cincinnati (TDWR),CVG",
    "KY,Louisville (TDWR),SDF",
    "LA,New Orleans (TDWR),MSY",
    "MA,Boston (TDWR),BOS",
    "MD,Andrews AFB (TDWR),ADW",
    "MD,Baltimore/Washington (TDWR),BWI",
    "MI,Detroit (TDWR),DTW",
    "MN,Minneapolis (TDWR),MSP",
    "MO,Kansas City (TDWR),MCI",
    "MO,St. Louis (TDWR),STL",
    "NC,Charlotte (TDWR),CLT",
    "NC,Raleigh-Durham (TDWR),RDU",
    "NJ,Newark (TDWR),EWR",
    "NV,Las Vegas (TDWR),LAS",
    "NY,New York JFK (TDWR),JFK",
    "OH,Cleveland (TDWR),LVE",
    "OH,Columbus (TDWR),CMH",
    "OH,Dayton (TDWR),DAY",
    "OK,Oklahoma City (TDWR),OKC",
    "OK,Tulsa (TDWR),TUL",
    "PA,Philadelphia (TDWR),PHL",
    "PA,Pittsburgh (TDWR),PIT",
    "PR,San Juan (TDWR),SJU",
    "TN,Memphis (TDWR),MEM",
    "TN,Nashville (TDWR),BNA",
    "TX,Dallas Love Field (TDWR),DAL",
    "TX,Dallas/Fort Worth (TDWR),DFW",
    "TX,Houston Hobby (TDWR),HOU",
    "TX,Houston Intercontinental (TDWR),IAH",
    "UT,Salt Lake City (TDWR),SLC",
    "VA,Washington Dulles (TDWR),IAD",
    "WI,Milwaukee (TDWR),MKE",
};

bool InTdwrList(const std::string& upperId)
{
    for (const char* line : kTdwrLines)
        if (GetField(line, 3, ',') == upperId)
            return true;
    return false;
}

bool IsBuiltInSite(const std::string& upperId)
{
    for (const std::string& line : BuiltInRadars())
        if (!StartsWith(line, "!!") && UpperCase(GetField(line, 3, ',')) == upperId)
            return true;
    return false;
}

const TProductRule* FindRule(const std::string& code)
{
    for (const TProductRule& r : kNexradRules)
        if (code == r.From)
            return &r;
    return nullptr;
}

} // namespace

const char* LayoutName(TLayout layout)
{
    return layout == TLayout::Iem ? "iem" : layout == TLayout::Wms ? "nwswms" : "ridge";
}

bool ParseLayout(const std::string& text, TLayout& out)
{
    const std::string t = LowerCase(Trim(text));
    for (TLayout layout : KnownLayouts())
        if (t == LayoutName(layout)) {
            out = layout;
            return true;
        }
    return false;
}

const std::vector<TLayout>& KnownLayouts()
{
    static const std::vector<TLayout> layouts = {TLayout::Ridge, TLayout::Iem, TLayout::Wms};
    return layouts;
}

std::string LayoutNames(const char* sep)
{
    std::string names;
    for (TLayout layout : KnownLayouts())
        names += (names.empty() ? "" : sep) + std::string(LayoutName(layout));
    return names;
}

TWorldOrigin LayoutWorldOrigin(TLayout layout)
{
    // The iem producer builds its rasters from an extent with the pixel-corner convention
    // and writes that corner, so no half-pixel shift applies.
    return layout == TLayout::Iem ? TWorldOrigin::PixelCorner : TWorldOrigin::PixelCentre;
}

TDateTime LayoutSourceLead(TLayout layout)
{
    // Three minutes observed; ten leave room for a slow clock without hiding a real jump.
    return layout == TLayout::Iem ? 10.0 / (24 * 60) : 0.0;
}

std::string StoppedSourceStatus(const std::string& remoteName, TDateTime imageTimeUtc)
{
    return "Error source stopped: newest " + remoteName + " image of " +
           FormatDateTime("yyyy-mm-dd hh:nn", imageTimeUtc) + " UTC";
}

std::string IemSiteId(const std::string& siteId)
{
    const std::string u = UpperCase(Trim(siteId));
    if (u.size() == 4 && u[0] == 'T' && InTdwrList(u.substr(1)))
        return u.substr(1);
    return u;
}

bool IsTdwrSite(const std::string& siteId)
{
    return InTdwrList(IemSiteId(siteId));
}

const std::vector<std::string>& IemTdwrRadars()
{
    static const std::vector<std::string> lines(std::begin(kTdwrLines), std::end(kTdwrLines));
    return lines;
}

TIemProduct IemSiteProduct(const std::string& code, const std::string& siteId)
{
    const std::string u = UpperCase(Trim(code));
    const std::string site = IemSiteId(siteId);
    if (IsTdwrSite(site)) {
        if (u == "TZL" || u == "TV0")
            return {u, {}};
        if (u == "N0R" || u == "N0Z" || u == "N0B")
            return {"TZL", {}}; // the TDWR's reflectivity
        return {{}, "Error product " + u + " not offered for TDWR site " + site + ": choose TZL or TV0"};
    }
    if (u == "TZL" || u == "TV0") {
        // A site of the built-in NEXRAD list has no TDWR products; an id the program does
        // not know may be a TDWR added through Radars.txt.
        if (IsBuiltInSite(site))
            return {{}, "Error product " + u + " is published only for TDWR sites: choose N0B or N0S for " + site};
        return {u, {}};
    }
    const TProductRule* rule = FindRule(u);
    if (!rule)
        return {u, {}};
    switch (rule->Rule) {
    case TRule::Same:
        return {u, {}};
    case TRule::To:
        return {rule->To, {}};
    case TRule::NoEquivalent:
        return {{}, "Error product " + u + " has no equivalent in the iem layout: choose " + rule->To +
                        " (storm-relative velocity)"};
    case TRule::Stopped:
        return {{}, "Error product " + u + ": the service stopped publishing it; choose N0B or N0S"};
    case TRule::Never:
        break;
    }
    return {{}, "Error product " + u + " not offered by the iem layout"};
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
    const std::string product = IemSiteProduct(code, siteId).Code;
    if (product.empty())
        return {};
    const std::string stem = base + kIemSitePath + IemSiteId(siteId) + "/" + product + "_0";
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

std::string IemNoProductStatus(const std::string& code, const std::string& siteId)
{
    const TIemProduct p = IemSiteProduct(code, siteId);
    return p.Refusal.empty() ? "Error product " + Trim(code) + " not offered by the iem layout" : p.Refusal;
}

std::string LayoutBase(TLayout layout, const std::string& ridgeBase, const std::string& iemBase,
                       const std::string& wmsBase)
{
    return layout == TLayout::Iem ? iemBase : layout == TLayout::Wms ? wmsBase : ridgeBase;
}

namespace {
// The host part of a URL, lower-cased: between "//" and the next "/", ":" or "?".
std::string HostOf(const std::string& url)
{
    const size_t at = url.find("//");
    if (at == std::string::npos)
        return {};
    const size_t end = url.find_first_of("/:?", at + 2);
    return LowerCase(url.substr(at + 2, end == std::string::npos ? std::string::npos : end - at - 2));
}
} // namespace

bool RetiredRidgeAnswer(const std::string& url, const std::string& status)
{
    return HostOf(url) == kOfficialRidgeHost && StartsWith(status, "Error 404");
}

std::string RetiredRidgeHint()
{
    return std::string("The NWS retired the RIDGE layout at ") + kOfficialRidgeHost +
           " in December 2020; switch to a live one with: stormfetch --layout iem";
}

std::string LayoutStartNote(TLayout layout, const std::string& base)
{
    std::string note = std::string(" Source layout ") + LayoutName(layout) + " at " + base + ".";
    if (layout == TLayout::Ridge && HostOf(base) == kOfficialRidgeHost)
        note += " " + RetiredRidgeHint() + ".";
    return note;
}

const std::vector<std::string>& IemProducts()
{
    static const std::vector<std::string> lines = {
        "N0B, Base Reflectivity (super-resolution)",
        "N0S, Storm Relative Motion",
        "TV0, TDWR Velocity",
        "TZL, TDWR Long Range Reflectivity",
    };
    return lines;
}

} // namespace sf

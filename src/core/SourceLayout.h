// The two web layouts the radar comes from, and every address of the second one.
// "ridge" is the NWS RIDGE layout (per-site GIF, ".gfw", legends, dated listings);
// "iem" is the Iowa Environmental Mesonet's georeferenced copy of the same radar
// (per-site PNG, ".wld" and a small JSON file with the scan time, and a national
// composite of the same form). All the iem addresses are built here and nowhere else.
#pragma once
#include "core/DateTime.h"
#include <string>
#include <vector>

namespace sf {

enum class TLayout { Ridge, Iem, Wms };

/// Where below the base the service keeps the current georeferenced images
/// (EPSG:4326, longitude/latitude): per site and the national composite.
inline constexpr const char* kIemSitePath = "data/gis/images/4326/ridge/";
inline constexpr const char* kIemCompositePath = "data/gis/images/4326/USCOMP/";

/// The service's address; the settings key IEM (section URL) replaces it.
inline constexpr const char* kDefaultIemBase = "https://mesonet.agron.iastate.edu/";

/// "ridge", "iem" or "nwswms", the settings value of the layout.
const char* LayoutName(TLayout layout);
/// The layout a settings or command-line value names (case and blanks ignored); false
/// for any other text, which leaves out untouched.
bool ParseLayout(const std::string& text, TLayout& out);
/// Every layout the program knows, the default first.
const std::vector<TLayout>& KnownLayouts();
/// Their names joined by sep ("ridge|iem").
std::string LayoutNames(const char* sep);

/// Where a world file puts lines 5 and 6: the centre of the top-left pixel (an ordinary
/// world file, the RIDGE layout) or its outer corner (the iem producer's files).
enum class TWorldOrigin { PixelCentre, PixelCorner };
TWorldOrigin LayoutWorldOrigin(TLayout layout);

/// How far ahead of the clock a layout may date its newest image: the iem composite's
/// time is the nominal frame time, written up to about 3 minutes before it arrives. A
/// record's last image time further ahead than this is taken for a clock set back.
TDateTime LayoutSourceLead(TLayout layout);
/// The age from which a source counts as stopped (the service has stopped publishing it).
inline constexpr TDateTime kStoppedSourceDays = 100;
/// Status of a record whose newest image is at least kStoppedSourceDays old:
/// "Error source stopped: newest <RemoteName> image of <yyyy-mm-dd hh:nn> UTC".
std::string StoppedSourceStatus(const std::string& remoteName, TDateTime imageTimeUtc);

/// The three-letter id the service files a site under: "TDFW" (a TDWR's ICAO name) -> "DFW"
/// for the TDWR sites listed below; any other id upper-cased.
std::string IemSiteId(const std::string& siteId);
/// True for a site id of the built-in TDWR list (three or four letters, case ignored).
bool IsTdwrSite(const std::string& siteId);
/// The TDWR sites (Terminal Doppler Weather Radar, near large airports) as source lines
/// "state,place,id"; offered with the layouts that publish them.
const std::vector<std::string>& IemTdwrRadars();

/// The iem site product for a record's product code and site: Code is what is fetched,
/// or empty with Refusal, the record's status, when the service has nothing for it.
///  NEXRAD: N0B, N0S; N0R and N0Z -> N0B (same range); N0V refused (N0S is storm-relative);
///  N0Q, N0U, NET refused as no longer published; N1P, NTP, NCR refused.
///  TDWR: TZL, TV0; N0R, N0Z, N0B -> TZL; everything else refused naming TZL and TV0.
/// Codes unknown to both layouts pass unchanged, so a Products.txt can name what the
/// service adds later (and a TDWR site added through Radars.txt can use TZL and TV0).
struct TIemProduct {
    std::string Code;
    std::string Refusal;
};
TIemProduct IemSiteProduct(const std::string& code, const std::string& siteId = {});
/// The national composite's file stem for a mosaic record's product code: "n0r" for N0R,
/// "n0q" for anything else.
std::string IemCompositeProduct(const std::string& code);

struct TIemUrls {
    std::string Image; ///< the current PNG
    std::string World; ///< its ".wld"
};
/// URLs of a site (<base>data/gis/images/4326/ridge/<SSS>/<PROD>_0.png) or of the national
/// composite (<base>data/gis/images/4326/USCOMP/<prod>_0.png); both empty when the product
/// has no iem equivalent. base ends in "/".
TIemUrls IemUrls(const std::string& base, bool mosaic, const std::string& siteId, const std::string& code);
/// The JSON file beside an iem image URL (".png" replaced by ".json"); empty for another URL.
std::string IemMetaURL(const std::string& imageURL);
/// Local names of the raw files of the iem layout: RemoteName + ".png", + ".wld", + ".json".
std::string IemImageFileName(const std::string& remoteName);
std::string IemWorldFileName(const std::string& remoteName);
std::string IemMetaFileName(const std::string& remoteName);
/// Status of a record whose product the iem layout does not offer (IemSiteProduct's Refusal).
std::string IemNoProductStatus(const std::string& code, const std::string& siteId = {});

/// The base URL of the layout's site images: ridgeBase, iemBase or wmsBase.
std::string LayoutBase(TLayout layout, const std::string& ridgeBase, const std::string& iemBase,
                       const std::string& wmsBase = {});

/// The host of the NWS RIDGE service, retired in December 2020.
inline constexpr const char* kOfficialRidgeHost = "radar.weather.gov";
/// True when url is on the official RIDGE host and status is its "Error 404" answer.
bool RetiredRidgeAnswer(const std::string& url, const std::string& status);
/// What a station on the retired host is told: the retirement and the command that switches.
std::string RetiredRidgeHint();

/// What the start adds to the log: " Source layout <name> at <base>.", and for the default
/// layout on the official RIDGE host the retirement hint as well.
std::string LayoutStartNote(TLayout layout, const std::string& base);

/// The built-in product lines offered with the iem layout ("code, description").
const std::vector<std::string>& IemProducts();

} // namespace sf

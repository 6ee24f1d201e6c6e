// The two web layouts the radar comes from, and every address of the second one.
// "ridge" is the NWS RIDGE layout (per-site GIF, ".gfw", legends, dated listings);
// "iem" is the Iowa Environmental Mesonet's georeferenced copy of the same radar
// (per-site PNG, ".wld" and a small JSON file with the scan time, and a national
// composite of the same form). All the iem addresses are built here and nowhere else.
#pragma once
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

/// The iem site product for a product code: the code itself when the service has it,
/// the closest equivalent for an older code it lacks (N0R -> N0B, N0V -> N0U, N0Z -> N0Q),
/// empty for an older code without an equivalent (N1P, NTP, NCR). Codes unknown to both
/// layouts pass unchanged, so a Products.txt can name what the service adds later.
std::string IemSiteProduct(const std::string& code);
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
/// Status of a record whose product the iem layout does not offer.
std::string IemNoProductStatus(const std::string& code);

/// What the start adds to the log for a layout: nothing for the default one, otherwise
/// " Source layout <name> at <base>." so the log shows where the radar comes from.
std::string LayoutStartNote(TLayout layout, const std::string& base);

/// The built-in product lines offered with the iem layout ("code, description").
const std::vector<std::string>& IemProducts();

} // namespace sf

// The NWS radar Web Map Service ("RIDGE II", GeoServer): every workspace, layer, query
// and number of the nwswms layout is here and nowhere else. A layer is addressed on its
// own ("<base><workspace>/<layer>/ows"); the record's ImageURL is that address, and the
// capabilities, map and legend requests are built on it once the time and box are known.
// If the service renames a layer or changes a query, this file is what changes.
#pragma once
#include <string>

namespace sf {

/// The service's address; the settings key WMS (section URL) replaces it.
inline constexpr const char* kDefaultWmsBase = "https://opengeo.ncep.noaa.gov/geoserver/";

/// A box in degrees: longitudes west and east, latitudes south and north.
struct TGeoBox {
    double West = 0, South = 0, East = 0, North = 0;
    bool Valid() const;
};

/// The ICAO id of a site: "K" + id in the contiguous states, "P" + id in Alaska (AK) and
/// Hawaii (HI), "PGUA" on Guam (GU), "TJUA" in Puerto Rico (PR); a four-letter id is kept.
/// Upper case; empty for an id that is not three or four letters or digits.
std::string WmsIcao(const std::string& state, const std::string& siteId);
/// The layer suffix of a site product ("sr_bref" for N0R and N0B, ...); empty when the
/// service has no layer for the code (NCR at a site).
std::string WmsSiteSuffix(const std::string& code);
/// True for the TDWR products TZL and TV0 (workspace "t" + id).
bool WmsTdwrProduct(const std::string& code);
/// The composite layer of a mosaic record: region from the radar line ("conus" unless it
/// names Alaska, Hawaii, the Caribbean/Puerto Rico or Guam), "cref_qcd" for NCR, else "bref_qcd".
std::string WmsCompositeLayer(const std::string& radarLine, const std::string& code);
/// The layer's own address "<base><workspace>/<layer>/ows" for a record; empty when not offered.
std::string WmsLayerAddress(const std::string& base, const std::string& radarLine, const std::string& siteId,
                            const std::string& code);
/// The layer name of such an address (the path segment before "/ows"); empty for another text.
std::string WmsLayerOf(const std::string& layerAddress);
/// The layer's capabilities request (WMS 1.3.0, a few KB).
std::string WmsCapabilitiesURL(const std::string& layerAddress);
/// The map request (WMS 1.1.1, EPSG:4326, BBOX lon,lat order), TIME pinned to time.
std::string WmsGetMapURL(const std::string& layerAddress, const TGeoBox& box, int width, int height,
                         const std::string& time);
/// The layer's colour scale as PNG.
std::string WmsLegendURL(const std::string& layerAddress);

/// The box a site image is asked for: the smallest box square in degrees that holds the
/// layer's box, on the same centre; each edge rounded to 6 decimals.
TGeoBox WmsSiteBox(const TGeoBox& layerBox);
/// A composite's box: the layer's box with each edge rounded to 6 decimals.
TGeoBox WmsCompositeBox(const TGeoBox& layerBox);
/// Image size: 1000 x 1000 for a site; about 0.01 degree per pixel for a composite, each
/// side at least 100 and at most kWmsMaxSide pixels.
inline constexpr int kWmsSiteSide = 1000;
inline constexpr int kWmsMaxSide = 8000;
void WmsImageSize(const TGeoBox& box, bool mosaic, int& width, int& height);
/// An ordinary world file (pixel centres, six lines ending in CR LF, 10 decimals) for an
/// image of width x height covering box exactly.
std::string WmsWorldFile(const TGeoBox& box, int width, int height);
/// A number as the requests write it: up to 6 decimals, no trailing zeros.
std::string WmsNumber(double value);

} // namespace sf

// The demo server's answers in the shape of the NWS map service: for each published
// layer its own capabilities (a time dimension whose default advances every 5 minutes,
// and the layer's box), a map of any box and size at a published time, and the legend.
#include "app/DemoServer.h"
#include "core/Text.h"
#include "core/layouts/WmsNames.h"
#include "imaging/Synthetic.h"
#include "net/WmsCapabilities.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sf {

namespace {

// Terminal radars the demo publishes: id and position.
struct TTdwrRow {
    const char* Id;
    double Lat, Lon;
};
constexpr TTdwrRow kTdwr[] = {{"DFW", 33.0646, -96.9183}, {"ORD", 41.7961, -87.8575}, {"MDW", 41.6514, -87.7294}};

// Site layers are not square in degrees (the service draws them square in kilometres),
// so a client has to choose its own square.
constexpr double kSiteHalfLon = 5.6, kSiteHalfLat = 4.2;
constexpr double kTdwrHalfLon = 4.0, kTdwrHalfLat = 3.0;
const TGeoBox kConusBox{-126.0, 23.0, -65.0, 50.0};

const char* const kSiteSuffixes[] = {"sr_bref", "sr_bvel", "bref1", "bvel", "brefl", "bdhc", "boha", "bdsa"};
const char* const kTdwrSuffixes[] = {"bref1", "bvel"};

// The box of a layer the demo publishes; false for any other name.
bool LayerBox(const std::string& workspace, const std::string& layer, TGeoBox& box)
{
    if (workspace == "conus")
        if (layer == "conus_bref_qcd" || layer == "conus_cref_qcd") {
            box = kConusBox;
            return true;
        }
    if (workspace.size() != 4 || !StartsWith(layer, workspace + "_"))
        return false;
    const std::string suffix = layer.substr(workspace.size() + 1);
    const std::string id = UpperCase(workspace.substr(1));
    if (workspace[0] == 'k') {
        const TSiteLocation at = SyntheticSiteLocation(id);
        bool offered = false;
        for (const char* s : kSiteSuffixes)
            offered = offered || suffix == s;
        if (!at.Known || !offered)
            return false;
        box = {at.Lon - kSiteHalfLon, at.Lat - kSiteHalfLat, at.Lon + kSiteHalfLon, at.Lat + kSiteHalfLat};
        return true;
    }
    if (workspace[0] == 't') {
        bool offered = false;
        for (const char* s : kTdwrSuffixes)
            offered = offered || suffix == s;
        for (const TTdwrRow& row : kTdwr)
            if (offered && id == row.Id) {
                box = {row.Lon - kTdwrHalfLon, row.Lat - kTdwrHalfLat, row.Lon + kTdwrHalfLon, row.Lat + kTdwrHalfLat};
                return true;
            }
    }
    return false;
}

// A query parameter's value, the name matched in any case as the service does; false when absent.
bool Param(const std::string& query, const std::string& name, std::string& value)
{
    const int n = FieldCount(query, '&');
    for (int i = 1; i <= n; ++i) {
        const std::string pair = GetField(query, i, '&');
        const size_t eq = pair.find('=');
        if (eq != std::string::npos && SameText(pair.substr(0, eq), name)) {
            value = pair.substr(eq + 1);
            return true;
        }
    }
    return false;
}

bool Degrees(const std::string& text, double& out)
{
    if (text.empty() || text.size() > 32)
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

std::string IsoTime(TDateTime t)
{
    return FormatDateTime("yyyy-mm-dd'T'hh:nn:ss'.000Z'", t);
}

TDemoAnswer ServiceException(const std::string& text)
{
    TDemoAnswer a;
    a.Code = 200; // the service reports a bad request in an XML document with status 200
    a.ContentType = "application/vnd.ogc.se_xml";
    a.Body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ServiceExceptionReport version=\"1.1.1\">"
             "<ServiceException>" + text + "</ServiceException></ServiceExceptionReport>\n";
    return a;
}

} // namespace

std::string DemoWmsCapabilities(const std::string& layer, TDateTime imageTime)
{
    const std::string workspace = GetField(layer, 1, '_');
    TGeoBox box;
    if (!LayerBox(workspace, layer, box))
        return {};
    char edges[256];
    std::snprintf(edges, sizeof edges,
                  "<westBoundLongitude>%.4f</westBoundLongitude><eastBoundLongitude>%.4f</eastBoundLongitude>"
                  "<southBoundLatitude>%.4f</southBoundLatitude><northBoundLatitude>%.4f</northBoundLatitude>",
                  box.West, box.East, box.South, box.North);
    const std::string first = IsoTime(imageTime - 1.0 / 24);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<WMS_Capabilities version=\"1.3.0\" xmlns=\"http://www.opengis.net/wms\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n"
           "<Service><Name>WMS</Name><Title>Demo radar map service</Title></Service>\n"
           "<Capability><Request><GetMap><Format>image/png</Format></GetMap></Request>\n"
           "<Layer><Title>Demo radar</Title><CRS>EPSG:4326</CRS>\n"
           "<Layer queryable=\"1\" opaque=\"0\"><Name>" + layer + "</Name><Title>" + layer + "</Title>\n"
           "<CRS>EPSG:4326</CRS><EX_GeographicBoundingBox>" + edges + "</EX_GeographicBoundingBox>\n"
           "<Dimension name=\"time\" default=\"" + IsoTime(imageTime) + "\" units=\"ISO8601\" nearestValue=\"1\">"
           + first + "/" + IsoTime(imageTime) + "/PT5M</Dimension>\n"
           "<Style><Name>radar_reflectivity</Name><Title>Reflectivity</Title></Style>\n"
           "</Layer></Layer></Capability></WMS_Capabilities>\n";
}

TDemoAnswer DemoWmsAnswer(const std::string& path, const std::string& query, TDateTime utc,
                          const TDemoRadarSource& src)
{
    const std::string base = kDemoWmsPath;
    if (!StartsWith(path, base))
        return {};
    // <workspace>/<layer>/ows
    const std::string rest = path.substr(base.size());
    if (FieldCount(rest, '/') != 3 || GetField(rest, 3, '/') != "ows")
        return {};
    const std::string workspace = GetField(rest, 1, '/'), layer = GetField(rest, 2, '/');
    TGeoBox layerBox;
    if (!LayerBox(workspace, layer, layerBox))
        return {};
    if (src.WmsStalled && src.WmsStalled(utc))
        return {}; // a stalled service: nothing answers
    const TDateTime now = DemoImageTime(src.WmsPublishedAt ? src.WmsPublishedAt(utc) : utc);
    std::string request, service;
    if (!Param(query, "REQUEST", request) || !Param(query, "SERVICE", service) || !SameText(service, "WMS"))
        return ServiceException("SERVICE=WMS and REQUEST are required");
    if (SameText(request, "GetCapabilities"))
        return DemoFound("text/xml", DemoWmsCapabilities(layer, now));
    if (SameText(request, "GetLegendGraphic")) {
        std::string named;
        if (!Param(query, "LAYER", named) || named != layer)
            return ServiceException("LAYER must name " + layer);
        return DemoFound("image/png", src.WmsLegend ? src.WmsLegend(layer) : std::string());
    }
    if (!SameText(request, "GetMap"))
        return ServiceException("unknown request " + request);
    std::string version, layers, srs, bbox, widthText, heightText, format, time;
    if (!Param(query, "VERSION", version) || version != "1.1.1" || !Param(query, "LAYERS", layers) || layers != layer
        || !Param(query, "SRS", srs) || srs != "EPSG:4326" || !Param(query, "BBOX", bbox)
        || !Param(query, "WIDTH", widthText) || !Param(query, "HEIGHT", heightText)
        || !Param(query, "FORMAT", format) || format != "image/png")
        return ServiceException("GetMap needs VERSION=1.1.1, LAYERS, SRS=EPSG:4326, BBOX, WIDTH, HEIGHT, FORMAT=image/png");
    long long width = 0, height = 0;
    TGeoBox box;
    if (!TryStrToInt(widthText, width) || !TryStrToInt(heightText, height) || width < 1 || height < 1
        || width > kWmsMaxSide || height > kWmsMaxSide || FieldCount(bbox, ',') != 4
        || !Degrees(GetField(bbox, 1, ','), box.West) || !Degrees(GetField(bbox, 2, ','), box.South)
        || !Degrees(GetField(bbox, 3, ','), box.East) || !Degrees(GetField(bbox, 4, ','), box.North)
        || !box.Valid())
        return ServiceException("bad BBOX, WIDTH or HEIGHT");
    TDateTime at = now;
    if (Param(query, "TIME", time)) {
        // Only the published times: every 5 minutes of the last hour.
        if (!ParseWmsTime(time, at) || at > now + kOneSecond || at < now - 1.0 / 24 - kOneSecond
            || std::fabs(DemoImageTime(at + kOneSecond) - at) > kOneSecond / 2)
            return ServiceException("TIME " + time + " is not a published time");
    }
    const std::string key = layer + "/" + bbox;
    return DemoFound("image/png", src.WmsMap ? src.WmsMap(key, (int)width, (int)height, at) : std::string());
}

} // namespace sf

// A small web server on 127.0.0.1 that publishes generated radar in every source
// layout at once: RIDGE (current site images with world files and legends, the site
// archive listings of the last hour, the national mosaics with their listing), iem
// (PNG, ".wld" and a JSON file with the scan time) and the NWS map service (per-layer
// capabilities with a time dimension, maps of any box, legend graphics). Each layout's
// publisher is in src/app/demo/.
#pragma once
#include "core/DateTime.h"
#include "core/SourceLayout.h"
#include <functional>
#include <map>
#include <memory>
#include <vector>
#include <string>

class QTcpServer;
class QTcpSocket;

namespace sf {

class IClock;

/// Where the served bytes come from. An empty answer means "no such file" (404).
struct TDemoRadarSource {
    std::function<std::string(const std::string& site, const std::string& product, TDateTime utc)> SiteGif;
    std::function<std::string(const std::string& site, const std::string& product)> SiteWorld;
    std::function<std::string(const std::string& site, const std::string& product)> Legend;
    std::function<std::string(TDateTime utc)> MosaicGif;   ///< the "ConUS" GIF mosaic
    std::function<std::string()> MosaicGifWorld;
    std::function<std::string(TDateTime utc)> MosaicPng;   ///< the national reflectivity PNG mosaic
    std::function<std::string()> MosaicPngWorld;
    // The iem layout: per-site palette PNG with ".wld", and the national composite.
    std::function<std::string(const std::string& site, const std::string& product, TDateTime utc)> SitePng;
    std::function<std::string(TDateTime utc)> CompositePng;
    // The map service: a palette PNG of width x height for a layer's box at a time.
    std::function<std::string(const std::string& layer, int width, int height, TDateTime utc)> WmsMap;
    std::function<std::string(const std::string& layer)> WmsLegend;
    /// When set and true for a time, the map service answers nothing (a stalled service).
    std::function<bool(TDateTime utc)> WmsStalled;
    /// When set, the time the map service publishes at instead of utc: a publisher frozen
    /// at a time keeps answering, with its capabilities' time standing still.
    std::function<TDateTime(TDateTime utc)> WmsPublishedAt;
    /// When set and true for a layout at a time, every file of that layout answers 503
    /// ("--demo-stall NAME").
    std::function<bool(TLayout layout, TDateTime utc)> Stalled;
};

/// Where the demo publishes its warning shapefile sets.
inline constexpr const char* kDemoShapePath = "/regsci/gis/shapefiles/";

struct TDemoAnswer {
    int Code = 404;
    std::string ContentType = "text/html";
    std::string Body;
};

/// A 200 answer carrying body, or the 404 answer when body is empty (no such file).
TDemoAnswer DemoFound(const std::string& type, std::string body);
/// A new image appears every 5 minutes: the start of the 5-minute slot holding utc.
TDateTime DemoImageTime(TDateTime utc);
/// "<prefix>_yyyymmdd_hhnn<suffix>" for an image time (UTC).
std::string DemoTimedName(const std::string& prefix, TDateTime imageTime, const std::string& suffix);
/// The directory-index page naming the given files, one anchor per line.
std::string DemoListingPage(const std::string& title, const std::vector<std::string>& files);
/// One layout's publisher: the answer for a path (and its query) at utc, 404 when the
/// path is not one of its files.
struct TDemoPublisher {
    TLayout Layout;
    TDemoAnswer (*Answer)(const std::string& path, const std::string& query, TDateTime utc,
                          const TDemoRadarSource& source);
};
/// The publishers of every layout the feed serves.
const std::vector<TDemoPublisher>& DemoPublishers();
/// The RIDGE layout's answers.
TDemoAnswer DemoRidgeAnswer(const std::string& path, const std::string& query, TDateTime utc,
                            const TDemoRadarSource& source);
/// The iem layout's JSON file of an image taken at imageTime.
std::string DemoIemMeta(TDateTime imageTime, const std::string& product, const std::string& site);
/// The answer for a path of the iem layout (".png", ".wld", ".json" per site and of the
/// composite); a 404 answer for any other path.
TDemoAnswer DemoIemAnswer(const std::string& path, const std::string& query, TDateTime utc,
                          const TDemoRadarSource& source);
/// Where the demo publishes the map service ("/geoserver/"), and its answers: per layer
/// "<ws>/<layer>/ows" with REQUEST=GetCapabilities, GetMap or GetLegendGraphic.
inline constexpr const char* kDemoWmsPath = "/geoserver/";
TDemoAnswer DemoWmsAnswer(const std::string& path, const std::string& query, TDateTime utc,
                          const TDemoRadarSource& source);
/// A layer's capabilities (WMS 1.3.0) with the time dimension's default at imageTime and
/// the layer's box; empty for a layer the demo does not publish.
std::string DemoWmsCapabilities(const std::string& layer, TDateTime imageTime);
/// The answer for one request target (path with optional query, or an absolute URL) at utc.
TDemoAnswer DemoAnswer(const std::string& target, TDateTime utc, const TDemoRadarSource& source);

class TDemoServer {
public:
    TDemoServer(const IClock& clock, TDemoRadarSource source);
    ~TDemoServer();
    TDemoServer(const TDemoServer&) = delete;
    TDemoServer& operator=(const TDemoServer&) = delete;
    /// Listens on 127.0.0.1 at a free port; false with a message when it cannot.
    bool Start(std::string* error);
    int Port() const { return m_port; }
    /// "http://127.0.0.1:<port>/ridge/RadarImg/" and ".../ridge/Conus/RadarImg/".
    std::string RidgeBase() const;
    std::string RidgeNatBase() const;
    /// "http://127.0.0.1:<port>/", the base of the iem layout.
    std::string IemBase() const;
    /// "http://127.0.0.1:<port>/geoserver/", the base of the nwswms layout.
    std::string WmsBase() const;
    /// "http://127.0.0.1:<port>/regsci/gis/shapefiles/".
    std::string ShapefileBase() const;
    int Requests() const { return m_requests; }
    /// The request targets served, oldest first (the last 1000).
    const std::vector<std::string>& Served() const { return m_served; }

private:
    void Serve(QTcpSocket* socket);
    const IClock& m_clock;
    TDemoRadarSource m_source;
    std::unique_ptr<QTcpServer> m_server;
    int m_port = 0;
    int m_requests = 0;
    std::vector<std::string> m_served;
};

} // namespace sf

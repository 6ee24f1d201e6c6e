#include "cycle/CycleWiring.h"
#include "imaging/Convert.h"
#include "net/Fetch.h"
#include "net/Listing.h"

namespace sf {

TCycleServices ProgramCycleServices(TShared& s, TWebFetch& fetch, TConverter& converter)
{
    TCycleServices c;
    c.FetchFile = [&fetch](const std::string& url, const std::string& path, TRadarObj& rec) {
        fetch.FetchFile(url, path, &rec);
    };
    c.ScanSiteListing = [&s](const std::string& path) { return ScanSiteListing(s, path); };
    c.ScanMosaicListing = [&s](const std::string& path) { return ScanMosaicListing(s, path); };
    c.ImageTimeFromName = [&s](const std::string& name) { return ImageTimeFromName(s, name); };
    c.ConvertSiteImage = [&converter](const std::string& path, TRadarObj& rec) {
        return converter.ConvertSiteImage(rec, path);
    };
    c.ConvertMosaicImage = [&converter](const std::string& path, TRadarObj& rec) {
        return converter.ConvertMosaicImage(rec, path);
    };
    // The mosaic conversion streams its PNG and keeps no picture between calls.
    c.ClearMosaicImages = [] {};
    c.RidgeReady = [&fetch] { return fetch.RidgeCli().State() == httpReady; };
    c.RidgeAbort = [&fetch] {
        try {
            fetch.RidgeCli().Abort();
        } catch (...) {
            // an abort that fails leaves the next request to report the busy client
        }
    };
    return c;
}

} // namespace sf

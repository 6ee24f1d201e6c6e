// What the download-and-process cycle asks of the layers below it. The main object
// fills it with the web retrieval, image pipeline and list operations; tests fill it
// with stand-ins or with the same real operations.
#pragma once
#include "core/DateTime.h"
#include <functional>
#include <string>

namespace sf {

class TRadarObj;

struct TCycleServices {
    /// Fetches url into path on the radar client; verdict in TShared::FetchResult; an HTTP
    /// error has been written into rec.Status as "Error <code> <reason>". Raises only for
    /// local failures (a file that cannot be created).
    std::function<void(const std::string& url, const std::string& path, TRadarObj& rec)> FetchFile;
    /// Newest image name of a saved site archive listing, or empty.
    std::function<std::string(const std::string& path)> ScanSiteListing;
    /// Newest mosaic name of a saved mosaic listing, or empty.
    std::function<std::string(const std::string& path)> ScanMosaicListing;
    /// UTC time carried by an image name, or now − 100 days.
    std::function<TDateTime(const std::string& name)> ImageTimeFromName;
    /// Turns the raw site GIF beside path into the underlay; true on success; may raise.
    std::function<bool(const std::string& path, TRadarObj& rec)> ConvertSiteImage;
    /// Turns the raw mosaic PNG beside path into the underlay; true on success; may raise.
    std::function<bool(const std::string& path, TRadarObj& rec)> ConvertMosaicImage;
    /// Empties the mosaic conversion's shared working images (optional).
    std::function<void()> ClearMosaicImages;
    /// Recomputes every record's ImageURL and WorldURL for the current SelectRidge.
    std::function<void()> RebuildURLs;
    /// True when the radar HTTP client is in its ready state (missing: always ready).
    std::function<bool()> RidgeReady;
    /// Aborts the radar HTTP client's request (optional).
    std::function<void()> RidgeAbort;
};

} // namespace sf

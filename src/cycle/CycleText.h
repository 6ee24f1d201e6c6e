// Names, addresses and texts of the download-and-process cycle, as pure functions
// of a record's values and the clock readings the cycle hands in.
#pragma once
#include "core/DateTime.h"
#include <string>

namespace sf {

class TRadarObj;

/// True for a mosaic fetched as PNG: RemoteName upper-cased equals "N0R_0" or contains "01_USRAD".
bool IsPngMosaicName(const std::string& remoteName);
/// RemoteName + ".wld" for a PNG mosaic, otherwise RemoteName + ".gfw".
std::string WorldFileNameOf(const std::string& remoteName);
/// RemoteName + ".png" for a PNG mosaic, otherwise RemoteName + ".gif".
std::string ImageFileNameOf(const std::string& remoteName);
/// RemoteName with "_Legend" in front of its first "_0", + ".gif" (LOT_N0R_0 -> LOT_N0R_Legend_0.gif).
std::string LegendNameOf(const std::string& remoteName);
/// RidgeBase + product code + "/" + site + "/" from a site RemoteName (LOT_N0R_0 -> .../N0R/LOT/).
std::string SiteListingURL(const std::string& ridgeBase, const std::string& remoteName);
/// The folder part of a URL, up to and including its last "/" (empty without one).
std::string URLFolder(const std::string& url);
/// The folder of the mosaic's image URL + "?C=N;O=A" (names sorted ascending).
std::string MosaicListingURL(const std::string& imageURL);
/// RidgeBase cut in front of "RADARIMG" (case ignored) + "Legend/" + product code + "/" + legend name.
std::string LegendURL(const std::string& ridgeBase, const std::string& legendName);
/// True when text begins with prefix, letter case ignored (an empty prefix never matches).
bool StartsWithText(const std::string& text, const std::string& prefix);
/// Seconds added to every next attempt of one record: S of the UTC time, or S div 10 when S > 10.
TDateTime JitterAt(TDateTime utcNow);
/// LastImage when later than now − 1 day, otherwise now − 0.95 day.
TDateTime ReferenceTime(TDateTime lastImage, TDateTime utcNow);
/// The processed list trimmed and without its leading commas.
std::string ProcessedListText(const std::string& list);
/// The next attempt after a new image: image time + interval when that is later than now,
/// otherwise now + 1 minute; the jitter is added in both cases.
TDateTime NextAfterNewImage(TDateTime imageTime, TDateTime interval, TDateTime utcNow, TDateTime jitter);

} // namespace sf

// Reading a RIDGE directory listing page: which image is the newest, and at what
// UTC time it was taken (both from the image names alone).
#pragma once
#include "core/DateTime.h"
#include <string>

namespace sf {

struct TShared;

/// What a scan of a listing page's text found.
struct TListingScan {
    std::string Newest;   ///< greatest entry name (case ignored), empty when none
    std::string LastSeen; ///< entry name of the last entry line in sorted line order
};

/// Scans page text: lines sorted and de-duplicated ignoring case, the first GIF anchor of
/// each line; mosaic scans keep only names with "CONUS_" (any case) and without "_small".
TListingScan ScanListingText(const std::string& text, bool mosaic);
/// Newest entry name of a saved site archive listing, or ""; beeps when the newest
/// name is not the last one seen.
std::string ScanSiteListing(TShared& s, const std::string& path);
/// The same for a national mosaic listing.
std::string ScanMosaicListing(TShared& s, const std::string& path);
/// Decodes "<prefix>_yyyymmdd_hhnn[...]" with years 2006..currentYear; false when unusable.
bool DecodeImageTime(const std::string& name, int currentYear, TDateTime& out);
/// UTC time of an image from its name, or UTC now minus 100 days ("DateTime error " + name logged).
TDateTime ImageTimeFromName(TShared& s, const std::string& name);

} // namespace sf

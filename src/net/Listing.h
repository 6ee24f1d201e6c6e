// Reading a RIDGE directory listing page: which image is the newest, and at what
// UTC time it was taken (both from the image names alone).
#pragma once
#include "core/DateTime.h"
#include <cstddef>
#include <string>

namespace sf {

struct TShared;

/// What a scan of a listing page's text found.
struct TListingScan {
    std::string Newest;   ///< greatest entry name (case ignored), empty when none
    std::string LastSeen; ///< entry name of the last entry line in sorted line order
};

/// Scans a listing page piece by piece as it is read, holding only the current line and
/// the names the result needs, so its memory does not grow with the page. Lines end at
/// CR LF, LF or a lone CR; a line longer than kMaxListingLine bytes holds no entry.
class TListingScanner {
public:
    static constexpr size_t kMaxListingLine = 64 * 1024;
    explicit TListingScanner(bool mosaic) : m_mosaic(mosaic) {}
    /// Takes the next piece of the page.
    void Feed(const char* data, size_t len);
    /// Ends the page (a last line without an ending counts) and gives the result.
    TListingScan Finish();

private:
    void EndLine();
    void Line(const std::string& line);
    bool m_mosaic;
    std::string m_line;
    bool m_overlong = false, m_afterCr = false;
    std::string m_lastKey, m_lastName;          ///< greatest entry line (upper-cased) and its name
    std::string m_bestUpper, m_best, m_bestKey; ///< greatest name, its spelling and its line key
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

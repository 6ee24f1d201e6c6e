#include "net/Listing.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Shared.h"
#include "core/Text.h"

namespace sf {

namespace {

std::string Scan(TShared& s, const std::string& path, bool mosaic)
{
    std::string bytes;
    if (!FileExists(path) || !ReadFileBytes(ResolvePath(path), bytes))
        return {};
    const TListingScan r = ScanListingText(bytes, mosaic);
    if (!r.Newest.empty() && r.LastSeen != r.Newest)
        s.Dialogs.Beep();
    return r.Newest;
}

} // namespace

std::string ScanSiteListing(TShared& s, const std::string& path)
{
    return Scan(s, path, false);
}

std::string ScanMosaicListing(TShared& s, const std::string& path)
{
    return Scan(s, path, true);
}

TDateTime ImageTimeFromName(TShared& s, const std::string& name)
{
    const TDateTime now = s.Clock.UTCNow();
    TDateTime result = now - 100;
    if (!DecodeImageTime(name, DecodeDateTime(now).Year, result)) {
        AppendLog(s, "DateTime error " + name);
        return now - 100;
    }
    return result;
}

} // namespace sf

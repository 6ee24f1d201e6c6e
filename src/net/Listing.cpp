#include "net/Listing.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Shared.h"
#include "core/Text.h"
#include <fstream>
#include <memory>
#include <vector>

namespace sf {

namespace {

std::string Scan(TShared& s, const std::string& path, bool mosaic)
{
    if (!FileExists(path))
        return {};
    std::ifstream in(ResolvePath(path), std::ios::binary);
    if (!in)
        return {};
    // Read in pieces: a listing of any size costs one piece and one line.
    TListingScanner scanner(mosaic);
    // Left uninitialised: clearing 64 KiB cost more than scanning a whole site listing.
    constexpr size_t kPiece = 64 * 1024;
    const auto piece = std::make_unique_for_overwrite<char[]>(kPiece);
    while (in) {
        in.read(piece.get(), std::streamsize(kPiece));
        scanner.Feed(piece.get(), size_t(in.gcount()));
    }
    if (in.bad())
        return {};
    const TListingScan r = scanner.Finish();
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

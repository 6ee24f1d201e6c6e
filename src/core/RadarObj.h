// One entry of the download list: a radar source with one product, its RIDGE
// names and URLs, its geo-reference and its scheduling and error state.
#pragma once
#include "core/DateTime.h"
#include "core/SourceLayout.h"
#include <cstdint>
#include <optional>
#include <string>

namespace sf {

class IClock;
struct TShared;

/// Status of a record whose derived file names cannot be used as paths.
inline constexpr const char* kInvalidNameStatus = "Error invalid name";

/// What the naming rules read from the main window when they run.
struct TNaming {
    std::string RidgeBase;    ///< base of site images, ends in "/"
    std::string RidgeNatBase; ///< base of national mosaics, ends in "/"
    bool NativeFormat = true; ///< "Save radar in native format": ".gif" instead of ".bmp"
    TLayout Layout = TLayout::Ridge; ///< which web layout the URLs follow
    std::string IemBase{};           ///< base of the iem layout, ends in "/"
    std::string WmsBase{};           ///< base of the nwswms layout, ends in "/"
};

class TRadarObj {
public:
    /// A record with the defaults: due at once, no image yet, enabled.
    static TRadarObj Create(const IClock& clock);

    /// Sets Radar and Product and derives the names and URLs; Status = "New record".
    void SetNames(const std::string& radarLine, const std::string& productLine, const TNaming& naming);
    /// Reads a six-line world file into the geo values and Bounds; a file of fewer lines changes
    /// nothing, and a value that is not a number stops the reading (the values before it stay).
    /// origin: whether lines 5 and 6 name the top-left pixel's centre (shifted half a pixel
    /// to its edge) or already its outer corner.
    void ReadWorldFile(const std::string& path, TWorldOrigin origin = TWorldOrigin::PixelCentre);
    /// Right/Bottom from the decoded image size, then Bounds; empties Bounds without a geo-reference.
    void SetBounds(int width, int height);
    /// Copies every field but SourceIndex.
    void Assign(const TRadarObj& other);
    /// Left,Top,Right,Bottom in the bounds number format.
    std::string BoundsText() const;
    /// True for a mosaic fetched as PNG: RemoteName upper-cased equals "N0R_0" or contains "01_USRAD".
    bool IsPngMosaic() const;
    /// True when the derived local names are unusable as paths (Status "Error invalid name").
    bool HasInvalidName() const;

    std::string Radar;
    std::string Product;
    std::string ImageURL;
    std::string WorldURL;
    std::string RemoteName;
    std::string SiteID;
    std::string Bounds;
    std::string LegendName;
    std::string LocalName;
    TDateTime NextAttempt = 0; ///< UTC
    TDateTime LastImage = 0;   ///< UTC
    TDateTime PrevImage = 0;   ///< UTC
    TDateTime LastAttempt = 0; ///< UTC
    std::string Status;
    /// The layout serving the record's current attempt when the station names several and it
    /// is not the first of them; empty otherwise. Never stored: each attempt decides anew.
    std::optional<TLayout> ServedBy;
    bool Accumulate = false;
    bool Enabled = true;
    int32_t AccessErrors = 0;
    int32_t ConversionErrors = 0;
    int32_t SourceIndex = 0;
    float PixelSizeX = 0;
    float PixelSizeY = 0;
    float Top = 0;
    float Left = 0;
    float Bottom = 0;
    float Right = 0;

    /// The record's identity in its list, never given to another record while the program
    /// runs (an address can be, once a record is freed); 0 for a record outside a list.
    uint64_t Id() const { return m_id; }

private:
    friend class DownloadList; // the list hands out the identities
    uint64_t m_id = 0;
};

/// Single widened to double, general format, at most 15 significant digits ("0.017000000923872").
std::string BoundsNumber(float value);
/// A decimal number (blanks around it allowed) narrowed to single precision; false when not a number.
bool ParseFloatText(const std::string& text, float& out);
/// Re-derives ImageURL and WorldURL of the list's records for the current SelectRidge.
void RebuildURLs(TShared& s);

} // namespace sf

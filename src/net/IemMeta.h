// The small JSON file the iem layout publishes beside each image. Only its object
// "meta" matters here: "valid" is the scan time, "product" and "site" name the image.
// A pure, bounded reader: it takes no more than kMaxIemMetaBytes of text and
// kMaxIemMetaDepth levels of nesting, and never raises.
#pragma once
#include "core/DateTime.h"
#include <cstddef>
#include <string>

namespace sf {

inline constexpr size_t kMaxIemMetaBytes = 65536;
inline constexpr int kMaxIemMetaDepth = 32;

struct TIemMeta {
    bool HasValid = false;
    std::string Valid;   ///< meta.valid as written
    std::string Product; ///< meta.product, empty when absent
    std::string Site;    ///< meta.site, empty when absent
};

/// Reads the top-level object's "meta" member; false with a reason for text that is
/// not one JSON object (or is too long or too deep). Members that are not strings are skipped.
bool ParseIemMeta(const std::string& text, TIemMeta& out, std::string& reason);
/// "YYYY-MM-DDTHH:MM:SSZ" (UTC) as a date-time; false for any other text or an impossible date.
bool ParseIemTime(const std::string& text, TDateTime& out);
/// The image time of a JSON text: its meta.valid; false with a reason otherwise.
bool IemImageTime(const std::string& text, TDateTime& out, std::string& reason);

} // namespace sf

// The capabilities document a map-service layer publishes about itself (WMS 1.3.0, and
// the older 1.1.1 forms). Only two facts matter here: the time dimension's default (the
// newest image, which the map request then pins) and the layer's geographic box.
// Read with Qt's XML stream reader; bounded in size, never raises.
#pragma once
#include "core/DateTime.h"
#include "core/layouts/WmsNames.h"
#include <cstddef>
#include <string>

namespace sf {

inline constexpr size_t kMaxCapabilitiesBytes = 262144;

struct TWmsCapabilities {
    std::string Time;       ///< the time dimension's default as written
    TDateTime ImageTime = 0; ///< the same, UTC
    TGeoBox Box;            ///< the layer's geographic bounding box
};

/// Reads the capabilities of layer (or, when no layer of that name is listed, of the only
/// layer carrying a time dimension); false with a reason for text that is not well-formed
/// XML, too long, or without a named layer, a time dimension with a default, or a valid box.
bool ParseWmsCapabilities(const std::string& text, const std::string& layer, TWmsCapabilities& out,
                          std::string& reason);
/// ISO 8601 UTC "YYYY-MM-DDTHH:MM:SS[.fff…]Z" (or "+00:00" for "Z") as a date-time, the
/// fraction kept to the millisecond; false for any other text or an impossible date.
bool ParseWmsTime(const std::string& text, TDateTime& out);

} // namespace sf

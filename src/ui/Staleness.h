// When a radar record counts as stale: it is enabled, it has delivered an image, and
// that image is older than three of its update intervals and at least 30 minutes.
#pragma once
#include "core/RadarObj.h"
#include <string>

namespace sf {

/// The update interval is the time between the last two images (10 minutes when only
/// one is known).
bool IsStale(const TRadarObj& rec, TDateTime utcNow);
/// The icon's tip with a stale note in front, cut to the icon's 63 characters;
/// tip itself when no record is stale.
std::string StaleTip(const std::string& tip, int staleCount);

} // namespace sf

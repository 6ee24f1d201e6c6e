// A small, valid NWS-style warning shapefile set for the demo feed: one polygon
// warning per type (tor, Svr, FFW, smw), as .shp, .shx and .dbf files.
#pragma once
#include "core/DateTime.h"
#include <string>

namespace sf {

/// The bytes of one file of the demo warning sets ("Svr.shp", "svr.shx", "FFW.dbf" …,
/// names matched ignoring case); empty for any other name.
std::string DemoShapefile(const std::string& name, TDateTime utc);

} // namespace sf

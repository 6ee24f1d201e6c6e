// Files in the shape the iem layout (Iowa Environmental Mesonet,
// data/gis/images/4326/ridge/<SSS>/<PROD>_0.{png,wld,json} and
// data/gis/images/4326/USCOMP/n0q_0.{png,wld,json}) publishes them.
#pragma once
#include <string>

namespace sf::test {

/// LOT N0B: the JSON file beside the current image; "valid" is the scan time (UTC).
inline const std::string kIemSiteJson =
    "{\"meta\": {\"valid\": \"2010-05-10T14:19:00Z\", \"product\": \"N0B\", \"site\": \"LOT\", \"vcp\": 212}}";
/// The national composite's JSON file: no site and no vcp.
inline const std::string kIemCompositeJson =
    "{\"meta\": {\"valid\": \"2010-05-10T14:15:00Z\", \"product\": \"N0Q\"}}";
/// LOT's world file: pixel size, two zero rotations, negative pixel height, then the
/// longitude and latitude of the upper-left pixel's outer corner (the producer's
/// convention), one value a line (LF), six decimals.
inline const std::string kIemSiteWorld = "0.005000\n0.000000\n0.000000\n-0.005000\n-91.750000\n43.650000\n";

} // namespace sf::test

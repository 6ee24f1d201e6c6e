// The world-file reader on arbitrary bytes: a file it refuses leaves the record's
// geo values untouched; one it takes gives bounds text of four numbers.
#include "FuzzCheck.h"
#include "core/Clock.h"
#include "core/RadarObj.h"
#include "core/Text.h"

using sf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = sf::fuzz::ScratchPath(".gfw");
    if (!sf::fuzz::WriteBytes(path, data, size))
        return 0;
    sf::TFakeClock clock(46000.5, 0);
    sf::TRadarObj r = sf::TRadarObj::Create(clock);
    r.Left = 1.5f, r.Top = 2.5f, r.PixelSizeX = 0.25f, r.PixelSizeY = -0.25f;
    r.Bounds = "unread";
    r.ReadWorldFile(path);
    if (r.Bounds == "unread") {
        Check(r.Left == 1.5f && r.Top == 2.5f && r.PixelSizeX == 0.25f && r.PixelSizeY == -0.25f,
              "a refused world file changes no geo value");
    } else {
        Check(sf::FieldCount(r.Bounds, ',') == 4, "bounds text has four fields");
        Check(r.Bounds == r.BoundsText(), "bounds text matches the geo values");
    }
    return 0;
}

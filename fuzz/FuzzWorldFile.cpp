// The world-file reader on arbitrary bytes: a file of fewer than six lines changes
// nothing (a bad number may leave the values read before it, by rule); a file it
// takes gives bounds text of four numbers matching the geo values.
#include "FuzzCheck.h"
#include "core/Clock.h"
#include "core/RadarObj.h"
#include "core/Text.h"
#include <algorithm>

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
    const std::string text(reinterpret_cast<const char*>(data), size);
    const size_t breaks = std::count(text.begin(), text.end(), '\n') + std::count(text.begin(), text.end(), '\r');
    if (r.Bounds == "unread") {
        if (breaks < 5)
            Check(r.Left == 1.5f && r.Top == 2.5f && r.PixelSizeX == 0.25f && r.PixelSizeY == -0.25f,
                  "a file of fewer than six lines changes no geo value");
    } else {
        Check(breaks >= 5, "only six lines are taken");
        Check(sf::FieldCount(r.Bounds, ',') == 4, "bounds text has four fields");
        Check(r.Bounds == r.BoundsText(), "bounds text matches the geo values");
    }
    return 0;
}

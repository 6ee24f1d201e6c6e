// Download-list lines on arbitrary text: a list saved and loaded again holds the same
// records, except those the save drops by rule (a record with an empty radar); a TAB, CR
// or LF inside a field is written as a blank, so every saved line keeps its ten fields.
#include "FuzzCheck.h"
#include "core/Clock.h"
#include "core/DownloadList.h"
#include "core/ListFile.h"
#include "core/Text.h"

using sf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const sf::TFakeClock clock(46000.5, 0);
    const sf::TNaming naming{"http://h/ridge/RadarImg/", "http://h/ridge/Conus/RadarImg/", true};
    const auto ignore = [](const std::string&) {};

    sf::DownloadList first;
    sf::LoadListText(text, first, naming, clock, ignore);
    int kept = 0;
    for (int i = 0; i < first.Count(); ++i)
        kept += !first[i].Radar.empty();
    const std::string saved = sf::ListText(first);

    sf::DownloadList second;
    sf::LoadListText(saved, second, naming, clock, ignore);
    Check(second.Count() == kept, "every record with a radar survives save and load");
    int j = 0;
    for (int i = 0; i < first.Count(); ++i) {
        if (first[i].Radar.empty())
            continue;
        const sf::TRadarObj& a = first[i];
        const sf::TRadarObj& b = second[j];
        const auto clean = [](const std::string& t) { return sf::CleanFieldText(t); };
        if (clean(a.Radar) == a.Radar && clean(a.Product) == a.Product)
            Check(first.Key(i) == second.Key(j), "keys keep their order");
        Check(clean(a.Radar) == b.Radar && clean(a.Product) == b.Product && clean(a.Status) == b.Status &&
                  clean(a.Bounds) == b.Bounds,
              "text fields survive save and load");
        Check(a.Enabled == b.Enabled && a.Accumulate == b.Accumulate, "flags survive save and load");
        ++j;
    }
    Check(sf::ListText(second) == saved, "saving the loaded list gives the same text");
    return 0;
}

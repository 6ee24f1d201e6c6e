// Scans arbitrary text as a listing page and decodes the names it finds.
#include "net/Listing.h"
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (bool mosaic : {false, true}) {
        const sf::TListingScan r = sf::ScanListingText(text, mosaic);
        if (!r.Newest.empty() && text.find(r.Newest) == std::string::npos)
            std::abort();
        sf::TDateTime t = 0;
        (void)sf::DecodeImageTime(r.Newest, 2030, t);
    }
    sf::TDateTime t = 0;
    (void)sf::DecodeImageTime(text, 2030, t);
    return 0;
}

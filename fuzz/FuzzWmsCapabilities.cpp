// Reads arbitrary text as a map-service layer's capabilities document.
#include "net/WmsCapabilities.h"
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    sf::TWmsCapabilities caps;
    std::string reason;
    const bool parsed = sf::ParseWmsCapabilities(text, "kdmx_sr_bref", caps, reason);
    // A refusal always says why; an answer always has a time read from the text and a valid box.
    if (!parsed && reason.empty())
        std::abort();
    if (parsed && (caps.Time.empty() || caps.Time.size() > text.size() || !caps.Box.Valid()))
        std::abort();
    sf::TDateTime t = 0;
    (void)sf::ParseWmsTime(text.substr(0, 64), t);
    return 0;
}

// Reads arbitrary text as the iem layout's JSON file beside an image.
#include "net/IemMeta.h"
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    sf::TIemMeta meta;
    std::string reason;
    const bool parsed = sf::ParseIemMeta(text, meta, reason);
    // A refusal always says why; a parse never returns more text than it was given.
    if (!parsed && reason.empty())
        std::abort();
    if (parsed && (meta.Valid.size() > text.size() || meta.Site.size() > text.size()))
        std::abort();
    sf::TDateTime t = 0;
    reason.clear();
    if (!sf::IemImageTime(text, t, reason) && reason.empty())
        std::abort();
    (void)sf::ParseIemTime(text, t);
    return 0;
}

// The resident link helper's output lines on arbitrary bytes: every line gets one
// kind, "ok" and "closed" carry no text, and the reason of an error or a "gone" is
// the rest of the line after the word.
#include "FuzzCheck.h"
#include "host/ServeLink.h"

using sf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    const sf::TServeLine r = sf::ParseServeLine(line);
    Check(r.Text.size() <= line.size(), "the reason is part of the line");
    if (r.Kind == sf::TServeLine::Ok || r.Kind == sf::TServeLine::Closed || r.Kind == sf::TServeLine::Other)
        Check(r.Text.empty(), "only errors and gone carry a reason");
    if (r.Kind == sf::TServeLine::Error)
        Check(line.rfind("error " + r.Text, 0) == 0, "an error's reason follows the word");
    if (r.Kind == sf::TServeLine::Gone)
        Check(line.rfind("gone", 0) == 0, "gone starts with its word");
    // The same line with a CR and blanks after it means the same.
    const sf::TServeLine padded = sf::ParseServeLine(line + " \r");
    Check(padded.Kind == r.Kind || r.Kind == sf::TServeLine::Other, "trailing CR and blanks are ignored");
    return 0;
}

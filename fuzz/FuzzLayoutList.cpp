// The settings value naming the source layouts, on arbitrary text: a list that parses
// names each layout once and reads back from its own text; one that does not leaves the
// result alone and says why. The pick rule on answers drawn from the same bytes always
// serves an answer with a time, the newest, and never asks past the end of the list.
#include "FuzzCheck.h"
#include "core/layouts/LayoutChain.h"
#include <algorithm>

using sf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<sf::TLayout> chain{sf::TLayout::Iem};
    std::string error;
    if (sf::ParseLayoutList(text, chain, error)) {
        Check(!chain.empty() && chain.size() <= sf::KnownLayouts().size(), "a list names one to every layout");
        for (size_t i = 0; i < chain.size(); ++i)
            Check(std::count(chain.begin(), chain.end(), chain[i]) == 1, "a list names each layout once");
        std::vector<sf::TLayout> again;
        Check(sf::ParseLayoutList(sf::LayoutListText(chain), again, error) && again == chain, "a list reads back");
    } else {
        Check(!error.empty(), "a refused list says why");
        Check(chain == std::vector<sf::TLayout>{sf::TLayout::Iem}, "a refused list leaves the result alone");
    }

    // Answers: each byte a kind and an age in minutes.
    std::vector<sf::TLayoutAnswer> answers;
    for (size_t i = 0; i < size && answers.size() < 8; ++i) {
        const auto kind = static_cast<sf::TLayoutAnswer::TKind>(data[i] % 3);
        answers.push_back({kind, 1000.0 - data[i] * sf::kOneMinute});
    }
    const size_t chainSize = answers.size() + (size % 2);
    const sf::TLayoutPick pick = sf::PickLayout(answers, chainSize, 1000.0, sf::StaleAfter(5));
    if (pick.Serve >= 0) {
        const sf::TLayoutAnswer& served = answers.at((size_t)pick.Serve);
        Check(served.Kind == sf::TLayoutAnswer::TKind::Time, "the serving answer has a time");
        for (const sf::TLayoutAnswer& a : answers)
            Check(a.Kind != sf::TLayoutAnswer::TKind::Time || a.ImageTime <= served.ImageTime, "the newest serves");
    }
    Check(!pick.AskNext || answers.size() < chainSize, "never asks past the list");
    return 0;
}

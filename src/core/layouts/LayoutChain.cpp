#include "core/layouts/LayoutChain.h"
#include "core/Text.h"
#include <algorithm>

namespace sf {

bool ParseLayoutList(const std::string& text, std::vector<TLayout>& out, std::string& error)
{
    std::vector<TLayout> layouts;
    size_t from = 0;
    for (bool more = true; more;) {
        const size_t comma = text.find(',', from);
        more = comma != std::string::npos;
        const std::string name = Trim(text.substr(from, more ? comma - from : std::string::npos));
        from = comma + 1;
        TLayout layout = TLayout::Ridge;
        if (name.empty()) {
            error = "empty layout name in \"" + Trim(text) + "\"";
            return false;
        }
        if (!ParseLayout(name, layout)) {
            error = "unknown layout \"" + name + "\"";
            return false;
        }
        if (std::find(layouts.begin(), layouts.end(), layout) != layouts.end()) {
            error = "layout \"" + std::string(LayoutName(layout)) + "\" named twice";
            return false;
        }
        layouts.push_back(layout);
    }
    out = std::move(layouts);
    return true;
}

std::string LayoutListText(const std::vector<TLayout>& layouts)
{
    std::string text;
    for (TLayout layout : layouts)
        text += (text.empty() ? "" : ",") + std::string(LayoutName(layout));
    return text;
}

std::vector<TLayout> LayoutChainOf(TLayout first, const std::vector<TLayout>& fallbacks)
{
    std::vector<TLayout> chain{first};
    chain.insert(chain.end(), fallbacks.begin(), fallbacks.end());
    return chain;
}

TLayoutPick PickLayout(const std::vector<TLayoutAnswer>& answers, size_t chainSize, TDateTime utcNow,
                       TDateTime staleAfter)
{
    TLayoutPick pick;
    for (size_t i = 0; i < answers.size(); ++i) {
        const TLayoutAnswer& a = answers[i];
        if (a.Kind != TLayoutAnswer::TKind::Time)
            continue;
        // Strictly newer: on equal times the earlier layout keeps the attempt.
        if (pick.Serve < 0 || a.ImageTime > answers[(size_t)pick.Serve].ImageTime)
            pick.Serve = (int)i;
    }
    const bool fresh = pick.Serve >= 0 && answers[(size_t)pick.Serve].ImageTime >= utcNow - staleAfter;
    pick.AskNext = !fresh && answers.size() < chainSize;
    return pick;
}

TDateTime StaleAfter(double newImageMinutes)
{
    return 3 * newImageMinutes * kOneMinute;
}

const char* PassedOverReason(const TLayoutAnswer& answer)
{
    switch (answer.Kind) {
    case TLayoutAnswer::TKind::Time:
        return "stalled";
    case TLayoutAnswer::TKind::NotOffered:
        return "no product";
    case TLayoutAnswer::TKind::Failed:
        break;
    }
    return "failed";
}

std::string ServedFromText(TLayout served, TLayout first, const TLayoutAnswer& firstAnswer)
{
    return std::string(" (from ") + LayoutName(served) + ": " + LayoutName(first) + " " + PassedOverReason(firstAnswer)
        + ")";
}

} // namespace sf

// Reads arbitrary bytes as a shift record: a record accepted names only plain files and
// reads back the same after being written again.
#include "FuzzCheck.h"
#include "imaging/ShiftJournal.h"
#include <string>

using sf::fuzz::Check;

namespace {

bool Plain(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos && name.find('\n') == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    sf::TShiftJournal j;
    if (!sf::ParseShiftJournal(text, j))
        return 0;
    Check(j.Phase == 1 || j.Phase == 2, "a record is in phase 1 or 2");
    Check(Plain(j.Underlay) && Plain(j.Bounds), "underlay and bounds are plain names");
    for (const auto* list : {&j.Park, &j.Name})
        for (const sf::TShiftRename& r : *list)
            Check(Plain(r.From) && Plain(r.To), "renames name plain files");
    for (const auto* list : {&j.Leftovers, &j.Drop})
        for (const std::string& name : *list)
            Check(Plain(name), "removals name plain files");
    const std::string again = sf::ShiftJournalText(j);
    sf::TShiftJournal back;
    Check(sf::ParseShiftJournal(again, back) && sf::ShiftJournalText(back) == again, "the record reads back the same");
    return 0;
}

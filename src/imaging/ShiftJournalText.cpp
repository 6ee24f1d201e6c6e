// The shift record's text: "key=value" lines, a rename as "from/to" (a plain name never
// holds a "/"), read back only with plain file names, so a damaged record can never name
// a file outside its folder.
#include "imaging/ShiftJournal.h"
#include "imaging/RecordName.h"
#include <algorithm>

namespace sf {

namespace {

bool ParseRename(const std::string& value, std::vector<TShiftRename>& into)
{
    const size_t slash = value.find('/');
    if (slash == std::string::npos)
        return false;
    TShiftRename r{value.substr(0, slash), value.substr(slash + 1)};
    if (!IsPlainRecordName(r.From) || !IsPlainRecordName(r.To))
        return false;
    into.push_back(std::move(r));
    return true;
}

} // namespace

std::string ShiftJournalText(const TShiftJournal& journal)
{
    std::string text = "phase=" + std::to_string(journal.Phase) + "\nunderlay=" + journal.Underlay + "\nbounds=" +
                       journal.Bounds + "\n";
    for (const TShiftRename& r : journal.Park)
        text += "park=" + r.From + "/" + r.To + "\n";
    for (const TShiftRename& r : journal.Name)
        text += "name=" + r.From + "/" + r.To + "\n";
    for (const std::string& mask : journal.Leftovers)
        text += "leftover=" + mask + "\n";
    for (const std::string& name : journal.Drop)
        text += "drop=" + name + "\n";
    return text;
}

bool ParseShiftJournal(const std::string& text, TShiftJournal& journal)
{
    TShiftJournal j;
    j.Phase = 0;
    const bool read = ForEachRecordLine(text, [&j](const std::string& key, const std::string& value) {
        if (key == "phase")
            j.Phase = value == "1" ? 1 : value == "2" ? 2 : -1;
        else if (key == "underlay")
            j.Underlay = value;
        else if (key == "bounds")
            j.Bounds = value;
        else if (key == "park")
            return ParseRename(value, j.Park);
        else if (key == "name")
            return ParseRename(value, j.Name);
        else if (key == "leftover" || key == "drop") {
            (key == "drop" ? j.Drop : j.Leftovers).push_back(value);
            return IsPlainRecordName(value);
        }
        return true;
    });
    if (!read)
        return false;
    if (j.Phase < 1 || !IsPlainRecordName(j.Underlay) || !IsPlainRecordName(j.Bounds))
        return false;
    journal = std::move(j);
    return true;
}

} // namespace sf

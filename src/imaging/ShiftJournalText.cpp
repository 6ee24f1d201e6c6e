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
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        bool ok = true;
        if (key == "phase")
            j.Phase = value == "1" ? 1 : value == "2" ? 2 : -1;
        else if (key == "underlay")
            j.Underlay = value;
        else if (key == "bounds")
            j.Bounds = value;
        else if (key == "park")
            ok = ParseRename(value, j.Park);
        else if (key == "name")
            ok = ParseRename(value, j.Name);
        else if (key == "leftover" || key == "drop") {
            ok = IsPlainRecordName(value);
            (key == "drop" ? j.Drop : j.Leftovers).push_back(value);
        }
        if (!ok)
            return false;
    }
    if (j.Phase < 1 || !IsPlainRecordName(j.Underlay) || !IsPlainRecordName(j.Bounds))
        return false;
    journal = std::move(j);
    return true;
}

} // namespace sf

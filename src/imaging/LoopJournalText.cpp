// The loop record's text: "key=value" lines, read back leniently but only with plain
// file names, so a damaged record can never name a file outside its folder.
#include "core/Text.h"
#include "imaging/LoopJournal.h"
#include "imaging/RecordName.h"
#include <algorithm>

namespace sf {

bool IsPlainRecordName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool ForEachRecordLine(const std::string& text,
                       const std::function<bool(const std::string& key, const std::string& value)>& take)
{
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
        if (eq != std::string::npos && !take(line.substr(0, eq), line.substr(eq + 1)))
            return false;
    }
    return true;
}

std::string LoopJournalText(const TLoopJournal& journal)
{
    return "underlay=" + journal.Underlay + "\n" + "parked=" + journal.Parked + "\n" + "shown=" + journal.Shown + "\n";
}

bool ParseLoopJournal(const std::string& text, TLoopJournal& journal)
{
    TLoopJournal j;
    ForEachRecordLine(text, [&j](const std::string& key, const std::string& value) {
        if (key == "underlay")
            j.Underlay = value;
        else if (key == "parked")
            j.Parked = value;
        else if (key == "shown")
            j.Shown = value;
        return true;
    });
    if (!IsPlainRecordName(j.Underlay) || !IsPlainRecordName(j.Parked) || SameText(j.Underlay, j.Parked))
        return false;
    if (!j.Shown.empty() && (!IsPlainRecordName(j.Shown) || SameText(j.Shown, j.Underlay) || SameText(j.Shown, j.Parked)))
        return false;
    journal = j;
    return true;
}

} // namespace sf

// Reads arbitrary bytes as a loop record: a record accepted names only plain files and
// reads back the same after being written again.
#include "core/Text.h"
#include "imaging/LoopJournal.h"
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    sf::TLoopJournal j;
    if (!sf::ParseLoopJournal(text, j))
        return 0;
    for (const std::string* name : {&j.Underlay, &j.Parked})
        if (name->empty() || name->find('/') != std::string::npos || name->find('\0') != std::string::npos)
            std::abort();
    sf::TLoopJournal back;
    if (!sf::ParseLoopJournal(sf::LoopJournalText(j), back) || back.Underlay != j.Underlay || back.Parked != j.Parked ||
        back.Shown != j.Shown)
        std::abort();
    return 0;
}

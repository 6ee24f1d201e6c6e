// Several source layouts in one station: "Layout=nwswms,iem" asks the layouts in the order
// named. The list's text, and the rule that picks the layout serving one attempt of a
// record from what each layout's newness test gave. Pure functions; the cycle does the asking.
#pragma once
#include "core/DateTime.h"
#include "core/SourceLayout.h"
#include <string>
#include <vector>

namespace sf {

/// The layouts a settings value or option names, in order ("nwswms, iem" -> nwswms then iem):
/// names separated by commas, blanks around each and letter case ignored. False, with error
/// naming the offending entry, for an unknown name, an empty entry or a name given twice
/// (a station asks each layout once).
bool ParseLayoutList(const std::string& text, std::vector<TLayout>& out, std::string& error);
/// The settings value of a list: the names joined by "," ("nwswms,iem"; one name alone).
std::string LayoutListText(const std::vector<TLayout>& layouts);
/// The station's layouts in order: first, then the ones asked after it.
std::vector<TLayout> LayoutChainOf(TLayout first, const std::vector<TLayout>& fallbacks);

/// What one layout's newness test gave for a record.
struct TLayoutAnswer {
    enum class TKind {
        Time,       ///< the newest image's time (ImageTime)
        Failed,     ///< network or HTTP error, unreadable answer, no time in it
        NotOffered, ///< the layout does not publish the record's product
    };
    TKind Kind = TKind::Failed;
    TDateTime ImageTime = 0; ///< UTC, for Time
};

/// Where the asking stands after the answers of the first layouts of the chain.
struct TLayoutPick {
    int Serve = -1;       ///< the answer whose image serves the attempt; -1: none gave a time
    bool AskNext = false; ///< the next layout of the chain is asked before deciding
};

/// The rule: the answer with the newest image time serves (the earlier layout on equal
/// times); the next layout is asked while no answer so far has a time, or the serving one
/// is older than staleAfter before utcNow, and the chain has a layout left (chainSize).
TLayoutPick PickLayout(const std::vector<TLayoutAnswer>& answers, size_t chainSize, TDateTime utcNow,
                       TDateTime staleAfter);
/// Age from which a layout's newest image counts as stalled: three newness intervals after a
/// new image (15 minutes for a site, 30 for a mosaic, with the layouts' 5 and 10).
TDateTime StaleAfter(double newImageMinutes);
/// What the status says of a layout that did not serve: "stalled", "failed" or "no product".
const char* PassedOverReason(const TLayoutAnswer& answer);
/// The status suffix of an attempt served by a later layout: " (from iem: nwswms stalled)".
std::string ServedFromText(TLayout served, TLayout first, const TLayoutAnswer& firstAnswer);

} // namespace sf

// The download-list commands of the command line and the command channel: each
// runs the same handler as the grid, its pop-up menu and the Add button, with
// their rules and texts.
#pragma once
#include "app/CommandDialogs.h"
#include "core/Shared.h"
#include <string>
#include <vector>

namespace sf {

/// The answer to one command: lines for standard output, then the closing message
/// (standard output for status 0, standard error otherwise).
struct TCommandResult {
    int Status = 0;
    std::vector<std::string> Out;
    std::string Message;
};

/// The key --list prints for a record: "LOT N0R" for a site, the mosaic key ("ConUS") for a mosaic.
std::string RecordKey(const TRadarObj& r);
/// Index of the record whose key matches (case ignored), or of the only record of a site
/// given by its id alone ("LOT"); -1 with the reason when none or more than one matches.
int FindRecord(const DownloadList& list, const std::string& key, std::string& error);
/// The source line for a site id ("LOT", case ignored) or a whole source line; false with the reason.
bool ResolveRadar(const std::vector<std::string>& radars, const std::string& text, std::string& line,
                  std::string& error);
/// The product line for a listed code ("N0R", case ignored) or a whole product line taken as typed.
bool ResolveProduct(const std::vector<std::string>& products, const std::string& text, std::string& line,
                    std::string& error);

/// The download list as a table: key, status, last image, next attempt, accumulate, enabled.
std::vector<std::string> ListTable(TShared& s);
/// The radar sources and the products the selectors offer, and where they come from.
std::vector<std::string> SourcesText(const TShared& s);
/// The hint printed when the list is empty.
std::string EmptyListHint();

/// Runs the control's click as the command's user (questions answered Yes); wired tells
/// whether a handler ran; returns the error boxes it showed.
std::vector<std::string> ClickAsCommand(TCommandDialogs& dialogs, const TControl& control, bool& wired);
/// Points the list controls' clicks (AddBtn, DeleteBtn, DeleteRecord1, Accumulateimages1,
/// Disabledownload1) at their handlers.
void WireListClicks(TShared& s);
/// Runs list, sources, add, remove, enable, disable or accumulate on the loaded list
/// (the list and settings files follow each change). Unknown sites and products give status 2.
TCommandResult RunListCommand(TShared& s, TCommandDialogs& dialogs, const std::string& verb,
                              const std::vector<std::string>& args);

} // namespace sf

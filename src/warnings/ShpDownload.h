// The NWS warning shapefiles: for each selected warning type the .shp, .shx and
// .dbf files are fetched from the source folder into the target folder on the
// 61-second Shp timer (counted from the end of the previous run) and on demand.
#pragma once
#include "core/Shared.h"
#include <array>
#include <string>

namespace sf {

class TWebFetch;

/// One warning type: its check box, its three files in download order, its result name.
struct TShpType {
    TCheckBox TShared::*Check;
    std::array<const char*, 3> Files;
    const char* ResultName;
};

/// Tornado, Severe, Flood, Marine, in download order; file names exactly as the server spells them.
const std::array<TShpType, 4>& ShpTypes();

class TShpDownload {
public:
    /// Sets the group's captions and hints and wires the Shp timer.
    TShpDownload(TShared& s, TWebFetch& web);

    /// The Shp timer: a run, unless one is going on (the button is disabled during a run).
    void ShpTimer();
    /// The "Download" button of the group: one run over the selected types.
    void ShpDownloadBtnClick();
    /// "Browse": chooses the target folder under QuorServerPath and saves the settings.
    void BrowseBtnClick();

private:
    void FetchSelected();

    TShared& m_s;
    TWebFetch& m_web;
    std::string m_unreachableReported; ///< the unreachable folder last reported, "" when none
};

/// True for a folder written the Windows way: a drive letter and ":", or "\\\\server".
bool IsWindowsFolder(const std::string& folder);

/// "<count> Files downloaded/<bytes> bytes in nn:ss" (whole hours of the run dropped).
std::string ShpSummaryText(int32_t count, int32_t bytes, TDateTime elapsed);

} // namespace sf

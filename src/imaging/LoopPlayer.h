// Loop playback and the tray menu's radar commands: the one-second Timer1 tick (clock
// labels, the "&Loop Radar" and "Radar &Zoom" items, the loop start), the loop itself
// with the parked underlay, the zoom to the current underlay's bounds, and the two
// delete commands. No window is needed; the views call the handlers.
#pragma once
#include "core/Shared.h"
#include <functional>
#include <string>

namespace sf {

/// Shows the area left, top, right, bottom on the map program; false on failure.
using TZoomCall = std::function<bool(double left, double top, double right, double bottom)>;

class TLoopPlayer {
public:
    /// Wires s.Timer1 to the tick; zoom is the host link's view operation.
    TLoopPlayer(TShared& s, TZoomCall zoom);
    ~TLoopPlayer();
    TLoopPlayer(const TLoopPlayer&) = delete;
    TLoopPlayer& operator=(const TLoopPlayer&) = delete;

    /// The one-second tick: clocks, menu states and captions, and the requested loop.
    void Timer1Timer();
    /// "&Loop Radar": refreshes the host state and asks the next tick for a loop.
    void LoopRadar1Click();
    /// "Radar &Zoom": shows the bounds of the record whose image is the current underlay.
    void RadarZoom1Click();
    /// "&Delete stale images" of the current underlay's series.
    void Deletestaleimages1Click();
    /// "Delete selected &underlay images": the chosen image's series and bounds files.
    void Deleteselectedunderlayimages1Click();
    /// The tray menu opens: LoopLbl, host refresh, and one tick at once while a cycle runs.
    void TrayMenuPopup();

    /// Plays the series of underlay x (folder + name); returns the count it reports.
    int LoopImages(const std::string& x);
    bool LoopRequested() const { return m_loopRequest; }

    /// Called after each change of the folder during a loop (a record written, a file
    /// renamed), with a word naming it; tests take the folder's state there.
    std::function<void(const std::string& step)> OnStep;

private:
    void Step(const std::string& what) const;
    void ShowMemory();
    TShared& m_s;
    TZoomCall m_zoom;
    bool m_loopRequest = false;
};

/// The record name the tray commands match against the underlay: the remote name, or
/// "Nat" when it contains marker ("latest" for the tick, "latest_radaronly" for the zoom).
std::string LoopMatchName(const std::string& remoteName, const std::string& marker);
/// Index of the first record whose match name + ext is in the underlay name (case ignored)
/// and whose Top is above 0; -1 when none.
int ZoomRecordIndex(const DownloadList& list, const std::string& underlayName, bool native);
/// The folder and masks of "Delete selected underlay images" for a chosen file.
struct TDeleteMasks {
    std::string Folder;   ///< the chosen file's folder
    std::string Stem;     ///< its name up to the first ".", a series number dropped
    std::string Mask;     ///< Stem + "*" + the four characters from the first "."; empty without a "."
};
TDeleteMasks DeleteSelectedMasks(const std::string& chosenFile);
/// Deletes what the masks name: the series and its ".Sat" files, else the file and its ".sat".
void DeleteSelectedUnderlayImages(const std::string& chosenFile);

/// The file dialog's title, filter and default extension.
extern const char* const kDeleteUnderlayTitle;
extern const char* const kPictureFilter;

} // namespace sf

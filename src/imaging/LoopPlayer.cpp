#include "imaging/LoopPlayer.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Pump.h"
#include "core/Text.h"
#include "imaging/Accumulate.h"
#include "imaging/LoopJournal.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <vector>

namespace sf {

const char* const kDeleteUnderlayTitle = "Delete underlay images";
const char* const kPictureFilter =
    "All (*.gif;*.png;*.jpg;*.bmp)|*.gif;*.png;*.jpg;*.bmp|Gif (*.gif)|*.gif|Portable Network Graphics (*.png)|*.png|"
    "JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp";

namespace {

constexpr int kMemWarnLoad = 85;

std::string UpToFirstDot(const std::string& name)
{
    return name.substr(0, name.find('.'));
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

std::string LoopMatchName(const std::string& remoteName, const std::string& marker)
{
    return Contains(remoteName, marker) ? std::string("Nat") : remoteName;
}

int ZoomRecordIndex(const DownloadList& list, const std::string& underlayName, bool native)
{
    const std::string underlay = UpperCase(underlayName);
    const std::string ext = native ? ".gif" : ".bmp";
    for (int i = 0; i < list.Count(); ++i) {
        const TRadarObj& rec = list[i];
        if (Contains(underlay, UpperCase(LoopMatchName(rec.RemoteName, "latest_radaronly") + ext)) && rec.Top > 0)
            return i;
    }
    return -1;
}

TLoopPlayer::TLoopPlayer(TShared& s, TZoomCall zoom) : m_s(s), m_zoom(std::move(zoom))
{
    m_s.Timer1.OnTimer = [this] { Timer1Timer(); };
}

TLoopPlayer::~TLoopPlayer()
{
    m_s.Timer1.OnTimer = nullptr;
}

void TLoopPlayer::Step(const std::string& what) const
{
    if (OnStep)
        OnStep(what);
}

void TLoopPlayer::Timer1Timer()
{
    m_s.Timer1.SetEnabled(false);
    m_s.TimeLbl.SetCaption(FormatDateTime("hh:nn:ss", m_s.Clock.LocalNow()));
    m_s.UTCLbl.SetCaption(FormatDateTime("hh:nn:ss", m_s.Clock.UTCNow()));
    Pump();
    // A fetch, a loop, a closing program or a running cycle: nothing more this second.
    if (m_s.FetchBusy || m_s.Cancel || !m_s.Process.Enabled()) {
        m_s.Timer1.SetEnabled(true);
        return;
    }
    m_s.RadarZoom1.Enabled = false;
    if (m_s.List.Empty() || !Contains(m_s.UiViewMap, "QUORSERVE")) {
        m_s.Timer1.SetEnabled(true);
        return;
    }
    const std::string underlay = UpperCase(m_s.UnderlayName);
    bool loopPossible = false;
    for (int i = 0; i < m_s.List.Count(); ++i) {
        if (m_s.Cancel) {
            m_s.Timer1.SetEnabled(true);
            return;
        }
        const TRadarObj& rec = m_s.List[i];
        const std::string n = LoopMatchName(rec.RemoteName, "latest");
        if (Contains(underlay, UpperCase(n + ".BMP")) || Contains(underlay, UpperCase(n + ".GIF"))) {
            m_s.RadarZoom1.SetCaption("Zoom to " + n);
            m_s.RadarZoom1.Enabled = true;
            if (rec.Accumulate) {
                m_s.LoopRadar1.SetCaption("Loop " + n + " Radar");
                loopPossible = true;
            }
        }
    }
    m_s.LoopRadar1.Enabled = loopPossible;
    if (m_loopRequest) {
        m_loopRequest = false;
        m_s.FetchBusy = true;
        LoopImages(m_s.QuorUnderlayPath + m_s.UnderlayName);
        m_s.FetchBusy = false;
    }
    m_s.Timer1.SetEnabled(true);
}

void TLoopPlayer::LoopRadar1Click()
{
    if (m_s.Hooks.RefreshUiViewStatus)
        m_s.Hooks.RefreshUiViewStatus();
    if (!m_s.List.Empty())
        m_loopRequest = true;
}

void TLoopPlayer::TrayMenuPopup()
{
    m_s.LoopLbl.SetCaption("....");
    if (m_s.Hooks.RefreshUiViewStatus)
        m_s.Hooks.RefreshUiViewStatus();
    if (m_s.Timer1.Enabled() && !m_s.Process.Enabled())
        Timer1Timer();
}

void TLoopPlayer::ShowMemory()
{
    MemoryStatusLong(m_s);
    const int load = m_s.LastMemLoad < 0 ? 0 : m_s.LastMemLoad;
    if (load < kMemWarnLoad)
        m_s.MemWarning = false;
    ShowMemoryLabel(m_s, load);
}

int TLoopPlayer::LoopImages(const std::string& underlayPath)
{
    const std::string dir = ExtractFilePath(underlayPath);
    const std::string f = LowerCase(ExtractFileName(underlayPath));
    const std::string stem = UpToFirstDot(f);
    // The underlay goes back under the very name it had, so the folder ends as it began.
    std::string xName = NameInFolderIgnoringCase(dir, f);
    if (xName.empty())
        xName = f;
    const std::string x = dir + xName;
    const std::string parked = dir + stem + ".tmp";
    m_s.LoopLbl.SetCaption("Loop Start " + f);
    const std::string mask = stem + (m_s.SaveGifChk.Checked ? "*.gif" : "*.Bmp");
    m_s.Timer1.SetEnabled(false);

    int count = 0;
    const TDateTime start = m_s.Clock.UTCNow();
    // Without a known folder the names would be taken relative to the working folder. A
    // loop cut short earlier is put back before this one parks anything; when that cannot
    // be done, nothing is touched.
    if (dir.empty() || RecoverLoop(dir) == TLoopRecovery::Unresolved) {
        if (!dir.empty())
            AppendLog(m_s, "Loop " + f + " not started: an earlier loop could not be undone, see " + dir +
                               kLoopJournalName);
        m_s.FetchBusy = false;
        m_s.Timer1.SetEnabled(true);
        return 0;
    }
    std::string onShow; // the member now under the underlay's name
    TLoopJournal journal{xName, stem + ".tmp", ""};
    bool recorded = false;
    try {
        if (FileExists(parked))
            DeleteFile(parked);
        if (!WriteLoopJournal(dir, journal))
            throw std::runtime_error("cannot write the loop record");
        recorded = true;
        Step("record");
        if (RenameFile(x, parked))
            Step("park");
        std::vector<std::string> listing;
        AddSortedListing(dir, mask, listing);
        for (const std::string& line : listing) {
            if (m_s.Cancel)
                break;
            m_s.TimeLbl.SetCaption(FormatDateTime("hh:nn:ss", m_s.Clock.LocalNow()));
            const std::string member = line.substr(line.find('\t') + 1);
            const std::string name = ExtractFileName(member);
            const std::string bounds = dir + UpToFirstDot(name) + ".Sat";
            if (!FileExists(member) || !FileExists(bounds))
                continue;
            m_s.LoopLbl.SetCaption("Loop " + name);
            journal.Shown = name;
            if (!WriteLoopJournal(dir, journal))
                throw std::runtime_error("cannot write the loop record");
            Step("record");
            if (RenameFile(member, x)) {
                onShow = member;
                Step("show");
            }
            Pump();
            if (m_s.Hooks.RedrawMap)
                m_s.Hooks.RedrawMap();
            ShowMemory();
            Pump();
            if (RenameFile(x, member)) {
                onShow.clear();
                Step("back");
            }
            if (!onShow.empty())
                throw std::runtime_error("cannot rename " + xName + " back to " + name);
            journal.Shown.clear();
            if (WriteLoopJournal(dir, journal))
                Step("record");
            ++count;
        }
    } catch (const std::exception& e) {
        AppendLog(m_s, "Loop " + f + " stopped: " + e.what());
    } catch (...) {
        AppendLog(m_s, "Loop " + f + " stopped");
    }

    // Restore. A member still on show (a failure between its two renames) goes back first,
    // or the underlay could not take its name again.
    if (!onShow.empty() && RenameFile(x, onShow))
        Step("back");
    if (FileExists(parked)) {
        if (RenameFile(parked, x))
            Step("restore");
        if (!m_s.Cancel) {
            m_s.TimeLbl.SetCaption(FormatDateTime("hh:nn:ss", m_s.Clock.LocalNow()));
            if (m_s.Hooks.RedrawMap)
                m_s.Hooks.RedrawMap();
            ++count;
        }
    }
    // The record stays while anything is still out of place, for the next start.
    if (recorded && !FileExists(parked) && RemoveLoopJournal(dir))
        Step("done");

    // A clock set back during the loop shows no time rather than a negative one.
    const long long elapsedMs = std::max(0LL, std::llround((m_s.Clock.UTCNow() - start) * 86400000.0));
    char ms[8];
    std::snprintf(ms, sizeof ms, "%03lld", elapsedMs % 1000);
    m_s.LoopLbl.SetCaption("Looped " + std::to_string(count) + " images in " + std::to_string(elapsedMs / 1000) + "." +
                           ms + " secs");
    m_s.FetchBusy = false;
    m_s.Timer1.SetEnabled(true);
    return count;
}

void TLoopPlayer::RadarZoom1Click()
{
    const int i = ZoomRecordIndex(m_s.List, m_s.UnderlayName, m_s.SaveGifChk.Checked);
    if (i < 0 || !m_zoom)
        return;
    const TRadarObj& rec = m_s.List[i];
    try {
        m_zoom(double(rec.Left), double(rec.Top), double(rec.Right), double(rec.Bottom));
    } catch (...) {
        // the zoom ends quietly on any failure of the map program
    }
}

void TLoopPlayer::Deletestaleimages1Click()
{
    // Without a known underlay the series mask would be "*.Bmp" and take every old image
    // of the folder with it.
    if (m_s.UnderlayName.empty())
        return;
    DeleteStaleImages(m_s, m_s.QuorUnderlayPath + m_s.UnderlayName);
}

void TLoopPlayer::Deleteselectedunderlayimages1Click()
{
    const auto chosen = m_s.Dialogs.OpenPicture(kDeleteUnderlayTitle, m_s.QuorUnderlayPath, kPictureFilter, "bmp");
    if (!chosen || chosen->empty())
        return;
    try {
        DeleteSelectedUnderlayImages(*chosen);
    } catch (...) {
        // the delete commands report nothing
    }
}

TDeleteMasks DeleteSelectedMasks(const std::string& chosenFile)
{
    TDeleteMasks m;
    m.Folder = ExtractFilePath(chosenFile);
    const std::string name = ExtractFileName(chosenFile);
    m.Stem = UpToFirstDot(name);
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (m.Stem.size() > 4 && digit(m.Stem.back())) {
        m.Stem.pop_back();
        if (digit(m.Stem.back()))
            m.Stem.pop_back();
    }
    // A name without an extension would give the mask Stem + "*", which takes every file
    // of the series whatever its kind; such a choice deletes only itself.
    const size_t dot = name.find('.');
    if (dot != std::string::npos)
        m.Mask = m.Stem + "*" + name.substr(dot, 4);
    return m;
}

void DeleteSelectedUnderlayImages(const std::string& chosenFile)
{
    const TDeleteMasks m = DeleteSelectedMasks(chosenFile);
    if (!m.Mask.empty() && DeleteFiles(m.Folder, m.Mask) > 0) {
        DeleteFiles(m.Folder, m.Stem + "*.Sat");
        return;
    }
    if (FileExists(chosenFile))
        DeleteFile(chosenFile);
    if (FileExists(m.Folder + m.Stem + ".sat"))
        DeleteFile(m.Folder + m.Stem + ".sat");
}

} // namespace sf

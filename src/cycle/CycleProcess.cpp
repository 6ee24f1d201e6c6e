// Processing of a fetched or collected image, Client-mode collection, and the
// failure cases that end a record's attempt.
#include "core/Files.h"
#include "core/Log.h"
#include "core/Pump.h"
#include "core/Text.h"
#include "cycle/Cycle.h"
#include "cycle/CycleText.h"
#include <exception>

namespace sf {

TCycle::TNext TCycle::Processing()
{
    Pump();
    if (m_client) {
        bool ended = false;
        if (Collect(ended) == TNext::Stop)
            return TNext::Stop;
        if (ended)
            return TNext::Record;
    }
    m_s.Shape1.BrushColor = clYellow;
    Pump();
    if (Cancelled())
        return TNext::Stop;
    if (!FileExists(m_workDir + m_imageName))
        return TNext::Record;
    m_s.FetchResult = false;
    TNext next = TNext::Record;
    if (m_pngSite || m_imageName.find(".gif") != std::string::npos)
        next = ConvertSite();
    else if (m_imageName.find(".png") != std::string::npos)
        next = ConvertMosaic();
    else
        return TNext::Record;
    if (next == TNext::Stop)
        return TNext::Stop;
    if (m_s.FetchResult)
        m_processedList += "," + m_work->RemoteName;
    Pump();
    CopyBack();
    return TNext::Record;
}

TCycle::TNext TCycle::Collect(bool& ended)
{
    TRadarObj& w = *m_work;
    ended = true;
    m_s.RidgeLbl.SetCaption("Processing files from server at " + Local("mm/dd hh:nn"));
    const std::string worldPath = m_workDir + m_worldName;
    TDateTime now = Now();
    if (!FileExists(worldPath)) {
        w.LastAttempt = now;
        w.NextAttempt = now + 45 * kOneSecond + m_jitter;
        const std::string line = "Waiting for file " + m_worldName + " from server" + " at " + Local("mm/dd hh:nn");
        m_s.FileLbl.SetCaption(line);
        w.Status = line;
        ++w.AccessErrors;
        CopyBack();
        return TNext::Record;
    }
    w.ReadWorldFile(worldPath, m_layout->WorldCorner() ? TWorldOrigin::PixelCorner : TWorldOrigin::PixelCentre);
    if (w.Bounds.empty()) {
        SetStatusUnlessError("Error World file empty");
        ++w.AccessErrors;
        CopyBack();
        return TNext::Record;
    }
    CopyBack();

    m_s.FetchResult = false;
    const TDateTime modified = FileDateOf(worldPath);
    now = Now();
    if (modified == 0) {
        w.LastAttempt = now;
        w.NextAttempt = now + kOneMinute + m_jitter;
        w.Status = "Waiting for new " + m_worldName;
        m_s.FileLbl.SetCaption(w.Status + " at " + Local("mm/dd hh:nn"));
        CopyBack();
        return TNext::Record;
    }
    TDateTime fileTime = modified - m_offset;
    if (fileTime > now)
        fileTime = now;
    if (fileTime < now - 10 * kOneMinute)
        fileTime = now - 10 * kOneMinute;
    w.PrevImage = w.LastImage;
    w.LastImage = fileTime;
    w.NextAttempt = NextAfterNewImage(fileTime, 3 * kOneMinute, now, m_jitter);
    m_s.FileLbl.SetCaption("Server file " + m_worldName + " found " + Local("mm/dd hh:nn"));
    CopyBack();
    ended = false;
    return TNext::Record;
}

TCycle::TNext TCycle::ConvertSite()
{
    TRadarObj& w = *m_work;
    bool ok = false;
    try {
        ok = m_svc.ConvertSiteImage(m_workDir + w.LocalName, w);
    } catch (const std::exception& e) {
        SiteConversionRaised(e.what());
        return TNext::Record;
    } catch (...) {
        SiteConversionRaised("unknown error");
        return TNext::Record;
    }
    if (!ok) {
        SiteConversionFailed();
        return TNext::Record;
    }
    ++m_processed;
    m_s.FetchResult = true;
    DeleteRawImage();
    DeleteIfExists(m_workDir + m_worldName);
    if (!w.LegendName.empty())
        DeleteIfExists(m_workDir + w.LegendName);
    const std::string u = UpperCase(m_s.UnderlayName);
    if (!u.empty() && (Pos(u, UpperCase(w.RemoteName) + ".BMP") > 0 || Pos(u, UpperCase(w.SiteID) + ".BMP") > 0))
        SetTrayTip();
    CopyBack();
    return TNext::Record;
}

TCycle::TNext TCycle::ConvertMosaic()
{
    TRadarObj& w = *m_work;
    if (m_svc.ClearMosaicImages)
        m_svc.ClearMosaicImages();
    int step = 0;
    try {
        const bool ok = m_svc.ConvertMosaicImage(m_workDir + w.LocalName, w);
        if (!ok) {
            MosaicConversionFailed(step);
            return TNext::Record;
        }
        ++m_processed;
        m_s.FetchResult = true;
        step = 1;
        DeleteRawImage();
        step = 2;
        DeleteIfExists(m_workDir + m_worldName);
        step = 3;
        if (!SameText(m_workDir + w.RemoteName + ".png", m_workDir + m_imageName))
            DeleteIfExists(m_workDir + w.RemoteName + ".png");
        step = 4;
        const std::string u = UpperCase(m_s.UnderlayName);
        // A mosaic the map shows under its ".bmp" name is written under that name.
        const std::string local = UpperCase(w.LocalName);
        const std::string localBmp = local.substr(0, local.rfind('.')) + ".BMP";
        if (!u.empty() && (Pos(u, local) > 0 || Pos(u, localBmp) > 0))
            SetTrayTip();
        CopyBack();
    } catch (const std::exception& e) {
        MosaicConversionRaised(step, e.what());
    } catch (...) {
        MosaicConversionRaised(step, "unknown error");
    }
    return TNext::Record;
}

void TCycle::SetTrayTip()
{
    const std::string name = m_s.UnderlayName;
    const size_t dot = name.find('.');
    m_s.TrayTip = "Underlay update : " + (dot == std::string::npos ? name : name.substr(0, dot)) + "@" + Local("hh:nn");
    if (m_s.Hooks.SetTrayTip)
        m_s.Hooks.SetTrayTip();
}

// --- helpers -------------------------------------------------------------------

bool TCycle::SetStatusUnlessError(const std::string& text)
{
    if (StartsWith(m_work->Status, "Error"))
        return false;
    m_work->Status = text;
    return true;
}

void TCycle::AdvanceSelector()
{
    if (++m_s.SelectRidge > 2)
        m_s.SelectRidge = 0;
    if (m_svc.RebuildURLs)
        m_svc.RebuildURLs();
}

void TCycle::ShowRecordLine()
{
    m_s.RidgeLbl.SetCaption(m_work->Radar + " " + m_work->Status);
}

int TCycle::ListedIndex() const
{
    if (m_index >= 0 && m_index < m_s.List.Count() && m_s.List[m_index].Id() == m_recId)
        return m_index;
    return m_s.List.IndexOfId(m_recId);
}

void TCycle::CopyBack()
{
    // Only into the entry the working copy came from: a record deleted from the list
    // during a pump takes its attempt with it, and its neighbours stay untouched.
    const int at = ListedIndex();
    if (at < 0)
        return;
    TRadarObj& listed = m_s.List[at];
    listed.Assign(*m_work);
    if (m_keepAddresses) {
        // A later layout's addresses serve this attempt only; the record stays addressed
        // for the station's first layout.
        listed.ImageURL = m_ownImageURL;
        listed.WorldURL = m_ownWorldURL;
        listed.LegendName = m_ownLegendName;
    }
}

void TCycle::DeleteIfExists(const std::string& path)
{
    if (FileExists(path))
        DeleteFile(path);
}

void TCycle::DeleteRawImage()
{
    // With native output in Client mode the raw image and the underlay just written
    // (the local name with ".gif") can be one file in the underlay directory; it must stay.
    const std::string image = m_workDir + m_imageName;
    if (m_client && m_s.SaveGifChk.Checked && m_imageName.find(".gif") != std::string::npos) {
        const std::string local = ExtractFileName(m_work->LocalName);
        const size_t dot = local.rfind('.');
        const std::string underlay = m_s.QuorUnderlayPath + (dot == std::string::npos ? local : local.substr(0, dot)) + ".gif";
        if (SameText(image, underlay))
            return;
    }
    DeleteIfExists(image);
}

void TCycle::LogMemoryAroundError()
{
    m_s.MemReportTime = m_s.Clock.LocalNow();
    AppendLog(m_s, "Before error " + m_memReport);
    AppendLog(m_s, "After error " + MemoryStatusShort(m_s));
}

std::string TCycle::StatusAtTime() const
{
    return m_work->Status + " @ " + Local("hh:nn");
}

// --- failure table -------------------------------------------------------------

void TCycle::ListingUnavailable(bool mosaic)
{
    TRadarObj& w = *m_work;
    const bool set = SetStatusUnlessError("Web site dir unavailable");
    ++w.AccessErrors;
    DeleteIfExists(m_s.ProgramDir + "RidgeDtime.htm");
    ShowRecordLine();
    w.NextAttempt = Now() + kOneMinute + m_jitter;
    CopyBack();
    // After the copy back, so that the rebuilt addresses reach this record as well.
    if (set && !mosaic)
        AdvanceSelector();
}

void TCycle::NoListingDate(bool mosaic, const std::string& detail)
{
    TRadarObj& w = *m_work;
    const bool set = SetStatusUnlessError("Error getting file " + w.RemoteName + " datetime"
                                          + (detail.empty() ? std::string() : " (" + detail + ")"));
    ++w.AccessErrors;
    DeleteIfExists(m_s.ProgramDir + "RidgeDtime.htm");
    ShowRecordLine();
    w.NextAttempt = Now() + kOneMinute + m_jitter;
    CopyBack();
    if (set && mosaic)
        AdvanceSelector();
}

void TCycle::WorldNotDownloaded()
{
    TRadarObj& w = *m_work;
    SetStatusUnlessError("Error World File not downloaded");
    ++w.AccessErrors;
    DeleteIfExists(m_workDir + m_worldName);
    w.LastImage = m_reference;
    CopyBack();
}

void TCycle::WorldUnusable()
{
    TRadarObj& w = *m_work;
    const bool set = SetStatusUnlessError("Error World File empty");
    ++w.AccessErrors;
    DeleteIfExists(m_workDir + m_worldName);
    w.LastImage = m_reference;
    CopyBack();
    if (set)
        AdvanceSelector();
}

void TCycle::ImageNotDownloaded()
{
    TRadarObj& w = *m_work;
    SetStatusUnlessError("Error RadarImage File not downLoaded");
    ++w.AccessErrors;
    w.LastImage = m_reference;
    CopyBack();
}

void TCycle::SiteConversionFailed()
{
    TRadarObj& w = *m_work;
    ++w.ConversionErrors;
    w.LastImage = m_reference;
    LogMemoryAroundError();
    m_s.FetchResult = false;
    DeleteIfExists(m_workDir + m_imageName);
    DeleteIfExists(m_workDir + m_worldName);
    if (!w.LegendName.empty())
        DeleteIfExists(m_workDir + w.LegendName);
    w.NextAttempt = Now() + 5.5 * kOneMinute + m_jitter;
    m_s.FileLbl.SetCaption(StatusAtTime());
    CopyBack();
}

void TCycle::SiteConversionRaised(const std::string& message)
{
    TRadarObj& w = *m_work;
    SetStatusUnlessError(CleanFieldText("Error extra converting " + m_imageName + " " + message));
    m_s.FetchResult = false;
    w.NextAttempt = Now() + kOneMinute + m_jitter;
    AppendLog(m_s, w.Status);
    m_s.FileLbl.SetCaption(StatusAtTime());
    DeleteIfExists(m_workDir + m_imageName);
    DeleteIfExists(m_workDir + m_worldName);
    CopyBack();
}

void TCycle::MosaicConversionFailed(int& step)
{
    TRadarObj& w = *m_work;
    ++w.ConversionErrors;
    step = 10;
    m_s.FetchResult = false;
    w.LastImage = m_reference;
    w.NextAttempt = Now() + kOneMinute + m_jitter;
    CopyBack();
    step = 11;
    LogMemoryAroundError();
    m_s.FileLbl.SetCaption(StatusAtTime());
    step = 12;
    DeleteIfExists(m_workDir + m_imageName);
    step = 13;
    DeleteIfExists(m_workDir + m_worldName);
    step = 14;
    DeleteIfExists(m_workDir + w.RemoteName + ".png");
    CopyBack();
}

void TCycle::MosaicConversionRaised(int step, const std::string& message)
{
    TRadarObj& w = *m_work;
    w.Status = CleanFieldText("Error " + std::to_string(step) + " extra converting " + m_imageName + " " + message);
    m_s.FetchResult = false;
    w.NextAttempt = Now() + 5.7 * kOneMinute + m_jitter;
    AppendLog(m_s, w.Status);
    m_s.FileLbl.SetCaption(StatusAtTime());
    CopyBack();
}

} // namespace sf

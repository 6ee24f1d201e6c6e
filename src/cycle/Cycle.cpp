#include "cycle/Cycle.h"
#include "core/Files.h"
#include "core/Grid.h"
#include "core/ListFile.h"
#include "core/Log.h"
#include "core/Pump.h"
#include "core/Text.h"
#include "cycle/CycleText.h"
#include <algorithm>
#include <exception>

namespace sf {

namespace {
const char* const kInvalidName = "Error invalid name";
// A stopped source is asked again now and then, in case the service takes it up again;
// under the scheduler's 15-minute ceiling so that the time stands as set.
constexpr TDateTime kStoppedRetry = 10 * kOneMinute;
} // namespace

TCycle::TCycle(TShared& shared, TCycleServices services) : m_s(shared), m_svc(std::move(services))
{
    if (!m_svc.RebuildURLs)
        m_svc.RebuildURLs = [this] { RebuildURLs(m_s); };
}

TDateTime TCycle::Now() const
{
    return m_s.Clock.UTCNow();
}

std::string TCycle::Local(const char* pattern) const
{
    return FormatDateTime(pattern, m_s.Clock.LocalNow());
}

void TCycle::Run()
{
    if (m_running)
        return; // the cycle is not re-entrant; a second call from a pump is ignored
    m_running = true;
    try {
        // Start of the cycle: the values kept for the whole run.
        m_start = m_s.Clock.LocalNow();
        m_offset = m_s.Clock.LocalOffset();
        m_ridgeBase = m_s.RidgeBase;
        m_natBase = m_s.RidgeNatBase;
        m_client = m_s.IsClient();
        m_firstLayout = m_layout = &LayoutOf(m_s.Layout);
        m_fallbacks = m_s.Fallbacks;
        m_s.Sbar.SetPanel(0, m_client ? "Process files from Server" : "Download files from Internet");
        m_work = std::make_unique<TRadarObj>(TRadarObj::Create(m_s.Clock));
        m_downloaded = m_processed = m_disabled = m_notDue = 0;
        m_processedList.clear();
        m_workDir = m_client ? m_s.QuorUnderlayPath : m_s.ProgramDir;
        if (m_workDir.empty()) {
            // An empty work folder would name files in the current folder: read and delete nothing.
            m_s.StateLbl.SetCaption("Processing suspended, cannot find local QuorServer directory!");
            StopRun();
            m_work.reset();
            m_running = false;
            return;
        }

        // The list may change while a record's fetch pumps messages; the next record is the
        // first one not yet taken up, so a deletion never makes the run skip one.
        m_visited.clear();
        bool stopped = false;
        for (int i = NextUnvisited(); i >= 0; i = NextUnvisited()) {
            m_visited.push_back(m_s.List[i].Id());
            if (Cancelled() || DoRecord(i) == TNext::Stop) {
                stopped = true;
                break;
            }
        }
        if (stopped)
            StopRun();
        else
            Finish();
    } catch (const std::exception& e) {
        GeneralError(e.what());
    } catch (...) {
        GeneralError("unknown error");
    }
    m_work.reset();
    m_index = -1;
    m_recId = 0;
    m_visited.clear();
    m_running = false;
}

int TCycle::NextUnvisited() const
{
    for (int i = 0; i < m_s.List.Count(); ++i)
        if (std::find(m_visited.begin(), m_visited.end(), m_s.List[i].Id()) == m_visited.end())
            return i;
    return -1;
}

TCycle::TNext TCycle::DoRecord(int index)
{
    m_index = index;
    m_recId = m_s.List[index].Id();
    m_layout = m_firstLayout;
    m_keepAddresses = false;
    TRadarObj* listed = &m_s.List[index];
    // A record whose names cannot be used as paths is never worked on.
    if (!listed->Enabled || listed->Status == kInvalidName) {
        ++m_disabled;
        return TNext::Record;
    }
    listed->SourceIndex = m_s.SelectRidge;
    TDateTime now = Now();
    if (listed->NextAttempt > now) {
        ++m_notDue;
        return TNext::Record;
    }

    // The record is due.
    m_s.Shape1.BrushColor = clYellow;
    m_s.Sbar.SetPanel(1, "Processing");
    m_memReport = MemoryStatusShort(m_s);
    m_reference = ReferenceTime(listed->LastImage, now);
    Pump();
    if (Cancelled())
        return TNext::Stop;
    // The user may have deleted the record while messages were pumped.
    const int at = ListedIndex();
    if (at < 0)
        return TNext::Record;
    TRadarObj& rec = m_s.List[at];

    now = Now();
    m_jitter = JitterAt(now);
    rec.LastAttempt = now;
    if (StartsWithText(rec.ImageURL, m_ridgeBase))
        rec.LegendName = LegendNameOf(rec.RemoteName);
    rec.Status = "Waiting for new file";
    m_work->Assign(rec);
    m_work->ServedBy.reset();
    m_worldName = m_layout->WorldFileName(rec);
    m_imageName = m_layout->ImageFileName(rec);
    m_pngSite = m_layout->PngSite() && !IsMosaicRecord(rec);
    m_listingFile = m_s.ProgramDir + rec.RemoteName + ".htm";

    if (m_client)
        return Processing();
    if (!m_fallbacks.empty())
        return ChainNewness();
    // One layout: its newness test, then the verdict (an address outside the layout's
    // bases comes back untested and is fetched without one).
    TProbe p;
    if (Probe(p) == TNext::Stop)
        return TNext::Stop;
    return Proceed(p);
}

TCycle::TNext TCycle::Probe(TProbe& p)
{
    switch (m_layout->Newness(*m_work, m_s.Naming())) {
    case TNewnessKind::SiteListing:
        return ProbeListing(p, false);
    case TNewnessKind::MosaicListing:
        return ProbeListing(p, true);
    case TNewnessKind::ImageMeta:
        return ProbeIem(p);
    case TNewnessKind::Capabilities:
        return ProbeWms(p);
    case TNewnessKind::None:
        break;
    }
    p.Untested = true;
    return TNext::Record;
}

TCycle::TNext TCycle::ProbeListing(TProbe& p, bool mosaic)
{
    p.Kind = mosaic ? TNewnessKind::MosaicListing : TNewnessKind::SiteListing;
    p.Url = mosaic ? MosaicListingURL(m_work->ImageURL) : SiteListingURL(m_ridgeBase, m_work->RemoteName);
    m_work->LastAttempt = Now();
    m_svc.FetchFile(p.Url, m_listingFile, *m_work);
    if (Cancelled())
        return TNext::Stop;
    if (!m_s.FetchResult) {
        p.Unavailable = true;
        return TNext::Record;
    }
    const std::string name = mosaic ? m_svc.ScanMosaicListing(m_listingFile) : m_svc.ScanSiteListing(m_listingFile);
    DeleteIfExists(m_listingFile);
    if (Cancelled())
        return TNext::Stop;
    if (!name.empty())
        p.Answer = {TLayoutAnswer::TKind::Time, m_svc.ImageTimeFromName(name)};
    return TNext::Record;
}

TCycle::TNext TCycle::Proceed(const TProbe& p)
{
    TRadarObj& w = *m_work;
    if (p.Untested)
        return FetchImages(); // an address outside the layout's bases: fetched without a newness test
    // The listings are the site's or the mosaics'; the other layouts test a mosaic record as one.
    const bool mosaic = p.Kind == TNewnessKind::MosaicListing || (p.Kind != TNewnessKind::SiteListing && IsMosaicRecord(w));
    switch (p.Answer.Kind) {
    case TLayoutAnswer::TKind::NotOffered:
        return ProductNotOffered();
    case TLayoutAnswer::TKind::Failed:
        if (p.Unavailable) {
            HintRetiredHost(p.Url);
            ListingUnavailable(mosaic);
        } else {
            NoListingDate(p.Kind == TNewnessKind::MosaicListing, p.Detail);
        }
        return TNext::Record;
    case TLayoutAnswer::TKind::Time:
        break;
    }
    if (p.Kind == TNewnessKind::ImageMeta && p.Answer.ImageTime <= Now() - kStoppedSourceDays) {
        // The service keeps the last files of a product it no longer makes: waiting
        // for a newer one would wait for ever, so the record says the source stopped.
        SetStatusUnlessError(StoppedSourceStatus(w.RemoteName, p.Answer.ImageTime));
        ShowRecordLine();
        w.NextAttempt = Now() + kStoppedRetry + m_jitter;
        CopyBack();
        return TNext::Record;
    }
    // The iem image time is the newness key as the service gives it, also when it lies a
    // few minutes ahead of the clock (the composite is stamped with its nominal frame
    // time): the scheduler leaves such a time alone (LayoutSourceLead).
    bool isNew = false;
    NewnessVerdict(p.Answer.ImageTime, m_layout->NewImageMinutes(mosaic) * kOneMinute, isNew);
    if (!isNew)
        return TNext::Record;
    if (p.Kind == TNewnessKind::Capabilities)
        return WmsFetch(p.Caps);
    if (p.Kind == TNewnessKind::SiteListing && FetchLegend() == TNext::Stop)
        return TNext::Stop;
    return FetchImages();
}

TCycle::TNext TCycle::NewnessVerdict(TDateTime imageTime, TDateTime interval, bool& isNew)
{
    TRadarObj& w = *m_work;
    const TDateTime now = Now();
    isNew = imageTime > now - 100.0 && imageTime > w.LastImage;
    if (!isNew) {
        w.Status = "Waiting for new " + w.RemoteName + " file, old file =" +
                   FormatDateTime("mm/dd hh:nn", imageTime + m_offset);
        ShowRecordLine();
        if (!w.LegendName.empty())
            DeleteIfExists(m_workDir + w.LegendName);
        w.NextAttempt = now + kOneMinute + m_jitter;
        CopyBack();
        return TNext::Record;
    }
    w.PrevImage = w.LastImage;
    w.LastImage = imageTime;
    w.Status = "New file";
    ShowRecordLine();
    w.NextAttempt = NextAfterNewImage(imageTime, interval, now, m_jitter);
    CopyBack();
    return TNext::Record;
}

TCycle::TNext TCycle::FetchLegend()
{
    TRadarObj& w = *m_work;
    if (!m_s.LegendChk.Checked || w.LegendName.empty())
        return TNext::Record;
    Pump();
    // The legend is optional: its outcome, including an HTTP error text, does not
    // change the record's status.
    const std::string status = w.Status;
    m_svc.FetchFile(LegendURL(m_ridgeBase, w.LegendName), m_s.ProgramDir + w.LegendName, w);
    w.Status = status;
    if (m_svc.RidgeReady && !m_svc.RidgeReady() && m_svc.RidgeAbort)
        m_svc.RidgeAbort();
    Pump();
    return Cancelled() ? TNext::Stop : TNext::Record;
}

TCycle::TNext TCycle::FetchImages()
{
    TRadarObj& w = *m_work;
    Pump();
    if (m_svc.RidgeReady && !m_svc.RidgeReady() && m_svc.RidgeAbort) {
        m_svc.RidgeAbort();
        Pump();
    }
    const std::string worldPath = m_workDir + m_worldName;
    m_svc.FetchFile(w.WorldURL, worldPath, w);
    if (Cancelled())
        return TNext::Stop;
    if (!m_s.FetchResult) {
        HintRetiredHost(w.WorldURL);
        WorldNotDownloaded();
        return TNext::Record;
    }
    ++m_downloaded;
    if (FileExists(worldPath))
        w.ReadWorldFile(worldPath, m_layout->WorldCorner() ? TWorldOrigin::PixelCorner : TWorldOrigin::PixelCentre);
    if (w.Bounds.empty()) {
        WorldUnusable();
        return TNext::Record;
    }
    m_svc.FetchFile(w.ImageURL, m_workDir + m_imageName, w);
    Pump();
    if (Cancelled())
        return TNext::Stop;
    if (!m_s.FetchResult) {
        HintRetiredHost(w.ImageURL);
        ImageNotDownloaded();
        return TNext::Record;
    }
    ++m_downloaded;
    return Processing();
}

void TCycle::HintRetiredHost(const std::string& url)
{
    TRadarObj& w = *m_work;
    if (m_layout->Id() != TLayout::Ridge || !RetiredRidgeAnswer(url, w.Status))
        return;
    const std::string hint = RetiredRidgeHint();
    if (w.Status.find(hint) == std::string::npos)
        w.Status += " - " + hint;
    if (!m_retiredLogged) {
        m_retiredLogged = true;
        AppendLog(m_s, url + ": " + hint);
    }
}

void TCycle::Finish()
{
    if (m_s.Hooks.SaveList)
        m_s.Hooks.SaveList();
    else
        SaveList(m_s);
    if (m_s.Hooks.RebuildGrid)
        m_s.Hooks.RebuildGrid();
    else
        RebuildGrid(m_s);
    const std::string elapsed = SecondsText(m_s.Clock.LocalNow() - m_start);
    if (m_disabled + m_notDue == m_s.List.Count())
        m_s.FileLbl.SetCaption("Files not processed at " + Local("hh:nn:ss"));
    else if (m_client)
        m_s.FileLbl.SetCaption("Processed " + std::to_string(m_processed) + " files from server in " + elapsed +
                               " sec at " + Local("hh:nn:ss"));
    else
        m_s.FileLbl.SetCaption("Downloaded " + std::to_string(m_downloaded) + " and processed " +
                               std::to_string(m_processed) + " files in " + elapsed + " sec at " + Local("hh:nn:ss"));
    const std::string list = ProcessedListText(m_processedList);
    m_s.RidgeLbl.SetCaption((list.empty() ? std::string("No files processed") : "Finished processing " + list) + " " +
                            Local("hh:nn:ss"));
    StopRun();
}

void TCycle::StopRun()
{
    m_work.reset();
    m_s.Sbar.SetPanel(0, m_client ? "Process Server files complete" : "Download files complete");
}

void TCycle::GeneralError(const std::string& message)
{
    const std::string text = "Error downloading or processing downloaded files - " + message;
    m_s.FileLbl.SetCaption(text + " at " + Local("hh:nn "));
    AppendLog(m_s, text);
    StopRun();
}

} // namespace sf

// Wiring of the subsystems into the main object: which operation serves which
// creation step, hook and timer.
#include "app/Main.h"
#include "app/MainParts.h"
#include "core/Grid.h"
#include "core/ListFile.h"
#include "core/Log.h"
#include "core/RadarObj.h"
#include "core/SourceLists.h"
#include "core/StaleTemp.h"
#include "host/HostDiscovery.h"
#include "host/TargetDirs.h"
#include "imaging/Accumulate.h"
#include "imaging/LoopJournal.h"
#include "net/Listing.h"
#include <stdexcept>

namespace sf {

void TMain::Wire()
{
    if (!m_parts)
        m_parts = std::make_unique<TParts>();
    TParts& p = *m_parts;
    if (p.Web)
        return;

    m_s.WinePrefix = ChooseWinePrefix(m_options.WinePrefix);
    p.Web = std::make_unique<TWebFetch>(m_s);
    std::unique_ptr<TclsUIV> client = p.PendingClient ? std::move(p.PendingClient) : MakeLinkFromSettings(m_s);
    p.HostLink = std::make_unique<THostLink>(m_s, std::move(client));
    p.HostLink->Wire();
    p.HostLink->InitControls();
    InitTargetControls(m_s);

    m_steps.HostDiscovery = [this] { sf::HostDiscovery(m_s); };
    m_steps.LoadSourceLists = [this] {
        std::string error;
        if (!LoadSourceLists(m_s, &error))
            throw std::runtime_error(error);
    };
    m_steps.LoadDownloadList = [this] {
        std::string error;
        const bool loaded = LoadList(m_s, &error);
        RebuildGrid(m_s);
        if (!loaded)
            throw std::runtime_error(error);
    };
    m_steps.LoadTargetList = [this] {
        std::string error;
        if (!LoadTargetList(m_s, &error))
            throw std::runtime_error(error);
    };
    m_steps.CreateWorkingImages = [this] { m_parts->Converter = std::make_unique<TConverter>(m_s); };
    m_steps.FreeWorkingImages = [this] { m_parts->Converter.reset(); };
    m_steps.ConnectUiView = [this] { m_parts->HostLink->ConnectUiView(); };
    m_steps.SeedTargetList = [this] {
        // The seeding starts the close path itself when UI-View32 is missing.
        const bool before = m_closeRequested;
        SeedTargetList(m_s);
        return before || !m_closeRequested;
    };
    m_steps.DeleteStaleImages = [this](const std::string& path) { DeleteStaleImages(m_s, path); };
    m_steps.RemoveStaleTempFiles = [this] { RemoveStaleTempFiles(m_s); };
    // A shapefile transfer is ended on close as well, so a stalled warning server never
    // holds the program up.
    m_steps.FetchBusy = [this] {
        return m_parts->Web->RidgeCli().State() != httpReady || m_parts->Web->ShpCli().State() != httpReady;
    };
    m_steps.AbortFetch = [this] { m_parts->Web->Abort(); };
    m_steps.TransferProgress = [this] {
        const THttpCli& cli = m_parts->Web->RidgeCli();
        return std::pair<int64_t, int64_t>(cli.ReceivedCount(), cli.ContentLength());
    };
    m_s.Hooks.SaveList = [this] { SaveList(m_s); };
    m_s.Hooks.RebuildGrid = [this] { RebuildGrid(m_s); };

    auto converter = [this]() -> TConverter& {
        if (!m_parts->Converter)
            throw std::runtime_error("the working images do not exist");
        return *m_parts->Converter;
    };
    TCycleServices services;
    services.FetchFile = [this](const std::string& url, const std::string& path, TRadarObj& rec) {
        // Counted as failed until it succeeds: a fetch may also end by throwing.
        ++m_fetchAttempts;
        ++m_fetchFailures;
        m_s.FetchResult = m_parts->Web->FetchFile(url, path, &rec);
        if (m_s.FetchResult)
            --m_fetchFailures;
    };
    services.ScanSiteListing = [this](const std::string& path) { return ScanSiteListing(m_s, path); };
    services.ScanMosaicListing = [this](const std::string& path) { return ScanMosaicListing(m_s, path); };
    services.ImageTimeFromName = [this](const std::string& name) { return ImageTimeFromName(m_s, name); };
    services.ConvertSiteImage = [converter](const std::string& path, TRadarObj& rec) {
        return converter().ConvertSiteImage(rec, path);
    };
    services.ConvertMosaicImage = [converter](const std::string& path, TRadarObj& rec) {
        return converter().ConvertMosaicImage(rec, path);
    };
    services.RebuildURLs = [this] { RebuildURLs(m_s); };
    services.RidgeReady = [this] { return m_parts->Web->RidgeCli().State() == httpReady; };
    services.RidgeAbort = [this] { m_parts->Web->RidgeCli().Abort(); };
    p.Cycle = std::make_unique<TCycle>(m_s, services);
    p.Scheduler = std::make_unique<TScheduler>(
        m_s, [this] { m_parts->Cycle->Run(); }, services.RidgeReady);

    // The error logs are pruned at the first show and whenever the minute timer finds a new day.
    p.LogPruner = std::make_unique<TLogPruner>(m_s);
    if (auto minute = m_s.MinTimer.OnTimer)
        m_s.MinTimer.OnTimer = [this, minute] {
            minute();
            m_parts->LogPruner->Tick();
        };
    WireLoop();

    p.ShpRun = std::make_unique<TShpDownload>(m_s, *p.Web);
    ShpTimerHook = [this] { m_parts->ShpRun->ShpTimer(); };
    m_s.Shp.OnTimer = [this] {
        if (ShpTimerHook)
            ShpTimerHook();
    };
    WireClicks();
}

void TMain::WireLoop()
{
    TParts& p = *m_parts;
    p.Loop = std::make_unique<TLoopPlayer>(m_s, [this](double left, double top, double right, double bottom) {
        // The tray item ends quietly on a failure; the log keeps the map program's reason.
        std::string error;
        const bool shown = m_parts->HostLink->Zoom(left, top, right, bottom, &error);
        if (!shown)
            AppendLog(m_s, "Radar zoom failed: " + (error.empty() ? std::string("no reason given") : error));
        return shown;
    });
    TLoopPlayer& loop = *p.Loop;
    m_s.LoopRadar1.OnClick = [&loop] { loop.LoopRadar1Click(); };
    m_s.RadarZoom1.OnClick = [&loop] { loop.RadarZoom1Click(); };
    m_s.Deletestaleimages1.OnClick = [&loop] { loop.Deletestaleimages1Click(); };
    m_s.Deleteselectedunderlayimages1.OnClick = [&loop] { loop.Deleteselectedunderlayimages1Click(); };
    m_s.Hooks.TrayMenuPopup = [&loop] { loop.TrayMenuPopup(); };
    m_steps.RecoverLoop = [this] {
        if (m_s.QuorUnderlayPath.empty())
            return;
        const TLoopRecovery r = RecoverLoop(m_s.QuorUnderlayPath);
        if (r == TLoopRecovery::Restored)
            AppendLog(m_s, "Underlay images of an interrupted loop restored in " + m_s.QuorUnderlayPath);
        else if (r == TLoopRecovery::Unresolved)
            AppendLog(m_s, "Interrupted loop could not be undone in " + m_s.QuorUnderlayPath + ", see " +
                               kLoopJournalName);
    };
}

void TMain::UseLink(std::unique_ptr<TclsUIV> link)
{
    if (!m_parts)
        m_parts = std::make_unique<TParts>();
    m_parts->PendingClient = std::move(link);
}

TclsUIV* TMain::Link() const
{
    if (!m_parts)
        return nullptr;
    if (m_parts->HostLink)
        return &m_parts->HostLink->Client();
    return m_parts->PendingClient.get();
}

} // namespace sf

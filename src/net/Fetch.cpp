#include "net/Fetch.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Pump.h"
#include "core/RadarObj.h"
#include "core/StaleTemp.h"
#include "core/Text.h"
#include "net/DownloadLimits.h"
#include <QFile>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace sf {

namespace {

/// The stream of one fetch: closed and detached from the client whatever happens.
struct TFetchStream {
    THttpCli& Cli;
    QFile File;
    bool Attached = false;
    explicit TFetchStream(THttpCli& cli) : Cli(cli) {}
    ~TFetchStream() { Detach(); }
    bool Open(const std::string& path)
    {
        File.setFileName(QString::fromStdString(path));
        return File.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    void Attach()
    {
        Cli.ReceiveStream = &File;
        Attached = true;
    }
    void Detach()
    {
        if (Attached && Cli.ReceiveStream == &File)
            Cli.ReceiveStream = nullptr;
        Attached = false;
        File.close();
    }
    int64_t Size()
    {
        File.flush();
        return File.isOpen() ? File.size() : 0;
    }
};

/// A positive announced length must match the body exactly: a shorter body was cut
/// off, a longer one was not the document announced.
bool LengthAgrees(const THttpCli& cli, int64_t size)
{
    const int64_t announced = cli.ContentLength();
    return announced <= 0 || (size == announced && cli.DiscardedCount() == 0);
}

} // namespace

std::string StateText(int state)
{
    switch (state) {
    case httpReady: return "Ready";
    case httpNotConnected: return "Not connected";
    case httpConnected: return "Connected";
    case httpDnsLookup: return "DNS Lookup";
    case httpDnsLookupDone: return "DNS Lookup done";
    case httpWaitingHeader: return "Waiting for header";
    case httpWaitingBody: return "Waiting for body";
    case httpAborting: return "Aborting";
    default: return "State unknown";
    }
}

TWebFetch::TWebFetch(TShared& s) : m_s(s), m_ctx(std::make_unique<QObject>())
{
    m_ridge.ReadToClose = true;
    m_shp.ReadToClose = true;
    m_ridgeLimit.OnTimer = [this] { LimitTimer(true); };
    m_shpLimit.OnTimer = [this] { LimitTimer(false); };
    m_s.RidgeTimer.OnTimer = [this] { RidgeTimerTimer(); };
    m_shpTimer.OnTimer = [this] { ShpTimerTimer(); };
    m_ridge.OnHeaderEnd = [](THttpCli&) {};
    m_ridge.OnDocData = [this](THttpCli& cli, const char*, size_t) { RidgeCliDocData(cli); };
    m_ridge.OnStateChange = [this](THttpCli& cli) { RidgeCliStateChange(cli); };
    m_ridge.OnSocketError = [this](THttpCli&, int) { RidgeCliSocketError(); };
    // The shapefile client's only notification restarts its own time-out.
    m_shp.OnDocData = [this](THttpCli& cli, const char*, size_t) {
        m_shpTimer.SetEnabled(false);
        m_shpTimer.SetEnabled(true);
        if (cli.ReceivedCount() > m_shpCap && m_shpStop.empty())
            StopForLimit(false, "download larger than " + std::to_string(m_shpCap) + " bytes");
    };
}

TWebFetch::~TWebFetch()
{
    m_s.RidgeTimer.SetEnabled(false);
    m_s.RidgeTimer.OnTimer = nullptr;
}

bool TWebFetch::FetchFile(const std::string& url, const std::string& localPath, TRadarObj* record)
{
    TShared& s = m_s;
    // A fetch started while RidgeCli still carries another one only gets the busy error;
    // the running fetch keeps its flags and its time-out.
    const bool outerRunning = m_ridge.State() != httpReady;
    const bool outerSocketError = s.SocketError;
    s.FetchBusy = true;
    m_ridgeRunning = true;
    s.FetchResult = false;
    s.StatLbl.SetCaption("...");
    s.SocketError = false;
    TFetchStream stream(m_ridge);
    struct TEnd {
        TWebFetch& F;
        TFetchStream& Stream;
        std::string Path;
        bool OuterRunning;
        bool OuterSocketError;
        ~TEnd()
        {
            TShared& s = F.m_s;
            if (OuterRunning && F.m_ridge.State() != httpReady) {
                F.m_ridgeRunning = true;
                s.FetchBusy = true;
                s.SocketError = OuterSocketError;
                s.RidgeTimer.SetEnabled(true);
            } else {
                F.m_ridgeRunning = false;
                s.FetchBusy = F.m_shpRunning;
                s.RidgeTimer.SetEnabled(false);
                F.m_ridgeLimit.SetEnabled(false);
                s.TimedOut = false;
            }
            Stream.Detach();
            // The stream wrote the file under the very name it was given, so one stat tells
            // whether it is empty (a size read by listing the folder cost more than the fetch).
            struct stat st {};
            if (::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
                s.FetchResult = false;
                DeleteFile(Path);
            }
        }
    } end{*this, stream, localPath, outerRunning, outerSocketError};

    if (FileExists(localPath))
        DeleteFile(localPath);
    s.FileLbl.SetCaption("Attempting download of " + url + " at " + FormatDateTime("hh:nn:ss", s.Clock.LocalNow()));
    // A busy client keeps its own request and stream; Get below reports the busy state.
    const bool busy = m_ridge.State() != httpReady;
    if (!busy) {
        m_ridge.URL = url;
        m_ridge.Proxy = s.ProxyHost;
        m_ridge.ProxyPort = s.ProxyPort;
    }
    if (!stream.Open(localPath))
        throw std::runtime_error("Cannot create file \"" + localPath + "\". " + stream.File.errorString().toStdString());
    if (!busy) {
        stream.Attach();
        StartLimits(true, localPath);
    }
    s.RidgeLbl.SetCaption("Loading " + url);
    s.TimedOut = false;
    s.RidgeTimer.SetEnabled(false);
    s.RidgeTimer.SetEnabled(true);
    const double start = s.Clock.LocalNow();
    try {
        m_ridge.Get();
        s.StatLbl.SetCaption(std::to_string(m_ridge.StatusCode()));
        Pump();
        const std::string elapsed = SecondsText(s.Clock.LocalNow() - start);
        s.RidgeTimer.SetEnabled(false);
        const bool timedOut = s.TimedOut;
        const int64_t size = stream.Size();
        s.RidgeLbl.SetCaption(url + " received " + std::to_string(size) + " b in " + elapsed + " sec at " +
                              FormatDateTime("hh:nn:ss", s.Clock.LocalNow()));
        const std::string stop = busy ? std::string() : m_ridgeStop;
        s.FetchResult = size >= 1 && !timedOut && m_ridge.State() == httpReady && !s.SocketError &&
                        LengthAgrees(m_ridge, size) && stop.empty();
        if (s.FetchResult)
            s.Sbar.SetPanel(0, "Successfully downloaded " + url);
        else if (!stop.empty())
            s.Sbar.SetPanel(0, url + " " + stop);
        else if (timedOut)
            s.Sbar.SetPanel(0, url + " download timed out");
        else
            s.Sbar.SetPanel(0, url + " download failed");
    } catch (const EHttpException& e) {
        const std::string code = std::to_string(e.ErrorCode());
        // A request a limit ended says which limit, not only that it was aborted.
        const std::string reason = busy || m_ridgeStop.empty() ? std::string(e.what()) : m_ridgeStop;
        const std::string text = url + " Exception : " + code + " " + reason;
        s.RidgeLbl.SetCaption(text);
        s.StatLbl.SetCaption(code);
        if (record)
            record->Status = CleanFieldText("Error " + code + " " + reason); // the reason phrase is the server's
        s.RidgeTimer.SetEnabled(false);
        s.TimedOut = false;
        s.FetchBusy = m_shpRunning;
        s.FetchResult = false;
        s.Sbar.SetPanel(0, text);
        AppendLog(s, text);
    }
    return s.FetchResult; // the end-of-fetch steps may still clear it
}

bool TWebFetch::FetchShapefile(const std::string& url, const std::string& localPath)
{
    TShared& s = m_s;
    m_shpRunning = true;
    s.FetchBusy = true;
    s.FetchResult = false;
    bool result = false;
    s.Sbar.SetPanel(0, "Attempting to download " + url);
    s.ShpLbl.SetCaption("...");
    TFetchStream stream(m_shp);
    bool streamCreated = false;
    bool busy = false;
    // The file arrives under a temporary name and takes its own only when complete: a
    // stalled or endless download never shows as a shapefile, and a failed one leaves the
    // previous file in place.
    const std::string partial = OwnTempPath(ResolvePath(localPath));
    try {
        if (FileExists(partial))
            DeleteFile(partial);
        s.FileLbl.SetCaption("Attempting download of " + url + " at " + FormatDateTime("hh:nn:ss", s.Clock.LocalNow()));
        busy = m_shp.State() != httpReady;
        if (!busy) {
            m_shp.URL = url;
            m_shp.Proxy = s.ProxyHost;
            m_shp.ProxyPort = s.ProxyPort;
        }
        if (!stream.Open(partial))
            throw std::runtime_error("Cannot create file \"" + localPath + "\". " + stream.File.errorString().toStdString());
        streamCreated = true;
        if (!busy) {
            stream.Attach();
            StartLimits(false, localPath);
        }
        s.ShpLbl.SetCaption("Loading " + url);
        m_shpTimedOut = false;
        m_shpTimer.SetEnabled(false);
        m_shpTimer.SetInterval(s.RidgeTimer.Interval());
        m_shpTimer.SetEnabled(true);
        const double start = s.Clock.LocalNow();
        m_shp.Get();
        s.StatLbl.SetCaption(std::to_string(m_shp.StatusCode()));
        Pump();
        const std::string elapsed = SecondsText(s.Clock.LocalNow() - start);
        m_shpTimer.SetEnabled(false);
        const bool timedOut = m_shpTimedOut;
        const int64_t size = stream.Size();
        s.ShpLbl.SetCaption(url + " received " + std::to_string(size) + " b in " + elapsed + " sec at " +
                            FormatDateTime("hh:nn:ss", s.Clock.LocalNow()));
        const std::string stop = busy ? std::string() : m_shpStop;
        result = size >= 1 && !timedOut && m_shp.State() == httpReady && !m_shp.SocketErrorSeen() &&
                 LengthAgrees(m_shp, size) && stop.empty();
        if (result)
            s.Sbar.SetPanel(0, "Successfully downloaded " + url);
        else if (!stop.empty())
            s.Sbar.SetPanel(0, url + " " + stop);
        else if (timedOut)
            s.Sbar.SetPanel(0, url + " download timed out");
        else
            s.Sbar.SetPanel(0, url + " download failed");
    } catch (const std::exception& e) {
        s.Dialogs.Beep();
        const auto* he = dynamic_cast<const EHttpException*>(&e);
        const int code = he ? he->ErrorCode() : m_shp.StatusCode();
        const std::string reason = !busy && !m_shpStop.empty() ? m_shpStop : he ? std::string(he->what()) : m_shp.ReasonPhrase();
        const std::string text = streamCreated ? url + " Exception : " + std::to_string(code) + " " + reason : e.what();
        s.ShpLbl.SetCaption(text);
        s.StatLbl.SetCaption(std::to_string(code));
        m_shpTimer.SetEnabled(false);
        m_shpTimedOut = false;
        result = false;
        s.Sbar.SetPanel(0, text);
        AppendLog(s, text);
    }
    // End of fetch.
    m_shpRunning = false;
    s.FetchBusy = m_ridgeRunning;
    m_shpTimer.SetEnabled(false);
    if (m_shp.State() == httpReady)
        m_shpLimit.SetEnabled(false);
    m_shpTimedOut = false;
    const int64_t size = streamCreated ? stream.Size() : 0;
    stream.Detach();
    if (streamCreated && size < 90) {
        result = false;
        s.Dialogs.Beep();
    }
    if (result && !ReplaceFile(partial, localPath)) {
        result = false;
        const std::string text = "Cannot replace \"" + localPath + "\". " + std::strerror(errno);
        s.Sbar.SetPanel(0, text);
        AppendLog(s, text);
    }
    if (FileExists(partial))
        DeleteFile(partial);
    if (result) {
        m_shapeBytes += int32_t(size);
        ++m_shapeCount;
    }
    s.FetchResult = result;
    return result;
}

void TWebFetch::Abort()
{
    if (m_ridge.State() != httpReady) {
        try {
            m_ridge.Abort();
        } catch (...) {
        }
    }
    if (m_shp.State() != httpReady) {
        m_shpTimedOut = true;
        try {
            m_shp.Abort();
        } catch (...) {
        }
    }
}

void TWebFetch::RidgeTimerTimer()
{
    m_s.RidgeTimer.SetEnabled(false);
    // An expiry counts only while the radar request is in progress: a fetch whose answer
    // is complete may still wait below another operation's pump (a shapefile run) until
    // that returns, and must not be judged timed out for it.
    if (m_ridge.State() == httpReady)
        return;
    if (m_ridge.DocumentComplete()) {
        m_ridge.EndTransfer(); // the whole document came; the server just left the connection open
        return;
    }
    m_s.TimedOut = true;
    try {
        m_ridge.Abort();
    } catch (...) {
    }
}

void TWebFetch::ShpTimerTimer()
{
    m_shpTimer.SetEnabled(false);
    // As for the radar timer: a finished shapefile request waiting below a cycle's pump
    // is not timed out.
    if (m_shp.State() == httpReady)
        return;
    m_shpTimedOut = !m_shp.DocumentComplete();
    m_shp.EndTransfer();
}

void TWebFetch::StartLimits(bool ridge, const std::string& localPath)
{
    TTimer& limit = ridge ? m_ridgeLimit : m_shpLimit;
    (ridge ? m_ridgeCap : m_shpCap) = DownloadCap(localPath);
    (ridge ? m_ridgeStop : m_shpStop).clear();
    limit.SetEnabled(false);
    limit.SetInterval(kOverallTimeOutFactor * m_s.RidgeTimer.Interval());
    limit.SetEnabled(true);
}

void TWebFetch::StopForLimit(bool ridge, const std::string& why)
{
    (ridge ? m_ridgeStop : m_shpStop) = why;
    // Called while the client hands over a block: the request is ended from the event
    // loop right after, never from inside the client's own reading.
    QTimer::singleShot(0, m_ctx.get(), [this, ridge] {
        THttpCli& cli = ridge ? m_ridge : m_shp;
        if (!(ridge ? m_ridgeStop : m_shpStop).empty() && cli.State() != httpReady) {
            try {
                cli.Abort();
            } catch (...) {
            }
        }
    });
}

void TWebFetch::LimitTimer(bool ridge)
{
    TTimer& limit = ridge ? m_ridgeLimit : m_shpLimit;
    limit.SetEnabled(false);
    THttpCli& cli = ridge ? m_ridge : m_shp;
    if (cli.State() == httpReady)
        return;
    (ridge ? m_ridgeStop : m_shpStop) =
        "download took longer than " + std::to_string(limit.Interval() / 1000) + " s";
    try {
        cli.Abort();
    } catch (...) {
    }
}

void TWebFetch::RidgeCliDocData(THttpCli& cli)
{
    m_s.RidgeTimer.SetEnabled(false);
    m_s.RidgeTimer.SetEnabled(true);
    if (cli.ReceivedCount() > m_ridgeCap && m_ridgeStop.empty())
        StopForLimit(true, "download larger than " + std::to_string(m_ridgeCap) + " bytes");
    m_s.RidgeLbl.SetCaption("Receiving " + cli.URL + " " + std::to_string(cli.ReceivedCount()) + " b");
}

void TWebFetch::RidgeCliStateChange(THttpCli& cli)
{
    const int st = cli.State();
    m_s.StateLbl.SetCaption(StateText(st));
    if (st == httpReady) {
        m_s.FetchBusy = m_shpRunning;
        m_s.Shape1.BrushColor = clLime;
    } else if (st == httpNotConnected || st == httpConnected || st == httpDnsLookup || st == httpDnsLookupDone ||
               st == httpWaitingHeader || st == httpWaitingBody || st == httpAborting) {
        m_s.Shape1.BrushColor = clRed;
    }
}

void TWebFetch::RidgeCliSocketError()
{
    m_s.SocketError = true;
}

} // namespace sf

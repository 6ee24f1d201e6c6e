#include "app/Station.h"
#include "app/Commands.h"
#include "app/Main.h"
#include "app/StationReasons.h"
#include "imaging/LoopPlayer.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/Text.h"
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace sf {

namespace {

bool IsListVerb(const std::string& verb)
{
    for (const char* v : {"list", "sources", "add", "remove", "enable", "disable", "accumulate", "layout"})
        if (verb == v)
            return true;
    return false;
}

// Commands that only read or close run at once, also while a tick is running.
bool RunsAnyTime(const TChannelRequest& r)
{
    if (r.Verb == "list" || r.Verb == "sources")
        return true;
    return r.Verb == "send" && !r.Args.empty() && (r.Args[0] == "status" || r.Args[0] == "close");
}

// How many quarter-second checks a loop asked for may wait for the tray's one-second tick to
// start it (a running download holds the tick back): two minutes.
constexpr int kLoopStartTicks = 120 * 4;

std::string Joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

std::string Degrees(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", v);
    return text;
}

} // namespace

std::string RealFolder(const std::string& folder)
{
    char buffer[PATH_MAX];
    if (!realpath(folder.c_str(), buffer))
        return IncludeTrailingSlash(folder);
    return IncludeTrailingSlash(buffer);
}

TStation::TStation(TMain& main, TCommandDialogs& dialogs, const std::string& programDir)
    : m_main(main), m_dialogs(dialogs), m_folder(RealFolder(programDir))
{
    m_retry.setInterval(200);
    QObject::connect(&m_retry, &QTimer::timeout, [this] { RunPending(); });
    // The main object outlives this station; its views' hub does not know when we go.
    std::shared_ptr<bool> alive = m_alive;
    m_main.Shared().Hub.Listeners.push_back([this, alive](const std::string& control, const std::string& text) {
        if (*alive)
            Heard(control, text);
    });
    m_loopWait.setInterval(250);
    QObject::connect(&m_loopWait, &QTimer::timeout, [this] {
        if (!m_loopReply)
            return m_loopWait.stop();
        if (m_loopStarted)
            return;
        if (m_main.CloseRequested())
            FinishLoop(1, "the loop did not play: the running copy is closing");
        else if (++m_loopWaitTicks > kLoopStartTicks)
            FinishLoop(1, "the loop did not start within " + std::to_string(kLoopStartTicks / 4) +
                              " s: " + LoopUnavailable(m_main.Shared()));
    });
    m_redrawWait.setInterval(250);
    QObject::connect(&m_redrawWait, &QTimer::timeout, [this] {
        std::string why;
        if (m_main.CloseRequested())
            why = "the map was not redrawn: the running copy is closing";
        else if (++m_redrawWaitTicks > kLoopStartTicks)
            why = "the map was not redrawn within " + std::to_string(kLoopStartTicks / 4) +
                  " s: the link call that runs has not ended";
        if (m_redrawReplies.empty() || !why.empty())
            m_redrawWait.stop();
        if (why.empty())
            return;
        for (const std::shared_ptr<TChannelReply>& reply : std::exchange(m_redrawReplies, {}))
            reply->Finish(1, why);
    });
}

TStation::~TStation()
{
    *m_alive = false;
}

void TStation::Heard(const std::string& control, const std::string& text)
{
    if (control == "Log")
        m_logs.push_back(text);
    if (control == "Redraw") {
        const TRedrawOutcome& last = m_main.Shared().LastRedraw;
        if (m_watchRedraw && !m_firstRedraw)
            m_firstRedraw = last;
        if (!m_redrawReplies.empty())
            FinishRedraw(last);
    }
    if (!m_loopReply)
        return;
    if (control == "LoopLbl" && StartsWith(text, "Loop Start ")) {
        m_loopStarted = true;
    } else if (control == "Log" && StartsWith(text, "Loop ")) {
        if (text.find(" not started: ") != std::string::npos)
            FinishLoop(1, text);
        else if (text.find(" stopped") != std::string::npos)
            m_loopTrouble = text;
    } else if (control == "LoopLbl" && StartsWith(text, "Looped ")) {
        if (!m_loopTrouble.empty())
            FinishLoop(1, m_loopTrouble + "; " + text);
        else if (m_main.Shared().Cancel)
            FinishLoop(1, "the loop was cut short: the running copy is closing; " + text);
        else
            FinishLoop(0, text);
    }
}

void TStation::FinishLoop(int status, const std::string& text)
{
    const std::shared_ptr<TChannelReply> reply = std::move(m_loopReply);
    m_loopReply.reset();
    m_loopWait.stop();
    if (reply)
        reply->Finish(status, text);
}

void TStation::FinishRedraw(const TRedrawOutcome& outcome)
{
    m_redrawWait.stop();
    const TRedrawOutcome done = outcome;
    for (const std::shared_ptr<TChannelReply>& reply : std::exchange(m_redrawReplies, {}))
        reply->Finish(done.Ok ? 0 : 1, done.Ok ? "Map redrawn" : done.Text);
}

void TStation::Loop(const std::shared_ptr<TChannelReply>& reply)
{
    TShared& s = m_main.Shared();
    if (m_loopReply) {
        reply->Finish(1, "a loop asked for by another command has not played yet");
        return;
    }
    if (!s.LoopRadar1.Enabled) {
        reply->Finish(1, LoopUnavailable(s));
        return;
    }
    m_loopReply = reply;
    m_loopStarted = false;
    m_loopTrouble.clear();
    m_loopWaitTicks = 0;
    m_running = true;
    bool wired = false;
    const std::vector<std::string> errors = ClickAsCommand(m_dialogs, s.LoopRadar1, wired);
    m_running = false;
    if (!wired)
        FinishLoop(1, "not available");
    else if (!errors.empty())
        FinishLoop(1, errors.front());
    else if (m_loopReply)
        m_loopWait.start();
}

void TStation::Zoom(TChannelReply& reply)
{
    TShared& s = m_main.Shared();
    const int index = ZoomRecordIndex(s.List, s.UnderlayName, s.SaveGifChk.Checked);
    if (!s.RadarZoom1.Enabled || index < 0) {
        reply.Finish(1, ZoomUnavailable(s));
        return;
    }
    const TRadarObj& r = s.List[index];
    const std::string key = RecordKey(r);
    const std::string area = "left " + Degrees(double(r.Left)) + ", top " + Degrees(double(r.Top)) + ", right " +
                             Degrees(double(r.Right)) + ", bottom " + Degrees(double(r.Bottom));
    m_logs.clear();
    m_running = true;
    const bool clicked = ClickForReply(s.RadarZoom1, reply);
    m_running = false;
    if (!clicked)
        return;
    for (const std::string& line : m_logs)
        if (StartsWith(line, "Radar zoom failed")) {
            reply.Finish(1, line);
            return;
        }
    reply.Finish(0, "Zoomed to " + key + ": " + area);
}

void TStation::SetReady()
{
    m_ready = true;
    if (!m_pending.empty())
        m_retry.start();
}

void TStation::Handle(const TChannelRequest& request, const std::shared_ptr<TChannelReply>& reply)
{
    if (RealFolder(request.Folder) != m_folder) {
        reply->Finish(1, "refused: the running copy works in " + m_folder + "; start the command with --home "
                             + m_folder);
        return;
    }
    if (m_main.CloseRequested()) {
        reply->Finish(1, "the running copy is closing");
        return;
    }
    // A tick (or a command's own cycle) is running: the list may not change under it.
    if (!m_ready || (!RunsAnyTime(request) && (m_running || !m_main.Shared().Process.Enabled() || !m_pending.empty()))) {
        m_pending.push_back({request, reply});
        m_retry.start();
        return;
    }
    Run(request, reply);
}

void TStation::RunPending()
{
    while (!m_pending.empty()) {
        if (m_main.CloseRequested()) {
            for (auto& p : m_pending)
                p.Reply->Finish(1, "the running copy is closing");
            m_pending.clear();
            break;
        }
        if (!m_ready || m_running || !m_main.Shared().Process.Enabled())
            return;
        TPending next = std::move(m_pending.front());
        m_pending.pop_front();
        Run(next.Request, next.Reply);
    }
    m_retry.stop();
}

void TStation::Run(const TChannelRequest& request, const std::shared_ptr<TChannelReply>& reply)
{
    m_running = true;
    TCommandResult result;
    if (IsListVerb(request.Verb)) {
        result = RunListCommand(m_main.Shared(), m_dialogs, request.Verb, request.Args);
    } else if (request.Verb == "send" && !request.Args.empty()) {
        m_running = false;
        Send(request.Args[0], std::vector<std::string>(request.Args.begin() + 1, request.Args.end()), reply);
        return;
    } else {
        result = {2, {}, "unknown command \"" + request.Verb + "\""};
    }
    m_running = false;
    for (const std::string& line : result.Out)
        reply->Out(line);
    reply->Finish(result.Status, result.Message);
}

void TStation::Send(const std::string& verb, const std::vector<std::string>& args,
                    const std::shared_ptr<TChannelReply>& replyPtr)
{
    TShared& s = m_main.Shared();
    TChannelReply& reply = *replyPtr;
    if (verb == "status") {
        Status(reply);
        return;
    }
    if (verb == "close") {
        reply.Finish(0, "closing");
        // The close runs from the event loop, after this answer has gone out.
        QTimer::singleShot(0, [this] { m_main.RequestClose(); });
        return;
    }
    if (verb == "download") {
        m_running = true;
        Download(args, reply);
        m_running = false;
        return;
    }
    if (!args.empty()) {
        reply.Finish(2, "--send " + verb + " takes no argument");
        return;
    }
    if (verb == "loop")
        return Loop(replyPtr);
    if (verb == "zoom")
        return Zoom(reply);
    TTextControl* control = nullptr;
    if (verb == "redraw")
        control = &s.RedrawBtn;
    else if (verb == "delete-stale")
        control = &s.Deletestaleimages1;
    else if (verb == "shapefiles")
        control = &s.ShpDownloadBtn;
    if (!control) {
        reply.Finish(2, "unknown command \"" + verb
                            + "\" (download, redraw, loop, zoom, delete-stale, shapefiles, status, close)");
        return;
    }
    if (!control->Enabled) {
        std::string caption = control->Caption();
        caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
        reply.Finish(1, verb == "redraw" ? RedrawUnavailable(s)
                                         : "not available now: \"" + caption + "\" waits for the work that runs");
        return;
    }
    if (verb == "redraw" && !m_redrawReplies.empty()) {
        m_redrawReplies.push_back(replyPtr); // one redraw is already asked for: its outcome answers this too
        return;
    }
    // A redraw is answered by the first redraw that ends after the click, as the link
    // records it; never by the status line, which a tick running during the link call
    // writes too.
    m_watchRedraw = verb == "redraw";
    m_firstRedraw.reset();
    m_running = true;
    const bool clicked = ClickForReply(*control, reply);
    m_running = false;
    m_watchRedraw = false;
    if (!clicked)
        return;
    if (verb == "redraw") {
        m_redrawReplies.push_back(replyPtr);
        if (m_firstRedraw)
            return FinishRedraw(*m_firstRedraw);
        m_redrawWaitTicks = 0; // asked for during a link call: made when that call ends
        m_redrawWait.start();
        return;
    }
    if (verb == "shapefiles") {
        reply.Finish(0, s.ShpLbl.Caption());
        return;
    }
    reply.Finish(0, verb + " done");
}

bool TStation::ClickForReply(const TControl& control, TChannelReply& reply)
{
    bool wired = false;
    const std::vector<std::string> errors = ClickAsCommand(m_dialogs, control, wired);
    if (!wired)
        reply.Finish(1, "not available");
    else if (!errors.empty())
        reply.Finish(1, errors.front());
    return !reply.Finished();
}

void TStation::Download(const std::vector<std::string>& args, TChannelReply& reply)
{
    TShared& s = m_main.Shared();
    int index = -1;
    if (!args.empty()) {
        // The key's words may come as separate arguments: download LOT N0R.
        std::string error;
        index = FindRecord(s.List, Joined(args), error);
        if (index < 0) {
            reply.Finish(2, error);
            return;
        }
    } else {
        // Every enabled record becomes due; the cycle then walks them all.
        const TDateTime due = s.Clock.UTCNow() - kOneMinute;
        for (int i = 0; i < s.List.Count(); ++i)
            if (s.List[i].Enabled) {
                s.List[i].NextAttempt = due;
                if (index < 0)
                    index = i;
            }
        if (index < 0) {
            reply.Finish(1, s.List.Empty() ? EmptyListHint()
                                           : "no record is enabled, so nothing was downloaded (stormfetch --enable KEY)");
            return;
        }
    }
    if (!s.DownloadBtn.Enabled) {
        reply.Finish(1, "not available now (a download is running)");
        return;
    }
    const TRadarObj* record = &s.List[index];
    const std::string key = RecordKey(*record);
    // The cycle passes a disabled record by, so "done" would report a download that never ran.
    if (!record->Enabled) {
        reply.Finish(1, key + " is disabled, so nothing was downloaded (stormfetch --enable \"" + key + "\")");
        return;
    }
    // While a loop plays or the shapefiles come in, the button runs no cycle.
    if (s.FetchBusy) {
        reply.Finish(1, "not available now (a loop or the shapefile download is running); try again once it has ended");
        return;
    }
    s.RadarGrid.Row = index + 1;
    if (!ClickForReply(s.DownloadBtn, reply))
        return;
    if (m_main.CloseRequested()) {
        reply.Finish(1, "the download was cut short: the running copy is closing");
        return;
    }
    // The record may have gone while the cycle pumped; look it up again by its key.
    std::string error;
    const int now = FindRecord(s.List, key, error);
    if (!args.empty() && now >= 0 && StartsWith(s.List[now].Status, "Error")) {
        reply.Finish(1, key + ": " + s.List[now].Status);
        return;
    }
    reply.Out(s.RidgeLbl.Caption());
    if (!args.empty()) {
        reply.Finish(0, "Download of " + key + " done" + (now >= 0 ? ": " + s.List[now].Status : std::string()));
        return;
    }
    // Every enabled record was due, so each one's status is this cycle's outcome.
    int enabled = 0, failed = 0;
    std::string firstFailure;
    for (int i = 0; i < s.List.Count(); ++i) {
        if (!s.List[i].Enabled)
            continue;
        ++enabled;
        if (StartsWith(s.List[i].Status, "Error") && failed++ == 0)
            firstFailure = RecordKey(s.List[i]) + ": " + s.List[i].Status;
    }
    if (enabled > 0 && failed == enabled) {
        reply.Finish(1, "every download failed: " + firstFailure +
                            (failed > 1 ? " (and " + std::to_string(failed - 1) + " more; stormfetch --list shows them)"
                                        : std::string()));
        return;
    }
    reply.Finish(0, failed == 0 ? std::string("Download done")
                                : "Download done; " + std::to_string(failed) + " of " + std::to_string(enabled) +
                                      " records in error (stormfetch --list shows them)");
}

void TStation::Status(TChannelReply& reply)
{
    TShared& s = m_main.Shared();
    for (const std::string& line : ListTable(s))
        reply.Out(line);
    const std::pair<const char*, const TTextControl*> labels[] = {
        {"State", &s.StateLbl}, {"File", &s.FileLbl}, {"Transfer", &s.RidgeLbl}, {"Shapefiles", &s.ShpLbl},
        {"Loop", &s.LoopLbl},   {"Memory", &s.HeapLbl}, {"UI-View", &s.UvULbl}};
    reply.Out(std::string("Status bar: ") + s.Sbar.Panel(0) + " [" + s.Sbar.Panel(1) + "]");
    for (const auto& [name, label] : labels)
        reply.Out(std::string(name) + ": " + label->Caption());
    reply.Finish(0, std::string(kVersionText) + " running in " + m_folder
                        + (s.Process.Enabled() ? ", idle" : ", a download cycle is running"));
}

} // namespace sf

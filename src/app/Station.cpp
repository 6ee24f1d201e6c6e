#include "app/Station.h"
#include "app/Commands.h"
#include "app/Main.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/Text.h"
#include <climits>
#include <cstdlib>

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
    Run(request, *reply);
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
        Run(next.Request, *next.Reply);
    }
    m_retry.stop();
}

void TStation::Run(const TChannelRequest& request, TChannelReply& reply)
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
        reply.Out(line);
    reply.Finish(result.Status, result.Message);
}

void TStation::Send(const std::string& verb, const std::vector<std::string>& args, TChannelReply& reply)
{
    TShared& s = m_main.Shared();
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
    TTextControl* control = nullptr;
    if (verb == "redraw")
        control = &s.RedrawBtn;
    else if (verb == "loop")
        control = &s.LoopRadar1;
    else if (verb == "zoom")
        control = &s.RadarZoom1;
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
        reply.Finish(1, "not available now (" + control->Name() + " is disabled)");
        return;
    }
    const std::string fileBefore = s.FileLbl.Caption();
    m_running = true;
    const bool clicked = ClickForReply(*control, reply);
    m_running = false;
    if (!clicked)
        return;
    if (verb == "redraw") {
        if (s.Sbar.Panel(0) != "Redrawing map" || StartsWith(s.FileLbl.Caption(), "Error"))
            reply.Finish(1, s.FileLbl.Caption() != fileBefore ? s.FileLbl.Caption() : s.Sbar.Panel(0));
        else
            reply.Finish(0, "Map redrawn");
        return;
    }
    if (verb == "shapefiles") {
        reply.Finish(0, s.ShpLbl.Caption());
        return;
    }
    reply.Finish(0, verb + " done" + (s.LoopLbl.Caption().empty() ? "" : ": " + s.LoopLbl.Caption()));
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
        std::string error;
        index = FindRecord(s.List, args[0], error);
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
            reply.Finish(1, s.List.Empty() ? EmptyListHint() : "no enabled record to download");
            return;
        }
    }
    if (!s.DownloadBtn.Enabled) {
        reply.Finish(1, "not available now (a download is running)");
        return;
    }
    const TRadarObj* record = &s.List[index];
    const std::string key = RecordKey(*record);
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
    if (now >= 0 && StartsWith(s.List[now].Status, "Error")) {
        reply.Finish(1, key + ": " + s.List[now].Status);
        return;
    }
    reply.Out(s.RidgeLbl.Caption());
    reply.Finish(0, args.empty() ? "Download done" : "Download of " + key + " done" +
                                                         (now >= 0 ? ": " + s.List[now].Status : std::string()));
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

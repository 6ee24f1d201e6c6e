// The running copy's side of the command channel: each request from a start with
// the same program folder runs the handler of the matching button or menu item.
// Commands that change the list or start work wait while a scheduler tick runs.
#pragma once
#include "app/Channel.h"
#include "app/CommandDialogs.h"
#include "core/Controls.h"
#include "core/Shared.h"
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sf {

class TMain;

class TStation {
public:
    /// programDir: the running copy's folder; requests from another folder are refused.
    TStation(TMain& main, TCommandDialogs& dialogs, const std::string& programDir);
    ~TStation();
    TStation(const TStation&) = delete;
    TStation& operator=(const TStation&) = delete;
    /// From now on requests run (until then they wait: the program is still starting).
    void SetReady();
    /// Takes one request (answers now, or once the running tick has ended).
    void Handle(const TChannelRequest& request, const std::shared_ptr<TChannelReply>& reply);

private:
    struct TPending {
        TChannelRequest Request;
        std::shared_ptr<TChannelReply> Reply;
    };
    void Run(const TChannelRequest& request, const std::shared_ptr<TChannelReply>& reply);
    void RunPending();
    void Send(const std::string& verb, const std::vector<std::string>& args, const std::shared_ptr<TChannelReply>& reply);
    void Status(TChannelReply& reply);
    void Download(const std::vector<std::string>& args, TChannelReply& reply);
    /// Asks the tray's loop; the answer is the loop's own closing text, once it has played.
    void Loop(const std::shared_ptr<TChannelReply>& reply);
    void Zoom(TChannelReply& reply);
    /// Every change the views see: the loop's progress and the error log's messages.
    void Heard(const std::string& control, const std::string& text);
    void FinishLoop(int status, const std::string& text);
    /// Answers the waiting redraws by how a redraw ended.
    void FinishRedraw(const TRedrawOutcome& outcome);
    /// Clicks as the command's user; false (the reply finished with the reason) when the
    /// click is not wired or showed an error.
    bool ClickForReply(const TControl& control, TChannelReply& reply);

    TMain& m_main;
    TCommandDialogs& m_dialogs;
    std::string m_folder;
    std::deque<TPending> m_pending;
    QTimer m_retry;
    bool m_running = false;
    bool m_ready = false;
    std::vector<std::string> m_logs;            ///< error-log messages of the running click
    std::shared_ptr<TChannelReply> m_loopReply; ///< a loop asked for and not yet ended
    bool m_loopStarted = false;
    std::string m_loopTrouble;
    QTimer m_loopWait;
    int m_loopWaitTicks = 0;
    /// Redraws that wait for the link call that runs: the redraw is made when that call ends.
    std::vector<std::shared_ptr<TChannelReply>> m_redrawReplies;
    QTimer m_redrawWait;
    int m_redrawWaitTicks = 0;
    bool m_watchRedraw = false;                ///< a redraw command's click runs
    std::optional<TRedrawOutcome> m_firstRedraw; ///< the first redraw that ended during it
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

/// The folder as the file system names it (links resolved), ending in "/"; as given when it does not exist.
std::string RealFolder(const std::string& folder);

} // namespace sf

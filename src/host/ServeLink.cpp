#include "host/ServeLink.h"
#include "host/CommandLink.h"
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

namespace sf {

namespace {
constexpr int kQuitWaitMs = 3000; // the orderly end (Unadvise) at the program's close

void SetError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
} // namespace

TServeLine ParseServeLine(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    TServeLine r;
    if (line == "ok")
        r.Kind = TServeLine::Ok;
    else if (line == "closed")
        r.Kind = TServeLine::Closed;
    else if (StartsWith(line, "error ")) {
        r.Kind = TServeLine::Error;
        r.Text = line.substr(6);
    } else if (line == "gone" || StartsWith(line, "gone ")) {
        r.Kind = TServeLine::Gone;
        r.Text = line.size() > 5 ? line.substr(5) : std::string();
    }
    return r;
}

TServeLink::TServeLink(TServeCommand command) : m_command(std::move(command)) {}

TServeLink::~TServeLink()
{
    if (!m_process)
        return;
    m_stopping = true;
    m_process->disconnect();
    if (m_process->state() == QProcess::Running) {
        m_process->write("quit\n");
        m_process->closeWriteChannel(); // the end of input is a quit too
        if (m_process->waitForFinished(kQuitWaitMs))
            return;
    }
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(2000);
    }
}

long long TServeLink::HelperPid() const
{
    return m_process && m_process->state() == QProcess::Running ? m_process->processId() : 0;
}

bool TServeLink::StartHelper(std::string* error)
{
    if (m_process && m_helperEnding) {
        // It said closed or gone and is ending: let it end (Finished drops it) before a new one.
        if (!m_process->waitForFinished(kQuitWaitMs) && m_process) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    if (m_process && m_process->state() != QProcess::NotRunning)
        return true;
    m_helperEnding = m_serverGone = false;
    m_process = std::make_unique<QProcess>();
    QStringList args;
    for (const std::string& a : m_command.Arguments)
        args << QString::fromStdString(a);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : m_command.Environment)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    m_process->setProcessEnvironment(env);
    m_process->setProgram(QString::fromStdString(m_command.Program));
    m_process->setArguments(args);
    m_process->setProcessChannelMode(QProcess::SeparateChannels); // standard error only for the reason of a death
    m_pending.clear();
    QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, [this]() { ReadLines(); });
    QObject::connect(m_process.get(), &QProcess::finished, [this](int, QProcess::ExitStatus) { Finished(); });
    m_process->start();
    if (!m_process->waitForStarted(m_command.TimeoutMs)) {
        SetError(error, m_command.Program + " could not be started: " + m_process->errorString().toStdString());
        m_process->disconnect();
        m_process.reset();
        return false;
    }
    return true;
}

bool TServeLink::Request(const std::string& line, int timeoutMs, std::string* error)
{
    if (m_busy) {
        SetError(error, "another link call is still running");
        return false;
    }
    m_busy = true;
    QEventLoop loop;
    m_wait = &loop;
    // An attach sent when the helper was started again is answered first.
    while (m_asyncAttach && m_process)
        if (loop.exec() != 0)
            break; // the application is quitting: its loops return at once
    bool ok = false;
    if (!m_process || m_process->state() != QProcess::Running) {
        SetError(error, "the link helper is not running");
    } else {
        QTimer limit, slow;
        limit.setSingleShot(true);
        slow.setSingleShot(true);
        bool timedOut = false;
        QObject::connect(&limit, &QTimer::timeout, &loop, [&]() {
            timedOut = true;
            m_process->kill(); // Finished ends the wait
        });
        QObject::connect(&slow, &QTimer::timeout, &loop, [&]() {
            if (OnSlow)
                OnSlow("Waiting for UiView: the link helper is slow to answer (at most " +
                       std::to_string(timeoutMs / 1000) + " s)");
        });
        limit.start(timeoutMs);
        if (m_command.SlowMs > 0 && m_command.SlowMs < timeoutMs)
            slow.start(m_command.SlowMs);
        m_answered = false;
        m_process->write((line + "\n").c_str());
        while (!m_answered && m_process)
            if (loop.exec() != 0)
                break; // the application is quitting: its loops return at once
        if (m_answered && m_answerOk)
            ok = true;
        else if (m_answered)
            SetError(error, m_answer);
        else if (timedOut)
            SetError(error, "the link helper did not answer " + line + " within " + std::to_string(timeoutMs / 1000) +
                                " s and was stopped");
        else
            SetError(error, "the link helper ended during " + line);
    }
    m_wait = nullptr;
    m_busy = false;
    return ok;
}

void TServeLink::ReadLines()
{
    if (!m_process)
        return;
    m_pending += m_process->readAllStandardOutput().toStdString();
    for (size_t end = m_pending.find('\n'); end != std::string::npos; end = m_pending.find('\n')) {
        const TServeLine line = ParseServeLine(m_pending.substr(0, end));
        m_pending.erase(0, end + 1);
        Line(line);
    }
}

void TServeLink::Line(const TServeLine& line)
{
    if (line.Kind == TServeLine::Ok || line.Kind == TServeLine::Error) {
        if (m_asyncAttach) {
            m_asyncAttach = false;
            m_connected = line.Kind == TServeLine::Ok;
            if (!m_connected && OnNotice)
                OnNotice("UiView link lost; attaching again failed: " + line.Text);
        } else {
            m_answerOk = line.Kind == TServeLine::Ok;
            m_answer = line.Text;
            m_answered = true;
        }
        if (m_wait)
            m_wait->exit(0);
        return;
    }
    if (line.Kind == TServeLine::Closed || line.Kind == TServeLine::Gone)
        m_helperEnding = true; // the helper ends after either
    if (line.Kind == TServeLine::Closed) {
        m_connected = false;
        if (OnClosing)
            OnClosing();
    } else if (line.Kind == TServeLine::Gone) {
        m_connected = false;
        m_serverGone = true;
        if (OnNotice)
            OnNotice("UiView went away without closing: " + line.Text);
    }
}

void TServeLink::Finished()
{
    ReadLines(); // answers and events written just before the end
    const bool lost = m_connected && !m_stopping;
    const std::string said = m_process ? m_process->readAllStandardError().trimmed().toStdString() : std::string();
    const int code = m_process ? m_process->exitCode() : 0;
    const bool crashed = m_process && m_process->exitStatus() != QProcess::NormalExit;
    m_asyncAttach = false;
    m_connected = false;
    if (m_process) {
        m_process->disconnect();
        m_process.release()->deleteLater(); // this runs inside one of its signals
    }
    if (m_wait)
        m_wait->exit(0);
    if (!lost)
        return;
    // The helper died under a live link: the map program may still run, so link again.
    if (OnNotice)
        OnNotice("The UiView link helper ended unexpectedly (" +
                 (crashed ? std::string("abnormal end") : "exit code " + std::to_string(code)) +
                 (said.empty() ? std::string() : ": " + said.substr(0, 300)) + "); starting it again");
    // Later, outside the helper's signal; the token tells whether this link still exists then.
    std::weak_ptr<int> alive = m_alive;
    QTimer::singleShot(0, [this, alive]() {
        if (alive.lock())
            Reattach();
    });
}

void TServeLink::Reattach()
{
    if (m_connected || m_busy || m_process)
        return;
    std::string error;
    if (!StartHelper(&error)) {
        if (OnNotice)
            OnNotice("UiView link lost; " + error);
        return;
    }
    m_asyncAttach = true;
    m_process->write("attach\n");
}

bool TServeLink::Connect(std::string* error)
{
    if (m_connected)
        return true;
    if (m_busy) {
        SetError(error, "another link call is still running");
        return false;
    }
    if (!StartHelper(error))
        return false;
    // The first link may start the map program; after one was made, a closed map
    // program is only attached to again once someone started it.
    const std::string verb = m_everConnected ? "attach" : "connect";
    if (!Request(verb, m_command.ConnectTimeoutMs, error)) {
        // A failed attempt leaves no helper: each attempt starts from a fresh process.
        if (m_process && m_process->state() == QProcess::Running) {
            m_process->write("quit\n");
            m_process->closeWriteChannel();
            if (!m_process->waitForFinished(kQuitWaitMs) && m_process) {
                m_process->kill();
                m_process->waitForFinished(2000);
            }
        }
        return false;
    }
    m_connected = m_everConnected = true;
    return true;
}

bool TServeLink::Call(const std::string& line, std::string* error)
{
    if (!m_connected) {
        SetError(error, "not connected to UiView");
        return false;
    }
    if (Request(line, m_command.TimeoutMs, error))
        return true;
    // The map program died behind the link before the helper's probe noticed (a kill
    // and a new start can fall between two probes): one new link, and the call once
    // more, reach the instance its user started since. With none running the attach
    // fails and the call's own reason stands.
    if (!m_serverGone)
        return false;
    std::string relink;
    if (!Connect(&relink))
        return false;
    return Request(line, m_command.TimeoutMs, error);
}

bool TServeLink::Redraw(std::string* error) { return Call("redraw", error); }

bool TServeLink::ActivateView(std::string* error)
{
    if (m_busy) {
        SetError(error, "another link call is still running");
        return false;
    }
    return true;
}

bool TServeLink::ShowArea(double left, double top, double right, double bottom, std::string* error)
{
    return Call("zoom " + LinkNumber(left) + " " + LinkNumber(top) + " " + LinkNumber(right) + " " + LinkNumber(bottom),
                error);
}

} // namespace sf

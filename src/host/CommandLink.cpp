#include "host/CommandLink.h"
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <charconv>

namespace sf {

namespace {
void SetError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

void ReplaceAll(std::string& s, const std::string& what, const std::string& with)
{
    if (what.empty())
        return;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + with.size()))
        s.replace(p, what.size(), with);
}

/// The program's environment with the link's own variables set.
QProcessEnvironment LinkEnvironment(const TLinkCommands& commands)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : commands.Environment)
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    return env;
}

/// The first line a command wrote on standard error, for the error message.
std::string FirstLine(const QByteArray& text)
{
    std::string line = text.left(text.indexOf('\n')).trimmed().toStdString();
    return line.size() > 300 ? line.substr(0, 300) : line;
}
} // namespace

std::string LinkNumber(double value)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

TCommandLink::TCommandLink(TLinkCommands commands) : m_commands(std::move(commands)) {}

TCommandLink::~TCommandLink()
{
    if (m_watch) {
        m_watch->disconnect();
        if (m_watch->state() != QProcess::NotRunning) {
            m_watch->kill();
            m_watch->waitForFinished(1000);
        }
    }
}

bool TCommandLink::Run(const std::string& commandLine,
                       const std::vector<std::pair<std::string, std::string>>& replacements, std::string* error,
                       int timeoutMs)
{
    if (timeoutMs <= 0)
        timeoutMs = m_commands.TimeoutMs;
    if (m_busy) {
        SetError(error, "another link command is still running");
        return false;
    }
    QStringList parts = QProcess::splitCommand(QString::fromStdString(commandLine));
    if (parts.isEmpty()) {
        SetError(error, "no command configured");
        return false;
    }
    for (QString& part : parts) {
        std::string a = part.toStdString();
        for (const auto& [what, with] : replacements)
            ReplaceAll(a, what, with);
        part = QString::fromStdString(a);
    }
    const std::string program = parts.front().toStdString();
    QProcess p;
    p.setProgram(parts.takeFirst());
    p.setArguments(parts);
    p.setProcessEnvironment(LinkEnvironment(m_commands));
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setProcessChannelMode(QProcess::SeparateChannels); // standard error is kept for the message

    QEventLoop loop;
    QTimer limit, slow;
    limit.setSingleShot(true);
    slow.setSingleShot(true);
    QObject::connect(&slow, &QTimer::timeout, &loop, [&]() {
        if (OnSlow)
            OnSlow("Waiting for UiView: " + program + " is slow to answer (at most "
                   + std::to_string(timeoutMs / 1000) + " s)");
    });
    bool done = false, failedToStart = false, timedOut = false, quitting = false;
    QObject::connect(&p, &QProcess::finished, &loop, [&](int, QProcess::ExitStatus) {
        done = true;
        loop.quit();
    });
    QObject::connect(&p, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            failedToStart = done = true;
            loop.quit();
        }
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, [&]() {
        timedOut = true;
        p.kill(); // finished follows
    });

    m_busy = true;
    limit.start(timeoutMs);
    if (m_commands.SlowMs > 0 && m_commands.SlowMs < timeoutMs)
        slow.start(m_commands.SlowMs);
    p.start();
    if (!done) // a start failure may have been announced already
        loop.exec(); // the event loop keeps running while the command does
    if (!done) {
        // The loop was ended from outside (the application is quitting), and a quitting
        // application's loops return at once without running events: stop the command
        // and reap it directly instead of waiting for its notification.
        quitting = true;
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(2000);
        }
    }
    limit.stop();
    slow.stop();
    m_busy = false;

    if (failedToStart) {
        SetError(error, program + " could not be started: " + p.errorString().toStdString());
        return false;
    }
    if (quitting) {
        SetError(error, program + " was stopped because the program is closing");
        return false;
    }
    if (timedOut) {
        SetError(error, program + " was stopped after " + std::to_string(timeoutMs / 1000) + " s");
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit) {
        SetError(error, program + " ended abnormally");
        return false;
    }
    if (p.exitCode() != 0) {
        const std::string said = FirstLine(p.readAllStandardError());
        SetError(error, program + " ended with exit code " + std::to_string(p.exitCode())
                            + (said.empty() ? std::string() : ": " + said));
        return false;
    }
    return true;
}

bool TCommandLink::Connect(std::string* error)
{
    if (m_connected)
        return true;
    if (!m_commands.Connect.empty() && !Run(m_commands.Connect, {}, error, m_commands.ConnectTimeoutMs))
        return false;
    m_connected = true;
    StartWatch();
    return true;
}

void TCommandLink::StartWatch()
{
    if (m_commands.Watch.empty())
        return;
    QStringList parts = QProcess::splitCommand(QString::fromStdString(m_commands.Watch));
    if (parts.isEmpty())
        return;
    m_watch = std::make_unique<QProcess>();
    m_watch->setProgram(parts.takeFirst());
    m_watch->setArguments(parts);
    m_watch->setProcessEnvironment(LinkEnvironment(m_commands));
    m_watch->setStandardInputFile(QProcess::nullDevice());
    m_watch->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(m_watch.get(), &QProcess::finished, [this](int code, QProcess::ExitStatus status) {
        WatchEnded(code, status != QProcess::NormalExit);
    });
    m_watch->start();
}

void TCommandLink::WatchEnded(int exitCode, bool crashed)
{
    if (!m_connected)
        return;
    if (!crashed && exitCode == 0) {
        if (OnClosing)
            OnClosing();
        return;
    }
    // Not the closing announcement: the watch lost its connection or could not make
    // one. The map program may still be running, so the program stays.
    const std::string said = m_watch ? FirstLine(m_watch->readAllStandardError()) : std::string();
    if (OnNotice)
        OnNotice("The UiView watch ended without UiView closing ("
                 + (crashed ? std::string("abnormal end") : "exit code " + std::to_string(exitCode))
                 + (said.empty() ? std::string() : ": " + said) + ")");
}

bool TCommandLink::Redraw(std::string* error)
{
    if (m_commands.Redraw.empty()) {
        SetError(error, "no Redraw command configured");
        return false;
    }
    return Run(m_commands.Redraw, {}, error);
}

bool TCommandLink::ActivateView(std::string* error)
{
    if (m_busy) {
        SetError(error, "another link command is still running");
        return false;
    }
    return true;
}

bool TCommandLink::ShowArea(double left, double top, double right, double bottom, std::string* error)
{
    if (m_commands.Zoom.empty()) {
        SetError(error, "no Zoom command configured");
        return false;
    }
    return Run(m_commands.Zoom,
               {{"%left%", LinkNumber(left)}, {"%top%", LinkNumber(top)},
                {"%right%", LinkNumber(right)}, {"%bottom%", LinkNumber(bottom)}},
               error);
}

} // namespace sf

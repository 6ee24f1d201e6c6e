#include "app/Channel.h"
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <ostream>

namespace sf {

struct TChannelReply::TImpl {
    QPointer<QLocalSocket> Socket;
    std::function<void(const TReplyLine&)> Sink;
};

TChannelReply::TChannelReply(QLocalSocket* socket) : m_impl(std::make_unique<TImpl>())
{
    m_impl->Socket = socket;
}

TChannelReply::TChannelReply(std::function<void(const TReplyLine&)> sink) : m_impl(std::make_unique<TImpl>())
{
    m_impl->Sink = std::move(sink);
}

TChannelReply::~TChannelReply()
{
    // A request dropped without an answer still ends its sender's wait.
    if (!m_finished)
        Finish(1, "the running copy did not answer the command");
}

void TChannelReply::Send(const TReplyLine& line)
{
    if (m_finished)
        return;
    if (m_impl->Sink) {
        m_impl->Sink(line);
        return;
    }
    if (!m_impl->Socket || m_impl->Socket->state() != QLocalSocket::ConnectedState)
        return;
    const std::string text = FormatReplyLine(line) + "\n";
    m_impl->Socket->write(text.data(), (qint64)text.size());
    m_impl->Socket->flush();
}

void TChannelReply::Out(const std::string& text)
{
    Send({TReplyLine::Out, 0, text});
}

void TChannelReply::Err(const std::string& text)
{
    Send({TReplyLine::Err, 0, text});
}

void TChannelReply::Finish(int status, const std::string& text)
{
    Send({TReplyLine::Final, status, text});
    m_finished = true;
    if (m_impl->Socket)
        m_impl->Socket->disconnectFromServer(); // after the written bytes have gone
}

TChannelServer::TChannelServer(QLocalServer& server, THandler handler, int silentMs)
    : m_handler(std::move(handler)), m_silentMs(silentMs)
{
    std::shared_ptr<bool> alive = m_alive;
    QObject::connect(&server, &QLocalServer::newConnection, &server, [this, alive, &server] {
        while (QLocalSocket* s = server.nextPendingConnection()) {
            if (*alive)
                Accept(s);
            else
                s->deleteLater();
        }
    });
}

TChannelServer::~TChannelServer()
{
    *m_alive = false;
}

void TChannelServer::Accept(QLocalSocket* socket)
{
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A client that never completes its line is dropped, so it cannot hold a connection open.
    auto* silent = new QTimer(socket);
    silent->setSingleShot(true);
    QObject::connect(silent, &QTimer::timeout, socket, [socket] { socket->abort(); });
    silent->start(m_silentMs);

    auto buffer = std::make_shared<std::string>();
    std::shared_ptr<bool> alive = m_alive;
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, alive, socket, silent, buffer] {
        if (!silent->isActive())
            return; // the one line of this connection has been taken already
        const QByteArray data = socket->readAll();
        buffer->append(data.constData(), (size_t)data.size());
        const size_t eol = buffer->find('\n');
        if (eol == std::string::npos) {
            if (buffer->size() > kMaxRequestLine) {
                silent->stop();
                TChannelReply(socket).Finish(2, "command too long (more than " + std::to_string(kMaxRequestLine)
                                                    + " characters)");
            }
            return;
        }
        silent->stop();
        std::string line = buffer->substr(0, eol);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        buffer->clear();
        if (line == kNoticeLine) {
            if (*alive)
                ++m_notices;
            socket->disconnectFromServer();
            return;
        }
        TChannelRequest request;
        std::string error;
        if (!ParseRequest(line, request, error)) {
            TChannelReply(socket).Finish(2, "malformed command: " + error);
            return;
        }
        auto reply = std::make_shared<TChannelReply>(socket);
        if (*alive && m_handler)
            m_handler(request, reply);
        else
            reply->Finish(1, "the running copy is closing");
    });
}

TSendResult SendChannelRequest(const std::string& socketPath, const TChannelRequest& request, std::ostream& out,
                               std::ostream& err, int replyMs)
{
    TSendResult result;
    std::string line;
    if (!FormatRequest(request, line)) {
        err << "stormfetch: an argument holds a tab or a line break, which a command cannot carry" << std::endl;
        return result;
    }
    QLocalSocket s;
    s.connectToServer(QString::fromStdString(socketPath));
    if (!s.waitForConnected(2000))
        return result;
    result.Connected = true;
    line += "\n";
    s.write(line.data(), (qint64)line.size());
    s.flush();
    QElapsedTimer clock;
    clock.start();
    std::string buffer;
    while (true) {
        size_t eol;
        while ((eol = buffer.find('\n')) != std::string::npos) {
            const std::string text = buffer.substr(0, eol);
            buffer.erase(0, eol + 1);
            TReplyLine reply;
            if (!ParseReplyLine(text, reply))
                continue;
            if (reply.Kind == TReplyLine::Out) {
                out << reply.Text << "\n";
            } else if (reply.Kind == TReplyLine::Err) {
                err << "stormfetch: " << reply.Text << "\n";
            } else {
                (reply.Status == 0 ? out : err) << (reply.Status == 0 ? "" : "stormfetch: ") << reply.Text << std::endl;
                result.Status = reply.Status;
                return result;
            }
        }
        if (s.bytesAvailable() == 0) {
            if (s.state() != QLocalSocket::ConnectedState) {
                err << "stormfetch: the running copy closed the connection without an answer" << std::endl;
                return result;
            }
            const qint64 left = replyMs - clock.elapsed();
            if (left <= 0) {
                err << "stormfetch: no answer from the running copy within " << replyMs / 1000 << " s" << std::endl;
                return result;
            }
            s.waitForReadyRead((int)std::min<qint64>(left, 1000));
        }
        const QByteArray data = s.readAll();
        buffer.append(data.constData(), (size_t)data.size());
    }
}

} // namespace sf

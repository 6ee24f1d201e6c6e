#include "net/HttpCli.h"
#include "core/Text.h"
#include <QBuffer>
#include <QCoreApplication>
#include <QFileDevice>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>

namespace sf {

namespace {

// The system error behind a socket failure: the toolkit reports only its own kinds.
int SystemError(QAbstractSocket::SocketError e)
{
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError: return ECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError: return ECONNRESET;
    case QAbstractSocket::HostNotFoundError: return EHOSTUNREACH;
    case QAbstractSocket::SocketAccessError: return EACCES;
    case QAbstractSocket::SocketResourceError: return EMFILE;
    case QAbstractSocket::SocketTimeoutError: return ETIMEDOUT;
    case QAbstractSocket::NetworkError: return ENETUNREACH;
    case QAbstractSocket::AddressInUseError: return EADDRINUSE;
    case QAbstractSocket::SocketAddressNotAvailableError: return EADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError: return EOPNOTSUPP;
    default: return 0;
    }
}

// "<system text> (Error #<system number>)"; failures without a system error keep the toolkit's text.
std::string ErrorText(QAbstractSocket* s)
{
    const int code = SystemError(s->error());
    if (code == 0)
        return s->errorString().toStdString() + " (Error #0)";
    return std::string(std::strerror(code)) + " (Error #" + std::to_string(code) + ")";
}

} // namespace

THttpCli::THttpCli(std::string name) : m_name(std::move(name)), m_ctx(std::make_unique<QObject>()) {}

THttpCli::~THttpCli()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    for (QTcpSocket* s : m_oldSockets)
        if (s)
            s->disconnect(m_ctx.get());
    if (m_socket) {
        m_socket->disconnect(m_ctx.get());
        m_socket->abort();
        delete m_socket;
    }
}

void THttpCli::SetState(THttpState s)
{
    m_state = s;
    if (OnStateChange)
        OnStateChange(*this);
}

void THttpCli::Get()
{
    if (m_state != httpReady)
        throw EHttpException("HTTP component " + m_name + " is busy", 1);
    m_hops = 0;
    m_socketError = false;
    const int gen = m_generation;
    SetState(httpNotConnected);
    if (gen == m_generation)
        StartHop(false);
    QTimer wake; // bounds every wait to 1000 ms
    wake.start(1000);
    while (gen == m_generation && QCoreApplication::instance()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (QCoreApplication::closingDown()) {
            Abort();
            break;
        }
    }
    if (m_statusCode > 399 && m_statusCode != 401 && m_statusCode != 407)
        throw EHttpException(m_reason, m_statusCode);
}

void THttpCli::StartHop(bool relocation)
{
    m_statusCode = 0;
    m_reason.clear();
    m_contentLength = -1;
    m_contentType.clear();
    m_header.clear();
    m_receivedCount = 0;
    m_discardedCount = 0;
    m_connected = false;
    m_tlsPending = false;
    m_tunnelHeaderSeen = false;
    m_tlsErrors.clear();
    m_target = SplitUrl(URL);
    m_viaProxy = !Proxy.empty();
    m_tunnelling = m_viaProxy && m_target.Scheme == "https";
    if (m_viaProxy) {
        SplitProxy(Proxy, ProxyPort, m_connectHost, m_connectPort);
    } else {
        m_connectHost = m_target.Host;
        m_connectPort = m_target.Port;
    }
    if (relocation)
        ResetStreamForNextDocument();
    const int gen = m_generation;
    SetState(httpDnsLookup);
    if (gen == m_generation)
        Lookup(m_connectHost);
}

void THttpCli::Lookup(const std::string& host)
{
    const int gen = m_generation;
    QHostAddress literal;
    if (literal.setAddress(QString::fromStdString(host))) {
        const std::string address = literal.toString().toStdString();
        QTimer::singleShot(0, m_ctx.get(), [this, gen, address] { LookedUp(gen, {address}, {}); });
        return;
    }
    if (host.empty()) {
        QTimer::singleShot(0, m_ctx.get(), [this, gen] { LookedUp(gen, {}, "empty host name"); });
        return;
    }
    m_lookupId = QHostInfo::lookupHost(QString::fromStdString(host), m_ctx.get(), [this, gen](const QHostInfo& info) {
        std::vector<std::string> addresses;
        for (const QHostAddress& a : info.addresses())
            if (a.protocol() == QAbstractSocket::IPv4Protocol)
                addresses.push_back(a.toString().toStdString());
        for (const QHostAddress& a : info.addresses())
            if (a.protocol() != QAbstractSocket::IPv4Protocol)
                addresses.push_back(a.toString().toStdString());
        LookedUp(gen, addresses, info.errorString().toStdString());
    });
}

void THttpCli::LookedUp(int generation, const std::vector<std::string>& addresses, const std::string&)
{
    if (generation != m_generation)
        return;
    m_lookupId = -1;
    // A scheme this client does not speak ends the request whatever its host: a
    // "file:///" target has no host to resolve at all.
    const std::string scheme = m_target.Scheme;
    const bool spoken = scheme == "http" || scheme == "https";
    if (addresses.empty() && spoken) {
        EndRequest(404, "can't resolve hostname to IP address");
        return;
    }
    SetState(httpDnsLookupDone);
    if (generation != m_generation)
        return;
    if (!spoken) {
        EndRequest(501, "Protocol \"" + scheme + "\" not implemented");
        return;
    }
    if (scheme == "https" && !QSslSocket::supportsSsl()) {
        EndRequest(501, "Protocol \"https\" not implemented: no TLS library available");
        return;
    }
    Connect(addresses.front());
}

void THttpCli::Connect(const std::string& address)
{
    long long port = 0;
    if (!TryStrToInt(m_connectPort, port) || port < 1 || port > 65535) {
        EndRequest(404, "can't connect: invalid port \"" + m_connectPort + "\"");
        return;
    }
    const int gen = m_generation;
    const bool tls = m_target.Scheme == "https";
    QSslSocket* ssl = nullptr;
    if (tls) {
        ssl = new QSslSocket;
        QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
        if (!ExtraCaCertificates.isEmpty())
            conf.addCaCertificates(ExtraCaCertificates);
        conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
        ssl->setSslConfiguration(conf);
        m_socket = ssl;
        QObject::connect(ssl, &QSslSocket::encrypted, m_ctx.get(), [this, gen] {
            if (gen != m_generation)
                return;
            m_tlsPending = false;
            if (m_tunnelling)
                SendRequest();
            else
                Connected();
        });
        QObject::connect(ssl, &QSslSocket::sslErrors, m_ctx.get(), [this, gen](const QList<QSslError>& errors) {
            if (gen != m_generation)
                return;
            for (const QSslError& e : errors)
                m_tlsErrors += (m_tlsErrors.empty() ? "" : "; ") + e.errorString().toStdString();
        });
    } else {
        m_socket = new QTcpSocket;
    }
    QTcpSocket* sock = m_socket;
    if (!tls || m_tunnelling)
        QObject::connect(sock, &QTcpSocket::connected, m_ctx.get(), [this, gen] {
            if (gen == m_generation)
                Connected();
        });
    QObject::connect(sock, &QTcpSocket::readyRead, m_ctx.get(), [this, gen] {
        if (gen == m_generation)
            ReadSome();
    });
    QObject::connect(sock, &QTcpSocket::disconnected, m_ctx.get(), [this, gen] {
        if (gen == m_generation)
            PeerClosed();
    });
    QObject::connect(sock, &QTcpSocket::errorOccurred, m_ctx.get(), [this, gen](QAbstractSocket::SocketError) {
        if (gen == m_generation)
            SocketFailed();
    });
    const QHostAddress host(QString::fromStdString(address));
    if (tls && !m_tunnelling) {
        m_tlsPending = true;
        ssl->connectToHostEncrypted(host.toString(), quint16(port), QString::fromStdString(m_target.Host));
    } else {
        sock->connectToHost(host, quint16(port));
    }
    if (gen == m_generation && m_socket == sock && sock->state() == QAbstractSocket::UnconnectedState &&
        sock->error() != QAbstractSocket::UnknownSocketError)
        EndRequest(404, "can't connect: " + ErrorText(sock));
}

void THttpCli::Connected()
{
    m_connected = true;
    const int gen = m_generation;
    SetState(httpConnected);
    if (gen != m_generation)
        return;
    if (m_tunnelling) {
        m_parser = std::make_unique<TAnswerParser>();
        m_parser->OnHeaderEnd = [this] { m_tunnelHeaderSeen = true; };
        SetState(httpWaitingProxyConnect);
        if (gen != m_generation)
            return;
        const std::string req = BuildConnectRequest(m_target, Agent);
        m_socket->write(req.data(), qint64(req.size()));
        return;
    }
    SendRequest();
}

void THttpCli::TunnelAnswered()
{
    const int status = m_parser->StatusCode;
    if (status < 200 || status > 299) {
        TakeHead();
        EndRequest(status, m_parser->ReasonPhrase);
        return;
    }
    auto* ssl = static_cast<QSslSocket*>(m_socket);
    m_tunnelling = true;
    m_tlsPending = true;
    m_parser.reset();
    ssl->setPeerVerifyName(QString::fromStdString(m_target.Host));
    ssl->startClientEncryption();
}

void THttpCli::SendRequest()
{
    const int gen = m_generation;
    m_parser = std::make_unique<TAnswerParser>();
    m_parser->OnHeaderEnd = [this, gen] {
        if (gen != m_generation)
            return;
        TakeHead();
        if (OnHeaderEnd)
            OnHeaderEnd(*this);
    };
    m_parser->OnBodyStart = [this, gen] {
        if (gen != m_generation)
            return;
        TakeHead();
        SetState(httpWaitingBody);
    };
    m_parser->OnBody = [this, gen](const char* data, size_t len) {
        if (gen == m_generation)
            BodyData(data, len);
    };
    SetState(httpWaitingHeader);
    if (gen != m_generation)
        return;
    const std::string req = BuildGetRequest(m_target, m_viaProxy && !m_tunnelling, Accept, Agent);
    m_socket->write(req.data(), qint64(req.size()));
}

void THttpCli::TakeHead()
{
    m_statusCode = m_parser->StatusCode;
    m_reason = m_parser->ReasonPhrase;
    m_contentLength = m_parser->ContentLength;
    m_contentType = m_parser->ContentType;
    m_header = m_parser->HeaderLines;
}

void THttpCli::BodyData(const char* data, size_t len)
{
    if (ReceiveStream && ReceiveStream->write(data, qint64(len)) != qint64(len)) {
        EndRequest(404, "can't write the received data: " + ReceiveStream->errorString().toStdString());
        return;
    }
    m_receivedCount += int64_t(len);
    if (OnDocData)
        OnDocData(*this, data, len);
}

void THttpCli::ReadSome()
{
    const int gen = m_generation;
    char buf[kReceiveBufferSize];
    while (gen == m_generation && m_socket && m_socket->bytesAvailable() > 0) {
        const qint64 n = m_socket->read(buf, sizeof buf);
        if (n <= 0)
            break;
        if (!m_parser) // nothing is expected before the request went out
            continue;
        TAnswerParser& parser = *m_parser;
        parser.Feed(buf, size_t(n));
        if (gen != m_generation)
            return;
        if (m_state == httpWaitingProxyConnect) {
            if (parser.Phase() == TAnswerParser::TPhase::Failed) {
                EndRequest(404, parser.Error());
                return;
            }
            if (m_tunnelHeaderSeen) {
                TunnelAnswered();
                return;
            }
            continue;
        }
        m_discardedCount = parser.DiscardedCount;
        if (parser.Finished()) {
            const bool relocating = FollowRelocation && parser.HasLocation && !parser.Location.empty()
                && m_hops < LocationChangeMaxCount;
            // Reading on until the close makes surplus bytes count however the server
            // split them, not only those that came with the document's last block.
            if (ReadToClose && parser.Phase() == TAnswerParser::TPhase::Done && !relocating)
                continue;
            AnswerEnded();
            return;
        }
    }
}

bool THttpCli::DocumentComplete() const
{
    return m_state != httpReady && m_state != httpWaitingProxyConnect && m_parser
        && m_parser->Phase() == TAnswerParser::TPhase::Done;
}

void THttpCli::PeerClosed()
{
    const int gen = m_generation;
    ReadSome();
    if (gen != m_generation)
        return;
    if (!m_parser || m_tlsPending) {
        EndRequest(m_tlsPending ? 404 : m_statusCode,
                   m_tlsPending ? "TLS handshake failed: " + (m_tlsErrors.empty() ? "connection closed" : m_tlsErrors) : m_reason);
        return;
    }
    if (m_state == httpWaitingProxyConnect) {
        EndRequest(404, "Proxy closed the connection before the tunnel was opened");
        return;
    }
    m_parser->Close();
    AnswerEnded();
}

void THttpCli::SocketFailed()
{
    if (!m_socket)
        return;
    const auto err = m_socket->error();
    if (err == QAbstractSocket::RemoteHostClosedError) {
        PeerClosed();
        return;
    }
    const int gen = m_generation;
    const std::string text = ErrorText(m_socket);
    m_socketError = true;
    if (OnSocketError)
        OnSocketError(*this, int(err));
    if (gen != m_generation)
        return;
    if (m_tlsPending || err == QAbstractSocket::SslHandshakeFailedError) {
        EndRequest(404, "TLS handshake failed: " + (m_tlsErrors.empty() ? m_socket->errorString().toStdString() : m_tlsErrors));
        return;
    }
    if (!m_connected) {
        EndRequest(404, text);
        return;
    }
    ReadSome();
    if (gen != m_generation)
        return;
    if (m_parser && m_state != httpWaitingProxyConnect) {
        m_parser->Close();
        AnswerEnded();
    } else {
        EndRequest(404, text);
    }
}

void THttpCli::AnswerEnded()
{
    TAnswerParser& parser = *m_parser;
    if (parser.Phase() == TAnswerParser::TPhase::Failed) {
        EndRequest(404, parser.Error());
        return;
    }
    TakeHead();
    m_discardedCount = parser.DiscardedCount;
    if (FollowRelocation && parser.HasLocation && !parser.Location.empty() && m_hops < LocationChangeMaxCount) {
        ++m_hops;
        URL = ResolveLocation(URL, parser.Location);
        DropSocket();
        const int gen = m_generation;
        if (OnLocationChange)
            OnLocationChange(*this);
        if (gen == m_generation && m_state != httpReady)
            StartHop(true);
        return;
    }
    EndRequest(m_statusCode, m_reason);
}

void THttpCli::EndRequest(int status, const std::string& reason)
{
    m_statusCode = status;
    m_reason = reason;
    Finish();
}

void THttpCli::Finish()
{
    ++m_generation;
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    DropSocket();
    SetState(httpReady);
    QTimer::singleShot(0, m_ctx.get(), [this] {
        if (OnRequestDone)
            OnRequestDone(*this);
    });
}

void THttpCli::DropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket* s = m_socket;
    m_socket = nullptr;
    s->disconnect(m_ctx.get());
    s->abort();
    s->deleteLater(); // a socket signal may be on the stack right now
}

void THttpCli::ResetStreamForNextDocument()
{
    // The body of a relocation answer is not part of the document finally fetched.
    if (!ReceiveStream)
        return;
    if (auto* f = qobject_cast<QFileDevice*>(ReceiveStream)) {
        f->resize(0);
        f->seek(0);
    } else if (auto* b = qobject_cast<QBuffer*>(ReceiveStream)) {
        b->buffer().clear();
        b->seek(0);
    } else if (!ReceiveStream->isSequential()) {
        ReceiveStream->seek(0);
    }
}

void THttpCli::Abort()
{
    if (m_state == httpReady) {
        DropSocket();
        m_statusCode = 200;
        m_reason = "OK";
        SetState(httpReady);
        QTimer::singleShot(0, m_ctx.get(), [this] {
            if (OnRequestDone)
                OnRequestDone(*this);
        });
        return;
    }
    const int gen = m_generation;
    SetState(httpAborting);
    if (gen == m_generation)
        EndRequest(404, "Connection aborted on request");
}

void THttpCli::EndTransfer()
{
    if (m_state == httpReady)
        return;
    if (m_parser && m_state != httpWaitingProxyConnect) {
        m_parser->Close();
        if (m_parser->Phase() != TAnswerParser::TPhase::Failed)
            TakeHead();
    }
    EndRequest(m_statusCode, m_reason);
}

} // namespace sf

#include "support/HttpTestServer.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/socket.h>

namespace sf::test {

namespace {

struct TCredentials {
    QSslCertificate Cert;
    QSslKey Key;
    bool Ok = false;
};

const TCredentials& Credentials()
{
    static const TCredentials creds = [] {
        TCredentials c;
        QTemporaryDir dir;
        if (!dir.isValid())
            return c;
        const QString key = dir.filePath("key.pem"), cert = dir.filePath("cert.pem");
        QProcess p;
        p.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                            "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                            "subjectAltName=IP:127.0.0.1,DNS:localhost"});
        if (!p.waitForFinished(20000) || p.exitCode() != 0)
            return c;
        QFile kf(key), cf(cert);
        if (!kf.open(QIODevice::ReadOnly) || !cf.open(QIODevice::ReadOnly))
            return c;
        c.Key = QSslKey(kf.readAll(), QSsl::Ec);
        c.Cert = QSslCertificate(cf.readAll());
        c.Ok = !c.Key.isNull() && !c.Cert.isNull();
        return c;
    }();
    return creds;
}

class TListener : public QTcpServer {
public:
    std::function<void(qintptr)> Incoming;

protected:
    void incomingConnection(qintptr handle) override { Incoming(handle); }
};

struct TConn {
    QSslSocket* Sock = nullptr;
    std::string Buffer;
    bool Answered = false;
};

} // namespace

struct THttpTestServer::TImpl {
    THttpTestServer& Owner;
    TListener Plain, Tls;
    std::map<std::string, std::vector<TStep>> Routes;
    std::vector<std::pair<std::string, std::string>> Folders;

    explicit TImpl(THttpTestServer& o) : Owner(o) {}

    void Accept(qintptr handle, bool tls)
    {
        auto* sock = new QSslSocket(tls ? static_cast<QObject*>(&Tls) : static_cast<QObject*>(&Plain));
        if (!sock->setSocketDescriptor(handle)) {
            delete sock;
            return;
        }
        ++Owner.Connections;
        auto conn = std::make_shared<TConn>();
        conn->Sock = sock;
        QObject::connect(sock, &QSslSocket::readyRead, sock, [this, conn] { Read(conn); });
        QObject::connect(sock, &QSslSocket::sslErrors, sock, [sock](const QList<QSslError>&) { sock->abort(); });
        if (tls)
            StartTls(sock);
    }

    static void StartTls(QSslSocket* sock)
    {
        sock->setLocalCertificate(Credentials().Cert);
        sock->setPrivateKey(Credentials().Key);
        sock->setPeerVerifyMode(QSslSocket::VerifyNone);
        sock->startServerEncryption();
    }

    void Read(const std::shared_ptr<TConn>& conn)
    {
        conn->Buffer += conn->Sock->readAll().toStdString();
        if (conn->Answered)
            return;
        size_t end = conn->Buffer.find("\r\n\r\n");
        size_t endLen = 4;
        if (end == std::string::npos) {
            end = conn->Buffer.find("\n\n");
            endLen = 2;
        }
        if (end == std::string::npos)
            return;
        const std::string head = conn->Buffer.substr(0, end + endLen);
        conn->Buffer.erase(0, end + endLen);
        Owner.Requests.push_back(head);
        if (Owner.OnRequest)
            Owner.OnRequest(head);
        const std::vector<std::string> lines = RequestLines(head);
        const std::string first = lines.empty() ? std::string() : lines[0];
        const size_t sp1 = first.find(' ');
        const size_t sp2 = first.find(' ', sp1 + 1);
        const std::string method = first.substr(0, sp1);
        const std::string target = sp1 == std::string::npos ? std::string() : first.substr(sp1 + 1, sp2 - sp1 - 1);
        if (method == "CONNECT" && Owner.ProxyMode) {
            conn->Sock->write("HTTP/1.0 200 Connection established\r\n\r\n");
            conn->Sock->flush();
            StartTls(conn->Sock);
            return;
        }
        conn->Answered = true;
        if (Owner.ProxyMode && !conn->Sock->isEncrypted() && target.rfind("http://", 0) != 0) {
            Run(conn->Sock, {TStep::Out("HTTP/1.0 400 Not a proxy request\r\n\r\n"), TStep::Shut()}, 0);
            return;
        }
        Run(conn->Sock, StepsFor(target), 0);
    }

    std::vector<TStep> StepsFor(const std::string& target)
    {
        if (auto it = Routes.find(target); it != Routes.end())
            return it->second;
        for (const auto& [prefix, folder] : Folders) {
            if (target.rfind(prefix, 0) != 0)
                continue;
            QFile f(QString::fromStdString(folder + target.substr(prefix.size())));
            if (f.open(QIODevice::ReadOnly)) {
                const std::string body = f.readAll().toStdString();
                return {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body),
                        TStep::Shut()};
            }
        }
        return {TStep::Out("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n\r\nNot Found"),
                TStep::Shut()};
    }

    void Run(QSslSocket* sock, std::vector<TStep> steps, size_t i)
    {
        while (i < steps.size()) {
            const TStep& st = steps[i];
            switch (st.Kind) {
            case TStep::Send:
                sock->write(st.Bytes.data(), qint64(st.Bytes.size()));
                sock->flush();
                ++i;
                break;
            case TStep::Pause:
                QTimer::singleShot(st.Ms, sock, [this, sock, steps, i] { Run(sock, steps, i + 1); });
                return;
            case TStep::Drip: {
                if (st.Bytes.empty()) {
                    ++i;
                    break;
                }
                const size_t n = std::min(st.Piece, st.Bytes.size());
                sock->write(st.Bytes.data(), qint64(n));
                sock->flush();
                std::vector<TStep> rest = steps;
                rest[i].Bytes.erase(0, n);
                QTimer::singleShot(st.Ms, sock, [this, sock, rest, i] { Run(sock, rest, i); });
                return;
            }
            case TStep::Close:
                sock->disconnectFromHost();
                return;
            case TStep::Reset: {
                struct linger lg {1, 0};
                ::setsockopt(int(sock->socketDescriptor()), SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
                sock->abort();
                return;
            }
            case TStep::Stall:
                return;
            }
        }
    }
};

THttpTestServer::THttpTestServer() : m_impl(std::make_unique<TImpl>(*this))
{
    m_impl->Plain.Incoming = [this](qintptr h) { m_impl->Accept(h, false); };
    m_impl->Tls.Incoming = [this](qintptr h) { m_impl->Accept(h, true); };
    m_impl->Plain.listen(QHostAddress::LocalHost, 0);
}

THttpTestServer::~THttpTestServer() = default;

unsigned short THttpTestServer::Port() const { return m_impl->Plain.serverPort(); }
unsigned short THttpTestServer::TlsPort() const { return m_impl->Tls.serverPort(); }

std::string THttpTestServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(Port()) + path;
}

std::string THttpTestServer::TlsUrl(const std::string& path) const
{
    return "https://127.0.0.1:" + std::to_string(TlsPort()) + path;
}

bool THttpTestServer::StartTls()
{
    if (!QSslSocket::supportsSsl() || !Credentials().Ok)
        return false;
    return m_impl->Tls.isListening() || m_impl->Tls.listen(QHostAddress::LocalHost, 0);
}

QList<QSslCertificate> THttpTestServer::TestCertificates()
{
    return Credentials().Ok ? QList<QSslCertificate>{Credentials().Cert} : QList<QSslCertificate>{};
}

void THttpTestServer::ServeFile(const std::string& target, const std::string& bytes, const std::string& type)
{
    Answer(target, "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(bytes.size()) +
                       "\r\n\r\n" + bytes);
}

void THttpTestServer::ServeFolder(const std::string& prefix, const std::string& folder)
{
    m_impl->Folders.emplace_back(prefix, folder);
}

void THttpTestServer::Answer(const std::string& target, const std::string& raw)
{
    Script(target, {TStep::Out(raw), TStep::Shut()});
}

void THttpTestServer::Script(const std::string& target, std::vector<TStep> steps)
{
    m_impl->Routes[target] = std::move(steps);
}

unsigned short THttpTestServer::UnusedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const unsigned short port = s.serverPort();
    s.close();
    return port;
}

std::vector<std::string> RequestLines(const std::string& head)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < head.size()) {
        size_t end = head.find('\n', start);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

} // namespace sf::test

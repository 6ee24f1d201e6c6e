// An HTTP/1.x server on 127.0.0.1 inside the test process, served by the same Qt
// event loop the client pumps. Every answer can be scripted byte by byte, with
// pauses, drips, stalls, closes and resets; requests are captured as received.
// A second listener speaks TLS with a certificate made for the test run.
#pragma once
#include <QList>
#include <QSslCertificate>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QTcpServer;

namespace sf::test {

/// One step of a scripted answer.
struct TStep {
    enum TKind { Send, Pause, Close, Reset, Stall, Drip };
    TKind Kind = Send;
    std::string Bytes;
    int Ms = 0;        ///< Pause length, or the interval between drip pieces
    size_t Piece = 1;  ///< drip piece size

    static TStep Out(std::string bytes) { return {Send, std::move(bytes), 0, 1}; }
    static TStep Wait(int ms) { return {Pause, {}, ms, 1}; }
    static TStep Shut() { return {Close, {}, 0, 1}; }
    static TStep Rst() { return {Reset, {}, 0, 1}; }
    static TStep Hang() { return {Stall, {}, 0, 1}; }
    static TStep Trickle(std::string bytes, size_t piece, int intervalMs) { return {Drip, std::move(bytes), intervalMs, piece}; }
};

class THttpTestServer {
public:
    /// Starts the plain listener on 127.0.0.1 at a free port.
    THttpTestServer();
    ~THttpTestServer();
    THttpTestServer(const THttpTestServer&) = delete;
    THttpTestServer& operator=(const THttpTestServer&) = delete;

    unsigned short Port() const;
    /// "http://127.0.0.1:<port>" + path.
    std::string Url(const std::string& path) const;
    /// Starts the TLS listener; false when no certificate could be made or TLS is missing.
    bool StartTls();
    unsigned short TlsPort() const;
    /// "https://127.0.0.1:<tls port>" + path.
    std::string TlsUrl(const std::string& path) const;
    /// The certificate the TLS listener presents (self-signed; trust it to verify).
    static QList<QSslCertificate> TestCertificates();

    /// target (as written in the request line) -> 200 with Content-Length, then close.
    void ServeFile(const std::string& target, const std::string& bytes, const std::string& type = "application/octet-stream");
    /// Targets starting with prefix are served from folder (prefix stripped); 404 when missing.
    void ServeFolder(const std::string& prefix, const std::string& folder);
    /// target -> raw answer bytes, then close.
    void Answer(const std::string& target, const std::string& raw);
    /// target -> scripted steps (no close unless a step says so).
    void Script(const std::string& target, std::vector<TStep> steps);

    /// Proxy mode: GET must carry an absolute-form target ("http://..."), else 400;
    /// CONNECT opens a tunnel that this server ends itself with TLS.
    bool ProxyMode = false;
    /// Raw request heads in arrival order (CONNECT included; decrypted for TLS).
    std::vector<std::string> Requests;
    /// Called with each request head when it is complete, before the answer starts.
    std::function<void(const std::string& head)> OnRequest;
    int Connections = 0;

    /// A loopback port nobody listens on (for refused connections).
    static unsigned short UnusedPort();

    struct TImpl;

private:
    std::unique_ptr<TImpl> m_impl;
};

/// The request head's lines without their CR LF ends.
std::vector<std::string> RequestLines(const std::string& head);

} // namespace sf::test

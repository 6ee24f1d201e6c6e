// The HTTP/1.0 client component: one GET at a time on the UI thread, driven by
// socket notifications, with a blocking Get that keeps the event loop running.
// "http" goes over TCP, "https" over TLS (system certificate store, verification
// on; through a proxy by a CONNECT tunnel); other schemes end with 501.
#pragma once
#include "net/Answer.h"
#include "net/Url.h"
#include <QList>
#include <QSslCertificate>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QIODevice;
class QObject;
class QTcpSocket;

namespace sf {

/// Raised by Get for a final status above 399 (except 401 and 407) and for a busy instance.
class EHttpException : public std::runtime_error {
public:
    EHttpException(const std::string& msg, int code) : std::runtime_error(msg), m_code(code) {}
    int ErrorCode() const { return m_code; }

private:
    int m_code;
};

/// Request state; the values and their order are part of the interface.
enum THttpState {
    httpReady,
    httpNotConnected,
    httpConnected,
    httpDnsLookup,
    httpDnsLookupDone,
    httpWaitingHeader,
    httpWaitingBody,
    httpBodyReceived,
    httpWaitingProxyConnect,
    httpClosing,
    httpAborting
};

class THttpCli {
public:
    explicit THttpCli(std::string name);
    ~THttpCli();
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    // Set before a request.
    std::string URL;
    std::string Proxy;              ///< empty: direct connection; may carry ":port"
    std::string ProxyPort = "80";
    QIODevice* ReceiveStream = nullptr; ///< the body goes here; owned by the caller
    // Fixed configuration.
    std::string Agent = "Mozilla/4.0 (compatible; Stormfetch)";
    std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    std::string LocalAddr = "0.0.0.0";
    bool FollowRelocation = true;
    int LocationChangeMaxCount = 5;
    /// After the announced document, read on until the server closes, counting any
    /// surplus byte in DiscardedCount; the caller's time-out ends a connection left open
    /// (EndTransfer). Off: the request ends as soon as the announced length has arrived.
    bool ReadToClose = false;
    /// Certificates trusted for TLS besides the system store (tests add their own CA).
    QList<QSslCertificate> ExtraCaCertificates;

    /// Runs one GET to the end while pumping events (at most 1000 ms per wait).
    /// Throws EHttpException for a final status above 399 except 401/407, or when busy (code 1).
    void Get();
    /// Running: ends the request with 404 "Connection aborted on request". Ready: 200 "OK".
    void Abort();
    /// Ends a running request as if the server had closed the connection (no error status).
    void EndTransfer();

    const std::string& Name() const { return m_name; }
    THttpState State() const { return m_state; }
    int StatusCode() const { return m_statusCode; }
    const std::string& ReasonPhrase() const { return m_reason; }
    int64_t ContentLength() const { return m_contentLength; }
    int64_t ReceivedCount() const { return m_receivedCount; }
    /// Bytes the server sent beyond the announced Content-Length (not written).
    int64_t DiscardedCount() const { return m_discardedCount; }
    const std::string& ContentType() const { return m_contentType; }
    const std::vector<std::string>& RcvdHeader() const { return m_header; }
    /// Relocation hops taken by the last Get.
    int LocationChangeCurCount() const { return m_hops; }
    /// True while a request runs whose announced document has arrived in full (ReadToClose).
    bool DocumentComplete() const;
    /// True when a socket error (other than an orderly close) hit the last request.
    bool SocketErrorSeen() const { return m_socketError; }

    // Events (all on the UI thread, during Get's wait).
    std::function<void(THttpCli&)> OnStateChange;
    std::function<void(THttpCli&)> OnHeaderEnd;
    std::function<void(THttpCli&, const char* data, size_t len)> OnDocData;
    std::function<void(THttpCli&)> OnRequestDone;
    std::function<void(THttpCli&, int error)> OnSocketError;
    std::function<void(THttpCli&)> OnLocationChange;

private:
    void SetState(THttpState s);
    void StartHop(bool relocation);
    void Lookup(const std::string& host);
    void LookedUp(int generation, const std::vector<std::string>& addresses, const std::string& error);
    void Connect(const std::string& address);
    void Connected();
    void TunnelAnswered();
    void BodyData(const char* data, size_t len);
    void TakeHead();
    void SendRequest();
    void ReadSome();
    void PeerClosed();
    void SocketFailed();
    void AnswerEnded();
    void EndRequest(int status, const std::string& reason);
    void Finish();
    void DropSocket();
    void ResetStreamForNextDocument();

    std::string m_name;
    THttpState m_state = httpReady;
    int m_statusCode = 0;
    std::string m_reason;
    int64_t m_contentLength = -1;
    int64_t m_receivedCount = 0;
    int64_t m_discardedCount = 0;
    std::string m_contentType;
    std::vector<std::string> m_header;
    int m_hops = 0;
    bool m_socketError = false;

    TUrlParts m_target;
    bool m_viaProxy = false;
    bool m_tunnelling = false;
    std::string m_connectHost, m_connectPort;
    int m_generation = 0;      ///< changes whenever a request ends; stale notifications check it
    int m_lookupId = -1;
    bool m_connected = false;
    bool m_tlsPending = false;
    bool m_tunnelHeaderSeen = false;
    std::string m_tlsErrors;
    std::unique_ptr<QObject> m_ctx;   ///< context of the socket and posted notifications
    QTcpSocket* m_socket = nullptr;
    std::vector<QTcpSocket*> m_oldSockets;
    std::unique_ptr<TAnswerParser> m_parser;
};

} // namespace sf

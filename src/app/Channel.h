// The command channel on the single-instance socket: the running copy reads one
// request line per connection and answers with reply lines; a start with a command
// sends its request and prints the answer.
#pragma once
#include "app/ChannelProtocol.h"
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace sf {

/// The answer to one request; may be given later (after a running cycle ends). Once the
/// connection is gone the calls do nothing.
class TChannelReply {
public:
    explicit TChannelReply(QLocalSocket* socket);
    /// A reply whose lines go to sink (a command run in-process); sink sees the final line too.
    explicit TChannelReply(std::function<void(const TReplyLine&)> sink);
    ~TChannelReply();
    TChannelReply(const TChannelReply&) = delete;
    TChannelReply& operator=(const TChannelReply&) = delete;
    /// One line for the sender's standard output.
    void Out(const std::string& text);
    /// One line for the sender's standard error.
    void Err(const std::string& text);
    /// The last line: the sender's exit status and its message; closes the connection.
    void Finish(int status, const std::string& text);
    bool Finished() const { return m_finished; }

private:
    void Send(const TReplyLine& line);
    struct TImpl;
    std::unique_ptr<TImpl> m_impl;
    bool m_finished = false;
};

/// Serves the connections of a listening server: a silent client is dropped after
/// silentMs, a line longer than kMaxRequestLine or a malformed one is answered with an
/// error and closed, the "Skyvane" notice is counted and closed.
class TChannelServer {
public:
    using THandler = std::function<void(const TChannelRequest&, const std::shared_ptr<TChannelReply>&)>;
    TChannelServer(QLocalServer& server, THandler handler, int silentMs = 5000);
    ~TChannelServer();
    TChannelServer(const TChannelServer&) = delete;
    TChannelServer& operator=(const TChannelServer&) = delete;
    int NoticesReceived() const { return m_notices; }

private:
    void Accept(QLocalSocket* socket);
    THandler m_handler;
    int m_silentMs;
    int m_notices = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

/// What became of a request sent to the running copy.
struct TSendResult {
    bool Connected = false;  ///< false: nobody listens on the socket
    int Status = 1;          ///< the reply's exit status
};

/// Sends the request and copies the reply lines to out and err; the final message goes
/// to out for status 0, to err otherwise. Gives up (status 1, reason on err) when no final
/// line arrives within replyMs.
TSendResult SendChannelRequest(const std::string& socketPath, const TChannelRequest& request, std::ostream& out,
                               std::ostream& err, int replyMs);

} // namespace sf

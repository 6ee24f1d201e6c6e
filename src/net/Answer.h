// The answer side of the HTTP client as a byte-fed state machine: header lines,
// status, the fields the client acts on, and the body (plain, bounded by
// Content-Length, or chunked). Pure: the caller feeds received bytes and reports
// the connection's close; the parser calls back for the header's end and body data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sf {

/// Size of the receive buffer: the longest header line, and the largest body block.
inline constexpr size_t kReceiveBufferSize = 8190;
/// Largest header section accepted (all header lines together).
inline constexpr size_t kMaxHeaderSize = 64 * 1024;

class TAnswerParser {
public:
    enum class TPhase { Header, Body, Done, Failed };

    /// Once per answer, when the empty line ending the header arrived (not for a discarded 100).
    std::function<void()> OnHeaderEnd;
    /// When a body follows the header (before its first block).
    std::function<void()> OnBodyStart;
    /// Each block of body bytes (decoded when chunked, never past Content-Length).
    std::function<void(const char* data, size_t len)> OnBody;

    /// Feeds received bytes; ignored once Done or Failed.
    void Feed(const char* data, size_t len);
    /// The connection was closed by the peer: the body (if any) ends here.
    void Close();

    TPhase Phase() const { return m_phase; }
    bool Finished() const { return m_phase == TPhase::Done || m_phase == TPhase::Failed; }
    /// What was wrong with an answer that could not be read (Phase() == Failed).
    const std::string& Error() const { return m_error; }

    int StatusCode = 0;
    std::string ReasonPhrase;
    int64_t ContentLength = -1;    ///< -1 when none was announced
    std::string ContentType;       ///< lower case
    std::string Location;
    bool HasLocation = false;
    std::string TransferEncoding, ContentEncoding, Connection, ProxyConnection;
    std::vector<std::string> HeaderLines; ///< in arrival order, including the status line
    int64_t ReceivedCount = 0;     ///< body bytes delivered
    int64_t DiscardedCount = 0;    ///< bytes that arrived beyond Content-Length

private:
    enum class TChunk { Size, Data, DataEnd, Trailer };
    void HeaderByte(char c);
    void HeaderLine(const std::string& line);
    void EndOfHeader();
    void BodyBytes(const char* data, size_t len);
    void ChunkedBytes(const char* data, size_t len);
    bool ChunkSizeLine(const std::string& line);
    void Deliver(const char* data, size_t len);
    void Fail(const std::string& why);
    void ResetHeader();

    TPhase m_phase = TPhase::Header;
    std::string m_line;       ///< header line or chunk-size line being gathered
    std::string m_rawLine;    ///< the first line's raw bytes (for header-less answers)
    size_t m_headerBytes = 0;
    bool m_firstLine = true;
    bool m_http11 = false;
    bool m_chunked = false;
    TChunk m_chunk = TChunk::Size;
    uint64_t m_chunkLeft = 0;
    std::string m_error;
};

} // namespace sf

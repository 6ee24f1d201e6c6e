#include "net/Answer.h"
#include "core/Text.h"

namespace sf {

void TAnswerParser::Fail(const std::string& why)
{
    m_phase = TPhase::Failed;
    m_error = why;
    m_line.clear();
}

void TAnswerParser::ResetHeader()
{
    StatusCode = 0;
    ReasonPhrase.clear();
    ContentLength = -1;
    ContentType.clear();
    Location.clear();
    HasLocation = false;
    TransferEncoding.clear();
    ContentEncoding.clear();
    Connection.clear();
    ProxyConnection.clear();
    m_firstLine = true;
    m_http11 = false;
}

void TAnswerParser::Feed(const char* data, size_t len)
{
    size_t i = 0;
    while (i < len && m_phase == TPhase::Header) {
        HeaderByte(data[i]);
        ++i;
    }
    if (i < len && m_phase == TPhase::Body)
        BodyBytes(data + i, len - i);
    else if (i < len && m_phase == TPhase::Done)
        DiscardedCount += int64_t(len - i);
}

void TAnswerParser::Close()
{
    if (m_phase == TPhase::Body && m_chunked)
        Fail("Invalid answer: connection closed inside a chunked body");
    else if (m_phase == TPhase::Header || m_phase == TPhase::Body)
        m_phase = TPhase::Done;
}

void TAnswerParser::HeaderByte(char c)
{
    if (++m_headerBytes > kMaxHeaderSize) {
        Fail("Invalid answer: header larger than 65536 bytes");
        return;
    }
    if (m_firstLine)
        m_rawLine.push_back(c);
    if (c != '\n') {
        if (m_line.size() >= kReceiveBufferSize) {
            Fail("Invalid answer: header line longer than 8190 bytes");
            return;
        }
        m_line.push_back(c);
        return;
    }
    if (!m_line.empty() && m_line.back() == '\r')
        m_line.pop_back();
    std::string line;
    line.swap(m_line);
    if (line.empty() && !m_firstLine) {
        EndOfHeader();
        return;
    }
    HeaderLine(line);
}

void TAnswerParser::HeaderLine(const std::string& line)
{
    if (m_firstLine) {
        m_firstLine = false;
        if (StartsText(line, "<HTML>")) {
            // A bare HTML document without any header: the line is the body's start.
            ContentType = "text/html";
            m_phase = TPhase::Body;
            if (OnBodyStart)
                OnBodyStart();
            std::string raw;
            raw.swap(m_rawLine);
            Deliver(raw.data(), raw.size());
            return;
        }
        m_rawLine.clear();
        if (StartsWith(line, "HTTP/1.0") || StartsWith(line, "HTTP/1.1")) {
            HeaderLines.push_back(line);
            m_http11 = StartsWith(line, "HTTP/1.1");
            size_t p = 9;
            while (p < line.size() && !(line[p] >= '0' && line[p] <= '9'))
                ++p;
            if (p < line.size()) {
                int code = 0;
                for (size_t k = p; k < p + 3 && k < line.size() && line[k] >= '0' && line[k] <= '9'; ++k)
                    code = code * 10 + (line[k] - '0');
                StatusCode = code;
                ReasonPhrase = p + 4 < line.size() ? line.substr(p + 4) : std::string();
            }
        } else if (!line.empty()) {
            HeaderLines.push_back(line);
        } else {
            m_firstLine = true; // blank lines before the status line are skipped
        }
        return;
    }
    HeaderLines.push_back(line);
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return;
    const std::string name = LowerCase(Trim(line.substr(0, colon)));
    size_t v = colon + 1;
    while (v < line.size() && (line[v] == ' ' || line[v] == '\t'))
        ++v;
    const std::string value = line.substr(v);
    if (name == "content-length") {
        const std::string t = Trim(value);
        long long n = 0;
        bool digits = !t.empty() && t.size() <= 18;
        for (char c : t)
            digits = digits && c >= '0' && c <= '9';
        if (!digits || !TryStrToInt(t, n) || n < 0)
            Fail("Invalid answer: Content-Length \"" + t.substr(0, 40) + "\" is not a number");
        else
            ContentLength = n;
    } else if (name == "content-type") {
        ContentType = LowerCase(value);
    } else if (name == "location") {
        Location = Trim(value);
        HasLocation = true;
    } else if (name == "transfer-encoding") {
        TransferEncoding = value;
    } else if (name == "content-encoding") {
        ContentEncoding = value;
    } else if (name == "connection") {
        Connection = value;
    } else if (name == "proxy-connection") {
        ProxyConnection = value;
    }
}

void TAnswerParser::EndOfHeader()
{
    if (m_http11 && StatusCode == 100) {
        ResetHeader(); // an interim answer: the real header follows
        return;
    }
    if (OnHeaderEnd)
        OnHeaderEnd();
    if (m_phase != TPhase::Header)
        return;
    const int s = StatusCode;
    const bool noBodyStatus = s < 200 || s == 204 || s == 301 || s == 302 || s == 304 || s == 401 || s == 407;
    m_chunked = Pos("CHUNKED", UpperCase(TransferEncoding)) > 0;
    if ((ContentLength == -1 && noBodyStatus && !m_chunked) || (ContentLength == 0 && !m_chunked)) {
        m_phase = TPhase::Done;
        return;
    }
    m_phase = TPhase::Body;
    if (OnBodyStart)
        OnBodyStart();
}

void TAnswerParser::Deliver(const char* data, size_t len)
{
    if (len == 0)
        return;
    ReceivedCount += int64_t(len);
    if (OnBody)
        OnBody(data, len);
}

void TAnswerParser::BodyBytes(const char* data, size_t len)
{
    if (m_chunked) {
        ChunkedBytes(data, len);
        return;
    }
    size_t take = len;
    if (ContentLength >= 0) {
        const uint64_t left = uint64_t(ContentLength - ReceivedCount);
        if (take >= left) {
            take = size_t(left);
            m_phase = TPhase::Done;
            DiscardedCount += int64_t(len - take);
        }
    }
    Deliver(data, take);
}

bool TAnswerParser::ChunkSizeLine(const std::string& line)
{
    std::string t = Trim(line.substr(0, line.find(';')));
    if (t.empty()) {
        Fail("Invalid answer: missing chunk size");
        return false;
    }
    uint64_t n = 0;
    for (char c : t) {
        const int h = HexDigitValue(c);
        if (h < 0) {
            Fail("Invalid answer: chunk size \"" + t.substr(0, 40) + "\" is not hexadecimal");
            return false;
        }
        if (n > (uint64_t(1) << 48)) {
            Fail("Invalid answer: chunk size too large");
            return false;
        }
        n = n * 16 + uint64_t(h);
    }
    m_chunkLeft = n;
    m_chunk = n == 0 ? TChunk::Trailer : TChunk::Data;
    return true;
}

void TAnswerParser::ChunkedBytes(const char* data, size_t len)
{
    size_t i = 0;
    while (i < len && m_phase == TPhase::Body) {
        if (m_chunk == TChunk::Data) {
            const size_t take = size_t(std::min<uint64_t>(m_chunkLeft, len - i));
            Deliver(data + i, take);
            i += take;
            m_chunkLeft -= take;
            if (m_chunkLeft == 0)
                m_chunk = TChunk::DataEnd;
            continue;
        }
        const char c = data[i++];
        if (c != '\n') {
            if (m_line.size() >= kReceiveBufferSize) {
                Fail("Invalid answer: chunk line longer than 8190 bytes");
                return;
            }
            m_line.push_back(c);
            continue;
        }
        if (!m_line.empty() && m_line.back() == '\r')
            m_line.pop_back();
        std::string line;
        line.swap(m_line);
        if (m_chunk == TChunk::DataEnd) {
            if (!line.empty()) {
                Fail("Invalid answer: chunk not followed by a line end");
                return;
            }
            m_chunk = TChunk::Size;
        } else if (m_chunk == TChunk::Size) {
            if (!ChunkSizeLine(line))
                return;
        } else if (line.empty()) { // end of the trailer after the last chunk
            m_phase = TPhase::Done;
        }
    }
    if (i < len && m_phase == TPhase::Done)
        DiscardedCount += int64_t(len - i);
}

} // namespace sf

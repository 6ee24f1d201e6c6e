#include "imaging/GifLzw.h"
#include <algorithm>
#include <cstring>
#include <memory>

namespace sf {

namespace {

constexpr int kMaxCode = 4095; // the largest code of 12 bits
constexpr int kNoCode = 4098;  // giflib's mark of a table slot not yet defined
constexpr int kMaxBits = 12;

class TLzwDecoder {
public:
    TLzwDecoder(int minCodeSize, const uint8_t* data, size_t size, bool dataComplete, uint8_t* out, size_t count)
        : m_data(data), m_size(size), m_dataComplete(dataComplete), m_out(out), m_count(count),
          m_minCodeSize(minCodeSize), m_clear(1 << minCodeSize), m_eof(m_clear + 1)
    {
        Clear();
    }

    TLzwOutcome Run()
    {
        int code = 0;
        const TLzwEnd end = Fast(code);
        if (!m_handedOver) // Fast hands over only with pixels still to write
            return {end, m_written};
        return {Slow(code), m_written};
    }

private:
    void Clear()
    {
        std::fill(std::begin(m_prefix), std::end(m_prefix), uint16_t(kNoCode));
        m_running = m_eof + 1;
        m_runningBits = m_minCodeSize + 1;
        m_maxCode1 = 1 << m_runningBits;
        m_last = kNoCode;
    }

    /// The next code, with giflib's widening of the code size after it.
    bool ReadCode(int& code, TLzwEnd& end)
    {
        while (m_have < m_runningBits) {
            if (m_pos >= m_size) {
                end = m_dataComplete ? TLzwEnd::Defect : TLzwEnd::ReadFailed;
                return false;
            }
            m_shift |= uint32_t(m_data[m_pos++]) << m_have;
            m_have += 8;
        }
        code = int(m_shift & ((1u << m_runningBits) - 1));
        m_shift >>= m_runningBits;
        m_have -= m_runningBits;
        // Once the table is full the codes stay 12 bits and no slot is added.
        if (m_running < kMaxCode + 2 && ++m_running > m_maxCode1 && m_runningBits < kMaxBits) {
            m_maxCode1 <<= 1;
            ++m_runningBits;
        }
        return true;
    }

    /// The next code that stands for pixels, clears taken on the way; false at the
    /// end of information or of the data.
    bool NextCode(int& code, TLzwEnd& end)
    {
        for (;;) {
            if (!ReadCode(code, end))
                return false;
            if (code == m_eof) {
                end = TLzwEnd::EofTooSoon;
                return false;
            }
            if (code != m_clear)
                return true;
            Clear();
        }
    }

    /// Codes whose strings were written into the frame: each one copied from where it
    /// was written before. Stops at the first code outside the format's rules, which is
    /// left in code for Slow.
    TLzwEnd Fast(int& code)
    {
        uint32_t lastPos = 0, lastLen = 0;
        TLzwEnd end = TLzwEnd::Done;
        while (m_written < m_count) {
            if (!NextCode(code, end))
                return end;
            const size_t at = m_written, room = m_count - at;
            uint32_t len = 1;
            if (code < m_clear) {
                m_out[m_written++] = uint8_t(code);
            } else if (m_prefix[code] != kNoCode) {
                len = m_len[code];
                // The string lies wholly before this position: it ended with the first
                // pixel of the code after the one that defined it.
                std::memcpy(m_out + at, m_out + m_start[code], std::min<size_t>(len, room));
                m_written += std::min<size_t>(len, room);
            } else if (code == m_running - 2 && m_last != kNoCode) {
                // The slot this very code defines: the last string and its first pixel.
                len = lastLen + 1;
                std::memcpy(m_out + at, m_out + lastPos, std::min<size_t>(lastLen, room));
                m_written += std::min<size_t>(lastLen, room);
                if (m_written < m_count)
                    m_out[m_written++] = m_out[lastPos];
            } else {
                m_handedOver = true;
                return TLzwEnd::Done;
            }
            const int slot = m_running - 2;
            if (m_last != kNoCode && slot <= kMaxCode && m_prefix[slot] == kNoCode) {
                m_prefix[slot] = uint16_t(m_last);
                m_suffix[slot] = m_out[at];
                m_len[slot] = uint16_t(lastLen + 1);
                m_start[slot] = lastPos;
            }
            m_last = code;
            lastPos = uint32_t(at);
            lastLen = len;
        }
        return end;
    }

    /// giflib's walk to the first pixel of a code's string.
    int PrefixChar(int code) const
    {
        int i = 0;
        while (code > m_clear && i++ <= kMaxCode) {
            if (code > kMaxCode)
                return kNoCode;
            code = m_prefix[code];
        }
        return code;
    }

    /// giflib's own decoding, from the code Fast could not take to the frame's end.
    TLzwEnd Slow(int code)
    {
        TLzwEnd end = TLzwEnd::Done;
        for (bool pending = true; m_written < m_count; pending = false) {
            if (!pending && !NextCode(code, end))
                return end;
            const int slot = m_running - 2;
            if (code < m_clear) {
                m_out[m_written++] = uint8_t(code);
            } else {
                int sp = 0, prefix = code;
                if (m_prefix[code] == kNoCode) {
                    prefix = m_last;
                    m_suffix[slot] = m_stack[sp++] = uint8_t(PrefixChar(code == slot ? m_last : code));
                }
                while (sp < kMaxCode && prefix > m_clear && prefix <= kMaxCode) {
                    m_stack[sp++] = m_suffix[prefix];
                    prefix = m_prefix[prefix];
                }
                if (sp >= kMaxCode || prefix > kMaxCode)
                    return TLzwEnd::Defect;
                m_stack[sp++] = uint8_t(prefix);
                while (sp != 0 && m_written < m_count)
                    m_out[m_written++] = m_stack[--sp];
            }
            if (m_last != kNoCode && slot <= kMaxCode && m_prefix[slot] == kNoCode) {
                m_prefix[slot] = uint16_t(m_last);
                m_suffix[slot] = uint8_t(PrefixChar(code == slot ? m_last : code));
            }
            m_last = code;
        }
        return end;
    }

    const uint8_t* m_data;
    size_t m_size, m_pos = 0;
    bool m_dataComplete;
    uint8_t* m_out;
    size_t m_count, m_written = 0;
    const int m_minCodeSize, m_clear, m_eof;
    int m_running = 0, m_runningBits = 0, m_maxCode1 = 0, m_last = kNoCode;
    uint32_t m_shift = 0;
    int m_have = 0;
    bool m_handedOver = false;
    uint16_t m_prefix[kMaxCode + 1];
    uint8_t m_suffix[kMaxCode + 1] = {};
    uint16_t m_len[kMaxCode + 1];    ///< Fast: each slot's string length
    uint32_t m_start[kMaxCode + 1];  ///< Fast: where the slot's string was written
    uint8_t m_stack[kMaxCode + 1];
};

} // namespace

TLzwOutcome DecodeGifLzw(int minCodeSize, const uint8_t* data, size_t size, bool dataComplete, uint8_t* out,
                         size_t count)
{
    if (minCodeSize < 0 || minCodeSize >= kMaxBits)
        return {TLzwEnd::Defect, 0};
    // About 30 KB of tables: on the heap, not the caller's stack.
    auto decoder = std::make_unique<TLzwDecoder>(minCodeSize, data, size, dataComplete, out, count);
    return decoder->Run();
}

} // namespace sf

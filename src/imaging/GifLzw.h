// The LZW image data of one GIF frame, decoded as giflib 5.2 decodes it line by line,
// but in one pass: the same pixels, the same stopping point and the same reason on
// every stream, damaged ones included (an undefined code, a table that never clears, a
// code size of 0 or 11). Strings already written are copied from the frame itself; a
// stream that leaves the format's rules goes on with giflib's own prefix walk.
#pragma once
#include <cstddef>
#include <cstdint>

namespace sf {

/// How a frame's decoding ended; the failures are those giflib reports.
enum class TLzwEnd {
    Done,       ///< every pixel written
    ReadFailed, ///< the file ended before the pixels did
    Defect,     ///< the data ended at its terminator, or a code has no meaning
    EofTooSoon, ///< the end-of-information code came before the last pixel
};

struct TLzwOutcome {
    TLzwEnd End = TLzwEnd::Done;
    size_t Written = 0; ///< pixels written before the end
};

/// Decodes count pixels, in stored order, from a frame's data sub-blocks joined into one
/// buffer (minCodeSize 0..11, as the frame states it). dataComplete: the data ended at
/// its zero-length block; otherwise the file ended inside it.
TLzwOutcome DecodeGifLzw(int minCodeSize, const uint8_t* data, size_t size, bool dataComplete, uint8_t* out,
                         size_t count);

} // namespace sf

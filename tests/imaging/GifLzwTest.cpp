// Our decoding of a GIF frame's image data against giflib's line by line, on streams
// built code by code: well-formed ones, every anomaly giflib tolerates or refuses, and
// thousands of random ones. Both must agree on success, reason, frames and pixels.
#include "imaging/GifCodec.h"
#include "imaging/GifLzw.h"
#include <gtest/gtest.h>
#include <random>

namespace sf::test {
namespace {

/// Packs LZW codes as a decoder reads them: the width grows once the next slot passes
/// the width's range, stays 12 bits at the table's end, and starts over at a clear code.
std::string PackCodes(int minCodeSize, const std::vector<int>& codes)
{
    const int clear = 1 << minCodeSize;
    int running = clear + 2, bits = minCodeSize + 1, maxCode1 = 1 << bits;
    std::string out;
    uint32_t acc = 0;
    int have = 0;
    for (int code : codes) {
        acc |= uint32_t(code & ((1 << bits) - 1)) << have;
        have += bits;
        while (have >= 8) {
            out.push_back(char(acc & 0xff));
            acc >>= 8;
            have -= 8;
        }
        if (running < 4097 && ++running > maxCode1 && bits < 12) {
            maxCode1 <<= 1;
            ++bits;
        }
        if (code == clear) {
            running = clear + 2;
            bits = minCodeSize + 1;
            maxCode1 = 1 << bits;
        }
    }
    if (have > 0)
        out.push_back(char(acc & 0xff));
    return out;
}

struct TFrameSpec {
    int Width = 8, Height = 4;
    bool Interlace = false;
    int MinCodeSize = 2;
    std::string Data;
    bool Terminator = true, Trailer = true;
};

void Put16(std::string& s, int v)
{
    s.push_back(char(v & 0xff));
    s.push_back(char((v >> 8) & 0xff));
}

/// A GIF file of the given frames; a frame's data is cut into 255-byte sub-blocks.
std::string MakeGif(const std::vector<TFrameSpec>& frames, int screenWidth = 8, int screenHeight = 4)
{
    std::string s = "GIF89a";
    Put16(s, screenWidth);
    Put16(s, screenHeight);
    s += char(0x80 | 0x07); // a global table of 256 colours
    s += char(0);
    s += char(0);
    for (int i = 0; i < 256; ++i)
        s += std::string{char(i), char(255 - i), char(i * 7)};
    for (const TFrameSpec& f : frames) {
        s += char(0x2C);
        Put16(s, 0);
        Put16(s, 0);
        Put16(s, f.Width);
        Put16(s, f.Height);
        s += char(f.Interlace ? 0x40 : 0);
        s += char(f.MinCodeSize);
        for (size_t at = 0; at < f.Data.size(); at += 255) {
            const size_t n = std::min<size_t>(255, f.Data.size() - at);
            s += char(n);
            s += f.Data.substr(at, n);
        }
        if (f.Terminator)
            s += char(0);
        if (!f.Trailer)
            return s;
    }
    return s + char(0x3B);
}

struct TDecoded {
    bool Ok = false;
    std::string Error;
    TGifImage Gif;
};

TDecoded Decode(const std::string& bytes, TGifRows rows)
{
    TDecoded d;
    d.Ok = DecodeGif(bytes, d.Gif, d.Error, rows);
    return d;
}

/// Both decodings of bytes agree; returns ours.
TDecoded ExpectSameAsLibgif(const std::string& bytes, const std::string& what)
{
    const TDecoded ours = Decode(bytes, TGifRows::Fastest), theirs = Decode(bytes, TGifRows::Libgif);
    EXPECT_EQ(ours.Ok, theirs.Ok) << what << ": " << ours.Error << " / " << theirs.Error;
    EXPECT_EQ(ours.Error, theirs.Error) << what;
    EXPECT_EQ(ours.Gif.Frames.size(), theirs.Gif.Frames.size()) << what;
    for (size_t i = 0; i < ours.Gif.Frames.size() && i < theirs.Gif.Frames.size(); ++i) {
        const std::vector<uint8_t>&a = ours.Gif.Frames[i].Pixels, &b = theirs.Gif.Frames[i].Pixels;
        EXPECT_EQ(a, b) << what << ": frame " << i << ", first difference at "
                        << (std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
    }
    return ours;
}

TFrameSpec Frame(int minCodeSize, const std::vector<int>& codes, int width = 8, int height = 4)
{
    TFrameSpec f;
    f.MinCodeSize = minCodeSize;
    f.Width = width;
    f.Height = height;
    f.Data = PackCodes(minCodeSize, codes);
    return f;
}

TEST(GifLzw, WellFormedStreamsDecodeToWhatWasEncoded)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        TBitmap8 bmp;
        const int w = 1 + int(rng() % 300), h = 1 + int(rng() % 120);
        bmp.SetSize(w, h, 0);
        const int colours = 2 << (rng() % 8);
        // Runs of one colour, as radar pictures have, broken by noise.
        int run = 0;
        uint8_t c = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (run-- <= 0) {
                    c = uint8_t(rng() % unsigned(colours));
                    run = int(rng() % (round % 2 ? 3 : 400));
                }
                bmp.Row(y)[x] = c;
            }
        std::string bytes, error;
        ASSERT_TRUE(EncodeBitmapGif(bmp, colours, -1, bytes, error)) << error;
        const TDecoded d = ExpectSameAsLibgif(bytes, "round " + std::to_string(round));
        ASSERT_TRUE(d.Ok) << d.Error;
        for (int y = 0; y < h; ++y)
            ASSERT_TRUE(std::equal(bmp.Row(y), bmp.Row(y) + w, d.Gif.Frames[0].Pixels.begin() + size_t(y) * size_t(w)))
                << "round " << round << ", row " << y;
    }
}

// Streams at the edges of the format, and past them, built code by code.
TEST(GifLzw, EveryAnomalyEndsAsGiflibEndsIt)
{
    const struct {
        const char* Name;
        int MinCodeSize;
        std::vector<int> Codes;
    } cases[] = {
        {"literals, clear first", 2, {4, 0, 1, 2, 3, 0, 1, 2, 3, 3, 2, 1, 0, 0, 1, 2, 3, 0, 1, 2, 3, 3, 2, 1, 0, 1, 2, 3, 0, 1, 2, 3, 5}},
        {"the slot a code defines (KwKwK)", 2, {4, 1, 6, 7, 8, 9, 10, 11, 12, 13, 5}},
        {"a code past the next slot", 2, {4, 1, 2, 9, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 5}},
        {"a code past the slot, then its neighbours", 2, {4, 1, 7, 8, 8, 9, 6, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 5}},
        {"an undefined code first after a clear", 2, {4, 7, 1, 2, 3, 5}},
        {"the KwKwK code first after a clear", 2, {4, 6, 1, 2, 3, 5}},
        {"end of information in the middle", 2, {4, 1, 2, 3, 5, 0, 0, 0}},
        {"a clear in the middle", 2, {4, 1, 2, 6, 4, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 5}},
        {"no clear at all", 2, {1, 2, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 5}},
        {"code size 0", 0, {1, 0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 2}},
        {"code size 1", 1, {2, 0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 3}},
        {"code size 11", 11, {2048, 2047, 300, 2050, 2051, 2052, 2053, 2054, 2055, 2056, 2057, 2058, 2049}},
        {"code size 8, bytes above 255 impossible", 8, {256, 255, 0, 258, 259, 260, 261, 262, 263, 264, 265, 266, 257}},
        {"the eof code traced through", 2, {4, 1, 2, 5 + 1, 5, 0}},
        {"a slot pointing at itself", 2, {4, 1, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 5}},
    };
    for (const auto& c : cases) {
        TFrameSpec f = Frame(c.MinCodeSize, c.Codes);
        ExpectSameAsLibgif(MakeGif({f}), c.Name);
        // The same after a good frame (a failing second frame is dropped, not fatal) and interlaced.
        TFrameSpec good = Frame(2, {4, 0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 5});
        ExpectSameAsLibgif(MakeGif({good, f}), std::string(c.Name) + ", second frame");
        f.Interlace = true;
        f.Height = 7;
        f.Width = 3;
        ExpectSameAsLibgif(MakeGif({f}, 3, 7), std::string(c.Name) + ", interlaced");
    }
}

// A table that fills up: without a clear the codes stay 12 bits, no slot is added, and
// the last slot (4095) is defined like any other.
TEST(GifLzw, AFullTableWithoutAClearDecodesAsGiflibDecodesIt)
{
    std::mt19937 rng(11);
    for (int minCodeSize : {2, 8})
        for (bool anomaly : {false, true}) {
        const int clear = 1 << minCodeSize;
        std::vector<int> codes{clear, 1};
        std::vector<int> length(4096, 1);
        int slot = clear + 2, last = 1;
        size_t pixels = 1;
        if (anomaly) {
            // A code past the next slot: giflib takes it as the last string and a 2, and the
            // slot after it, this very code, gets itself as its prefix. Neither slot is used below.
            codes.push_back(clear + 3);
            pixels += 2;
            length[size_t(slot)] = 2;
            slot += 2;
            last = 0;
            codes.push_back(0);
            pixels += 1;
        }
        const int avoidFrom = clear + 2, avoidTo = anomaly ? clear + 4 : clear + 2;
        while (codes.size() < 4600) {
            // Mostly literals; otherwise a defined code, the slot being defined, or one of the last slots.
            int code = int(rng() % unsigned(clear));
            const int top = std::min(slot, 4095);
            if (rng() % 4 == 0)
                code = avoidTo + int(rng() % unsigned(top - avoidTo + 1));
            if (slot >= 4093 && rng() % 2 == 0)
                code = 4093 + int(rng() % unsigned(top - 4093 + 1));
            ASSERT_FALSE(code >= avoidFrom && code < avoidTo);
            const int len = code < clear ? 1 : code == slot ? length[size_t(last)] + 1 : length[size_t(code)];
            if (slot <= 4095)
                length[size_t(slot++)] = length[size_t(last)] + 1;
            codes.push_back(code);
            pixels += size_t(len);
            last = code;
        }
        codes.push_back(clear + 1);
        ASSERT_GT(slot, 4095);
        ASSERT_LE(pixels, 65535u);
        const int width = int(pixels);
        TFrameSpec f = Frame(minCodeSize, codes, width, 1);
        const TDecoded d = ExpectSameAsLibgif(MakeGif({f}, width, 1),
                                              "code size " + std::to_string(minCodeSize) + (anomaly ? ", anomaly" : ""));
        EXPECT_TRUE(d.Ok) << d.Error;
    }
}

// Damaged files: the data ends at its terminator too early, the file ends inside the
// data (in an earlier row: refused; in the last row: kept short), or right after it.
TEST(GifLzw, DataThatEndsTooSoonEndsAsGiflibEndsIt)
{
    std::vector<int> codes{4};
    for (int i = 0; i < 40; ++i)
        codes.push_back(i % 4);
    codes.push_back(5);
    const std::string data = PackCodes(2, codes);
    for (size_t cut = 0; cut <= data.size(); ++cut) {
        TFrameSpec f = Frame(2, {}, 8, 5);
        f.Data = data.substr(0, cut);
        ExpectSameAsLibgif(MakeGif({f}), "terminated after " + std::to_string(cut) + " bytes");
        const std::string whole = MakeGif({f});
        for (size_t end = whole.size() - f.Data.size() - 4; end <= whole.size(); ++end)
            ExpectSameAsLibgif(whole.substr(0, end), "cut " + std::to_string(cut) + ", file of " + std::to_string(end));
    }
}

// Random code streams, each code drawn near the table's growing end, with clears and
// ends of information among them; frames of many shapes.
TEST(GifLzw, RandomStreamsDecodeAsGiflibDecodesThem)
{
    std::mt19937 rng(2026);
    for (int round = 0; round < 3000; ++round) {
        const int minCodeSize = int(rng() % 12);
        const int clear = 1 << minCodeSize;
        std::vector<int> codes;
        int slot = clear + 2;
        bool started = false;
        const int n = 1 + int(rng() % 300);
        for (int i = 0; i < n; ++i) {
            const unsigned pick = rng() % 100;
            int code;
            if (pick < 2)
                code = clear;
            else if (pick < 3)
                code = clear + 1;
            else if (pick < 45)
                code = int(rng() % unsigned(clear));
            else
                code = std::min(4095, clear + 2 + int(rng() % unsigned(slot - clear)));
            codes.push_back(code);
            if (code == clear) {
                slot = clear + 2;
                started = false;
            } else {
                if (started && slot < 4096)
                    ++slot;
                started = true;
            }
        }
        TFrameSpec f = Frame(minCodeSize, codes, 1 + int(rng() % 40), 1 + int(rng() % 20));
        f.Interlace = rng() % 4 == 0;
        f.Terminator = rng() % 8 != 0;
        ExpectSameAsLibgif(MakeGif({f}, f.Width, f.Height), "round " + std::to_string(round));
        if (HasFailure())
            break;
    }
}

TEST(GifLzw, TheDecoderAloneStopsWhereTheDataStops)
{
    std::vector<uint8_t> out(10, 0xEE);
    const std::string data = PackCodes(2, {4, 1, 2, 3});
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    TLzwOutcome o = DecodeGifLzw(2, bytes, data.size(), true, out.data(), out.size());
    EXPECT_EQ(o.End, TLzwEnd::Defect);
    EXPECT_EQ(o.Written, 4u); // the last byte's four unused bits read as one more code, 0
    EXPECT_EQ((std::vector<uint8_t>(out.begin(), out.begin() + 5)), (std::vector<uint8_t>{1, 2, 3, 0, 0xEE}));
    o = DecodeGifLzw(2, bytes, data.size(), false, out.data(), out.size());
    EXPECT_EQ(o.End, TLzwEnd::ReadFailed);
    o = DecodeGifLzw(2, bytes, data.size(), true, out.data(), 2);
    EXPECT_EQ(o.End, TLzwEnd::Done);
    EXPECT_EQ(o.Written, 2u);
    EXPECT_EQ(DecodeGifLzw(12, bytes, data.size(), true, out.data(), 2).End, TLzwEnd::Defect);
}

} // namespace
} // namespace sf::test

// Measures the image pipeline on generated RIDGE files:
//  - mosaic: ConvertMosaicImage of a 6000 x 3000 PNG against decoding the same PNG
//    alone with libpng (at its default settings, and through our reader), and the
//    conversion's peak resident memory (measured in a fresh process so that generating
//    the test picture does not count);
//  - site: ConvertSiteImage of a 600 x 550 GIF against decoding it with giflib;
//    both conversions write their underlay to a folder on disk (beside the raw files),
//    where the flush before the rename counts, and to one in memory (/dev/shm), where it
//    costs nothing: the difference is the disk's;
//  - hostile: peak memory, each in a fresh process, of an interlaced mosaic, a forged
//    interlaced PNG header (20000 x 10000, data missing), a forged 1 KiB GIF declaring a
//    196-megapixel frame, and the scan of a 64 MiB listing page of a million distinct lines.
// Usage: stormfetch_bench [repeats] [mosaic|site|hostile]
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Files.h"
#include "core/RadarObj.h"
#include "core/Shared.h"
#include "imaging/Convert.h"
#include "imaging/GifCodec.h"
#include "imaging/PngReader.h"
#include "imaging/Synthetic.h"
#include "net/Listing.h"
#include <png.h>
#include <zlib.h>
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace sf;

namespace {

class TQuietDialogs final : public IDialogs {
public:
    void ErrorBox(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return true; }
    std::optional<std::string> BrowseFolder(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&) override { return {}; }
    void ShellOpen(const std::string&) override {}
    void Beep() override {}
};

constexpr int kMosaicWidth = 6000, kMosaicHeight = 3000;
constexpr TDateTime kTime = 46000.5;

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <class F>
double Best(int repeats, F&& work)
{
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        best = std::min(best, Ms(std::chrono::steady_clock::now() - t0));
    }
    return best;
}

long StatusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

struct TSetup {
    TSystemClock Clock;
    TQuietDialogs Dialogs;
    TShared S{Clock, Dialogs};
    TRadarObj R = TRadarObj::Create(Clock);
    TSetup(const std::string& dir, bool mosaic, const std::string& underlays = {})
    {
        S.ProgramDir = dir + "prog/";
        S.QuorUnderlayPath = underlays.empty() ? dir + "under/" : underlays;
        S.TargetCmb.Items = {S.QuorUnderlayPath};
        S.SaveGifChk.Checked = false;
        S.LegendChk.Checked = true;
        S.ReadMemory = [] { return TMemoryStatus{}; };
        R.Radar = mosaic ? "!!Nat" : "LOT Chicago, IL";
        R.RemoteName = mosaic ? "N0R_0" : "LOT_N0R_0";
        R.LegendName = "LOT_N0R_Legend_0.gif";
        R.LocalName = mosaic ? "n0r_0.bmp" : "LOT_N0R_0.gif";
        R.LastImage = kTime;
        R.ReadWorldFile(S.ProgramDir + R.RemoteName + (mosaic ? ".wld" : ".gfw"));
    }
    bool Run(TConverter& c, bool mosaic)
    {
        const std::string p = S.ProgramDir + R.LocalName;
        return mosaic ? c.ConvertMosaicImage(R, p) : c.ConvertSiteImage(R, p);
    }
};

/// Child process: one mosaic conversion, then the peak resident memory.
int MosaicChild(const std::string& dir)
{
    const long before = StatusKb("VmRSS:");
    TSetup setup(dir, true);
    TConverter converter(setup.S);
    const bool ok = setup.Run(converter, true);
    std::printf("%d %ld %ld\n", ok ? 1 : 0, before, StatusKb("VmHWM:"));
    return ok ? 0 : 1;
}

std::string Be32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Chunk(const std::string& type, const std::string& data)
{
    const std::string body = type + data;
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())));
    return Be32(uint32_t(data.size())) + body + Be32(crc);
}

/// A PNG header declaring an interlaced RGBA picture whose data is missing.
std::string ForgedInterlacedPng(uint32_t w, uint32_t h)
{
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", Be32(w) + Be32(h) + std::string("\x08\x06\x00\x00\x01", 5))
        + Chunk("IDAT", std::string("\x78\x9c\x63\x00\x00", 5)) + Chunk("IEND", "");
}

/// Under 1 KiB of GIF declaring a 14000 x 14000 frame.
std::string ForgedGif()
{
    auto le16 = [](int v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
    std::string gif = "GIF89a" + le16(14000) + le16(14000) + std::string("\x00\x00\x00", 3);
    gif += "," + le16(0) + le16(0) + le16(14000) + le16(14000) + std::string("\x00\x08", 2);
    for (int block = 0; block < 3; ++block)
        gif += std::string(1, char(255)) + std::string(255, char(0x55));
    return gif + std::string("\x00;", 2);
}

/// Child process for the hostile cases: runs one, prints "ok before peak" (KiB).
int HostileChild(const std::string& kind, const std::string& dir)
{
    const long before = StatusKb("VmRSS:");
    bool ok = false;
    if (kind == "interlaced" || kind == "forgedpng") {
        TSetup setup(dir, true);
        setup.R.RemoteName = kind == "interlaced" ? "IL_0" : "FG_0";
        setup.R.LocalName = setup.R.RemoteName + ".bmp";
        setup.R.ReadWorldFile(setup.S.ProgramDir + setup.R.RemoteName + ".wld");
        TConverter converter(setup.S);
        ok = setup.Run(converter, true);
        if (kind == "forgedpng")
            ok = !ok; // refusing it is the right result
    } else if (kind == "forgedgif") {
        TGifImage gif;
        std::string error;
        ok = !DecodeGif(ForgedGif(), gif, error);
    } else if (kind == "listing") {
        TSetup setup(dir, false);
        ok = ScanSiteListing(setup.S, dir + "prog/big.htm") == "LOT_20240101_2359_N0R";
    }
    std::printf("%d %ld %ld\n", ok ? 1 : 0, before, StatusKb("VmHWM:"));
    return ok ? 0 : 1;
}

/// The PNG decoded to RGBA rows by libpng alone, at its default settings (every check on).
void RawLibpngDecode(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        std::abort();
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!png || !info || setjmp(png_jmpbuf(png)))
        std::abort();
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    std::vector<uint8_t> row(png_get_rowbytes(png, info));
    for (png_uint_32 y = 0; y < height; ++y)
        png_read_row(png, row.data(), nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
}

std::string RunChild(const std::string& dir, const std::string& kind = "--mosaic-child")
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        if (kind == "--mosaic-child")
            execl("/proc/self/exe", "stormfetch_bench", "--mosaic-child", dir.c_str(), (char*)nullptr);
        else
            execl("/proc/self/exe", "stormfetch_bench", "--hostile-child", kind.c_str(), dir.c_str(), (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the shared state's timers need one
    if (argc == 3 && std::string(argv[1]) == "--mosaic-child")
        return MosaicChild(argv[2]);
    if (argc == 4 && std::string(argv[1]) == "--hostile-child")
        return HostileChild(argv[2], argv[3]);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string only = argc > 2 ? argv[2] : "";

    char templ[] = "/tmp/sfbenchXXXXXX";
    if (!mkdtemp(templ))
        return 1;
    const std::string dir = std::string(templ) + "/";
    std::filesystem::create_directories(dir + "prog");
    std::filesystem::create_directories(dir + "under");
    // A folder in memory, for the conversion's time without the disk's.
    std::string memoryDir;
    char memoryTempl[] = "/dev/shm/sfbenchXXXXXX";
    if (mkdtemp(memoryTempl))
        memoryDir = std::string(memoryTempl) + "/";
    // Best time of repeats conversions with the underlay in memory; ok false on a failure.
    const auto inMemory = [&](bool mosaic, int repeats, bool& ok) {
        if (memoryDir.empty()) {
            std::printf("  (no /dev/shm: the conversion in memory is not measured)\n");
            return 0.0;
        }
        TSetup held(dir, mosaic, memoryDir);
        TConverter converter(held.S);
        ok = held.Run(converter, mosaic);
        return Best(repeats, [&] { ok = held.Run(converter, mosaic) && ok; });
    };
    {
        const std::string png = SyntheticMosaicPng(kTime, kMosaicWidth, kMosaicHeight);
        std::ofstream(dir + "prog/N0R_0.png", std::ios::binary) << png;
        std::ofstream(dir + "prog/N0R_0.wld", std::ios::binary) << SyntheticMosaicWorldFile(kMosaicWidth, kMosaicHeight);
        std::ofstream(dir + "prog/LOT_N0R_0.gif", std::ios::binary) << SyntheticSiteGif("LOT", "N0R", kTime);
        std::ofstream(dir + "prog/LOT_N0R_0.gfw", std::ios::binary) << SyntheticSiteWorldFile("LOT");
        std::ofstream(dir + "prog/LOT_N0R_Legend_0.gif", std::ios::binary) << SyntheticLegendGif("LOT", "N0R");
        std::printf("mosaic PNG %dx%d, %zu bytes\n", kMosaicWidth, kMosaicHeight, png.size());
    }

    bool ok = true;
    if (only == "hostile") {
        {
            // The synthetic mosaic's pixels, written again as an interlaced PNG.
            TPngReader plain;
            std::string error;
            if (!plain.Open(dir + "prog/N0R_0.png", error))
                return 1;
            std::vector<uint8_t> whole(size_t(kMosaicWidth) * kMosaicHeight * 4);
            for (int y = 0; y < kMosaicHeight; ++y)
                if (!plain.ReadRow(whole.data() + size_t(y) * kMosaicWidth * 4, error))
                    return 1;
            std::ofstream(dir + "prog/IL_0.png", std::ios::binary) << EncodePngRgba(kMosaicWidth, kMosaicHeight,
                [&](int y, uint8_t* out) { std::memcpy(out, whole.data() + size_t(y) * kMosaicWidth * 4, size_t(kMosaicWidth) * 4); },
                6, true);
            std::ofstream(dir + "prog/IL_0.wld", std::ios::binary) << SyntheticMosaicWorldFile(kMosaicWidth, kMosaicHeight);
            std::ofstream(dir + "prog/FG_0.png", std::ios::binary) << ForgedInterlacedPng(20000, 10000);
            std::ofstream(dir + "prog/FG_0.wld", std::ios::binary) << SyntheticMosaicWorldFile(20000, 10000);
            std::ofstream page(dir + "prog/big.htm", std::ios::binary);
            for (int i = 0; i < 1000000; ++i) {
                char name[64];
                std::snprintf(name, sizeof name, "LOT_2023%04d_%04d_N0R", 1000 + i / 10000, i % 10000);
                page << "<tr><td><a href=\"" << name << ".gif\">" << name << ".gif</a></td><td>" << i << "</td></tr>\r\n";
            }
            page << "<a href=\"LOT_20240101_2359_N0R.gif\">LOT_20240101_2359_N0R.gif</a>\r\n";
        }
        struct TCase {
            const char* Kind;
            double Pixels, BytesPerPixel;
        };
        const TCase cases[] = {{"interlaced", double(kMosaicWidth) * kMosaicHeight, 1.2},
            {"forgedpng", 20000.0 * 10000.0, 1.2}, {"forgedgif", 0, 0}, {"listing", 0, 0}};
        for (const TCase& c : cases) {
            std::istringstream child(RunChild(dir, c.Kind));
            int childOk = 0;
            long before = 0, peak = 0;
            child >> childOk >> before >> peak;
            const double limitKb = (c.BytesPerPixel * c.Pixels + 32.0 * 1024 * 1024) / 1024.0 + double(before);
            std::printf("hostile %-10s: peak resident %ld KiB (%ld KiB before), limit %.0f KiB%s%s\n", c.Kind, peak,
                before, limitKb, peak <= limitKb ? "" : "  OVER THE LIMIT", childOk ? "" : "  WRONG RESULT");
            ok = ok && childOk && peak <= limitKb;
        }
        std::filesystem::remove_all(dir);
        return ok ? 0 : 1;
    }
    if (only != "site") {
    // Mosaic: libpng decode alone, row by row to RGBA: at libpng's default settings, and
    // through our reader (which leaves out the stream's Adler-32).
    const std::string pngPath = dir + "prog/N0R_0.png";
    const double rawDecode = Best(repeats, [&] { RawLibpngDecode(pngPath); });
    const double decode = Best(repeats, [&] {
        TPngReader png;
        std::string error;
        if (!png.Open(pngPath, error))
            std::abort();
        std::vector<uint8_t> row(size_t(png.Width()) * 4);
        for (int y = 0; y < png.Height(); ++y)
            if (!png.ReadRow(row.data(), error))
                std::abort();
    });
    TSetup mosaic(dir, true);
    TConverter converter(mosaic.S);
    ok = true;
    const double first = Best(1, [&] { ok = mosaic.Run(converter, true) && ok; });
    const double convert = Best(repeats, [&] { ok = mosaic.Run(converter, true) && ok; });
    std::printf("mosaic: libpng decode %.1f ms (our reader %.1f ms); conversion to disk %.1f ms (first %.1f ms), "
                "ratio %.2f (target <= 1.15)%s\n",
        rawDecode, decode, convert, first, convert / rawDecode, ok ? "" : "  CONVERSION FAILED");
    bool memoryOk = false;
    if (const double memory = inMemory(true, repeats, memoryOk))
        std::printf("mosaic: conversion in memory %.1f ms, ratio %.2f; to our reader's decode %.2f%s\n", memory,
            memory / rawDecode, memory / decode, memoryOk ? "" : "  CONVERSION FAILED");

    std::istringstream child(RunChild(dir));
    int childOk = 0;
    long rssBefore = 0, peak = 0;
    child >> childOk >> rssBefore >> peak;
    const double pixels = double(kMosaicWidth) * kMosaicHeight;
    const double limitKb = (1.2 * pixels + 32.0 * 1024 * 1024) / 1024.0;
    std::printf("mosaic: peak resident %ld KiB (%.2f bytes/pixel; %ld KiB before), limit %.0f KiB%s\n", peak,
        peak * 1024.0 / pixels, rssBefore, limitKb, childOk ? "" : "  CONVERSION FAILED");

    }
    if (only != "mosaic") {
    // Site: giflib decode alone against the whole conversion.
    const std::string gifPath = dir + "prog/LOT_N0R_0.gif";
    const int siteRepeats = repeats * 40;
    // The reference reads the file and decodes it with giflib line by line, as the
    // conversion did before it decoded the image data itself.
    const double gifDecode = Best(siteRepeats, [&] {
        TGifImage gif;
        std::string bytes, error;
        if (!ReadFileBytes(gifPath, bytes) || !DecodeGif(bytes, gif, error, TGifRows::Libgif))
            std::abort();
    });
    const double ourDecode = Best(siteRepeats, [&] {
        TGifImage gif;
        std::string error;
        if (!LoadGifFile(gifPath, gif, error))
            std::abort();
    });
    std::printf("site: our GIF decode %.3f ms, %.2f of giflib's\n", ourDecode, ourDecode / gifDecode);
    TSetup site(dir, false);
    TConverter siteConverter(site.S);
    ok = true;
    const double siteConvert = Best(siteRepeats, [&] { ok = site.Run(siteConverter, false) && ok; });
    std::printf("site: giflib decode %.3f ms, conversion to disk %.3f ms, ratio %.2f (target <= 1.50)%s\n", gifDecode,
        siteConvert, siteConvert / gifDecode, ok ? "" : "  CONVERSION FAILED");
    bool memoryOk = false;
    if (const double memory = inMemory(false, siteRepeats, memoryOk))
        std::printf("site: conversion in memory %.3f ms, ratio %.2f%s\n", memory, memory / gifDecode,
            memoryOk ? "" : "  CONVERSION FAILED");
    }

    std::filesystem::remove_all(dir);
    if (!memoryDir.empty())
        std::filesystem::remove_all(memoryDir);
    return 0;
}

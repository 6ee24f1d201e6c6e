// Measures the image pipeline on generated RIDGE files:
//  - mosaic: ConvertMosaicImage of a 6000 x 3000 PNG against decoding the same PNG
//    alone with libpng, and the conversion's peak resident memory (measured in a fresh
//    process so that generating the test picture does not count);
//  - site: ConvertSiteImage of a 600 x 550 GIF against decoding it with giflib.
// Usage: stormfetch_bench [repeats] [mosaic|site]
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Files.h"
#include "core/RadarObj.h"
#include "core/Shared.h"
#include "imaging/Convert.h"
#include "imaging/GifCodec.h"
#include "imaging/PngReader.h"
#include "imaging/Synthetic.h"
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
    TSetup(const std::string& dir, bool mosaic)
    {
        S.ProgramDir = dir + "prog/";
        S.QuorUnderlayPath = dir + "under/";
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

std::string RunChild(const std::string& dir)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        execl("/proc/self/exe", "stormfetch_bench", "--mosaic-child", dir.c_str(), (char*)nullptr);
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
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string only = argc > 2 ? argv[2] : "";

    char templ[] = "/tmp/sfbenchXXXXXX";
    if (!mkdtemp(templ))
        return 1;
    const std::string dir = std::string(templ) + "/";
    std::filesystem::create_directories(dir + "prog");
    std::filesystem::create_directories(dir + "under");
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
    if (only != "site") {
    // Mosaic: libpng decode alone, row by row to RGBA.
    const std::string pngPath = dir + "prog/N0R_0.png";
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
    std::printf("mosaic: decode-only %.1f ms, conversion %.1f ms (first %.1f ms), ratio %.2f (target <= 1.40)%s\n",
        decode, convert, first, convert / decode, ok ? "" : "  CONVERSION FAILED");

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
    const double gifDecode = Best(siteRepeats, [&] {
        TGifImage gif;
        std::string error;
        if (!LoadGifFile(gifPath, gif, error))
            std::abort();
    });
    TSetup site(dir, false);
    TConverter siteConverter(site.S);
    ok = true;
    const double siteConvert = Best(siteRepeats, [&] { ok = site.Run(siteConverter, false) && ok; });
    std::printf("site: giflib decode %.3f ms, conversion %.3f ms, ratio %.2f (target <= 3.00)%s\n", gifDecode,
        siteConvert, siteConvert / gifDecode, ok ? "" : "  CONVERSION FAILED");
    }

    std::filesystem::remove_all(dir);
    return 0;
}

// The long run: the whole program on a fake clock against the loopback demo feed,
// 150 records through 24 simulated hours, then a look at what is left behind.
#include "app/Demo.h"
#include "app/Main.h"
#include "core/Files.h"
#include "core/ListFile.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include "imaging/Bitmap8.h"
#include "imaging/GifCodec.h"
#include "imaging/Synthetic.h"
#include "support/Sanitizers.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>

using namespace sf;
namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 150;
constexpr int kHours = 24;

/// Resident memory of this process in kilobytes (0 when unknown).
long ResidentKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (StartsWith(line, "VmRSS:"))
            return std::atol(line.c_str() + 6);
    return 0;
}

/// A small GIF whose pattern moves with the minute, so every image differs.
std::string SmallGif(int width, int height, int phase)
{
    TBitmap8 b;
    b.SetSize(width, height, 0);
    for (int i = 0; i < 16; ++i)
        b.Palette[i] = TRgb{uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 8)};
    b.PaletteCount = 16;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.Row(y)[x] = uint8_t(((x + phase) / 10 + y / 10) % 16);
    std::string bytes, error;
    EncodeBitmapGif(b, 16, 0, bytes, error);
    return bytes;
}

/// Every site and product answered with small images; the mosaics at the sizes the
/// conversions need (the PNG made once: its content does not matter here).
TDemoRadarSource SmallSource()
{
    const std::string world = "0.0117\r\n0\r\n0\r\n-0.0117\r\n-92.5\r\n44.0\r\n";
    auto png = std::make_shared<std::string>();
    TDemoRadarSource s;
    s.SiteGif = [](const std::string&, const std::string&, TDateTime utc) {
        return SmallGif(120, 110, int(utc * 1440) % 60);
    };
    s.SiteWorld = [world](const std::string&, const std::string&) { return world; };
    s.Legend = [](const std::string&, const std::string&) { return SmallGif(100, 100, 0); };
    s.MosaicGif = [](TDateTime utc) { return SmallGif(200, 120, int(utc * 1440) % 60); };
    s.MosaicGifWorld = [] { return SyntheticMosaicGifWorldFile(); };
    s.MosaicPng = [png](TDateTime utc) {
        if (png->empty())
            *png = SyntheticMosaicPng(utc, 5000, 2000);
        return *png;
    };
    s.MosaicPngWorld = [] { return SyntheticMosaicWorldFile(5000, 2000); };
    return s;
}

/// The download list: every built-in site with a product in turn, every fifth one
/// accumulating, and the two mosaics the feed publishes.
std::string SeedList(const IClock& clock)
{
    const std::vector<std::string> products = {"Short Range Reflectivity, N0R", "Velocity, N0V",
                                               "Storm Relative Motion, N0S", "Long Range Reflectivity, N0Z",
                                               "1 Hour Precipitation, N1P", "Short Range Composite, NCR"};
    DownloadList list;
    const TNaming naming{"http://127.0.0.1/ridge/RadarImg/", "http://127.0.0.1/ridge/Conus/RadarImg/", false};
    auto add = [&](const std::string& radar, const std::string& product, bool accumulate) {
        TRadarObj r = TRadarObj::Create(clock);
        r.SetNames(radar, product, naming);
        r.Accumulate = accumulate;
        list.Add(radar + "\t" + product, std::move(r));
    };
    int n = 0;
    for (const std::string& radar : BuiltInRadars())
        if (!StartsWith(radar, "!!")) {
            add(radar, products[n % products.size()], n % 5 == 0);
            ++n;
        }
    add("!!ConUS,Iowa State University", ", ", true);
    add("!!N0R_0,National reflectivity mosaic", ", ", false);
    return ListText(list);
}

/// Series members of a record in folder: the underlay and its numbered copies.
int SeriesMembers(const std::string& folder, const std::string& remoteName)
{
    const std::string stem = LowerCase(remoteName);
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = LowerCase(e.path().filename().string());
        if (!StartsWith(name, stem) || !EndsWith(name, ".bmp"))
            continue;
        const std::string middle = name.substr(stem.size(), name.size() - stem.size() - 4);
        n += middle.empty() || middle.find_first_not_of("0123456789") == std::string::npos;
    }
    return n;
}

} // namespace

TEST(Soak, TwentyFourHoursOfTicksLeaveNothingBehind)
{
    test::TTempDir home;
    test::TScriptedDialogs dialogs;
    TFakeClock clock(EncodeDateTime({2026, 12, 7, 0, 2, 0, 0}));
    home.Write(kListFileWriteName, SeedList(clock));
    const int seeded = FieldCount(home.Read(kListFileWriteName), '\n') - 1;
    ASSERT_EQ(seeded, kRecords) << "the built-in list changed its size";

    TDemoFeed feed(home.Path(), clock, SmallSource());
    std::string error;
    ASSERT_TRUE(feed.Prepare(&error)) << error;
    TMain main(clock, dialogs, TMainOptions{home.Path(), feed.WinePrefix(), true});
    feed.Attach(main);
    main.Wire();
    ASSERT_TRUE(main.Create());
    main.FirstShow();
    ASSERT_FALSE(main.CloseRequested());
    TShared& s = main.Shared();
    ASSERT_EQ(s.List.Count(), kRecords);
    ASSERT_FALSE(s.QuorUnderlayPath.empty());
    // The warning shapefile timer runs too when the test takes over a minute: give it a folder.
    home.Write("shp/.keep", "");
    s.TargetED.SetCaption(home.Path() + "shp/");

    // One tick per simulated hour: every record has a new image at each, so each
    // tick converts the whole list (a 10-second tick rate would poll for hours of real time).
    long afterFirstHour = 0;
    for (int hour = 1; hour <= kHours; ++hour) {
        clock.Step(1.0 / 24);
        main.TickOnce();
        ASSERT_TRUE(s.Process.Enabled()) << "tick of hour " << hour << " did not end";
        if (hour == 1)
            afterFirstHour = ResidentKb();
    }
    const long atEnd = ResidentKb();
    std::cout << "[ soak ] resident memory after hour 1: " << afterFirstHour << " kB, after hour " << kHours << ": "
              << atEnd << " kB\n";

    std::vector<std::string> stuck, failed;
    for (int i = 0; i < s.List.Count(); ++i) {
        const TRadarObj& r = s.List[i];
        if (r.Status == "New file" || r.Status == "New record")
            stuck.push_back(s.List.Key(i) + ": " + r.Status);
        else if (StartsWith(r.Status, "Error"))
            failed.push_back(s.List.Key(i) + ": " + r.Status);
        if (r.Accumulate) {
            const int members = SeriesMembers(s.QuorUnderlayPath, r.RemoteName);
            EXPECT_LE(members, 10) << r.RemoteName;
            EXPECT_GE(members, 2) << r.RemoteName << " never accumulated";
        }
    }
    EXPECT_TRUE(stuck.empty()) << stuck.size() << " records left running, first: " << stuck[0];
    EXPECT_TRUE(failed.empty()) << failed.size() << " records failed, first: " << failed[0];

    for (const std::string& folder : {s.QuorUnderlayPath, s.ProgramDir})
        for (const auto& e : fs::directory_iterator(folder)) {
            const std::string ext = LowerCase(e.path().extension().string());
            EXPECT_NE(ext, ".tmp") << e.path();
            if (folder == s.ProgramDir) {
                for (const char* raw : {".gif", ".gfw", ".png", ".wld", ".htm"}) {
                    EXPECT_NE(ext, raw) << "raw download left behind: " << e.path();
                }
            }
        }

    const auto lists = FindFiles(home.Path() + kListFileReadName);
    ASSERT_EQ(lists.size(), 1u);
    const std::string text = home.Read(lists[0].Name);
    ASSERT_TRUE(EndsWith(text, "\r\n"));
    int lines = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(at, end - at);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        EXPECT_EQ(FieldCount(line, '\t'), 10) << line;
        ++lines;
        at = end + 2;
    }
    EXPECT_EQ(lines, kRecords);

    EXPECT_TRUE(main.CloseQuery());
    main.Closing();

    if (test::kSanitized) {
        std::cout << "[ soak ] memory margin not checked under the sanitizers\n";
    } else {
        ASSERT_GT(afterFirstHour, 0);
        EXPECT_LE(atEnd, afterFirstHour + afterFirstHour / 20) << "resident memory grew more than 5 %";
    }
}

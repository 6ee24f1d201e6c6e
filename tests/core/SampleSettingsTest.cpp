#include "CoreTestEnv.h"
#include "core/Files.h"
#include "core/Settings.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

// The annotated sample that ships with the program states every default: loading it
// must give exactly what no file at all gives, so a user who copies it changes nothing.
TEST(SampleSettings, StatesEveryDefault)
{
    TCoreEnv none, sample;
    std::string text;
    ASSERT_TRUE(ReadFileBytes(std::string(SF_SOURCE_DIR) + "/packaging/stormfetch.ini.sample", text));
    sample.Dir.Write("stormfetch.ini", text);
    LoadSettings(none.S);
    LoadSettings(sample.S);
    const TShared& a = none.S;
    const TShared& b = sample.S;
    EXPECT_EQ(a.WindowLeft, b.WindowLeft);
    EXPECT_EQ(a.WindowTop, b.WindowTop);
    EXPECT_EQ(a.WindowWidth, b.WindowWidth);
    EXPECT_EQ(a.WindowHeight, b.WindowHeight);
    EXPECT_EQ(a.RidgeBase, b.RidgeBase);
    EXPECT_EQ(a.RidgeNatBase, b.RidgeNatBase);
    EXPECT_EQ(a.SelectRidge, b.SelectRidge);
    EXPECT_EQ(a.ProxyHost, b.ProxyHost);
    EXPECT_EQ(a.ProxyPort, b.ProxyPort);
    EXPECT_EQ(a.TargetCmb.Caption(), b.TargetCmb.Caption());
    EXPECT_EQ(a.RadarCmb.Caption(), b.RadarCmb.Caption());
    EXPECT_EQ(a.ProductCmb.Caption(), b.ProductCmb.Caption());
    for (auto [x, y] : {std::pair{&a.RedrawChk, &b.RedrawChk}, {&a.Minimizeonstartup1, &b.Minimizeonstartup1},
                        {&a.Logerrors1, &b.Logerrors1},
                        {&a.ShutDownwhenUiViewterminates1, &b.ShutDownwhenUiViewterminates1},
                        {&a.Removestaleunderlaysatstartup1, &b.Removestaleunderlaysatstartup1},
                        {&a.SaveGifChk, &b.SaveGifChk}, {&a.AccumChk, &b.AccumChk}, {&a.LegendChk, &b.LegendChk},
                        {&a.TorChk, &b.TorChk}, {&a.SVRChk, &b.SVRChk}, {&a.FFWChk, &b.FFWChk},
                        {&a.SMWChk, &b.SMWChk}})
        EXPECT_EQ(bool(x->Checked), bool(y->Checked)) << x->Name();
    EXPECT_EQ(a.HintPauseMS, b.HintPauseMS);
    EXPECT_EQ(a.RidgeTimer.Interval(), b.RidgeTimer.Interval());
    EXPECT_EQ(a.TrayTip, b.TrayTip);
    EXPECT_EQ(a.ModeGrp.ItemIndex, b.ModeGrp.ItemIndex);
    EXPECT_EQ(a.ShpURLEd.Caption(), b.ShpURLEd.Caption());
    // Without a map server the shapefile folder lies in each program folder.
    EXPECT_EQ(a.TargetED.Caption().substr(a.ProgramDir.size()), b.TargetED.Caption().substr(b.ProgramDir.size()));
    EXPECT_EQ(a.KeepLogDays, b.KeepLogDays);
}

// The sample says so: a save keeps the comments of the file it rewrites.
TEST(SampleSettings, ASaveKeepsItsComments)
{
    TCoreEnv env;
    std::string text, saved;
    ASSERT_TRUE(ReadFileBytes(std::string(SF_SOURCE_DIR) + "/packaging/stormfetch.ini.sample", text));
    env.Dir.Write("stormfetch.ini", text);
    LoadSettings(env.S);
    env.S.ProxyHost = "proxy.example";
    SaveSettings(env.S);
    ASSERT_TRUE(ReadFileBytes(env.Dir.Path() + "stormfetch.ini", saved));
    EXPECT_NE(saved.find("ProxyHost=proxy.example"), std::string::npos);
    size_t comments = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == ';') {
            ++comments;
            EXPECT_NE(saved.find(line), std::string::npos) << line;
        }
        at = end + 1;
    }
    EXPECT_GT(comments, 20u);
}

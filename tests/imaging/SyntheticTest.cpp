// The generated RIDGE images: deterministic, sized and geo-referenced as published.
#include "ImagingTestEnv.h"
#include "core/Text.h"
#include "imaging/GifCodec.h"
#include "imaging/Synthetic.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

TEST(Synthetic, SiteImagesAreDeterministicAndMoveWithTime)
{
    const std::string a = SyntheticSiteGif("LOT", "N0R", 46000.5);
    EXPECT_EQ(a, SyntheticSiteGif("lot", "N0R", 46000.5));
    EXPECT_NE(a, SyntheticSiteGif("LOT", "N0R", 46000.5 + 10 * kOneMinute));
    EXPECT_NE(a, SyntheticSiteGif("DVN", "N0R", 46000.5));
    TGifImage gif;
    std::string error;
    ASSERT_TRUE(DecodeGif(a, gif, error));
    EXPECT_EQ(gif.ScreenWidth, 600);
    EXPECT_EQ(gif.ScreenHeight, 550);
    const auto& table = gif.FirstColourTable();
    for (size_t i = 0; i < N0RColours().size(); ++i)
        EXPECT_EQ(table[i + 1], N0RColours()[i]);
    EXPECT_EQ(N0RColours()[0], (TRgb{4, 233, 231}));
    EXPECT_EQ(N0RColours()[14], (TRgb{253, 253, 253}));
}

TEST(Synthetic, WorldFileCentresOnTheRealSite)
{
    const std::string text = SyntheticSiteWorldFile("LOT");
    const auto lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(FieldCount(text, '\n'), 7); // six lines, each ending CR LF
    EXPECT_NE(text.find("\r\n"), std::string::npos);
    EXPECT_NEAR(std::stod(lines[0]), 0.0117, 1e-9);
    EXPECT_NEAR(std::stod(lines[3]), -0.0117, 1e-9);
    EXPECT_NEAR(std::stod(lines[4]) + 300 * 0.0117, -88.0847, 1e-6);
    EXPECT_NEAR(std::stod(lines[5]) - 275 * 0.0117, 41.6045, 1e-6);
    for (const char* site : {"LOT", "DVN", "MKX", "ILX", "DIX", "FTG"})
        EXPECT_TRUE(SyntheticSiteLocation(site).Known) << site;
    EXPECT_TRUE(SyntheticSiteLocation("kdix").Known);
    EXPECT_FALSE(SyntheticSiteLocation("ZZZ").Known);
    EXPECT_NE(SyntheticSiteWorldFile("ZZZ"), "");
}

TEST(Synthetic, LegendHasItsBarAlongTheRightEdge)
{
    const QImage q = Decode(SyntheticLegendGif("LOT", "N0R"), "GIF");
    ASSERT_EQ(q.width(), 600);
    ASSERT_EQ(q.height(), 550);
    EXPECT_EQ(q.pixel(570, 215), qRgb(4, 233, 231));
    EXPECT_EQ(q.pixel(570, 535), qRgb(253, 253, 253));
    EXPECT_EQ(q.pixel(300, 300), qRgb(255, 255, 255));
}

TEST(Synthetic, MosaicsHaveTheirPublishedSizes)
{
    const QImage gif = Decode(SyntheticMosaicGif("!!ConUS", 46000.5), "GIF");
    EXPECT_EQ(gif.width(), 3400);
    EXPECT_EQ(gif.height(), 1600);
    const auto gfw = SplitLines(SyntheticMosaicGifWorldFile());
    ASSERT_EQ(gfw.size(), 6u);
    EXPECT_NEAR(std::stod(gfw[0]), 0.018, 1e-9);
    const auto wld = SplitLines(SyntheticMosaicWorldFile(6000, 2600));
    ASSERT_EQ(wld.size(), 6u);
    EXPECT_NEAR(std::stod(wld[4]) + 6000 * std::stod(wld[0]), -66.52, 1e-6);
}

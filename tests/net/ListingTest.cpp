#include "net/Listing.h"
#include "core/Files.h"
#include "core/Shared.h"
#include "core/Text.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

using namespace sf;

namespace {

std::string Entry(const std::string& name)
{
    return "<tr><td><a href=\"" + name + ".gif\">" + name + ".gif</a></td><td>10-May-2010 15:19</td></tr>";
}

class Listing : public ::testing::Test {
protected:
    TFakeClock Clock{EncodeDateTime({2011, 6, 1, 12, 0, 0, 0})};
    sf::test::TScriptedDialogs Dialogs;
    TShared S{Clock, Dialogs};
    sf::test::TTempDir Dir;
    std::string Page(const std::string& text) { return Dir.Write("list.htm", text); }
    std::string LogText()
    {
        std::string all;
        for (const TFindEntry& e : FindFiles(Dir.Path() + "*ErrorLog*")) {
            std::string b;
            ReadFileBytes(Dir.Path() + e.Name, b);
            all += b;
        }
        return all;
    }
};

} // namespace

TEST_F(Listing, NewestSiteImageInAnyFileOrder)
{
    const std::string p = Page("<html>\r\n" + Entry("LOT_20100510_1509_N0R") + "\r\n" + Entry("LOT_20100510_1519_N0R") +
                               "\r\n" + Entry("LOT_20100510_1514_N0R") + "\r\n</html>\r\n");
    EXPECT_EQ(ScanSiteListing(S, p), "LOT_20100510_1519_N0R");
    EXPECT_EQ(Dialogs.Beeps, 0);
}

TEST_F(Listing, OnlyGifAnchorsWithTheNameAsTextCount)
{
    EXPECT_EQ(ScanSiteListing(S, Page("<a href=\"N0R/\">N0R/</a>\n<a href=\"x.png\">x.png</a>\n")), "");
    EXPECT_EQ(ScanSiteListing(S, Page("<a href=\"LOT_20100510_1519_N0R.gif\"><img src=\"i.gif\"></a>\n")), "");
    EXPECT_EQ(ScanSiteListing(S, S.ProgramDir + Dir.Path() + "missing.htm"), "");
    // Letter case of the markers does not matter; the entry keeps its own case.
    EXPECT_EQ(ScanSiteListing(S, Page("<A HREF=\"lot_20100510_1519_n0r.GIF\">lot_20100510_1519_n0r.GIF</A>\n")),
              "lot_20100510_1519_n0r");
}

TEST_F(Listing, OnlyTheFirstAnchorOfALineCounts)
{
    const std::string line = Entry("LOT_20100510_1509_N0R") + Entry("LOT_20100510_1559_N0R");
    EXPECT_EQ(ScanListingText(line + "\n", false).Newest, "LOT_20100510_1509_N0R");
}

TEST_F(Listing, CaseVariantsCountOnce)
{
    const TListingScan r = ScanListingText(Entry("lot_20100510_1519_n0r") + "\n" + Entry("LOT_20100510_1519_N0R") + "\n", false);
    EXPECT_EQ(SameText(r.Newest, "LOT_20100510_1519_N0R"), true);
}

TEST_F(Listing, DisagreementBeepsButKeepsTheGreatestName)
{
    // Sorted by line, the last line's entry is not the greatest name.
    const std::string p = Page("<p>z " + Entry("AAA_20100510_1519_N0R") + "\n<p>a " + Entry("ZZZ_20100510_1509_N0R") + "\n");
    EXPECT_EQ(ScanSiteListing(S, p), "ZZZ_20100510_1509_N0R");
    EXPECT_EQ(Dialogs.Beeps, 1);
}

TEST_F(Listing, MosaicSkipsSmallAndForeignNames)
{
    EXPECT_EQ(ScanMosaicListing(S, Page(Entry("CONUS_20100510_1518_N0R_small") + "\n" + Entry("CONUS_20100510_1513_N0R") + "\n")),
              "CONUS_20100510_1513_N0R");
    EXPECT_EQ(ScanMosaicListing(S, Page(Entry("Conus_20100510_1513_N0R") + "\n")), "Conus_20100510_1513_N0R");
    EXPECT_EQ(ScanMosaicListing(S, Page(Entry("CONUS_20100510_1518_N0R_SMALL") + "\n")), "CONUS_20100510_1518_N0R_SMALL");
    EXPECT_EQ(ScanMosaicListing(S, Page(Entry("LOT_20100510_1513_N0R") + "\n")), "");
}

TEST_F(Listing, ImageTimes)
{
    EXPECT_EQ(ImageTimeFromName(S, "LOT_20100510_1519_N0R"), EncodeDateTime({2010, 5, 10, 15, 19, 0, 0}));
    EXPECT_EQ(ImageTimeFromName(S, "LOT_20100510"), EncodeDateTime({2010, 5, 10, 0, 0, 0, 0}));
    const TDateTime noTime = Clock.UTCNow() - 100;
    S.ProgramDir = Dir.Path();
    S.Logerrors1.Checked = true;
    for (const char* bad : {"LOT_20051231_1519_N0R", "LOT_20120101_0000_N0R", "LOT_20101310_1519_N0R",
                            "LOT_20100230_1519_N0R", "LOT_20100510_2460_N0R", "LOT_2010xx10_1519_N0R", "nothing"}) {
        EXPECT_EQ(ImageTimeFromName(S, bad), noTime) << bad;
        EXPECT_NE(LogText().find("DateTime error " + std::string(bad)), std::string::npos) << bad;
    }
    EXPECT_EQ(ImageTimeFromName(S, "LOT_20110601_2359_N0R"), EncodeDateTime({2011, 6, 1, 23, 59, 0, 0}));
    EXPECT_EQ(ImageTimeFromName(S, "LOT_20080229_0000"), EncodeDateTime({2008, 2, 29, 0, 0, 0, 0}));
}

TEST_F(Listing, LinesEndAtCrLfLfOrALoneCr)
{
    // A page whose lines end in lone CRs holds one entry per line like any other page:
    // only the first anchor of a line counts, so an unsplit page would give the first name.
    const std::string p = Page(Entry("LOT_20100510_1509_N0R") + "\r" + Entry("LOT_20100510_1519_N0R") + "\r" +
                               Entry("LOT_20100510_1514_N0R") + "\r");
    EXPECT_EQ(ScanSiteListing(S, p), "LOT_20100510_1519_N0R");
    const TListingScan mixed = ScanListingText(Entry("LOT_20100510_1501_N0R") + "\r\n" + Entry("LOT_20100510_1502_N0R") +
                                                   "\n" + Entry("LOT_20100510_1503_N0R") + "\r\r\n" + Entry("LOT_20100510_1504_N0R"),
                                               false);
    EXPECT_EQ(mixed.Newest, "LOT_20100510_1504_N0R");
    EXPECT_EQ(mixed.LastSeen, "LOT_20100510_1504_N0R");
}

TEST_F(Listing, PiecesSplitAnywhereGiveTheSameScan)
{
    const std::string text = "<html>\r\n" + Entry("LOT_20100510_1509_N0R") + "\r\n" + Entry("LOT_20100510_1519_N0R") +
                             "\r" + Entry("lot_20100510_1519_n0r") + "\n" + Entry("LOT_20100510_1514_N0R") + "\r\n";
    const TListingScan whole = ScanListingText(text, false);
    for (size_t piece : {size_t(1), size_t(2), size_t(7), size_t(64)}) {
        TListingScanner scanner(false);
        for (size_t at = 0; at < text.size(); at += piece)
            scanner.Feed(text.data() + at, std::min(piece, text.size() - at));
        const TListingScan r = scanner.Finish();
        EXPECT_EQ(r.Newest, whole.Newest) << piece;
        EXPECT_EQ(r.LastSeen, whole.LastSeen) << piece;
    }
    EXPECT_EQ(whole.Newest, "LOT_20100510_1519_N0R");
}

TEST_F(Listing, AnOverlongLineHoldsNoEntry)
{
    const std::string longLine = Entry("LOT_20100510_1559_N0R") + std::string(TListingScanner::kMaxListingLine, ' ');
    const TListingScan r = ScanListingText(Entry("LOT_20100510_1509_N0R") + "\n" + longLine + "\n", false);
    EXPECT_EQ(r.Newest, "LOT_20100510_1509_N0R");
}

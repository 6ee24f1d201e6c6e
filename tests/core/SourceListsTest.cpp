#include "CoreTestEnv.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace sf;
using namespace sf::test;

TEST(BuiltInLists, SourcesHaveThreeFieldsAndDistinctSites)
{
    const auto& radars = BuiltInRadars();
    ASSERT_EQ(radars.size(), 150u);
    std::set<std::string> ids;
    int mosaics = 0;
    for (const auto& line : radars) {
        if (StartsWith(line, "!!")) {
            ++mosaics;
            continue;
        }
        EXPECT_EQ(FieldCount(line, ','), 3) << line;
        const std::string id = GetField(line, 3, ',');
        EXPECT_EQ(id.size(), 3u) << line;
        ids.insert(id);
    }
    EXPECT_EQ(mosaics, 2);
    EXPECT_EQ(ids.size(), 148u);
    for (const char* verbatim : {"IL,Chicago,LOT", "IL,Central (Springfield),ILX", "VA/Washington DC,Sterling,LWX",
                                 "NB,North Platte,LNX", "CA,McClellan AFB/Sacremento,DAX",
                                 "MN,Chanhassen Township/Minn-St.P,MPX", "!!ConUS,Iowa State University",
                                 "!!USRad,Texas A&M Universtity"})
        EXPECT_NE(std::find(radars.begin(), radars.end(), verbatim), radars.end()) << verbatim;
    EXPECT_TRUE(ids.count("DIX"));
    EXPECT_TRUE(ids.count("ESC"));
}

TEST(BuiltInLists, SixProductsWithoutTheDefault)
{
    const auto& p = BuiltInProducts();
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[2], "N0Z, Long Range Reflectivity ");
    EXPECT_EQ(std::find(p.begin(), p.end(), "N0R, Short Range Reflectivity"), p.end());
}

TEST(BuiltInLists, SortIgnoresCase)
{
    std::vector<std::string> items = {"b", "A", "!!x", "a", "C"};
    SortItems(items);
    EXPECT_EQ(items, (std::vector<std::string>{"!!x", "A", "a", "b", "C"}));
}

TEST(SourceListFiles, BuiltInListsWithoutFiles)
{
    TCoreEnv e;
    ASSERT_TRUE(LoadSourceLists(e.S));
    const auto& items = e.S.RadarCmb.Items;
    ASSERT_EQ(items.size(), 150u);
    EXPECT_EQ(items[0], "!!ConUS,Iowa State University");
    EXPECT_EQ(items[1], "!!USRad,Texas A&M Universtity");
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end(),
                               [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; }));
    EXPECT_EQ(e.S.ProductCmb.Items.front(), "N0S, Storm Relative Motion");
    ASSERT_FALSE(e.S.ProductCmb.Items.empty());
    EXPECT_EQ(e.S.ProductCmb.Items.back(), "NTP, Storm Total Precipitation");
}

TEST(SourceListFiles, FilesReplaceTheBuiltInLists)
{
    TCoreEnv e;
    e.Dir.Write("radars.TXT", "IL,Chicago,LOT\r\n");
    e.Dir.Write("Products.txt", "nxx, lower\nN0R, Short Range Reflectivity\r\n\r\nABC, First\n");
    ASSERT_TRUE(LoadSourceLists(e.S));
    EXPECT_EQ(e.S.RadarCmb.Items, std::vector<std::string>{"IL,Chicago,LOT"});
    EXPECT_EQ(e.S.ProductCmb.Items,
              (std::vector<std::string>{"", "ABC, First", "N0R, Short Range Reflectivity", "nxx, lower"}));
}

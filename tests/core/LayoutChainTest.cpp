// The list of source layouts a station asks in order, and the rule that picks the layout
// serving one attempt of a record.
#include "CoreTestEnv.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/layouts/LayoutChain.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

using K = TLayoutAnswer::TKind;
const TDateTime kNow = EncodeDateTime({2026, 12, 9, 21, 0, 0, 0});
const TDateTime kSiteLimit = StaleAfter(5); // 15 minutes

TLayoutAnswer At(int minutesAgo)
{
    return {K::Time, kNow - minutesAgo * kOneMinute};
}

TEST(LayoutChain, ListsParseInOrderWithBlanksAndCaseIgnored)
{
    std::vector<TLayout> chain;
    std::string error;
    ASSERT_TRUE(ParseLayoutList(" NWSWMS , iem", chain, error)) << error;
    EXPECT_EQ((std::vector<TLayout>{TLayout::Wms, TLayout::Iem}), chain);
    EXPECT_EQ("nwswms,iem", LayoutListText(chain));
    ASSERT_TRUE(ParseLayoutList("iem,ridge,nwswms", chain, error)) << error;
    EXPECT_EQ((std::vector<TLayout>{TLayout::Iem, TLayout::Ridge, TLayout::Wms}), chain);
    // One name is a list of one, as before lists existed.
    ASSERT_TRUE(ParseLayoutList("Iem ", chain, error)) << error;
    EXPECT_EQ(std::vector<TLayout>{TLayout::Iem}, chain);
    EXPECT_EQ("iem", LayoutListText(chain));
}

TEST(LayoutChain, BadListsNameTheEntryAtFaultAndLeaveTheResultAlone)
{
    std::vector<TLayout> chain{TLayout::Ridge};
    std::string error;
    EXPECT_FALSE(ParseLayoutList("nwswms,iemm", chain, error));
    EXPECT_EQ("unknown layout \"iemm\"", error);
    EXPECT_FALSE(ParseLayoutList("iem, IEM", chain, error));
    EXPECT_EQ("layout \"iem\" named twice", error);
    EXPECT_FALSE(ParseLayoutList("iem,,ridge", chain, error));
    EXPECT_EQ("empty layout name in \"iem,,ridge\"", error);
    EXPECT_FALSE(ParseLayoutList("", chain, error));
    EXPECT_FALSE(ParseLayoutList("iem,", chain, error));
    EXPECT_FALSE(ParseLayoutList("x", chain, error));
    EXPECT_EQ("unknown layout \"x\"", error);
    EXPECT_EQ(std::vector<TLayout>{TLayout::Ridge}, chain);
}

TEST(LayoutChain, StaleLimitIsThreeNewnessIntervals)
{
    EXPECT_NEAR(15 * kOneMinute, StaleAfter(5), 1e-12);
    EXPECT_NEAR(30 * kOneMinute, StaleAfter(10), 1e-12);
}

struct TPickCase {
    const char* Name;
    std::vector<TLayoutAnswer> Answers;
    size_t ChainSize;
    int Serve;
    bool AskNext;
};

TEST(LayoutChain, PickRule)
{
    const TLayoutAnswer failed{K::Failed, 0}, notOffered{K::NotOffered, 0};
    const TPickCase cases[] = {
        {"first fresh: the next is never asked", {At(4)}, 2, 0, false},
        {"first at the limit is still fresh", {At(15)}, 2, 0, false},
        {"first fails: ask the next", {failed}, 2, -1, true},
        {"first fails, next has a time", {failed, At(30)}, 2, 1, false},
        {"first stale: ask the next", {At(16)}, 2, 0, true},
        {"first stale, next newer", {At(40), At(3)}, 2, 1, false},
        {"first stale, next older: the first serves", {At(40), At(90)}, 2, 0, false},
        {"equal times: the earlier layout", {At(40), At(40)}, 2, 0, false},
        {"first stale, next failed", {At(40), failed}, 2, 0, false},
        {"both fail", {failed, failed}, 2, -1, false},
        {"product not offered: the next", {notOffered}, 2, -1, true},
        {"product not offered, next has it", {notOffered, At(2)}, 2, 1, false},
        {"offered nowhere", {notOffered, notOffered}, 2, -1, false},
        {"one layout alone never asks further", {failed}, 1, -1, false},
        {"stale first and stale second ask the third", {At(40), At(20)}, 3, 1, true},
        {"the third is newest", {At(40), At(20), At(1)}, 3, 2, false},
    };
    for (const TPickCase& c : cases) {
        const TLayoutPick pick = PickLayout(c.Answers, c.ChainSize, kNow, kSiteLimit);
        EXPECT_EQ(c.Serve, pick.Serve) << c.Name;
        EXPECT_EQ(c.AskNext, pick.AskNext) << c.Name;
    }
    // A mosaic's limit is 30 minutes: 20 minutes old is not stale for it.
    EXPECT_FALSE(PickLayout({At(20)}, 2, kNow, StaleAfter(10)).AskNext);
}

TEST(LayoutChain, StatusNamesTheServingLayoutAndWhyTheFirstDidNot)
{
    EXPECT_EQ(" (from iem: nwswms stalled)", ServedFromText(TLayout::Iem, TLayout::Wms, At(40)));
    EXPECT_EQ(" (from iem: nwswms failed)", ServedFromText(TLayout::Iem, TLayout::Wms, {K::Failed, 0}));
    EXPECT_EQ(" (from ridge: iem no product)", ServedFromText(TLayout::Ridge, TLayout::Iem, {K::NotOffered, 0}));
}

TEST(LayoutChainSettings, ListIsReadInOrderAndWrittenBackWithTheKeysItUses)
{
    TCoreEnv e;
    e.Dir.Write("stormfetch.ini", "[URL]\r\nLayout= nwswms , IEM\r\n");
    LoadSettings(e.S);
    EXPECT_EQ(TLayout::Wms, e.S.Layout);
    EXPECT_EQ(std::vector<TLayout>{TLayout::Iem}, e.S.Fallbacks);
    ASSERT_TRUE(SaveSettings(e.S));
    const TIniText saved(e.Dir.Read("stormfetch.ini"));
    EXPECT_EQ("nwswms,iem", saved.ReadString("URL", "Layout", ""));
    EXPECT_EQ(kDefaultIemBase, saved.ReadString("URL", "IEM", ""));
    EXPECT_EQ(kDefaultWmsBase, saved.ReadString("URL", "WMS", ""));

    // The map service only as a later layout is still a layout in use: its base is stored.
    e.Dir.Write("stormfetch.ini", "[URL]\r\nLayout=ridge,nwswms\r\n");
    LoadSettings(e.S);
    EXPECT_EQ(TLayout::Ridge, e.S.Layout);
    EXPECT_EQ(std::vector<TLayout>{TLayout::Wms}, e.S.Fallbacks);
    ASSERT_TRUE(SaveSettings(e.S));
    EXPECT_EQ(kDefaultWmsBase, TIniText(e.Dir.Read("stormfetch.ini")).ReadString("URL", "WMS", ""));

    // A list with an unknown or repeated name is no list: the default layout alone, as an
    // unknown single name is; the fallbacks of the previous file do not linger.
    std::string log;
    e.S.Hub.Listeners.push_back([&log](const std::string& control, const std::string& text) {
        if (control == "Log")
            log += text + "\n";
    });
    for (const char* bad : {"nwswms,nexrad", "iem,iem"}) {
        e.Dir.Write("stormfetch.ini", std::string("[URL]\r\nLayout=") + bad + "\r\n");
        LoadSettings(e.S);
        EXPECT_EQ(TLayout::Ridge, e.S.Layout) << bad;
        EXPECT_TRUE(e.S.Fallbacks.empty()) << bad;
    }
    // The refused list is said in the error log, naming the file and the entry at fault.
    EXPECT_NE(std::string::npos,
              log.find("stormfetch.ini [URL] Layout=nwswms,nexrad: unknown layout \"nexrad\"; the default layout "
                       "ridge alone is used"))
        << log;
    EXPECT_NE(std::string::npos, log.find("Layout=iem,iem: layout \"iem\" named twice")) << log;
}

} // namespace

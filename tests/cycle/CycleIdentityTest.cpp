// The cycle finds the record it works on by the record's identity: the list may change
// while a fetch pumps messages (a forced download lets the user reach Delete and Add).
#include "CycleFixture.h"

namespace sf::test {
namespace {

class CycleIdentity : public CycleFixture {
protected:
    const std::string LotWorld = std::string(kBase) + "N0R/LOT_N0R_0.gfw";

    std::vector<std::string> ListingsFetched() const
    {
        std::vector<std::string> sites;
        for (auto& url : Requests)
            if (url.size() > 4 && url.back() == '/')
                sites.push_back(url.substr(url.size() - 4, 3));
        return sites;
    }
};

TEST_F(CycleIdentity, RecordAddedWhereTheDeletedOneLayKeepsItsOwnData)
{
    AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    const TRadarObj* added = nullptr;
    OnFetch = [&](const std::string& url) {
        if (url != LotWorld)
            return;
        // Delete the record under fetch and add another at once: the allocator usually
        // hands the freed block straight back, so the new record sits at the old address.
        S.List.Delete(0);
        TRadarObj r = TRadarObj::Create(Clock);
        r.SetNames("IA,Des Moines,DMX", "Short Range Reflectivity, N0R", S.Naming());
        r.NextAttempt = Clock.UTCNow() + 60 * kOneMinute; // not due: the cycle must leave it alone
        added = S.List.Add("IA,Des Moines,DMX\tShort Range Reflectivity, N0R", r);
    };
    RunCycle();

    ASSERT_EQ(1, S.List.Count());
    ASSERT_NE(nullptr, added);
    // Whether or not the address was reused, the new record holds its own names only.
    EXPECT_EQ("IA,Des Moines,DMX\tShort Range Reflectivity, N0R", S.List.Key(0));
    EXPECT_EQ("IA,Des Moines,DMX", S.List[0].Radar);
    EXPECT_EQ("DMX_N0R_0", S.List[0].RemoteName);
    EXPECT_EQ("New record", S.List[0].Status);
    ExpectTime(Clock.UTCNow() + 60 * kOneMinute, S.List[0].NextAttempt, "NextAttempt");
}

TEST_F(CycleIdentity, DeletingTheRecordUnderFetchDoesNotSkipTheNextDueRecord)
{
    AddRecord("IL,Chicago,LOT");
    TRadarObj& mkx = AddRecord("WI,Milwaukee,MKX");
    TRadarObj& grb = AddRecord("WI,Green Bay,GRB");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    ServeSite("MKX", {"MKX_20100510_1418_N0R"});
    ServeSite("GRB", {"GRB_20100510_1417_N0R"});
    OnFetch = [&](const std::string& url) {
        if (url == LotWorld)
            S.List.Delete(0);
    };
    RunCycle();

    EXPECT_EQ((std::vector<std::string>{"LOT", "MKX", "GRB"}), ListingsFetched());
    ASSERT_EQ(2, S.List.Count());
    EXPECT_EQ("Processed MKX_N0R_0", mkx.Status);
    EXPECT_EQ("Processed GRB_N0R_0", grb.Status);
}

TEST_F(CycleIdentity, RecordsDeletedBeforeTheOneUnderFetchShiftNothingOut)
{
    AddRecord("IL,Chicago,LOT");
    AddRecord("WI,Milwaukee,MKX");
    TRadarObj& grb = AddRecord("WI,Green Bay,GRB");
    TRadarObj& arx = AddRecord("WI,La Crosse,ARX");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    ServeSite("MKX", {"MKX_20100510_1418_N0R"});
    ServeSite("GRB", {"GRB_20100510_1417_N0R"});
    ServeSite("ARX", {"ARX_20100510_1416_N0R"});
    const std::string grbWorld = std::string(kBase) + "N0R/GRB_N0R_0.gfw";
    OnFetch = [&](const std::string& url) {
        if (url == grbWorld) {
            S.List.Delete(0); // two records already done go while GRB is fetched
            S.List.Delete(0);
        }
    };
    RunCycle();

    EXPECT_EQ((std::vector<std::string>{"LOT", "MKX", "GRB", "ARX"}), ListingsFetched());
    ASSERT_EQ(2, S.List.Count());
    EXPECT_EQ("Processed GRB_N0R_0", grb.Status); // its working copy still came home
    EXPECT_EQ("Processed ARX_N0R_0", arx.Status);
}

} // namespace
} // namespace sf::test

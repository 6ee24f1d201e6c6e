// A station still on the default layout at the official RIDGE host: every request
// there ends in 404 since the service was retired, and the station is told so.
#include "CycleFixture.h"
#include "core/Settings.h"
#include "core/SourceLayout.h"

namespace sf::test {
namespace {

TEST_F(CycleFixture, NotFoundFromTheRetiredRidgeHostSaysSoInTheStatusAndOnceInTheLog)
{
    S.Logerrors1.Checked = true;
    S.RidgeBase = kDefaultRidgeBase;
    S.RidgeNatBase = kDefaultRidgeNatBase;
    TRadarObj& lot = AddRecord("IL,Chicago,LOT");
    TRadarObj& mkx = AddRecord("WI,Milwaukee,MKX");
    auto cycle = MakeCycle();
    cycle->Run();
    const std::string hint = RetiredRidgeHint();
    EXPECT_EQ("Error 404 Not Found - " + hint, lot.Status);
    EXPECT_EQ("Error 404 Not Found - " + hint, mkx.Status);
    EXPECT_NE(std::string::npos, hint.find("December 2020"));
    EXPECT_NE(std::string::npos, hint.find("stormfetch --layout iem"));
    // One line in the error log, not one a record or a minute.
    Clock.Set(Clock.UTCNow() + 2 * kOneMinute);
    cycle->Run();
    const std::string log = LogText();
    const size_t first = log.find(hint);
    ASSERT_NE(std::string::npos, first) << log;
    EXPECT_EQ(std::string::npos, log.find(hint, first + 1)) << log;
    EXPECT_EQ("Error 404 Not Found - " + hint, lot.Status);
}

TEST_F(CycleFixture, NotFoundFromAnotherRidgeHostKeepsItsPlainStatus)
{
    S.Logerrors1.Checked = true;
    TRadarObj& lot = AddRecord("IL,Chicago,LOT");
    RunCycle();
    EXPECT_EQ("Error 404 Not Found", lot.Status);
    EXPECT_EQ(std::string::npos, LogText().find("December 2020"));
}

} // namespace
} // namespace sf::test

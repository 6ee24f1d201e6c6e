// The scheduler's clock-set-back correction on a station of several layouts: a last
// image that a later layout dated ahead of the clock (the iem composite's nominal frame
// time) stays the newness key, as it does on an iem station.
#include "CycleFixture.h"
#include "cycle/Scheduler.h"

namespace sf::test {
namespace {

class SchedulerChain : public CycleFixture {
protected:
    SchedulerChain()
    {
        S.UiViewMap = "C:/UIVIEW/MAPS/QUORSERVER.MAP";
        S.MemReportTime = Clock.LocalNow();
        Sched = std::make_unique<TScheduler>(S, [] {}, [] { return true; });
    }
    /// The last image of a record dated minutesAhead past the clock, after one tick.
    TDateTime LastImageAfterTick(double minutesAhead)
    {
        TRadarObj& r = AddRecord("!!ConUS,Iowa State University", ", ");
        r.NextAttempt = Clock.UTCNow() + 10 * kOneMinute;
        r.LastImage = Clock.UTCNow() + minutesAhead * kOneMinute;
        Sched->ProcessTimer();
        return r.LastImage;
    }

    std::unique_ptr<TScheduler> Sched;
    const TDateTime Start = At(2010, 5, 10, 14, 21, 0);
};

TEST_F(SchedulerChain, ALaterIemLayoutKeepsItsLeadAheadOfTheClock)
{
    S.Layout = TLayout::Wms;
    S.Fallbacks = {TLayout::Iem};
    ExpectTime(Start + 3 * kOneMinute, LastImageAfterTick(3));
}

TEST_F(SchedulerChain, WithoutIemInTheListAFutureImageIsAClockSetBack)
{
    S.Layout = TLayout::Wms;
    S.Fallbacks = {TLayout::Ridge};
    ExpectTime(Start - 36 * kOneSecond, LastImageAfterTick(3));
}

} // namespace
} // namespace sf::test

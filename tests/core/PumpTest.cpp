#include "core/Clock.h"
#include "core/Pump.h"
#include "core/Timer.h"
#include <stdexcept>
#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace sf;

TEST(Delay, ZeroReturnsAtOnceWithoutProcessingEvents)
{
    TFakeClock clock(40000.0);
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    Delay(clock, 0);
    EXPECT_FALSE(ran);
    Pump();
    EXPECT_TRUE(ran);
}

TEST(Delay, KeepsEventsRunningUntilTheLocalEndTime)
{
    TFakeClock clock(40000.0, -5.0 / 24.0);
    clock.AutoStep = 0.1 * kOneSecond; // every reading advances the clock
    int runs = 0;
    QTimer::singleShot(0, [&] { ++runs; });
    Delay(clock, 1.0);
    EXPECT_EQ(runs, 1);
    EXPECT_GE(clock.LocalNow(), 40000.0 - 5.0 / 24.0 + kOneSecond);
}

TEST(Delay, ServesEventsWhileTheApplicationIsQuitting)
{
    // The close path waits for a running cycle after the main loop was told to end;
    // timers and sockets must still be served during that wait.
    TSystemClock clock;
    int ticks = 0;
    bool waited = false;
    QTimer::singleShot(0, [&] {
        QCoreApplication::exit(0);
        QTimer repeat;
        QObject::connect(&repeat, &QTimer::timeout, [&] { ++ticks; });
        repeat.start(20);
        Delay(clock, 0.3);
        waited = true;
    });
    QCoreApplication::exec();
    EXPECT_TRUE(waited);
    EXPECT_GE(ticks, 5);
}

TEST(Timer, AHandlerThatThrowsDoesNotEndTheProgram)
{
    TTimer timer("Test", 10);
    int fired = 0;
    timer.OnTimer = [&] {
        ++fired;
        throw std::runtime_error("handler failed");
    };
    EXPECT_NO_THROW(timer.Fire());
    TSystemClock clock;
    Delay(clock, 0.1); // the real timer fires too, and the loop survives it
    EXPECT_GE(fired, 2);
}

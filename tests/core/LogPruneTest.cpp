#include "CoreTestEnv.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/LogPrune.h"
#include "core/Settings.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

TEST(LogPrune, OnlyWellFormedLogNamesHaveADay)
{
    TDateTime day = 0;
    EXPECT_TRUE(ErrorLogDay("R20120315ErrorLog.txt", day));
    EXPECT_EQ(day, At(2012, 3, 15, 0, 0, 0));
    EXPECT_TRUE(ErrorLogDay("r20120229errorlog.TXT", day)); // a leap day, any case
    EXPECT_FALSE(ErrorLogDay("R20110229ErrorLog.txt", day)); // no 29 February in 2011
    EXPECT_FALSE(ErrorLogDay("R20121315ErrorLog.txt", day));
    EXPECT_FALSE(ErrorLogDay("R2012031ErrorLog.txt", day));
    EXPECT_FALSE(ErrorLogDay("R2012031xErrorLog.txt", day));
    EXPECT_FALSE(ErrorLogDay("R20120315ErrorLog.txt.bak", day));
    EXPECT_FALSE(ErrorLogDay("X20120315ErrorLog.txt", day));
    EXPECT_FALSE(ErrorLogDay("R20120315Memory.txt", day));
}

TEST(LogPrune, KeepsTheLastKeepDaysDays)
{
    const std::vector<std::string> names = {"R20120315ErrorLog.txt", "R20120214ErrorLog.txt",
                                            "R20120213ErrorLog.txt", "R20110101ErrorLog.txt",
                                            "DownLoadList.txt", "R20990101ErrorLog.txt"};
    // 15 March 23:59 local: 30 days back is 14 February, which is kept.
    const auto stale = StaleErrorLogs(names, At(2012, 3, 15, 23, 59, 0), 30);
    EXPECT_EQ(stale, (std::vector<std::string>{"R20120213ErrorLog.txt", "R20110101ErrorLog.txt"}));
    EXPECT_TRUE(StaleErrorLogs(names, At(2012, 3, 15, 12, 0, 0), 0).empty());
    EXPECT_TRUE(StaleErrorLogs(names, At(2012, 3, 15, 12, 0, 0), -3).empty());
}

TEST(LogPrune, DeletesAtStartAndAgainWhenTheDayChanges)
{
    TCoreEnv E; // local now: 15 March 2012, 07:00
    E.S.KeepLogDays = 2;
    for (const char* name : {"R20120315ErrorLog.txt", "R20120313ErrorLog.txt", "R20120312ErrorLog.txt",
                             "r20120301errorlog.txt", "R20120301Notes.txt"})
        E.Dir.Write(name, "x\r\n");
    ASSERT_TRUE(DirectoryExists(E.Dir.Path()));
    TLogPruner pruner(E.S);
    pruner.Tick();
    EXPECT_TRUE(FileExists(E.Dir.Path() + "R20120315ErrorLog.txt"));
    EXPECT_TRUE(FileExists(E.Dir.Path() + "R20120313ErrorLog.txt"));
    EXPECT_FALSE(FileExists(E.Dir.Path() + "R20120312ErrorLog.txt"));
    EXPECT_FALSE(FileExists(E.Dir.Path() + "r20120301errorlog.txt"));
    EXPECT_TRUE(FileExists(E.Dir.Path() + "R20120301Notes.txt"));

    // Later the same day nothing is looked at again; after midnight the 13th goes.
    E.Clock.Step(10.0 / 24.0);
    pruner.Tick();
    EXPECT_TRUE(FileExists(E.Dir.Path() + "R20120313ErrorLog.txt"));
    E.Clock.Step(7.5 / 24.0);
    pruner.Tick();
    EXPECT_FALSE(FileExists(E.Dir.Path() + "R20120313ErrorLog.txt"));
    EXPECT_TRUE(FileExists(E.Dir.Path() + "R20120315ErrorLog.txt"));
}

TEST(LogPrune, KeepLogDaysIsReadAndWrittenLast)
{
    TCoreEnv E;
    E.Dir.Write("stormfetch.ini", "[User]\r\nKeepLogDays=7\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.KeepLogDays, 7);
    E.Dir.Write("stormfetch.ini", "[User]\r\nKeepLogDays=-4\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.KeepLogDays, 30);
    // In a new file the layout follows the order of writing.
    ASSERT_TRUE(DeleteFile(E.Dir.Path() + "stormfetch.ini"));
    ASSERT_TRUE(SaveSettings(E.S, nullptr));
    const std::string text = E.Dir.Read("stormfetch.ini");
    EXPECT_NE(text.find("KeepLogDays=30"), std::string::npos);
    // The new key follows every key of the [User] section the older versions write.
    EXPECT_GT(text.find("KeepLogDays="), text.find("Caption="));
}

#include "app/CommandLine.h"
#include "app/CommandRun.h"
#include <gtest/gtest.h>

using namespace sf;

TEST(StationCommandLine, CommandsTakeTheirArgumentsAndOptionalOnes)
{
    auto add = ParseCommandLine({"--add", "LOT", "--home", "/srv/sf"});
    ASSERT_TRUE(add.Error.empty()) << add.Error;
    EXPECT_EQ(add.Options.Command.Verb, "add");
    EXPECT_EQ(add.Options.Command.Args, std::vector<std::string>{"LOT"}); // the product is optional
    EXPECT_EQ(add.Options.Home, "/srv/sf/");

    auto both = ParseCommandLine({"--add", "IL,Chicago,LOT", "N0R, Short Range Reflectivity"});
    EXPECT_EQ(both.Options.Command.Args.size(), 2u);
    auto send = ParseCommandLine({"--send", "download", "LOT N0R", "--quiet"});
    ASSERT_TRUE(send.Error.empty()) << send.Error;
    EXPECT_EQ(send.Options.Command.Args, (std::vector<std::string>{"download", "LOT N0R"}));
    EXPECT_EQ(send.Options.Level, TOutputLevel::Quiet);
    EXPECT_EQ(ParseCommandLine({"--accumulate", "LOT N0R", "on"}).Options.Command.Args.size(), 2u);
}

TEST(StationCommandLine, MissingAndConflictingArgumentsAreErrors)
{
    EXPECT_FALSE(ParseCommandLine({"--add"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--remove"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--accumulate", "LOT N0R"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--accumulate", "LOT N0R", "maybe"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--list", "--add", "LOT"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--list", "--once"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--verbose", "--quiet"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--add=LOT"}).Error.empty());
    EXPECT_FALSE(ParseCommandLine({"--send"}).Error.empty());
}

TEST(StationCommandLine, LongRunningSendsWaitLonger)
{
    EXPECT_GT(ReplyWaitMs({"send", {"download"}}), ReplyWaitMs({"send", {"status"}}));
    EXPECT_EQ(ReplyWaitMs({"add", {"LOT"}}), ReplyWaitMs({"send", {"close"}}));
}

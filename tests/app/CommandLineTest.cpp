#include "app/CommandLine.h"
#include <gtest/gtest.h>

using namespace sf;

namespace {
TParseResult Parse(std::vector<std::string> args) { return ParseCommandLine(args); }
}

TEST(CommandLine, NoArgumentsRunsNormally)
{
    auto r = Parse({});
    EXPECT_TRUE(r.Error.empty());
    EXPECT_FALSE(r.Options.Headless);
    EXPECT_FALSE(r.Options.Once);
    EXPECT_EQ(r.Options.RunForSeconds, 0);
    EXPECT_TRUE(r.Options.Home.empty());
}

TEST(CommandLine, FlagsAndValuesInBothForms)
{
    auto r = Parse({"--headless", "--home", "/tmp/x", "--wineprefix=/opt/pfx/", "--run-for", "30", "--demo"});
    ASSERT_TRUE(r.Error.empty()) << r.Error;
    EXPECT_TRUE(r.Options.Headless);
    EXPECT_TRUE(r.Options.Demo);
    EXPECT_EQ(r.Options.Home, "/tmp/x/");          // folder values end in "/"
    EXPECT_EQ(r.Options.WinePrefix, "/opt/pfx/");  // not doubled
    EXPECT_EQ(r.Options.RunForSeconds, 30);
    auto o = Parse({"--once", "--version", "--help"});
    EXPECT_TRUE(o.Options.Once && o.Options.Version && o.Options.Help);
}

TEST(CommandLine, RunForNeedsPositiveWholeSeconds)
{
    EXPECT_FALSE(Parse({"--run-for", "0"}).Error.empty());
    EXPECT_FALSE(Parse({"--run-for", "-5"}).Error.empty());
    EXPECT_FALSE(Parse({"--run-for", "1.5"}).Error.empty());
    EXPECT_FALSE(Parse({"--run-for", "12abc"}).Error.empty());
    EXPECT_FALSE(Parse({"--run-for", "99999999999"}).Error.empty());
    EXPECT_FALSE(Parse({"--run-for"}).Error.empty());
    EXPECT_EQ(Parse({"--run-for=7"}).Options.RunForSeconds, 7);
}

TEST(CommandLine, ErrorsNameTheProblem)
{
    auto unknown = Parse({"--frobnicate"});
    EXPECT_NE(unknown.Error.find("--frobnicate"), std::string::npos);
    auto stray = Parse({"extra"});
    EXPECT_NE(stray.Error.find("extra"), std::string::npos);
    EXPECT_FALSE(Parse({"--home"}).Error.empty());          // value missing at the end
    EXPECT_FALSE(Parse({"--home="}).Error.empty());         // empty value
    EXPECT_FALSE(Parse({"--headless=1"}).Error.empty());    // flags take no value
    EXPECT_FALSE(Parse({"--once", "--run-for", "5"}).Error.empty());
}

TEST(CommandLine, ValueMayLookLikeAnOption)
{
    // "--home" consumes the next argument whatever it looks like.
    auto r = Parse({"--home", "--demo"});
    ASSERT_TRUE(r.Error.empty());
    EXPECT_EQ(r.Options.Home, "--demo/");
    EXPECT_FALSE(r.Options.Demo);
}

TEST(CommandLine, UsageNamesEveryOption)
{
    std::string u = UsageText();
    for (const char* opt : {"--headless", "--home", "--wineprefix", "--once", "--run-for", "--demo", "--version", "--help"})
        EXPECT_NE(u.find(opt), std::string::npos) << opt;
}

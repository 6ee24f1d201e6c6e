// What a user reads after a mistake: the reason and the fix, once, on the right stream.
#include "app/App.h"
#include "app/CommandLine.h"
#include "app/CommandRun.h"
#include "app/ConsoleView.h"
#include "app/Main.h"
#include "app/SingleInstance.h"
#include "core/Clock.h"
#include "core/Files.h"
#include "core/ProgramDir.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <unistd.h>

using namespace sf;

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Runs the program's entry in-process with std::cout and std::cerr captured.
int RunEntry(std::vector<std::string> args, std::string& out, std::string& err)
{
    args.insert(args.begin(), "stormfetch");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::ostringstream o, e;
    std::streambuf* oldOut = std::cout.rdbuf(o.rdbuf());
    std::streambuf* oldErr = std::cerr.rdbuf(e.rdbuf());
    const int status = RunStormfetch((int)args.size(), argv.data());
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    out = o.str();
    err = e.str();
    return status;
}

// A private runtime folder for the instance lock while a test runs.
struct TRuntime {
    test::TTempDir Dir;
    std::string Old;
    bool Had = false;
    TRuntime()
    {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        Had = old != nullptr;
        Old = old ? old : "";
        setenv("XDG_RUNTIME_DIR", Dir.Path().c_str(), 1);
    }
    ~TRuntime()
    {
        if (Had)
            setenv("XDG_RUNTIME_DIR", Old.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
};

} // namespace

TEST(CommandMessages, AUsageErrorGivesItsReasonAndWhereHelpIs)
{
    std::string out, err;
    EXPECT_EQ(RunEntry({"--bogus"}, out, err), 2);
    EXPECT_EQ(err, "stormfetch: unknown option --bogus\nTry 'stormfetch --help'\n");
    EXPECT_FALSE(Has(err + out, "Usage:"));
}

TEST(CommandMessages, HelpNamesTheProgramFolderThisProgramUses)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const std::string exe(self, (size_t)n);
    std::string out, err;
    EXPECT_EQ(RunEntry({"--help"}, out, err), 0);
    EXPECT_TRUE(Has(out, "default: " + DefaultProgramDir(exe) + "\n")) << out;
    EXPECT_FALSE(Has(out, "the executable's folder")) << out;
}

TEST(CommandMessages, AProgramFolderThatCannotBeMadeSaysWhy)
{
    test::TTempDir dir;
    dir.Write("plain", "a file");
    EXPECT_EQ(FolderProblem(dir.Path() + "plain/sub/"), dir.Path() + "plain is a file, not a folder");
    EXPECT_EQ(FolderProblem(dir.Path() + "new/sub/"), "");
    EXPECT_TRUE(DirectoryExists(dir.Path() + "new/sub/"));

    TCommandLine opt;
    opt.Home = dir.Path() + "plain/";
    opt.Command = {"list", {}};
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandStart(opt, dir.Path() + "stormfetch", out, err), 2);
    EXPECT_TRUE(Has(err.str(), dir.Path() + "plain is a file, not a folder")) << err.str();
}

TEST(CommandMessages, ARefusedAddIsSaidOnceAndAnUnknownSiteIsKeptWithAWarning)
{
    TRuntime runtime;
    test::TTempDir home;
    auto run = [&](std::vector<std::string> args, std::string& out, std::string& err) {
        TCommandLine opt;
        opt.Home = home.Path();
        opt.Command = {"add", std::move(args)};
        std::ostringstream o, e;
        const int status = RunCommandStart(opt, home.Path() + "stormfetch", o, e);
        out = o.str();
        err = e.str();
        return status;
    };
    std::string out, err;
    ASSERT_EQ(run({"LOT"}, out, err), 0) << err;
    EXPECT_EQ(run({"LOT"}, out, err), 1);
    EXPECT_EQ(Count(err, "Record already in list"), 1u) << err;

    EXPECT_EQ(run({"IL,Chicago,LTO"}, out, err), 0) << err;
    EXPECT_TRUE(Has(out, "Warning: LTO is not in the radar source list")) << out;
    EXPECT_TRUE(Has(home.Read("DownLoadList.Txt"), "IL,Chicago,LTO\t")) << home.Read("DownLoadList.Txt");
}

TEST(CommandMessages, TheStartAndShutdownLinesAreNoErrors)
{
    TFakeClock clock{46000.5};
    TViewHub hub;
    std::ostringstream out, err;
    TConsoleView view(hub, clock, out);
    view.SetLevel(TOutputLevel::Normal, &err);
    hub.Changed("Log", StartLine("/srv/station/", false) + "Mem load=40");
    hub.Changed("Log", ShutdownLine(false) + "Mem load=40");
    hub.Changed("Log", "Error 404 Not Found");
    EXPECT_TRUE(Has(out.str(), "initialized in server mode.")) << out.str();
    EXPECT_TRUE(Has(out.str(), "Shut down while in server mode.")) << out.str();
    EXPECT_FALSE(Has(out.str(), "Error 404")) << out.str();
    EXPECT_TRUE(Has(err.str(), "Log: Error 404 Not Found")) << err.str();
    EXPECT_FALSE(Has(err.str(), "initialized")) << err.str();
}

TEST(CommandMessages, ASecondStartLearnsTheRunningCopysFolder)
{
    test::TTempDir dir;
    TSingleInstance first(dir.Path());
    ASSERT_TRUE(first.Acquire());
    first.RecordFolder("/srv/station/");
    TSingleInstance second(dir.Path());
    ASSERT_FALSE(second.Acquire());
    EXPECT_EQ(second.HolderFolder(), "/srv/station/");
}

TEST(CommandMessages, SendTakesEveryWordOfItsKey)
{
    const TParseResult r = ParseCommandLine({"--send", "download", "LOT", "N0R", "--quiet"});
    ASSERT_TRUE(r.Error.empty()) << r.Error;
    EXPECT_EQ(r.Options.Command.Args, (std::vector<std::string>{"download", "LOT", "N0R"}));
    EXPECT_EQ(r.Options.Level, TOutputLevel::Quiet);
}

#include "app/ChannelProtocol.h"
#include "app/Commands.h"
#include "app/ConsoleView.h"
#include "core/Grid.h"
#include "core/ListFile.h"
#include "core/SourceLists.h"
#include "core/Clock.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>
#include <sstream>

using namespace sf;

TEST(ChannelProtocol, RequestsRoundTripAndRefuseWhatALineCannotCarry)
{
    TChannelRequest r{"/srv/station/", "add", {"IL,Chicago,LOT", "N0R, Short Range Reflectivity"}};
    std::string line;
    ASSERT_TRUE(FormatRequest(r, line));
    TChannelRequest back;
    std::string error;
    ASSERT_TRUE(ParseRequest(line, back, error)) << error;
    EXPECT_EQ(back.Folder, r.Folder);
    EXPECT_EQ(back.Verb, "add");
    EXPECT_EQ(back.Args, r.Args);

    EXPECT_FALSE(FormatRequest({"/a/", "add", {"LOT\nN0R"}}, line));
    EXPECT_FALSE(FormatRequest({"/a/", "remove", {"LOT\tN0R"}}, line));
    EXPECT_FALSE(ParseRequest("Skyvane", back, error));         // the notice is no command
    EXPECT_FALSE(ParseRequest("Skyvane 1\t/a/", back, error));  // no verb
    EXPECT_FALSE(ParseRequest("GET / HTTP/1.0", back, error));
    EXPECT_FALSE(ParseRequest("Skyvane 1\t/a/\tlist" + std::string(kMaxRequestLine, 'x'), back, error));
    EXPECT_EQ(error, "command too long");
    EXPECT_FALSE(ParseRequest(std::string("Skyvane 1\t/a/\tli\0st", 18), back, error));
}

TEST(ChannelProtocol, ReplyLinesCarryOutputErrorsAndTheStatus)
{
    TReplyLine r;
    ASSERT_TRUE(ParseReplyLine("= 2 unknown radar site", r));
    EXPECT_EQ(r.Kind, TReplyLine::Final);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Text, "unknown radar site");
    ASSERT_TRUE(ParseReplyLine("+ Key  Status", r));
    EXPECT_EQ(r.Kind, TReplyLine::Out);
    EXPECT_EQ(FormatReplyLine({TReplyLine::Err, 0, "a\r\nb"}), "! a / b");
    EXPECT_FALSE(ParseReplyLine("=x 1", r));
    EXPECT_FALSE(ParseReplyLine("= 1x", r));
    EXPECT_FALSE(ParseReplyLine("?", r));
}

namespace {

struct TListFixture : ::testing::Test {
    TFakeClock Clock{46000.5};
    sf::test::TScriptedDialogs Inner;
    TCommandDialogs Dialogs{Inner};
    sf::test::TTempDir Dir;
    TShared S{Clock, Dialogs};
    TListFixture()
    {
        S.ProgramDir = Dir.Path();
        LoadSourceLists(S);
        RebuildGrid(S);
        WireListClicks(S);
    }
    TCommandResult Run(const std::string& verb, std::vector<std::string> args)
    {
        return RunListCommand(S, Dialogs, verb, args);
    }
};

} // namespace

TEST_F(TListFixture, AddResolvesSitesAndProductsAndKeepsTheButtonsRules)
{
    TCommandResult r = Run("add", {"lot"});
    ASSERT_EQ(r.Status, 0) << r.Message;
    EXPECT_EQ(S.List.Key(0), "IL,Chicago,LOT\tShort Range Reflectivity, N0R");
    EXPECT_TRUE(Inner.Questions.empty()); // the command is the confirmation
    r = Run("add", {"IL,Chicago,LOT", "n0r"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Message, "Record already in list, aborting....");
    EXPECT_EQ(Run("add", {"XQZ"}).Status, 2);
    EXPECT_EQ(Run("add", {"LOT", "QQQ"}).Status, 2);
    // A whole product line is taken as typed, like the selector takes it.
    r = Run("add", {"LOT", "N0Z, Long Range Reflectivity"});
    ASSERT_EQ(r.Status, 0) << r.Message;
    EXPECT_EQ(r.Message, "Added LOT N0Z");
    EXPECT_EQ(S.List.Count(), 2);
}

TEST_F(TListFixture, RecordCommandsChangeOnlyTheNamedRecord)
{
    ASSERT_EQ(Run("add", {"LOT"}).Status, 0);
    ASSERT_EQ(Run("add", {"ConUS"}).Status, 0);
    EXPECT_EQ(RecordKey(S.List[1]), "ConUS");
    EXPECT_EQ(Run("disable", {"conus"}).Status, 0);
    EXPECT_FALSE(S.List[1].Enabled);
    EXPECT_TRUE(S.List[0].Enabled);
    EXPECT_EQ(Run("disable", {"ConUS"}).Message, "ConUS is already disabled");
    EXPECT_EQ(Run("accumulate", {"LOT N0R", "on"}).Status, 0);
    EXPECT_TRUE(S.List[0].Accumulate);
    EXPECT_FALSE(S.List[1].Accumulate);
    EXPECT_EQ(Run("remove", {"LOT N0Z"}).Status, 2);
    EXPECT_EQ(Run("remove", {"LOT N0R"}).Status, 0);
    ASSERT_EQ(S.List.Count(), 1);
    EXPECT_EQ(RecordKey(S.List[0]), "ConUS");
    // The file follows every change.
    DownloadList loaded;
    LoadListText(Dir.Read(kListFileWriteName), loaded, S.Naming(), Clock, [](const std::string&) {});
    ASSERT_EQ(loaded.Count(), 1);
    EXPECT_FALSE(loaded[0].Enabled);
}

TEST_F(TListFixture, AnUnwiredButtonIsNotAvailable)
{
    S.AddBtn.OnClick = nullptr;
    TCommandResult r = Run("add", {"LOT"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Message, "not available");
}

TEST(ConsoleLevels, KindsAndWhereEachLevelPrintsThem)
{
    EXPECT_EQ(ConsoleLineKind("StateLbl", "DNS Lookup"), TLineKind::Detail);
    EXPECT_EQ(ConsoleLineKind("StateLbl", "Waiting for header"), TLineKind::Detail);
    EXPECT_EQ(ConsoleLineKind("StateLbl", "Processing suspended, cannot find local QuorServer directory!"),
              TLineKind::Normal);
    EXPECT_EQ(ConsoleLineKind("FileLbl", "Error converting LOT_N0R_0 @ 14:21"), TLineKind::Error);
    EXPECT_EQ(ConsoleLineKind("RidgeLbl", "Finished processing LOT 14:21"), TLineKind::Summary);

    TFakeClock clock{46000.5};
    for (TOutputLevel level : {TOutputLevel::Quiet, TOutputLevel::Normal, TOutputLevel::Verbose}) {
        TViewHub hub;
        std::ostringstream out, err;
        TConsoleView view(hub, clock, out);
        view.SetLevel(level, &err);
        hub.Changed("StateLbl", "Connected");
        hub.Changed("Sbar", "Download files at 12:00:00");
        hub.Changed("FileLbl", "Error converting X");
        hub.Changed("RidgeLbl", "No files processed 12:00");
        EXPECT_EQ(out.str().find("Connected") != std::string::npos, level == TOutputLevel::Verbose);
        EXPECT_EQ(out.str().find("Download files") != std::string::npos, level != TOutputLevel::Quiet);
        EXPECT_NE(out.str().find("No files processed"), std::string::npos);
        EXPECT_EQ(out.str().find("Error converting"), std::string::npos);
        EXPECT_NE(err.str().find("FileLbl: Error converting X"), std::string::npos);
    }
}

// A loop that fails half-way: the member on show goes back before the underlay, the
// undo record stays while anything is out of place, and recovery never deletes an image
// it has not proved to be a second copy.
#include "ImagingTestEnv.h"
#include "imaging/LoopJournal.h"
#include "imaging/LoopPlayer.h"
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>

using namespace sf;
using namespace sf::test;

namespace {

using TFolder = std::map<std::string, std::string>; // name -> bytes

class LoopFailure : public ::testing::Test {
protected:
    LoopFailure()
    {
        Env.S.UiViewMap = "C:\\UIVIEW32\\MAPS\\QUORSERVER.MAP";
        Env.S.UnderlayName = "LOT_N0R_0.bmp";
        Env.S.SaveGifChk.Checked = false;
        Image("LOT_N0R_0.bmp", 10);
        Image("LOT_N0R_01.bmp", 300);
        Image("LOT_N0R_02.bmp", 600);
    }
    std::string D() const { return Env.Underlays; }
    void Image(const std::string& name, long secondsAgo)
    {
        WriteFile(D() + name, name + ":image");
        Age(D() + name, secondsAgo);
        WriteFile(D() + name.substr(0, name.find('.')) + ".sat", "-90,44,-86,40");
    }
    TFolder Snapshot() const
    {
        TFolder f;
        for (auto& e : std::filesystem::directory_iterator(D()))
            f[e.path().filename().string()] = ReadFile(e.path().string());
        return f;
    }
    /// True when some file of the folder holds exactly these bytes.
    bool Holds(const std::string& bytes) const
    {
        for (const auto& [name, content] : Snapshot())
            if (content == bytes)
                return true;
        return false;
    }

    TImagingEnv Env;
    TLoopPlayer Player{Env.S, [](double, double, double, double) { return true; }};
};

TEST_F(LoopFailure, AFailureWhileAMemberIsOnShowPutsItBackBeforeTheUnderlay)
{
    const TFolder before = Snapshot();
    int redraws = 0;
    Env.S.Hooks.RedrawMap = [&] {
        if (++redraws == 1)
            throw std::runtime_error("map program gone");
    };
    Player.LoopImages(D() + "LOT_N0R_0.bmp");
    // The oldest member was under the underlay's name when the redraw failed: it is back
    // under its own name, the underlay under its own, and nothing is left to undo.
    EXPECT_EQ(Snapshot(), before);
    EXPECT_NE(Env.Log().find("Loop lot_n0r_0.bmp stopped: map program gone"), std::string::npos);
}

TEST_F(LoopFailure, TheRecordStaysWhileTheUnderlayIsStillParkedAndTheNextLoopKeepsIt)
{
    const std::string underlay = ReadFile(D() + "LOT_N0R_0.bmp");
    // While the oldest member is on show, another file takes its name: it cannot go back,
    // so the underlay cannot take its own name again and stays parked.
    Player.OnStep = [&](const std::string& step) {
        if (step == "show")
            WriteFile(D() + "LOT_N0R_02.bmp", "intruder:image");
    };
    Env.S.Hooks.RedrawMap = [] {};
    Player.LoopImages(D() + "LOT_N0R_0.bmp");
    Player.OnStep = nullptr;
    ASSERT_EQ(ReadFile(D() + "lot_n0r_0.tmp"), underlay);
    EXPECT_TRUE(Exists(D() + kLoopJournalName));

    // The next loop must neither take the parking name for a stale file nor delete it.
    EXPECT_EQ(Player.LoopImages(D() + "LOT_N0R_0.bmp"), 0);
    EXPECT_TRUE(Holds(underlay));
    EXPECT_TRUE(Holds("LOT_N0R_02.bmp:image"));
    EXPECT_TRUE(Holds("intruder:image"));
    EXPECT_TRUE(Exists(D() + kLoopJournalName));
}

TEST_F(LoopFailure, RecoveryKeepsADifferentImageUnderTheUnderlaysName)
{
    // Killed while a member was on show; since then a different image took the underlay's
    // name. It is not a copy of the member, so neither it nor anything else is deleted.
    std::filesystem::rename(D() + "LOT_N0R_0.bmp", D() + "lot_n0r_0.tmp");
    WriteFile(D() + "LOT_N0R_0.bmp", "newer:image");
    WriteLoopJournal(D(), {"LOT_N0R_0.bmp", "lot_n0r_0.tmp", "LOT_N0R_01.bmp"});
    const TFolder before = Snapshot();
    EXPECT_EQ(RecoverLoop(D()), TLoopRecovery::Unresolved);
    EXPECT_EQ(Snapshot(), before);

    // The same folder where the underlay's name holds a second copy of the member: that
    // copy goes, and the parked underlay comes back.
    WriteFile(D() + "LOT_N0R_0.bmp", "LOT_N0R_01.bmp:image");
    EXPECT_EQ(RecoverLoop(D()), TLoopRecovery::Restored);
    EXPECT_EQ(ReadFile(D() + "LOT_N0R_0.bmp"), "LOT_N0R_0.bmp:image");
    EXPECT_EQ(ReadFile(D() + "LOT_N0R_01.bmp"), "LOT_N0R_01.bmp:image");
    EXPECT_FALSE(Exists(D() + "lot_n0r_0.tmp"));
    EXPECT_FALSE(Exists(D() + kLoopJournalName));
}

} // namespace

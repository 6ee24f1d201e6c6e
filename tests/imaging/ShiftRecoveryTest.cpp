// The series shift cut short at any of its steps: every record write and rename of a
// real shift is a point where the program can die; the folder as it stands there is
// recovered and must hold every image exactly once, the newest as the underlay. The
// same for a child process really killed at each step.
#include "ImagingTestEnv.h"
#include "core/Text.h"
#include "imaging/Accumulate.h"
#include "imaging/LoopJournal.h"
#include "imaging/ShiftJournal.h"
#include <gtest/gtest.h>
#include <csignal>
#include <map>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace sf;
using namespace sf::test;

namespace {

using TFolder = std::map<std::string, std::string>; // name -> bytes

TFolder Snapshot(const std::string& dir)
{
    TFolder f;
    for (auto& e : std::filesystem::directory_iterator(dir))
        f[e.path().filename().string()] = ReadFile(e.path().string());
    return f;
}

void Restore(const TFolder& folder, const std::string& dir)
{
    for (auto& [name, bytes] : folder)
        WriteFile(dir + name, bytes);
}

struct TVariant {
    bool Gif;
    std::string Stem, Ext, Bounds;
};

class ShiftRecoveryTest : public ::testing::TestWithParam<TVariant> {
protected:
    TImagingEnv Env;
    std::string D() const { return Env.Underlays; }
    const TVariant& V() const { return GetParam(); }
    std::string Member(int k) const { return V().Stem + (k == 0 ? "" : std::to_string(k)) + V().Ext; }

    /// A full series: the underlay and nine members, newest first, each tagged with its
    /// name; all but member 4 carry their own bounds file.
    void Series()
    {
        for (int k = 0; k < 10; ++k) {
            std::string bytes = "image " + Member(k) + ":";
            bytes.resize(12000, 'x');
            WriteFile(D() + Member(k), bytes);
            Age(D() + Member(k), 60 + 300 * k);
            if (k != 0 && k != 4)
                WriteFile(D() + V().Stem + std::to_string(k) + ".sat", "bounds of " + Member(k));
        }
        WriteFile(D() + V().Bounds, "bounds of the underlay");
        WriteFile(D() + "other.bmp", "image other:");
    }
    /// Gives each image the age of the member it was written as, so the series is in order.
    void AgeByTag() const
    {
        for (auto& [name, bytes] : Snapshot(D()))
            for (int k = 0; k < 10; ++k)
                if (StartsWith(bytes, "image " + Member(k) + ":"))
                    Age(D() + name, 60 + 300 * k);
    }
    int32_t Shift(const TShiftStep& step)
    {
        const std::string x = D() + Member(0);
        return V().Gif ? AccumulateGif(Env.S, x, {}, step) : AccumulateBmp(Env.S, x, {}, step);
    }
    /// The folder must hold the nine newest images exactly once under series names, the
    /// newest as the underlay, and nothing of the shift besides.
    void ExpectWhole(const std::string& dir, const std::string& where) const
    {
        const TFolder f = Snapshot(dir);
        std::multiset<std::string> images;
        for (auto& [name, bytes] : f) {
            EXPECT_FALSE(EndsWith(LowerCase(name), ".tmp")) << where << ": " << name;
            EXPECT_NE(name, kShiftJournalName) << where;
            EXPECT_FALSE(EndsWith(name, ".part")) << where << ": " << name;
            if (StartsWith(bytes, "image " + V().Stem))
                images.insert(bytes.substr(0, bytes.find(':')));
        }
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(images.count("image " + Member(k)), 1u) << where << ": " << Member(k);
        EXPECT_EQ(images.size(), 9u) << where; // the tenth falls off the end
        ASSERT_TRUE(f.count(Member(0))) << where;
        EXPECT_TRUE(StartsWith(f.at(Member(0)), "image " + Member(0) + ":")) << where;
        for (int k = 1; k < 9; ++k)
            EXPECT_TRUE(f.count(V().Stem + std::to_string(k) + ".sat")) << where << ": bounds of member " << k;
        EXPECT_EQ(f.at("other.bmp"), "image other:") << where;
    }
};

} // namespace

TEST_P(ShiftRecoveryTest, AShiftCutShortAtAnyStepLosesNoImage)
{
    Series();
    std::vector<std::pair<std::string, TFolder>> states;
    EXPECT_EQ(Shift([&](const std::string& step) { states.emplace_back(step, Snapshot(D())); }), 12000);
    EXPECT_EQ(Env.Log().find("Rename Sat images error"), std::string::npos) << Env.Log();
    // Two record writes, ten images parked, nine named back.
    ASSERT_EQ(states.size(), 21u);
    EXPECT_EQ(states.front().first, "record");
    EXPECT_EQ(states[11].first, "record");

    // The shift itself: the record stays until the new underlay is in place.
    EXPECT_TRUE(Exists(D() + kShiftJournalName));
    EXPECT_FALSE(Exists(D() + Member(0)));
    EXPECT_TRUE(StartsWith(ReadFile(D() + Member(1)), "image " + Member(0) + ":"));
    EXPECT_EQ(ReadFile(D() + V().Stem + "4.sat"), "bounds of the underlay");
    EXPECT_EQ(ReadFile(D() + V().Stem + "5.sat"), "bounds of " + Member(5)); // a member keeps its own

    int heads = 0;
    for (size_t i = 0; i < states.size(); ++i) {
        // The program dies right after this step: the next start finds the folder so.
        TTempDir fresh;
        Restore(states[i].second, fresh.Path());
        std::vector<std::string> steps;
        EXPECT_EQ(RecoverShift(fresh.Path(), [&](const std::string& s) { steps.push_back(s); }),
                  TShiftRecovery::Finished)
            << "step " << i;
        heads += !steps.empty() && steps.back() == "head";
        ExpectWhole(fresh.Path(), "step " + std::to_string(i) + " " + states[i].first);
        EXPECT_EQ(RecoverShift(fresh.Path()), TShiftRecovery::NothingToDo) << "step " << i;
    }
    EXPECT_EQ(heads, int(states.size()));
}

TEST_P(ShiftRecoveryTest, TheNextShiftFinishesOneCutShortFirst)
{
    Series();
    std::vector<TFolder> states;
    Shift([&](const std::string&) { states.push_back(Snapshot(D())); });
    ASSERT_GT(states.size(), 15u);
    const TFolder midway = states[15]; // parked, and some named back
    std::filesystem::remove_all(D());
    std::filesystem::create_directories(D());
    Restore(midway, D());
    AgeByTag();

    // The new underlay was never written; the next one shifts a whole series.
    Env.Clock.Step(60 * kOneSecond);
    Shift({});
    const TFolder f = Snapshot(D());
    EXPECT_FALSE(f.count(Member(0)));
    for (int k = 1; k < 10; ++k)
        EXPECT_TRUE(StartsWith(f.count(Member(k)) ? f.at(Member(k)) : "", "image " + Member(k - 1) + ":")) << k;
    for (auto& [name, bytes] : f)
        EXPECT_FALSE(EndsWith(LowerCase(name), ".tmp")) << name;
    EXPECT_EQ(Env.Log().find("Rename Sat images error"), std::string::npos) << Env.Log();
    SettleShift(D());
    EXPECT_FALSE(Exists(D() + kShiftJournalName));
}

TEST_P(ShiftRecoveryTest, AChildKilledDuringTheShiftLosesNoImage)
{
    Series();
    const TFolder before = Snapshot(D());
    int steps = 0;
    Shift([&](const std::string&) { ++steps; });
    for (int killAt = 0; killAt < steps; ++killAt) {
        std::filesystem::remove_all(D());
        std::filesystem::create_directories(D());
        Restore(before, D());
        AgeByTag();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int seen = 0;
            Shift([&](const std::string&) {
                if (seen++ == killAt)
                    ::kill(::getpid(), SIGKILL);
            });
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "kill at " << killAt;
        EXPECT_EQ(RecoverShift(D()), TShiftRecovery::Finished) << "kill at " << killAt;
        ExpectWhole(D(), "kill at " + std::to_string(killAt));
    }
}

TEST_P(ShiftRecoveryTest, ALoopCutShortIsUndoneBeforeTheShiftIsFinished)
{
    Series();
    std::vector<TFolder> states;
    Shift([&](const std::string&) { states.push_back(Snapshot(D())); });
    TTempDir fresh;
    Restore(states[5], fresh.Path());
    WriteFile(fresh.Path() + kLoopJournalName, "underlay=x.bmp\nparked=x.tmp\nshown=\n");
    const TFolder held = Snapshot(fresh.Path());
    EXPECT_EQ(RecoverShift(fresh.Path()), TShiftRecovery::Unresolved);
    EXPECT_EQ(Snapshot(fresh.Path()), held); // nothing touched
}

INSTANTIATE_TEST_SUITE_P(Variants, ShiftRecoveryTest,
                         ::testing::Values(TVariant{false, "LOT_N0R_0", ".bmp", "LOT_N0R_0.Sat"},
                                           TVariant{true, "lot_n0r_0", ".gif", "lot_n0r_0.Sat"}),
                         [](const auto& info) { return std::string(info.param.Gif ? "Gif" : "Bmp"); });

TEST(ShiftJournalText, ReadsBackWhatItWrites)
{
    TShiftJournal j;
    j.Phase = 2;
    j.Underlay = "LOT_N0R_0.bmp";
    j.Bounds = "LOT_N0R_0.Sat";
    j.Park = {{"LOT_N0R_0.bmp", "LOT_N0R_01.tmp"}, {"LOT_N0R_01.BMP", "LOT_N0R_02.tmp"}};
    j.Name = {{"LOT_N0R_01.tmp", "LOT_N0R_01.BMP"}};
    j.Leftovers = {"LOT_N0R_0?.tmp"};
    j.Drop = {"LOT_N0R_010.BMP", "LOT_N0R_010.tmp"};
    TShiftJournal back;
    ASSERT_TRUE(ParseShiftJournal(ShiftJournalText(j), back));
    EXPECT_EQ(ShiftJournalText(back), ShiftJournalText(j));
    EXPECT_EQ(back.Park.size(), 2u);
    EXPECT_EQ(back.Park[1].To, "LOT_N0R_02.tmp");
}

TEST(ShiftJournalText, RefusesNamesOutsideTheFolder)
{
    const std::string head = "phase=1\nunderlay=a.bmp\nbounds=a.Sat\n";
    TShiftJournal j;
    EXPECT_TRUE(ParseShiftJournal(head + "park=a.bmp/a1.tmp\n", j));
    EXPECT_FALSE(ParseShiftJournal(head + "park=../a.bmp/a1.tmp\n", j));
    EXPECT_FALSE(ParseShiftJournal(head + "name=a1.tmp\n", j));
    EXPECT_FALSE(ParseShiftJournal(head + "drop=..\n", j));
    EXPECT_FALSE(ParseShiftJournal("phase=3\nunderlay=a.bmp\nbounds=a.Sat\n", j));
    EXPECT_FALSE(ParseShiftJournal("phase=1\nunderlay=a\rb\nbounds=a.Sat\n", j));
}

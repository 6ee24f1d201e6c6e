// A display that is named but cannot be used (a stale DISPLAY over SSH): the probe
// tells it apart, commands never touch it, and a plain start runs the console view.
#include "StationRun.h"
#include "app/DisplayProbe.h"
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace sf;
using namespace sf::test;

TEST(DisplayProbe, TellsAConnectionFromAnAbortAndAHang)
{
    EXPECT_TRUE(ProbeDisplay([] {}).Usable);

    const TDisplayProbe refused = ProbeDisplay([] {
        std::fputs("\nqt.qpa.xcb: could not connect to display :97\nmore\n", stderr);
        std::fflush(stderr);
        std::abort();
    });
    EXPECT_FALSE(refused.Usable);
    EXPECT_EQ(refused.Reason, "qt.qpa.xcb: could not connect to display :97");

    const TDisplayProbe silent = ProbeDisplay([] { _exit(1); });
    EXPECT_FALSE(silent.Usable);
    EXPECT_FALSE(silent.Reason.empty());

    const TDisplayProbe hung = ProbeDisplay([] { pause(); }, 300);
    EXPECT_FALSE(hung.Usable);
    EXPECT_TRUE(Has(hung.Reason, "did not answer")) << hung.Reason;
}

namespace {

TOutcome RunWithStaleDisplay(const TStationHome& home, const QStringList& args)
{
    QProcess p;
    home.Setup(p, args);
    auto env = p.processEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.insert("DISPLAY", ":97");
    env.insert("WAYLAND_DISPLAY", "stormfetch-no-such-display");
    env.insert("XDG_SESSION_TYPE", "x11");
    p.setProcessEnvironment(env);
    p.start();
    TOutcome o;
    o.Finished = p.waitForFinished(60000);
    o.Status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    o.Out = p.readAllStandardOutput().toStdString();
    o.Err = p.readAllStandardError().toStdString();
    return o;
}

} // namespace

TEST(DisplayProbe, CommandsAndAPlainStartOutliveAStaleDisplay)
{
    TStationHome home;
    const TOutcome list = RunWithStaleDisplay(home, {"--list"});
    ASSERT_TRUE(list.Finished);
    EXPECT_EQ(list.Status, 0) << list.Err;
    EXPECT_TRUE(Has(list.Out, "stormfetch --add LOT N0R")) << list.Out;

    // No UI-View32 in the prefix and no target folder: the start closes with 3, through the console view.
    home.Dir.Write("home/TargetDirList.txt", "");
    const TOutcome start = RunWithStaleDisplay(home, {"--run-for", "30"});
    ASSERT_TRUE(start.Finished);
    EXPECT_EQ(start.Status, 3) << start.Err;
    EXPECT_TRUE(Has(start.Err, "stormfetch: the display cannot be used (")) << start.Err;
    EXPECT_TRUE(Has(start.Err, "), running headless\n")) << start.Err;
    EXPECT_TRUE(Has(start.Out, "Closed")) << start.Out;
}

#include "HostFixture.h"
#include "host/HostLink.h"

namespace sf::test {
namespace {

// A link whose answers the test sets.
class TStubLink : public TclsUIV {
public:
    bool Connect(std::string* error) override
    {
        ++connects;
        connected = connected || canConnect;
        if (!connected && error)
            *error = reason;
        return connected;
    }
    bool Connected() const override { return connected; }
    bool Busy() const override { return busy; }
    bool Redraw(std::string* error) override
    {
        ++redraws;
        if (!redrawOk && error)
            *error = reason;
        return redrawOk;
    }
    bool ActivateView(std::string*) override { calls.push_back("activate"); return activateOk; }
    bool ShowArea(double l, double t, double r, double b, std::string*) override
    {
        calls.push_back("area " + std::to_string(int(l)) + " " + std::to_string(int(t)) + " " +
                        std::to_string(int(r)) + " " + std::to_string(int(b)));
        return true;
    }
    bool canConnect = true, connected = false, redrawOk = true, activateOk = true, busy = false;
    int connects = 0, redraws = 0;
    std::string reason; ///< what a failing call says
    std::vector<std::string> calls;
};

class HostLinkTest : public HostFixture {
protected:
    HostLinkTest()
    {
        auto stub = std::make_unique<TStubLink>();
        link = stub.get();
        host = std::make_unique<THostLink>(s, std::move(stub));
        host->Wire();
    }
    TStubLink* link;
    std::unique_ptr<THostLink> host;
};

const char* const kRestart =
    "Shut down this application, and restart to establish connection to a running session of UiView";
const char* const kNotConnected = "Not connected to UIView, cannot redraw map, disabling redraw capability.";

TEST_F(HostLinkTest, ConnectEnablesTheButtonOnlyWhenUp)
{
    link->canConnect = false;
    EXPECT_FALSE(host->ConnectUiView());
    EXPECT_FALSE(s.RedrawBtn.Enabled);
    link->canConnect = true;
    EXPECT_TRUE(host->ConnectUiView());
    EXPECT_TRUE(s.RedrawBtn.Enabled);
}

TEST_F(HostLinkTest, RedrawWhenConnectedReArmsTheCheckBox)
{
    s.RedrawChk.Checked = false;
    s.Hooks.RedrawMap();
    EXPECT_EQ(link->redraws, 1);
    EXPECT_TRUE(s.RedrawChk.Checked);
    EXPECT_EQ(s.Sbar.Panel(0), "Redrawing map");
    EXPECT_EQ(dialogs.Beeps, 0);
}

TEST_F(HostLinkTest, RedrawDisabledAndNotConnectedStopsAfterTheFirstMessage)
{
    link->canConnect = false;
    s.RedrawChk.Checked = false;
    host->RedrawMap();
    EXPECT_EQ(s.Sbar.Panel(0), "Redrawing disabled, cannot redraw map");
    EXPECT_EQ(link->redraws, 0);
    EXPECT_EQ(dialogs.Beeps, 0);
    EXPECT_EQ(s.FileLbl.Caption(), "");
}

TEST_F(HostLinkTest, RedrawNotConnectedDisablesRedrawLogsAndBeeps)
{
    link->canConnect = false;
    s.RedrawChk.Checked = true;
    host->RedrawMap();
    EXPECT_EQ(s.RidgeLbl.Caption(), kRestart);
    EXPECT_EQ(s.FileLbl.Caption(), kNotConnected);
    EXPECT_EQ(s.Sbar.Panel(0), kNotConnected);
    EXPECT_FALSE(s.RedrawChk.Checked);
    EXPECT_EQ(dialogs.Beeps, 1);
    EXPECT_NE(LogText().find(kNotConnected), std::string::npos);
}

TEST_F(HostLinkTest, FailingRedrawCallTellsTheUserToRestart)
{
    link->redrawOk = false;
    host->RedrawMap();
    EXPECT_EQ(s.RidgeLbl.Caption(), kRestart);
    EXPECT_EQ(s.FileLbl.Caption(), "Error attempting to redraw UiView");
    EXPECT_TRUE(s.RedrawChk.Checked);
}

TEST_F(HostLinkTest, ARedrawAskedForDuringALinkCallIsMadeWhenTheCallEnds)
{
    host->ConnectUiView();
    link->busy = true; // e.g. the start-up connect is still waiting, and a new underlay arrived
    host->RedrawMap();
    EXPECT_EQ(link->redraws, 0);
    link->busy = false;
    host->ConnectUiView(); // the call that ran ends
    EXPECT_EQ(link->redraws, 1);
    host->ConnectUiView();
    EXPECT_EQ(link->redraws, 1); // made once
}

TEST_F(HostLinkTest, TheLinksReasonForAFailureReachesTheStatusLineAndTheLog)
{
    link->redrawOk = false;
    link->reason = "redraw (30th method) failed: 0x800706BA The RPC server is unavailable";
    host->RedrawMap();
    EXPECT_EQ(s.FileLbl.Caption(), "Error attempting to redraw UiView");
    EXPECT_EQ(s.Sbar.Panel(0), "Error attempting to redraw UiView: " + link->reason);
    EXPECT_NE(LogText().find("Error attempting to redraw UiView: " + link->reason), std::string::npos) << LogText();

    link->connected = link->canConnect = false;
    link->reason = "connect failed: 0x80040154 Class not registered";
    host->RedrawMap();
    EXPECT_EQ(s.FileLbl.Caption(), kNotConnected);
    EXPECT_EQ(s.Sbar.Panel(0), std::string(kNotConnected) + " (" + link->reason + ")");
    EXPECT_NE(LogText().find(link->reason), std::string::npos) << LogText();
}

TEST_F(HostLinkTest, ClosingDisablesTheButtonAndClosesOnlyWithTheOption)
{
    host->ConnectUiView();
    s.ShutDownwhenUiViewterminates1.Checked = false;
    link->OnClosing();
    EXPECT_FALSE(s.RedrawBtn.Enabled);
    EXPECT_EQ(closes, 0);
    // A later connect finds the old connection and enables the button again.
    EXPECT_TRUE(host->ConnectUiView());
    EXPECT_TRUE(s.RedrawBtn.Enabled);
    s.ShutDownwhenUiViewterminates1.Checked = true;
    link->OnClosing();
    EXPECT_EQ(closes, 1);
}

TEST_F(HostLinkTest, ALostWatchIsLoggedAndASlowCallShownButNothingCloses)
{
    host->ConnectUiView();
    s.ShutDownwhenUiViewterminates1.Checked = true;
    link->OnNotice("The UiView watch ended without UiView closing (exit code 1)");
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(s.RedrawBtn.Enabled);
    EXPECT_EQ(s.Sbar.Panel(0), "The UiView watch ended without UiView closing (exit code 1)");
    EXPECT_NE(LogText().find("watch ended without UiView closing"), std::string::npos);
    link->OnSlow("Waiting for UiView");
    EXPECT_EQ(s.Sbar.Panel(0), "Waiting for UiView");
}

TEST_F(HostLinkTest, ShutdownOptionTogglesAndSaves)
{
    s.ShutDownwhenUiViewterminates1.Checked = true;
    host->ShutDownwhenUiViewterminates1Click();
    EXPECT_FALSE(s.ShutDownwhenUiViewterminates1.Checked);
    EXPECT_EQ(saves, 1);
}

TEST_F(HostLinkTest, ZoomMakesTheViewCallsInOrderAndStopsAtAFailure)
{
    EXPECT_FALSE(host->Zoom(-101, 36, -97, 32)); // not connected
    host->ConnectUiView();
    EXPECT_TRUE(host->Zoom(-101, 36, -97, 32));
    EXPECT_EQ(link->calls, (std::vector<std::string>{"activate", "area -101 36 -97 32"}));
    link->activateOk = false;
    link->calls.clear();
    EXPECT_FALSE(host->Zoom(-101, 36, -97, 32));
    EXPECT_EQ(link->calls, (std::vector<std::string>{"activate"}));
}

TEST_F(HostLinkTest, StatusWithUnderlayNamesItWithoutExtensionUnlessNative)
{
    MakePrefix();
    s.SaveGifChk.Checked = false;
    s.TrayTip = "Underlay NOT Selected in UiView";
    int tips = 0;
    s.Hooks.SetTrayTip = [&] { ++tips; };
    s.Hooks.RefreshUiViewStatus();
    EXPECT_EQ(s.UvULbl.Caption(), "UiView Map = QuorServer9, underlay = N0R_0");
    EXPECT_EQ(s.RedrawChk.Caption(), "Redraw UiView when N0R_0 updates");
    EXPECT_EQ(s.RedrawChk.Hint, "Forces local UiView to redraw when new N0R_0 is sent to Target dir");
    EXPECT_TRUE(s.RedrawChk.Enabled);
    EXPECT_EQ(s.TrayTip, "Underlay = N0R_0");
    EXPECT_EQ(tips, 1);
    EXPECT_EQ(s.LoopRadar1.Caption(), "Loop N0R_0 Radar");
    EXPECT_EQ(s.Deletestaleimages1.Caption(), "Delete stale N0R_0 Images");

    s.SaveGifChk.Checked = true;
    host->RefreshUiViewStatus();
    EXPECT_EQ(s.UvULbl.Caption(), "UiView Map = QuorServer9, underlay = N0R_0.bmp");
    EXPECT_EQ(s.RedrawChk.Caption(), "Redraw UiView when N0R_0.bmp updates");
    EXPECT_EQ(s.TrayTip, "Underlay = N0R_0"); // only an "unknown" or "NOT" tip is replaced
}

TEST_F(HostLinkTest, StatusWithoutUnderlaySaysSoEverywhere)
{
    TFakePrefixOptions o;
    o.Underlay.clear();
    o.LastMap = "C:\\UIView32\\MAPS\\Plain";
    MakePrefix(o);
    s.RedrawChk.Enabled = true;
    s.LoopRadar1.SetCaption("&Loop Radar");
    host->RefreshUiViewStatus();
    EXPECT_EQ(s.UvULbl.Caption(), "Unable to determine current UiView Map, Underlay NOT selected in UiView");
    EXPECT_EQ(s.RedrawChk.Caption(), "Can't automatically redraw, Underlay unknown");
    EXPECT_FALSE(s.RedrawChk.Enabled);
    EXPECT_EQ(s.TrayTip, "Underlay NOT Selected in UiView");
    EXPECT_EQ(s.Deletestaleimages1.Caption(), "Delete stale images");
    EXPECT_EQ(s.LoopRadar1.Caption(), "&Loop Radar");
}

TEST_F(HostLinkTest, BusyLinkSkipsANestedRedraw)
{
    struct TBusyLink : TStubLink {
        bool Busy() const override { return true; }
    };
    auto busy = std::make_unique<TBusyLink>();
    TBusyLink* raw = busy.get();
    THostLink h(s, std::move(busy));
    h.RedrawMap();
    EXPECT_EQ(raw->redraws, 0);
    EXPECT_EQ(raw->connects, 0);
}

TEST(AcceptLink, AcceptsAndRecordsEveryCall)
{
    TAcceptLink a;
    int closing = 0;
    a.OnClosing = [&] { ++closing; };
    EXPECT_TRUE(a.Connect(nullptr));
    EXPECT_TRUE(a.Redraw(nullptr));
    EXPECT_TRUE(a.ActivateView(nullptr));
    EXPECT_TRUE(a.ShowArea(-1.5, 2, 3, -4, nullptr));
    a.SimulateClosing();
    EXPECT_EQ(a.Calls, (std::vector<std::string>{"connect", "redraw", "activate", "area -1.5 2 3 -4"}));
    EXPECT_EQ(closing, 1);
}

} // namespace
} // namespace sf::test

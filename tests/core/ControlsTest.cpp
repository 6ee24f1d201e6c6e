// The view-model announces each change of a property once, with the control's name,
// and keeps the text listeners of the console view.
#include "core/Controls.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace sf;

namespace {

struct TRecorder {
    TViewHub Hub;
    std::vector<std::string> Seen;
    std::vector<std::string> Texts;
    int Id = 0;
    TRecorder()
    {
        Id = Hub.Subscribe([this](const TChange& c) {
            Seen.push_back(c.Control + ":" + std::to_string(int(c.What)) +
                           (c.Col >= 0 ? "@" + std::to_string(c.Col) + "," + std::to_string(c.Row) : ""));
        });
        Hub.Listeners.push_back([this](const std::string& c, const std::string& t) { Texts.push_back(c + "=" + t); });
    }
};

std::string Ev(const char* control, TProperty what)
{
    return std::string(control) + ":" + std::to_string(int(what));
}

} // namespace

TEST(ControlAnnouncements, PropertiesAnnounceChangesOnlyOnce)
{
    TRecorder r;
    TTextControl chk(r.Hub, "AccumChk");
    chk.Checked = true;
    chk.Checked = true; // unchanged: silent
    chk.Enabled = false;
    chk.Visible = false;
    chk.Hint = "tip";
    chk.Color = clRed;
    chk.Checked = !chk.Checked;
    EXPECT_FALSE(chk.Checked);
    EXPECT_EQ(r.Seen, (std::vector<std::string>{Ev("AccumChk", TProperty::Checked), Ev("AccumChk", TProperty::Enabled),
                                                Ev("AccumChk", TProperty::Visible), Ev("AccumChk", TProperty::Hint),
                                                Ev("AccumChk", TProperty::Color), Ev("AccumChk", TProperty::Checked)}));
    EXPECT_EQ(chk.Hint.substr(0, 2), "ti");
    EXPECT_TRUE(r.Texts.empty());
    chk.SetCaption("Accumulate");
    EXPECT_EQ(r.Texts, (std::vector<std::string>{"AccumChk=Accumulate"}));
    EXPECT_EQ(r.Seen.back(), Ev("AccumChk", TProperty::Caption));
}

TEST(ControlAnnouncements, ItemsIndexPanelsAndGrid)
{
    TRecorder r;
    TComboBox cmb(r.Hub, "TargetCmb");
    cmb.Items = {"/a/"};
    cmb.Items.push_back("/b/");
    cmb.Items.erase(cmb.Items.begin());
    EXPECT_EQ(cmb.Items, (std::vector<std::string>{"/b/"}));
    cmb.Items = std::vector<std::string>{"/b/"}; // the same list: silent
    EXPECT_EQ(r.Seen.size(), 3u);
    TRadioGroup grp(r.Hub, "ModeGrp");
    grp.ItemIndex = 1;
    EXPECT_EQ(r.Seen.back(), Ev("ModeGrp", TProperty::ItemIndex));

    TStatusBar bar(r.Hub, "Sbar");
    bar.SetPanel(1, "Idle");
    EXPECT_EQ(r.Seen.back(), Ev("Sbar", TProperty::Panel) + "@1,-1");
    EXPECT_TRUE(r.Texts.empty()); // panel 1 is not a console text
    bar.SetPanel(0, "Ready");
    EXPECT_EQ(r.Texts.back(), "Sbar=Ready");

    TStringGrid grid(r.Hub, "RadarGrid");
    r.Seen.clear();
    grid.SetSize(9, 2);
    grid.SetCell(3, 1, "OK");
    grid.SetCell(3, 1, "OK");
    grid.SetCell(-1, 1, "ignored");
    grid.Row = 1;
    EXPECT_EQ(r.Seen, (std::vector<std::string>{Ev("RadarGrid", TProperty::Size), Ev("RadarGrid", TProperty::Cell) + "@3,1",
                                                Ev("RadarGrid", TProperty::Row)}));
    // A cell beyond the size grows the grid first.
    grid.SetCell(0, 4, "x");
    EXPECT_EQ(grid.RowCount, 5);
    EXPECT_EQ(grid.Cell(0, 4), "x");

    // An unsubscribed view hears nothing more.
    const size_t heard = r.Seen.size();
    r.Hub.Unsubscribe(r.Id);
    grid.Row = 2;
    EXPECT_EQ(grid.Row.Get(), 2);
    EXPECT_EQ(r.Seen.size(), heard);
}

#include "core/Caption.h"
#include "core/Controls.h"
#include "core/RecordingSurface.h"
#include <algorithm>
#include <gtest/gtest.h>

namespace sf {
namespace {

std::vector<std::string> Drawing(const TRecordingSurface& s)
{
    std::vector<std::string> calls;
    for (const std::string& c : s.Calls)
        if (c.rfind("Rectangle", 0) == 0 || c.rfind("FrameRect", 0) == 0 || c.rfind("TextOut", 0) == 0)
            calls.push_back(c);
    return calls;
}

TEST(DrawBoxedCaption, BoxBelowThePointCentredWithTwoPixelMargins)
{
    TRecordingSurface s;
    bool shown = false;
    // "abc": width 21 (odd, so the halving rounds down), height 16.
    DrawBoxedCaption(s, shown, 100, 50, 9, "abc", clInfoBk, clBlack);
    EXPECT_TRUE(shown);
    EXPECT_EQ(Drawing(s), (std::vector<std::string>{
                              "Rectangle 86,70,111,86 brush=E1FFFF/solid pen=000000/1 opaque",
                              "TextOut 88,70 abc brush=FFFFFF/clear pen=000000/1 opaque font=Arial/9",
                          }));
    // The text is measured in the caption font.
    const auto font = std::find(s.Calls.begin(), s.Calls.end(), "SetFont Arial 9");
    const auto measure = std::find(s.Calls.begin(), s.Calls.end(), "TextWidth abc");
    EXPECT_LT(font, measure);
    EXPECT_EQ(s.Calls.front(), "SetTextAlignLeftTop");
}

TEST(DrawBoxedCaption, EqualColoursPaintOnlyTheFrame)
{
    TRecordingSurface s;
    bool shown = false;
    DrawBoxedCaption(s, shown, 10, 0, 8, "abcd", clRed, clRed);
    EXPECT_EQ(Drawing(s), (std::vector<std::string>{
                              "FrameRect -8,20,24,36 brush=0000FF/solid pen=0000FF/1 transparent",
                              "TextOut -6,20 abcd brush=FFFFFF/clear pen=0000FF/1 transparent font=Arial/8",
                          }));
}

TEST(DrawBoxedCaption, RestoresPenBrushAndFont)
{
    TRecordingSurface s;
    s.SetPen({0x123456, TPenStyle::Dash, 3});
    s.SetBrush({0x654321, TBrushStyle::Clear});
    s.SetFont({"Courier", 12});
    bool shown = false;
    DrawBoxedCaption(s, shown, 0, 0, 8, "x", clInfoBk, clBlack);
    EXPECT_EQ(s.Pen(), (TPen{0x123456, TPenStyle::Dash, 3}));
    EXPECT_EQ(s.Brush(), (TBrush{0x654321, TBrushStyle::Clear}));
    EXPECT_EQ(s.Font(), (TFont{"Courier", 12}));
}

TEST(DrawBoxedCaption, DrawingFailureStillRestoresAndSetsTheFlag)
{
    TRecordingSurface s;
    s.SetFont({"Courier", 12});
    s.FailOn = "Rectangle";
    bool shown = false;
    DrawBoxedCaption(s, shown, 0, 0, 8, "x", clInfoBk, clBlack);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(Drawing(s).size() == 1u); // the text after the failed box is not drawn
    EXPECT_EQ(s.Font(), (TFont{"Courier", 12}));
    EXPECT_EQ(s.Brush(), TBrush{});
}

} // namespace
} // namespace sf

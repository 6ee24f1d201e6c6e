// A drawing surface that only records what is drawn, with fixed glyph metrics:
// every character is CharWidth pixels wide and a line LineHeight pixels high.
#pragma once
#include "core/Caption.h"
#include <string>
#include <vector>

namespace sf {

class TRecordingSurface final : public ISurface {
public:
    TPen Pen() const override { return m_pen; }
    void SetPen(const TPen& pen) override;
    TBrush Brush() const override { return m_brush; }
    void SetBrush(const TBrush& brush) override;
    TFont Font() const override { return m_font; }
    void SetFont(const TFont& font) override;
    void SetTextAlignLeftTop() override;
    void SetBackgroundMode(TBackgroundMode mode) override;
    int TextWidth(const std::string& text) override;
    int TextHeight(const std::string& text) override;
    void FrameRect(const TRect& r) override;
    void Rectangle(const TRect& r) override;
    void TextOut(int x, int y, const std::string& text) override;

    int CharWidth = 7;
    int LineHeight = 16;
    /// A call whose record starts with this text throws (to test failure handling).
    std::string FailOn;
    /// One line per call, e.g. "Rectangle 10,20,40,36 brush=E1FFFF/solid pen=000000/1".
    std::vector<std::string> Calls;
    TBackgroundMode BackgroundMode = TBackgroundMode::Opaque;

private:
    void Record(const std::string& call);
    std::string State() const;
    TPen m_pen;
    TBrush m_brush;
    TFont m_font;
};

} // namespace sf

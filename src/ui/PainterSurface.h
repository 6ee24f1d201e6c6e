// The drawing-surface interface on a QPainter, so the boxed caption is drawn on
// the grid's viewport.
#pragma once
#include "core/Caption.h"
#include <QPainter>

namespace sf {

class TPainterSurface final : public ISurface {
public:
    /// Draws with painter, which must stay active while this surface is used.
    explicit TPainterSurface(QPainter& painter);
    TPen Pen() const override { return m_pen; }
    void SetPen(const TPen& pen) override { m_pen = pen; }
    TBrush Brush() const override { return m_brush; }
    void SetBrush(const TBrush& brush) override { m_brush = brush; }
    TFont Font() const override { return m_font; }
    void SetFont(const TFont& font) override;
    void SetTextAlignLeftTop() override {}
    void SetBackgroundMode(TBackgroundMode mode) override { m_opaque = mode == TBackgroundMode::Opaque; }
    int TextWidth(const std::string& text) override;
    int TextHeight(const std::string& text) override;
    void FrameRect(const TRect& r) override;
    void Rectangle(const TRect& r) override;
    void TextOut(int x, int y, const std::string& text) override;

private:
    QPainter& m_painter;
    TPen m_pen;
    TBrush m_brush;
    TFont m_font;
    bool m_opaque = true;
};

} // namespace sf

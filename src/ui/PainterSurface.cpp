#include "ui/PainterSurface.h"
#include "ui/Colors.h"
#include <QFontMetrics>

namespace sf {

TPainterSurface::TPainterSurface(QPainter& painter) : m_painter(painter)
{
    m_font.Size = painter.font().pointSize() > 0 ? painter.font().pointSize() : 8;
}

void TPainterSurface::SetFont(const TFont& font)
{
    m_font = font;
    QFont f(QString::fromStdString(font.Name));
    f.setPointSize(font.Size > 0 ? font.Size : 8);
    m_painter.setFont(f);
}

int TPainterSurface::TextWidth(const std::string& text)
{
    return QFontMetrics(m_painter.font()).horizontalAdvance(QString::fromStdString(text));
}

int TPainterSurface::TextHeight(const std::string&)
{
    return QFontMetrics(m_painter.font()).height();
}

void TPainterSurface::FrameRect(const TRect& r)
{
    // One-pixel frame in the brush colour; right and bottom are exclusive.
    m_painter.setPen(QPen(ToQColor(m_brush.Color), 1));
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawRect(QRect(r.Left, r.Top, r.Right - r.Left - 1, r.Bottom - r.Top - 1));
}

void TPainterSurface::Rectangle(const TRect& r)
{
    m_painter.setPen(m_pen.Style == TPenStyle::Clear ? QPen(Qt::NoPen) : QPen(ToQColor(m_pen.Color), m_pen.Width));
    m_painter.setBrush(m_brush.Style == TBrushStyle::Clear ? QBrush(Qt::NoBrush) : QBrush(ToQColor(m_brush.Color)));
    m_painter.drawRect(QRect(r.Left, r.Top, r.Right - r.Left - 1, r.Bottom - r.Top - 1));
}

void TPainterSurface::TextOut(int x, int y, const std::string& text)
{
    const QString t = QString::fromStdString(text);
    QFontMetrics fm(m_painter.font());
    if (m_brush.Style == TBrushStyle::Solid && m_opaque)
        m_painter.fillRect(QRect(x, y, fm.horizontalAdvance(t), fm.height()), ToQColor(m_brush.Color));
    m_painter.setPen(Qt::black);
    m_painter.drawText(QPoint(x, y + fm.ascent()), t);
}

} // namespace sf

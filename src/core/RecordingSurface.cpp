#include "core/RecordingSurface.h"
#include <cstdio>
#include <stdexcept>

namespace sf {

namespace {
std::string Hex(uint32_t c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", unsigned(c));
    return buf;
}
std::string RectText(const TRect& r)
{
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
           std::to_string(r.Bottom);
}
} // namespace

void TRecordingSurface::Record(const std::string& call)
{
    Calls.push_back(call);
    if (!FailOn.empty() && call.compare(0, FailOn.size(), FailOn) == 0)
        throw std::runtime_error("drawing failed: " + call);
}

std::string TRecordingSurface::State() const
{
    return " brush=" + Hex(m_brush.Color) + (m_brush.Style == TBrushStyle::Clear ? "/clear" : "/solid") +
           " pen=" + Hex(m_pen.Color) + "/" + std::to_string(m_pen.Width) +
           (BackgroundMode == TBackgroundMode::Transparent ? " transparent" : " opaque");
}

void TRecordingSurface::SetPen(const TPen& pen)
{
    Record("SetPen");
    m_pen = pen;
}

void TRecordingSurface::SetBrush(const TBrush& brush)
{
    Record("SetBrush");
    m_brush = brush;
}

void TRecordingSurface::SetFont(const TFont& font)
{
    Record("SetFont " + font.Name + " " + std::to_string(font.Size));
    m_font = font;
}

void TRecordingSurface::SetTextAlignLeftTop()
{
    Record("SetTextAlignLeftTop");
}

void TRecordingSurface::SetBackgroundMode(TBackgroundMode mode)
{
    Record(mode == TBackgroundMode::Transparent ? "SetBackgroundMode transparent" : "SetBackgroundMode opaque");
    BackgroundMode = mode;
}

int TRecordingSurface::TextWidth(const std::string& text)
{
    Record("TextWidth " + text);
    return int(text.size()) * CharWidth;
}

int TRecordingSurface::TextHeight(const std::string& text)
{
    Record("TextHeight " + text);
    return LineHeight;
}

void TRecordingSurface::FrameRect(const TRect& r)
{
    Record("FrameRect " + RectText(r) + State());
}

void TRecordingSurface::Rectangle(const TRect& r)
{
    Record("Rectangle " + RectText(r) + State());
}

void TRecordingSurface::TextOut(int x, int y, const std::string& text)
{
    Record("TextOut " + std::to_string(x) + "," + std::to_string(y) + " " + text + State() + " font=" + m_font.Name +
           "/" + std::to_string(m_font.Size));
}

} // namespace sf

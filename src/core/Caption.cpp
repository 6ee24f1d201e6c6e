#include "core/Caption.h"

namespace sf {

void DrawBoxedCaption(ISurface& surface, bool& captionShown, int x, int y, int fontSize, const std::string& text,
                      uint32_t fillColour, uint32_t frameColour)
{
    captionShown = true;
    TPen pen;
    TBrush brush;
    TFont font;
    try {
        pen = surface.Pen();
        brush = surface.Brush();
        font = surface.Font();
    } catch (...) {
        return; // nothing was changed yet
    }
    try {
        surface.SetTextAlignLeftTop();
        surface.SetFont({"Arial", fontSize});
        const int w = surface.TextWidth(text);
        const int h = surface.TextHeight(text);
        TRect box;
        box.Left = x - w / 2 - 4;
        box.Top = y + h + 4;
        box.Right = box.Left + w + 4;
        box.Bottom = box.Top + h;
        surface.SetBrush({fillColour, TBrushStyle::Solid});
        surface.SetPen({frameColour, pen.Style, 1});
        if (fillColour == frameColour) {
            surface.SetBackgroundMode(TBackgroundMode::Transparent);
            surface.FrameRect(box);
        } else {
            surface.SetBackgroundMode(TBackgroundMode::Opaque);
            surface.Rectangle(box);
        }
        surface.SetBrush({0xFFFFFF, TBrushStyle::Clear});
        surface.TextOut(box.Left + 2, box.Top, text);
    } catch (...) {
        // A failed drawing leaves the box unfinished; the settings are restored below.
    }
    try {
        surface.SetPen(pen);
    } catch (...) {
    }
    try {
        surface.SetBrush(brush);
    } catch (...) {
    }
    try {
        surface.SetFont(font);
    } catch (...) {
    }
}

} // namespace sf

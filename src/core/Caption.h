// The framed caption box drawn over the status grid, on a small drawing-surface
// interface that the window implements with its painter and the tests record.
#pragma once
#include <cstdint>
#include <string>

namespace sf {

enum class TPenStyle { Solid, Dash, Dot, Clear };
enum class TBrushStyle { Solid, Clear };
enum class TBackgroundMode { Opaque, Transparent };

struct TPen {
    uint32_t Color = 0; ///< 0x00BBGGRR
    TPenStyle Style = TPenStyle::Solid;
    int Width = 1;
    bool operator==(const TPen&) const = default;
};
struct TBrush {
    uint32_t Color = 0xFFFFFF;
    TBrushStyle Style = TBrushStyle::Solid;
    bool operator==(const TBrush&) const = default;
};
struct TFont {
    std::string Name = "Arial";
    int Size = 8; ///< points
    bool operator==(const TFont&) const = default;
};
/// Left, top, right, bottom in pixels; right and bottom are exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TRect&) const = default;
};

/// A surface to draw on. Drawing calls may throw; callers that must restore state catch.
class ISurface {
public:
    virtual ~ISurface() = default;
    virtual TPen Pen() const = 0;
    virtual void SetPen(const TPen& pen) = 0;
    virtual TBrush Brush() const = 0;
    virtual void SetBrush(const TBrush& brush) = 0;
    virtual TFont Font() const = 0;
    virtual void SetFont(const TFont& font) = 0;
    /// Text is placed by its left/top corner from now on.
    virtual void SetTextAlignLeftTop() = 0;
    virtual void SetBackgroundMode(TBackgroundMode mode) = 0;
    /// Extent of text in the current font, in pixels.
    virtual int TextWidth(const std::string& text) = 0;
    virtual int TextHeight(const std::string& text) = 0;
    /// A one-pixel frame drawn with the brush; the inside is left alone.
    virtual void FrameRect(const TRect& r) = 0;
    /// A rectangle filled with the brush and outlined with the pen.
    virtual void Rectangle(const TRect& r) = 0;
    /// Text at x, y in the surface's text colour; with a clear brush no background is painted.
    virtual void TextOut(int x, int y, const std::string& text) = 0;
};

/// Draws text in Arial at fontSize, centred on x in a box starting h + 4 pixels below y,
/// filled with fillColour and framed in frameColour (only framed when both are equal).
/// Sets captionShown; restores the surface's pen, brush and font even when drawing fails.
void DrawBoxedCaption(ISurface& surface, bool& captionShown, int x, int y, int fontSize, const std::string& text,
                      uint32_t fillColour, uint32_t frameColour);

} // namespace sf

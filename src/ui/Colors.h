// Colour values of the view-model (0x00BBGGRR) as Qt colours.
#pragma once
#include <QColor>
#include <cstdint>

namespace sf {

inline QColor ToQColor(uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace sf

// The status grid model: one row per download record under a title row, and the
// hint drawn over a cell whose text does not fit (or over the errors cell).
#pragma once
#include "core/Shared.h"
#include <functional>
#include <string>

namespace sf {

inline constexpr int kGridColumns = 9;
inline constexpr int kErrorsColumn = 8;

/// Fills RadarGrid from the list: titles, widths, one row per record (at least one data row).
void RebuildGrid(TShared& s);
/// The grid's text of record r, column col (times shown in local time with offset).
std::string GridCellText(const TRadarObj& r, int col, TDateTime localNow, TDateTime offset);
/// "Errors : Access=<a>,Conversion=<c>" from an errors cell "a,c" (0 for what is not a number).
std::string ErrorsHintText(const std::string& cell);

/// Where the hover hint over one data cell is drawn (grid coordinates within its panel).
struct TGridHintInput {
    int Col = 0;
    std::string CellText;
    int CellLeft = 0, CellTop = 0, CellWidth = 0; ///< the cell's rectangle within the grid
    int GridLeft = 0, GridWidth = 0;              ///< the grid's left position and width within its panel
    std::function<int(const std::string&)> TextWidth; ///< width of a text in the grid's font
};
struct TGridHint {
    bool Show = false;
    std::string Text;
    int X = 0, Y = 0;
};
/// The hint of a data cell: shown when its text is wider than the cell, or for the errors column.
TGridHint GridHint(const TGridHintInput& in);

} // namespace sf

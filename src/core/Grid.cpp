#include "core/Grid.h"
#include "core/Text.h"
#include <algorithm>

namespace sf {

namespace {

const char* const kTitles[kGridColumns] = {"Radar", "Product", "Last Image", "Status", "Last attempt",
                                           "Next attempt", "Accum", "Enable", "Errors"};
const int kWidths[kGridColumns] = {100, 107, 62, 36, 63, 63, 36, 38, 30};

// Times older than a week are not worth showing.
std::string RecentTime(TDateTime utc, const char* pattern, TDateTime localNow, TDateTime offset)
{
    if (!(utc > localNow - 7))
        return {};
    return FormatDateTime(pattern, utc + offset);
}

long long NumberOrZero(const std::string& text)
{
    long long v = 0;
    return TryStrToInt(text, v, false) ? v : 0;
}

} // namespace

std::string GridCellText(const TRadarObj& r, int col, TDateTime localNow, TDateTime offset)
{
    switch (col) {
    case 0:
        return r.Radar;
    case 1:
        if (StartsWith(r.Radar, "!!")) {
            const size_t comma = r.Radar.find(',');
            return comma == std::string::npos ? std::string() : Trim(r.Radar.substr(2, comma - 2));
        }
        return r.Product;
    case 2:
        return RecentTime(r.LastImage, "mm/dd hh:nn", localNow, offset);
    case 3:
        return r.Status;
    case 4:
        return RecentTime(r.LastAttempt, "hh:nn:ss", localNow, offset);
    case 5:
        return RecentTime(r.NextAttempt, "hh:nn:ss", localNow, offset);
    case 6:
        return r.Accumulate ? "Yes" : "No";
    case 7:
        return r.Enabled ? "Yes" : "No";
    case 8:
        return std::to_string(r.AccessErrors) + "," + std::to_string(r.ConversionErrors);
    default:
        return {};
    }
}

void RebuildGrid(TShared& s)
{
    TStringGrid& g = s.RadarGrid;
    const int rows = std::max(s.List.Count() + 1, 2);
    g.Cells.clear();
    g.SetSize(kGridColumns, rows);
    g.ColWidths.assign(kWidths, kWidths + kGridColumns);
    for (int c = 0; c < kGridColumns; ++c)
        g.Cells[c][0] = kTitles[c];
    if (g.Row >= rows)
        g.Row = rows - 1;
    // One offset for the whole rebuild, so that every row uses the same local time.
    const TDateTime localNow = s.Clock.LocalNow();
    const TDateTime offset = localNow - s.Clock.UTCNow();
    for (int i = 0; i < s.List.Count(); ++i)
        for (int c = 0; c < kGridColumns; ++c)
            g.Cells[c][i + 1] = GridCellText(s.List[i], c, localNow, offset);
    g.Refilled();
}

std::string ErrorsHintText(const std::string& cell)
{
    return "Errors : Access=" + std::to_string(NumberOrZero(GetField(cell, 1, ','))) +
           ",Conversion=" + std::to_string(NumberOrZero(GetField(cell, 2, ',')));
}

TGridHint GridHint(const TGridHintInput& in)
{
    TGridHint h;
    int w = in.TextWidth ? in.TextWidth(in.CellText) : 0;
    if (!(w > in.CellWidth || in.Col == kErrorsColumn))
        return h;
    h.Show = true;
    h.Text = in.CellText;
    if (in.Col == kErrorsColumn) {
        h.Text = ErrorsHintText(in.CellText);
        w = in.TextWidth ? in.TextWidth(h.Text) : 0;
    }
    h.Y = in.CellTop - 15;
    const int cellRight = in.CellLeft + in.CellWidth;
    if (in.GridLeft > in.CellLeft)
        h.X = in.GridLeft + w / 2;
    else if (in.GridWidth < cellRight)
        h.X = in.GridLeft + in.GridWidth - 2 * w;
    else if (in.Col == kErrorsColumn)
        h.X = in.CellLeft - w / 2;
    else
        h.X = in.CellLeft;
    return h;
}

} // namespace sf

// The status grid on a table widget: nine columns from the view-model's title row,
// whole-row selection, resizable columns, 18-pixel rows, the pop-up menu on right
// click and double click, and the boxed hover caption over cells whose text does
// not fit (and over the errors cell). The view-model's widths are each column's
// least width: a column is widened to show its whole title and its times, and the
// width the grid has beyond that goes to the free-text columns (radar, product,
// status), so no empty strip is left beside the last column.
#pragma once
#include "core/Grid.h"
#include "core/Shared.h"
#include <QTableWidget>
#include <functional>

namespace sf {

class TGridView : public QTableWidget {
public:
    TGridView(TShared& s, QWidget* parent);
    /// Refills rows, titles and widths from RadarGrid.
    void Refill();
    /// One cell of RadarGrid (row 0 is the title row).
    void UpdateCell(int col, int row);
    /// Selects RadarGrid.Row.
    void UpdateRow();
    /// Staleness of a data row (the row is drawn in the warning colour); set by the window.
    std::function<bool(int dataRow)> IsStale;
    /// Opens the pop-up menu at a global position; set by the window.
    std::function<void(const QPoint& global)> OpenPopup;
    /// The hover caption as last computed (Show false when none is drawn).
    const TGridHint& Hint() const { return m_hint; }
    /// The hover rule for a pointer position in viewport coordinates.
    void HoverAt(const QPoint& viewportPos);
    /// The pointer moved over the grid's panel outside the grid.
    void PanelHover();
    /// Sets the column widths from the least widths, the titles, the times and the room.
    void FitColumns();

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ClearHint();
    QTableWidgetItem* ItemAt(int col, int dataRow);
    void Colour(int dataRow);
    TShared& m_s;
    TGridHint m_hint;
    std::vector<int> m_widths; ///< the view-model's widths last applied
    bool m_updating = false;
    bool m_fitting = false;
    bool m_userSized = false; ///< the user dragged a column: the widths are left alone
};

} // namespace sf

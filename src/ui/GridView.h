// The status grid on a table widget: nine columns from the view-model's title row,
// whole-row selection, resizable columns, 18-pixel rows, the pop-up menu on right
// click and double click, and the boxed hover caption over cells whose text does
// not fit (and over the errors cell).
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

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    void ClearHint();
    QTableWidgetItem* ItemAt(int col, int dataRow);
    void Colour(int dataRow);
    TShared& m_s;
    TGridHint m_hint;
    std::vector<int> m_widths; ///< the view-model's widths last applied
    bool m_updating = false;
};

} // namespace sf

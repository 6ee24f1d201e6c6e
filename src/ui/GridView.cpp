#include "ui/GridView.h"
#include "ui/Colors.h"
#include "ui/PainterSurface.h"
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>

namespace sf {

namespace {
const QColor kStaleColour(200, 90, 0);
}

TGridView::TGridView(TShared& s, QWidget* parent) : QTableWidget(parent), m_s(s)
{
    setObjectName("RadarGrid");
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setMinimumSectionSize(18);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    setMouseTracking(true);
    setWordWrap(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (!m_updating)
            m_s.RadarGrid.Row = row < 0 ? -1 : row + 1;
    });
    Refill();
}

QTableWidgetItem* TGridView::ItemAt(int col, int dataRow)
{
    QTableWidgetItem* it = item(dataRow, col);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(dataRow, col, it);
    }
    return it;
}

void TGridView::Colour(int dataRow)
{
    const bool stale = IsStale && IsStale(dataRow);
    for (int c = 0; c < columnCount(); ++c)
        if (QTableWidgetItem* it = item(dataRow, c))
            it->setForeground(stale ? QBrush(kStaleColour) : QBrush());
}

void TGridView::Refill()
{
    const TStringGrid& g = m_s.RadarGrid;
    m_updating = true;
    const int cols = g.ColCount;
    const int rows = std::max(g.RowCount - 1, 0);
    if (columnCount() != cols)
        setColumnCount(cols);
    if (rowCount() != rows)
        setRowCount(rows);
    QStringList titles;
    for (int c = 0; c < cols; ++c)
        titles << QString::fromStdString(g.Cell(c, 0));
    setHorizontalHeaderLabels(titles);
    // The widths are applied when the view-model's change, so a column the user widened
    // keeps its width across the rebuilds after every cycle.
    if (g.ColWidths != m_widths) {
        m_widths = g.ColWidths;
        for (int c = 0; c < cols && c < (int)m_widths.size(); ++c)
            setColumnWidth(c, m_widths[c]);
    }
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            ItemAt(c, r)->setText(QString::fromStdString(g.Cell(c, r + 1)));
        Colour(r);
    }
    m_updating = false;
    UpdateRow();
}

void TGridView::UpdateCell(int col, int row)
{
    const TStringGrid& g = m_s.RadarGrid;
    if (row == 0) {
        Refill();
        return;
    }
    if (row - 1 >= rowCount() || col >= columnCount()) {
        Refill();
        return;
    }
    m_updating = true;
    ItemAt(col, row - 1)->setText(QString::fromStdString(g.Cell(col, row)));
    Colour(row - 1);
    m_updating = false;
}

void TGridView::UpdateRow()
{
    const int r = m_s.RadarGrid.Row;
    m_updating = true;
    if (r >= 1 && r - 1 < rowCount()) {
        if (currentRow() != r - 1)
            setCurrentCell(r - 1, std::max(currentColumn(), 0));
    } else {
        clearSelection();
        setCurrentCell(-1, -1);
    }
    m_updating = false;
}

void TGridView::ClearHint()
{
    if (m_hint.Show || m_s.CaptionShown) {
        m_hint = {};
        m_s.CaptionShown = false;
        viewport()->update();
    }
}

void TGridView::HoverAt(const QPoint& pos)
{
    const int dataRow = rowAt(pos.y());
    const int col = columnAt(pos.x());
    if (dataRow < 0 || col < 0) {
        // Over no cell (or the title row): the caption goes.
        ClearHint();
        return;
    }
    // The rule works in the grid's coordinates within its panel; the viewport sits
    // below the title row inside the frame.
    const QPoint origin = viewport()->mapTo(this, QPoint(0, 0));
    const QRect cell = visualRect(model()->index(dataRow, col)).translated(origin);
    TGridHintInput in;
    in.Col = col;
    in.CellText = m_s.RadarGrid.Cell(col, dataRow + 1);
    in.CellLeft = x() + cell.left();
    in.CellTop = y() + cell.top();
    in.CellWidth = cell.width();
    in.GridLeft = x();
    in.GridWidth = width();
    const QFontMetrics fm(font());
    in.TextWidth = [&fm](const std::string& t) { return fm.horizontalAdvance(QString::fromStdString(t)); };
    const TGridHint h = GridHint(in);
    if (h.Show != m_hint.Show || h.Text != m_hint.Text || h.X != m_hint.X || h.Y != m_hint.Y) {
        m_hint = h;
        if (!h.Show)
            m_s.CaptionShown = false;
        viewport()->update();
    }
}

void TGridView::PanelHover()
{
    if (m_s.CaptionShown)
        ClearHint();
}

void TGridView::mouseMoveEvent(QMouseEvent* e)
{
    HoverAt(e->position().toPoint());
    QTableWidget::mouseMoveEvent(e);
}

void TGridView::leaveEvent(QEvent* e)
{
    QTableWidget::leaveEvent(e);
}

void TGridView::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int r = rowAt(e->position().toPoint().y());
    if (r >= 0)
        setCurrentCell(r, std::max(columnAt(e->position().toPoint().x()), 0));
    if (OpenPopup)
        OpenPopup(e->globalPosition().toPoint());
}

void TGridView::contextMenuEvent(QContextMenuEvent* e)
{
    const int r = rowAt(e->pos().y());
    if (r >= 0)
        setCurrentCell(r, std::max(columnAt(e->pos().x()), 0));
    if (OpenPopup)
        OpenPopup(e->globalPos());
}

void TGridView::paintEvent(QPaintEvent* e)
{
    QTableWidget::paintEvent(e);
    if (!m_hint.Show)
        return;
    QPainter p(viewport());
    // From the panel's coordinates back into the viewport's.
    const QPoint origin = viewport()->mapTo(this, QPoint(0, 0));
    p.translate(-x() - origin.x(), -y() - origin.y());
    TPainterSurface surface(p);
    const int size = font().pointSize() > 0 ? font().pointSize() : 8;
    const QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    const uint32_t fill = uint32_t(tip.red()) | uint32_t(tip.green()) << 8 | uint32_t(tip.blue()) << 16;
    DrawBoxedCaption(surface, m_s.CaptionShown, m_hint.X, m_hint.Y, size, m_hint.Text, fill, clBlack);
}

} // namespace sf

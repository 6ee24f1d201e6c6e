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

/// Radar, product and status: texts of any length, which take the grid's spare width.
bool IsFreeText(int col)
{
    return col == 0 || col == 1 || col == 3;
}
} // namespace

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
    // The pointer over the title row erases the caption: the header tells of its moves.
    horizontalHeader()->viewport()->setMouseTracking(true);
    horizontalHeader()->viewport()->installEventFilter(this);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int, int, int) {
        if (!m_fitting)
            m_userSized = true;
    });
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
    // New least widths from the view-model are applied again even over the user's.
    if (g.ColWidths != m_widths) {
        m_widths = g.ColWidths;
        m_userSized = false;
    }
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            ItemAt(c, r)->setText(QString::fromStdString(g.Cell(c, r + 1)));
        Colour(r);
    }
    m_updating = false;
    FitColumns();
    UpdateRow();
}

void TGridView::FitColumns()
{
    // A column the user widened keeps its width across the rebuilds after every cycle.
    if (m_userSized)
        return;
    const int cols = columnCount();
    std::vector<int> need(cols), want(cols);
    int sum = 0;
    for (int c = 0; c < cols; ++c) {
        const int least = c < (int)m_widths.size() ? m_widths[c] : 0;
        const int content = rowCount() > 0 ? sizeHintForColumn(c) : 0;
        need[c] = std::max(least, horizontalHeader()->sectionSizeHint(c));
        want[c] = std::max(need[c], content);
        // Free text (radar, product, status) may be cut; dates, times, flags and counts never are.
        if (!IsFreeText(c))
            need[c] = want[c];
        sum += need[c];
    }
    // The room the viewport will have, counting a vertical scroll bar the rows will need.
    const QSize room = maximumViewportSize();
    int avail = room.width();
    if (verticalHeader()->length() > room.height() - horizontalHeader()->height())
        avail -= verticalScrollBar()->sizeHint().width();
    int extra = avail - sum;
    // The free-text columns get the rest: first what their texts lack, then equal shares.
    for (int c = 0; c < cols && extra > 0; ++c) {
        if (!IsFreeText(c))
            continue;
        const int add = std::min(extra, want[c] - need[c]);
        need[c] += add;
        extra -= add;
    }
    int freeCols = 0;
    for (int c = 0; c < cols; ++c)
        freeCols += IsFreeText(c) ? 1 : 0;
    for (int c = 0, k = 0; c < cols && extra > 0 && freeCols > 0; ++c) {
        if (!IsFreeText(c))
            continue;
        const int add = extra / (freeCols - k);
        need[c] += add;
        extra -= add;
        ++k;
    }
    m_fitting = true;
    for (int c = 0; c < cols; ++c)
        if (columnWidth(c) != need[c])
            setColumnWidth(c, need[c]);
    m_fitting = false;
}

void TGridView::resizeEvent(QResizeEvent* e)
{
    QTableWidget::resizeEvent(e);
    FitColumns();
}

bool TGridView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseMove)
        ClearHint();
    return QTableWidget::eventFilter(watched, event);
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
    FitColumns();
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
    // The cell in the grid's own frame (the viewport sits below the title row inside
    // the frame); the grid's left position and width as the panel has them.
    const QPoint origin = viewport()->mapTo(this, QPoint(0, 0));
    const QRect cell = visualRect(model()->index(dataRow, col)).translated(origin);
    TGridHintInput in;
    in.Col = col;
    in.CellText = m_s.RadarGrid.Cell(col, dataRow + 1);
    in.CellLeft = cell.left();
    in.CellTop = cell.top();
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
    // From the grid's coordinates into the viewport's.
    const QPoint origin = viewport()->mapTo(this, QPoint(0, 0));
    p.translate(-origin.x(), -origin.y());
    TPainterSurface surface(p);
    const int size = font().pointSize() > 0 ? font().pointSize() : 8;
    const QColor tip = QToolTip::palette().color(QPalette::ToolTipBase);
    const uint32_t fill = uint32_t(tip.red()) | uint32_t(tip.green()) << 8 | uint32_t(tip.blue()) << 16;
    DrawBoxedCaption(surface, m_s.CaptionShown, m_hint.X, m_hint.Y, size, m_hint.Text, fill, clBlack);
}

} // namespace sf

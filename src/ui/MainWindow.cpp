#include "ui/MainWindow.h"
#include "core/ListHandlers.h"
#include "ui/Colors.h"
#include "ui/ComboKeys.h"
#include "ui/GridView.h"
#include "ui/Preview.h"
#include "ui/QtDialogs.h"
#include "ui/Staleness.h"
#include "ui/Tray.h"
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

namespace sf {

TLamp::TLamp(QWidget* parent) : QWidget(parent)
{
    setObjectName("Shape1");
    setFixedSize(16, 16);
}

void TLamp::SetColour(uint32_t bgr)
{
    m_colour = bgr;
    update();
}

void TLamp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(ToQColor(m_colour));
    p.drawEllipse(QRectF(1.5, 1.5, width() - 3, height() - 3));
}

TMainWindow::TMainWindow(TMain& main, bool trayAvailable) : m_main(main), m_s(main.Shared())
{
    setObjectName("Main");
    // System menu and minimize only: no maximize button, a size between the two limits.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setMinimumSize(594, 395);
    setMaximumSize(800, 600);
    setWindowIcon(ProgramIcon());
    // The window holds many controls in a small area: a compact font, as on the
    // desktop the program came from.
    QFont f = font();
    if (f.pointSizeF() > 8.5)
        f.setPointSizeF(8.5);
    setFont(f);
    m_tray = std::make_unique<TTray>(m_s, trayAvailable, ProgramIcon());
    m_tray->OnRestore = [this] { Restore(); };
    m_tray->OnExit = [this] { m_main.RequestClose(); };
    BuildLayout();
    BuildMenus();
    m_hubId = m_s.Hub.Subscribe([this](const TChange& c) { Announced(c); });
    qApp->installEventFilter(this);

    // The icon appears with the first creation step; its tip follows TrayTip.
    TMainSteps& steps = m_main.Steps();
    auto previousIcon = steps.CreateTrayIcon;
    steps.CreateTrayIcon = [this, previousIcon] {
        if (previousIcon)
            previousIcon();
        m_tray->Show();
        UpdateTip();
    };
    m_previousTip = m_s.Hooks.SetTrayTip;
    m_s.Hooks.SetTrayTip = [this] {
        if (m_previousTip)
            m_previousTip();
        UpdateTip();
    };
    resize(m_s.WindowWidth, m_s.WindowHeight);
}

TMainWindow::~TMainWindow()
{
    m_s.Hub.Unsubscribe(m_hubId);
    m_s.Hooks.SetTrayTip = m_previousTip;
}

void TMainWindow::On(const TControl& c, TUpdate update)
{
    update(TChange{c.Name(), TProperty::Caption});
    m_bind[c.Name()].push_back(std::move(update));
}

void TMainWindow::Announced(const TChange& change)
{
    auto it = m_bind.find(change.Control);
    if (it == m_bind.end())
        return;
    for (auto& f : it->second)
        f(change);
}

void TMainWindow::BindCommon(TControl& c, QWidget* w)
{
    w->setObjectName(QString::fromStdString(c.Name()));
    auto apply = [&c, w](TProperty what, bool all) {
        if (all || what == TProperty::Enabled)
            w->setEnabled(c.Enabled);
        // Only hidden at first: showing a widget before it has a parent would open a window.
        if ((all && !c.Visible) || what == TProperty::Visible)
            w->setVisible(c.Visible);
        if (all || what == TProperty::Hint)
            w->setToolTip(DialogText(c.Hint.Get()));
    };
    apply(TProperty::Caption, true);
    m_bind[c.Name()].push_back([apply](const TChange& ch) { apply(ch.What, false); });
}

QLabel* TMainWindow::MakeLabel(TTextControl& c, bool dynamic)
{
    auto* l = new QLabel;
    if (dynamic) {
        // Status texts are as long as they come; they never widen the window.
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        l->setMinimumWidth(1);
    }
    BindLabel(c, l);
    return l;
}

void TMainWindow::BindLabel(TTextControl& c, QLabel* w)
{
    BindCommon(c, w);
    w->setTextFormat(Qt::PlainText);
    On(c, [&c, w](const TChange& ch) {
        if (ch.What == TProperty::Caption)
            w->setText(QString::fromStdString(c.Caption()));
        if (ch.What == TProperty::Caption || ch.What == TProperty::Color) {
            QPalette p = w->palette();
            p.setColor(QPalette::WindowText, ToQColor(c.Color));
            w->setPalette(p);
        }
    });
}

void TMainWindow::BindButton(TTextControl& c, QPushButton* w)
{
    BindCommon(c, w);
    On(c, [&c, w](const TChange& ch) {
        if (ch.What == TProperty::Caption)
            w->setText(QString::fromStdString(c.Caption()));
    });
    connect(w, &QPushButton::clicked, this, [&c] { c.Click(); });
}

void TMainWindow::BindCheck(TTextControl& c, QCheckBox* w)
{
    BindCommon(c, w);
    On(c, [&c, w](const TChange& ch) {
        if (ch.What == TProperty::Caption)
            w->setText(QString::fromStdString(c.Caption()));
        if (ch.What == TProperty::Caption || ch.What == TProperty::Checked) {
            const QSignalBlocker block(w);
            w->setChecked(c.Checked);
        }
    });
    connect(w, &QCheckBox::toggled, this, [&c](bool on) {
        c.Checked = on;
        c.Click();
    });
}

void TMainWindow::BindEdit(TTextControl& c, QLineEdit* w)
{
    BindCommon(c, w);
    On(c, [&c, w](const TChange& ch) {
        if (ch.What == TProperty::Caption && w->text().toStdString() != c.Caption()) {
            const QSignalBlocker block(w);
            w->setText(QString::fromStdString(c.Caption()));
        }
    });
    connect(w, &QLineEdit::textEdited, this, [&c](const QString& t) { c.SetCaption(t.toStdString()); });
}

void TMainWindow::BindCombo(TComboBox& c, QComboBox* w)
{
    BindCommon(c, w);
    w->setEditable(true);
    w->setInsertPolicy(QComboBox::NoInsert);
    w->setMaxVisibleItems(7);
    w->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    w->setMinimumContentsLength(8);
    On(c, [&c, w](const TChange& ch) {
        const QSignalBlocker block(w);
        if (ch.What == TProperty::Items || ch.What == TProperty::Caption) {
            if (ch.What == TProperty::Items || w->count() != (int)c.Items.size()) {
                QStringList items;
                for (const std::string& i : c.Items)
                    items << QString::fromStdString(i);
                w->clear();
                w->addItems(items);
            }
            if (w->currentText().toStdString() != c.Caption())
                w->setEditText(QString::fromStdString(c.Caption()));
        }
    });
    connect(w, &QComboBox::editTextChanged, this, [&c](const QString& t) { c.SetCaption(t.toStdString()); });
}

QAction* TMainWindow::BindAction(TTextControl& c, QMenu* menu, bool checkable)
{
    QAction* a = menu->addAction(QString());
    a->setObjectName(QString::fromStdString(c.Name()));
    a->setCheckable(checkable);
    On(c, [&c, a, checkable](const TChange& ch) {
        if (ch.What == TProperty::Caption)
            a->setText(QString::fromStdString(c.Caption()));
        if (ch.What == TProperty::Caption || ch.What == TProperty::Enabled)
            a->setEnabled(c.Enabled);
        if (ch.What == TProperty::Caption || ch.What == TProperty::Visible)
            a->setVisible(c.Visible);
        if (ch.What == TProperty::Caption || ch.What == TProperty::Checked) {
            const QSignalBlocker block(a);
            a->setChecked(checkable && c.Checked);
        }
    });
    connect(a, &QAction::triggered, this, [&c, a, checkable] {
        c.Click();
        // The handler owns the check mark; the action only shows it.
        const QSignalBlocker block(a);
        a->setChecked(checkable && c.Checked);
    });
    return a;
}

void TMainWindow::Restore()
{
    showNormal();
    raise();
    activateWindow();
}

void TMainWindow::closeEvent(QCloseEvent* e)
{
    // The close path of the main object decides; the run ends the event loop and
    // destroys the window after the closing steps.
    if (!m_main.CloseRequested()) {
        ++m_closeRequests;
        m_main.RequestClose();
    }
    e->ignore();
}

void TMainWindow::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && isMinimized() && m_tray->Available()) {
        // Minimized, the program is reached through the icon only. Hidden once the
        // state change is over: hiding inside it is undone by some window systems.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hide();
        });
    }
}

void TMainWindow::RememberBounds()
{
    if (!m_shown || isMinimized() || !isVisible())
        return;
    const QRect g = geometry();
    m_s.WindowLeft = g.x();
    m_s.WindowTop = g.y();
    m_s.WindowWidth = g.width();
    m_s.WindowHeight = g.height();
}

void TMainWindow::moveEvent(QMoveEvent* e)
{
    QMainWindow::moveEvent(e);
    RememberBounds();
}

void TMainWindow::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    RememberBounds();
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Key preview: the window sees each key before the control that has the focus.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this) {
            OpenManual();
            return true;
        }
    }
    if (watched == m_ridgePnl && event->type() == QEvent::MouseMove)
        m_grid->PanelHover();
    return QMainWindow::eventFilter(watched, event);
}

void TMainWindow::FirstShown()
{
    const int w = std::clamp(m_s.WindowWidth, 594, 800);
    const int h = std::clamp(m_s.WindowHeight, 395, 600);
    setGeometry(m_s.WindowLeft, m_s.WindowTop, w, h);
    for (QWidget* child : findChildren<QWidget*>())
        child->setToolTipDuration(m_s.HintPauseMS);
    UpdateTip();
    m_preview->Refresh();
    if (m_main.CloseRequested())
        return;
    if (m_s.Minimizeonstartup1.Checked) {
        // With a notification area only the icon shows; without one the window waits
        // minimized on the taskbar, so it can always be reached.
        if (!m_tray->Available())
            showMinimized();
    } else {
        show();
    }
    m_shown = true;
    RememberBounds();
}

bool TMainWindow::RecordStale(int index) const
{
    if (index < 0 || index >= m_s.List.Count())
        return false;
    return IsStale(m_s.List[index], m_s.Clock.UTCNow());
}

std::string TMainWindow::TipShown() const
{
    int stale = 0;
    for (int i = 0; i < m_s.List.Count(); ++i)
        stale += RecordStale(i) ? 1 : 0;
    return StaleTip(m_s.TrayTip, stale);
}

void TMainWindow::UpdateTip()
{
    m_tray->SetTip(TipShown());
}

void TMainWindow::OpenGridPopup(const QPoint& global)
{
    RadarPopupPopup(m_s);
    m_gridMenu->popup(global);
}

} // namespace sf

#include "ui/ComboKeys.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace sf {

bool KeyAboveSpace(int key)
{
    switch (key) {
    case Qt::Key_Space:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
    case Qt::Key_Pause:
    case Qt::Key_unknown:
        return false;
    default:
        return key > 0;
    }
}

bool EditsText(const QKeyEvent& ke)
{
    if (ke.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (ke.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        return true;
    default:
        break;
    }
    const QString t = ke.text();
    return !t.isEmpty() && t.at(0).isPrint();
}

TComboKeys::TComboKeys(QComboBox* combo, QWidget* tabTarget, bool closeOnLeave)
    : QObject(combo), m_combo(combo), m_tabTarget(tabTarget), m_closeOnLeave(closeOnLeave)
{
    combo->installEventFilter(this);
    if (combo->lineEdit())
        combo->lineEdit()->installEventFilter(this);
    // While the list is open the application hands every key to the pop-up's focus,
    // the list (or to the pop-up itself where it has none); installed last, this filter
    // sees them before the box's own.
    m_list = combo->view();
    m_popup = combo->view()->window();
    combo->view()->installEventFilter(this);
    m_popup->installEventFilter(this);
}

bool TComboKeys::eventFilter(QObject* watched, QEvent* event)
{
    const bool inList = watched == m_list || (watched == m_popup && m_popup);
    const bool leave = event->type() == QEvent::FocusOut && m_closeOnLeave && !inList;
    // The list chooses its current row on Enter's shortcut check, before the key itself.
    const bool enterCheck = inList && event->type() == QEvent::ShortcutOverride;
    if (!leave && !enterCheck && event->type() != QEvent::KeyPress)
        return false;
    // Null once the box is gone or half destroyed (qobject_cast asks the object's current type).
    QComboBox* combo = qobject_cast<QComboBox*>(m_combo.data());
    if (!combo)
        return false;
    if (leave) {
        // The list itself takes the focus while it is open (on some platforms by becoming
        // the active window); only a real leave closes it.
        auto* fe = static_cast<QFocusEvent*>(event);
        QWidget* list = combo->view()->window();
        if (fe->reason() != Qt::PopupFocusReason && combo->view()->isVisible()
            && QApplication::activePopupWidget() != list)
            combo->hidePopup();
        return false;
    }
    auto* ke = static_cast<QKeyEvent*>(event);
    if (inList)
        return ListKey(combo, ke);
    return BoxKey(combo, ke);
}

bool TComboKeys::BoxKey(QComboBox* combo, QKeyEvent* ke)
{
    const int key = ke->key();
    if (key == Qt::Key_Tab) {
        if (m_tabTarget)
            m_tabTarget->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return true;
    const bool open = combo->view()->isVisible();
    if (!open && (key == Qt::Key_Down || (KeyAboveSpace(key) && ke->modifiers() == Qt::NoModifier)
                  || (KeyAboveSpace(key) && ke->modifiers() == Qt::ShiftModifier))) {
        combo->showPopup();
        m_typed = false;
        // Down only opens; a typed character still goes into the box.
        if (key == Qt::Key_Down)
            return true;
        m_typed = EditsText(*ke);
        return false;
    }
    if (open && EditsText(*ke))
        m_typed = true;
    return false;
}

bool TComboKeys::ListKey(QComboBox* combo, QKeyEvent* ke)
{
    if (!combo->view()->isVisible())
        return false;
    const int key = ke->key();
    if (key == Qt::Key_Tab) {
        combo->hidePopup();
        if (m_tabTarget)
            m_tabTarget->setFocus(Qt::TabFocusReason);
        return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_typed) {
        // The typed text stays: the list closes without choosing its current row.
        combo->hidePopup();
        ke->accept();
        return true;
    }
    if (ke->type() == QEvent::ShortcutOverride)
        return false;
    if (EditsText(*ke) && combo->lineEdit()) {
        // The box keeps the typing (a copy of the key: the original belongs to the list's delivery).
        QKeyEvent copy(ke->type(), ke->key(), ke->modifiers(), ke->text(), ke->isAutoRepeat(), ke->count());
        QCoreApplication::sendEvent(combo->lineEdit(), &copy);
        m_typed = true;
        return true;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown)
        m_typed = false; // a row chosen in the list is what Enter takes
    return false;
}

} // namespace sf

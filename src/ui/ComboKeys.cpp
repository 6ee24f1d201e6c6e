#include "ui/ComboKeys.h"
#include <QAbstractItemView>
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

TComboKeys::TComboKeys(QComboBox* combo, QWidget* tabTarget, bool closeOnLeave)
    : QObject(combo), m_combo(combo), m_tabTarget(tabTarget), m_closeOnLeave(closeOnLeave)
{
    combo->installEventFilter(this);
    if (combo->lineEdit())
        combo->lineEdit()->installEventFilter(this);
}

bool TComboKeys::eventFilter(QObject* watched, QEvent* event)
{
    (void)watched;
    const bool leave = event->type() == QEvent::FocusOut && m_closeOnLeave;
    if (!leave && event->type() != QEvent::KeyPress)
        return false;
    // Null once the box is gone or half destroyed (qobject_cast asks the object's current type).
    QComboBox* combo = qobject_cast<QComboBox*>(m_combo.data());
    if (!combo)
        return false;
    if (leave) {
        // The list itself takes the focus while it is open; only a real leave closes it.
        auto* fe = static_cast<QFocusEvent*>(event);
        if (fe->reason() != Qt::PopupFocusReason && combo->view()->isVisible())
            combo->hidePopup();
        return false;
    }
    auto* ke = static_cast<QKeyEvent*>(event);
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
        // Down only opens; a typed character still goes into the box.
        return key == Qt::Key_Down;
    }
    return false;
}

} // namespace sf

// The keyboard rules of the selector boxes (radar, product, target directory):
// with the list closed, Down or any key above the space bar opens the list (Down
// is consumed); Enter is consumed; Tab is consumed and moves the focus to a chosen
// control. While the list is open, typing still goes into the box (the list only
// takes the keys that move in it), so a line that is not in the list can be typed.
// Leaving the box can close its list.
#pragma once
#include <QComboBox>
#include <QObject>
#include <QPointer>

class QKeyEvent;

namespace sf {

class TComboKeys : public QObject {
public:
    /// Installs the rules on combo (its line edit and its list); Tab moves the focus to tabTarget.
    TComboKeys(QComboBox* combo, QWidget* tabTarget, bool closeOnLeave = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool BoxKey(QComboBox* combo, QKeyEvent* ke);
    bool ListKey(QComboBox* combo, QKeyEvent* ke);
    // Held as a widget: the filter still sees events while the box is being destroyed
    // (its line edit goes first), when it is no longer a QComboBox.
    QPointer<QWidget> m_combo;
    QPointer<QWidget> m_tabTarget;
    QPointer<QObject> m_list;
    QPointer<QObject> m_popup; ///< the list's pop-up window
    bool m_closeOnLeave;
    bool m_typed = false; ///< the box's text was typed since the list opened
};

/// True for a key whose Windows virtual-key code is above 32 (the space bar):
/// navigation, editing, letters, digits, punctuation and function keys.
bool KeyAboveSpace(int qtKey);

/// True for a key that edits the box's text or moves its cursor (typing, Backspace,
/// Delete, Left, Right, Home, End), as opposed to one that moves in the list.
bool EditsText(const QKeyEvent& ke);

} // namespace sf

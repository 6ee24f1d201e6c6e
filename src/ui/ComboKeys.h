// The keyboard rules of the selector boxes (radar, product, target directory):
// with the list closed, Down or any key above the space bar opens the list (Down
// is consumed); Enter is consumed; Tab is consumed and moves the focus to a chosen
// control. Leaving the box can close its list.
#pragma once
#include <QComboBox>
#include <QObject>
#include <QPointer>

namespace sf {

class TComboKeys : public QObject {
public:
    /// Installs the rules on combo (and its line edit); Tab moves the focus to tabTarget.
    TComboKeys(QComboBox* combo, QWidget* tabTarget, bool closeOnLeave = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Held as a widget: the filter still sees events while the box is being destroyed
    // (its line edit goes first), when it is no longer a QComboBox.
    QPointer<QWidget> m_combo;
    QPointer<QWidget> m_tabTarget;
    bool m_closeOnLeave;
};

/// True for a key whose Windows virtual-key code is above 32 (the space bar):
/// navigation, editing, letters, digits, punctuation and function keys.
bool KeyAboveSpace(int qtKey);

} // namespace sf

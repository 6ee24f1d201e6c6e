// The notification-area icon and its menu. Where the desktop has no notification
// area the icon is not made, and the window minimizes to the taskbar instead of
// hiding, so the program never becomes unreachable.
#pragma once
#include "core/Shared.h"
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

namespace sf {

class TTray : public QObject {
public:
    /// available: whether the desktop has a notification area (tests inject it).
    TTray(TShared& s, bool available, QIcon icon);
    ~TTray() override;
    bool Available() const { return m_available; }
    /// Shows the icon (when there is a notification area) with the tip.
    void Show();
    /// Removes the icon; it does not come back.
    void Remove();
    /// Sets the tip text (already cut to the icon's length).
    void SetTip(const std::string& tip);
    const QString& Tip() const { return m_tip; }
    QMenu& Menu() { return m_menu; }
    QSystemTrayIcon* Icon() { return m_icon.get(); }
    /// What the menu's opening runs: the loop player's hook (LoopLbl "....", one host refresh, a waiting loop).
    void MenuOpening();
    /// The icon was double-clicked (the window is restored).
    void DoubleClicked();

    std::function<void()> OnRestore; ///< "&Restore" and a double click
    std::function<void()> OnExit;    ///< "E&Xit", after the icon is removed

private:
    TShared& m_s;
    bool m_available;
    QMenu m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QString m_tip;
};

} // namespace sf

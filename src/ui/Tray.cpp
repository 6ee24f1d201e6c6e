#include "ui/Tray.h"

namespace sf {

TTray::TTray(TShared& s, bool available, QIcon icon) : m_s(s), m_available(available)
{
    m_menu.setObjectName("TrayMenu");
    if (m_available) {
        m_icon = std::make_unique<QSystemTrayIcon>(icon);
        m_icon->setContextMenu(&m_menu);
        connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
            if (r == QSystemTrayIcon::DoubleClick)
                DoubleClicked();
        });
    }
    connect(&m_menu, &QMenu::aboutToShow, this, [this] { MenuOpening(); });
}

TTray::~TTray()
{
    Remove();
}

void TTray::Show()
{
    if (m_icon)
        m_icon->show();
}

void TTray::Remove()
{
    if (m_icon)
        m_icon->hide();
}

void TTray::SetTip(const std::string& tip)
{
    m_tip = QString::fromStdString(tip);
    if (m_icon)
        m_icon->setToolTip(m_tip);
}

void TTray::MenuOpening()
{
    try {
        // The hook's owner (the loop player) shows "....", refreshes the host state and
        // starts a waiting loop: each once per opening.
        if (m_s.Hooks.TrayMenuPopup)
            m_s.Hooks.TrayMenuPopup();
    } catch (...) {
        // The tray swallows its own errors; the menu still opens.
    }
}

void TTray::DoubleClicked()
{
    if (OnRestore)
        OnRestore();
}

} // namespace sf

// The main window: a thin view over the main object. Each widget is bound by name
// to its view-model control and follows the hub's announcements; clicks, menu
// commands and keys go to the controls' handlers.
#pragma once
#include "app/FrontEnd.h"
#include "app/Main.h"
#include <QLabel>
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QDialog;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace sf {

class TGridView;
class TTray;
class TPreview;

/// The lamp Shape1: a small filled circle in its brush colour.
class TLamp : public QWidget {
public:
    explicit TLamp(QWidget* parent);
    void SetColour(uint32_t bgr);
    uint32_t Colour() const { return m_colour; }
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    uint32_t m_colour = 0x00FF00;
};

/// Where the user manual lies (empty when none is found).
QString ManualPath();
/// The program's icon: the desktop theme's "stormfetch", else one painted here.
QIcon ProgramIcon();

class TMainWindow : public QMainWindow, public IWindowView {
public:
    /// trayAvailable: whether the desktop has a notification area.
    TMainWindow(TMain& main, bool trayAvailable);
    ~TMainWindow() override;

    /// Applies the stored bounds and hint pause, then shows the window, or leaves only
    /// the tray icon (or, without a notification area, a minimized window) as asked.
    void FirstShown() override;

    TTray& Tray() { return *m_tray; }
    TGridView& Grid() { return *m_grid; }
    TPreview& Preview() { return *m_preview; }
    QMenu& GridMenu() { return *m_gridMenu; }
    /// Prepares and opens the grid's pop-up menu at a global position.
    void OpenGridPopup(const QPoint& global);
    /// The tip the icon shows: TrayTip, or a note that a radar is stale, within 63 characters.
    std::string TipShown() const;
    /// Opens the user manual (Help and F1).
    void OpenManual();
    /// The About box, modal.
    void ShowAbout();
    /// Restores the window from the tray or the taskbar.
    void Restore();
    /// Runs with the About box just before it is shown modally (tests close it here).
    std::function<void(QDialog&)> AboutShown;
    /// Number of close paths the window started (for the tests).
    int CloseRequests() const { return m_closeRequests; }
    /// Staleness of a record at utcNow.
    bool RecordStale(int index) const;

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using TUpdate = std::function<void(const TChange&)>;
    void BuildLayout();
    void BuildMenus();
    void On(const TControl& c, TUpdate update);
    void BindCommon(TControl& c, QWidget* w);
    void BindLabel(TTextControl& c, QLabel* w);
    void BindButton(TTextControl& c, QPushButton* w);
    void BindCheck(TTextControl& c, QCheckBox* w);
    void BindEdit(TTextControl& c, QLineEdit* w);
    void BindCombo(TComboBox& c, QComboBox* w);
    QAction* BindAction(TTextControl& c, QMenu* menu, bool checkable);
    QLabel* MakeLabel(TTextControl& c, bool dynamic);
    void Announced(const TChange& change);
    void UpdateTip();
    void RememberBounds();

    TMain& m_main;
    TShared& m_s;
    int m_hubId = 0;
    std::function<void()> m_previousTip; ///< the main object's tip hook, given back at the end
    std::map<std::string, std::vector<TUpdate>> m_bind;
    std::unique_ptr<TTray> m_tray;
    TGridView* m_grid = nullptr;
    TPreview* m_preview = nullptr;
    QMenu* m_gridMenu = nullptr;
    QWidget* m_ridgePnl = nullptr;
    QWidget* m_accumChk = nullptr;
    std::vector<QRadioButton*> m_modeButtons;
    QLabel* m_panels[2] = {nullptr, nullptr};
    TLamp* m_lamp = nullptr;
    bool m_shown = false;
    int m_closeRequests = 0;
};

} // namespace sf

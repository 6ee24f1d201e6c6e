#include "ui/WindowFrontEnd.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"
#include "ui/Screenshot.h"
#include <QApplication>
#include <QSystemTrayIcon>

namespace sf {

namespace {

// The dialogs are made before the window; they find it as their parent once it exists.
struct TWindowState {
    TQtDialogs* Dialogs = nullptr;
};

} // namespace

TFrontEnd WindowFrontEnd()
{
    auto state = std::make_shared<TWindowState>();
    TFrontEnd f;
    f.MakeApplication = [](int& argc, char** argv) -> std::unique_ptr<QCoreApplication> {
        auto app = std::make_unique<QApplication>(argc, argv);
        // The window hides into the tray; only the close path ends the program.
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setWindowIcon(ProgramIcon());
        return app;
    };
    f.MakeDialogs = [state]() -> std::unique_ptr<IDialogs> {
        auto d = std::make_unique<TQtDialogs>();
        state->Dialogs = d.get();
        return d;
    };
    f.MakeWindow = [state](TMain& main) -> std::unique_ptr<IWindowView> {
        auto w = std::make_unique<TMainWindow>(main, QSystemTrayIcon::isSystemTrayAvailable());
        if (state->Dialogs)
            state->Dialogs->SetParent(w.get());
        ArmScreenshots(*w, main);
        return w;
    };
    return f;
}

} // namespace sf
